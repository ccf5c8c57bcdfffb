#include "data/Engine.h"

#include <sqlcipher/sqlite3.h>

#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr int kMaxCachedStatements = 512;

QString errorText(sqlite3 *db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

int digit(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

// Dates live as ISO text; a DATE column's text that is one comes back as a date value.
Variant dateOrText(const unsigned char *text, int len)
{
    const char *s = reinterpret_cast<const char *>(text);
    if (len == 10 && s[4] == '-' && s[7] == '-') {
        int v[8];
        const int at[8] = {0, 1, 2, 3, 5, 6, 8, 9};
        bool ok = true;
        for (int i = 0; i < 8 && ok; ++i)
            ok = (v[i] = digit(s[at[i]])) >= 0;
        if (ok) {
            const QDate d(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]);
            if (d.isValid())
                return Variant(d);
        }
    }
    return Variant(QString::fromUtf8(s, len));
}

bool isDateType(const char *decl)
{
    return decl && (qstricmp(decl, "DATE") == 0 || qstricmp(decl, "DATETIME") == 0);
}

}  // namespace

// ---- Recordset ----

void Recordset::checkReadable() const
{
    if (m_closed)
        throw SqlError(QStringLiteral("Operation is not allowed when the object is closed."));
}

bool Recordset::Eof() const
{
    checkReadable();
    return m_pos >= m_rows;
}

Variant Recordset::Fields(int position) const
{
    checkReadable();
    if (position < 0 || position >= m_names.size())
        throw SqlError(QStringLiteral("Item cannot be found in the collection corresponding to the "
                                      "requested name or ordinal."));
    if (m_pos >= m_rows)
        throw SqlError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    const Cell &cell = m_cells[size_t(m_pos) * size_t(m_names.size()) + size_t(position)];
    switch (cell.type) {
    case Cell::Null: return Variant::null();
    case Cell::Integer: return Variant(qint64(cell.integer));
    case Cell::Double: return Variant(cell.real);
    case Cell::Text: break;
    }
    const auto *text = reinterpret_cast<const unsigned char *>(m_text.constData() + cell.offset);
    if (m_dateColumn[size_t(position)])
        return dateOrText(text, int(cell.length));
    return Variant(QString::fromUtf8(reinterpret_cast<const char *>(text), qsizetype(cell.length)));
}

int Recordset::FieldIndex(const QString &name) const
{
    for (int i = 0; i < m_names.size(); ++i)
        if (QString::compare(m_names[i], name, Qt::CaseInsensitive) == 0)
            return i;
    // A qualified name (tblTasks.TaskName) also finds its bare column.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? FieldIndex(name.mid(dot + 1)) : -1;
}

Variant Recordset::Fields(const QString &name) const
{
    checkReadable();
    return Fields(FieldIndex(name));
}

void Recordset::MoveNext()
{
    checkReadable();
    if (m_pos >= m_rows)
        throw SqlError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    ++m_pos;
}

void Recordset::MoveFirst()
{
    checkReadable();
    m_pos = 0;
}

// ---- Connection ----

Connection::~Connection() { Close(); }

void Connection::Close()
{
    clearCache();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

QString DatabasePathOf(const QString &connectionText)
{
    const int at = connectionText.indexOf(QLatin1String("dbq="), 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const int start = at + 4;
    // The path runs to the next attribute ("; name=") or to the end: a folder name may itself
    // hold a ";".
    static const QRegularExpression nextAttribute(QStringLiteral(";\\s*[A-Za-z][A-Za-z0-9 _]*="));
    const QRegularExpressionMatch m = nextAttribute.match(connectionText, start);
    QString path = connectionText.mid(start, m.hasMatch() ? m.capturedStart() - start : -1);
    if (path.endsWith(QLatin1Char(';')))
        path.chop(1);
    return path;
}

void Connection::openFile(const QString &path, const QString &password, bool create)
{
    Close();
    if (path.isEmpty())
        throw SqlError(QStringLiteral("No database file was named in the connection."));
    const bool exists = QFileInfo::exists(path);
    if (!create && !exists)
        throw SqlError(QStringLiteral("Could not find file '%1'.").arg(path));
    if (create && exists)
        throw SqlError(QStringLiteral("The file '%1' already exists.").arg(path));
    if (!create && !QFileInfo(path).isFile())
        throw SqlError(QStringLiteral("'%1' is not a database file.").arg(path));
    // The engine would take an empty file for a new, empty database and every statement would
    // then fail on missing tables; a file cut to nothing is no database of ours.
    if (!create && QFileInfo(path).size() == 0)
        throw SqlError(QStringLiteral("'%1' is empty: it is not a Quillmark database.").arg(path));

    sqlite3 *db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = db ? errorText(db) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        throw SqlError(QStringLiteral("Cannot open the database file '%1': %2.").arg(path, why));
    }
    const QByteArray key = password.toUtf8();
    sqlite3_key(db, key.constData(), key.size());
    sqlite3_busy_timeout(db, 3000);
    // Room for a whole ledger of the largest size in decrypted pages, so that showing the same
    // project again reads no page twice.
    sqlite3_exec(db, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr);
    // Reading the schema proves that the key fits the file.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const bool notADb = rc == SQLITE_NOTADB;
        const QString why = errorText(db);
        sqlite3_close_v2(db);
        if (notADb)
            throw SqlError(QStringLiteral("Not a valid password, or '%1' is not a Quillmark database.").arg(path));
        throw SqlError(QStringLiteral("Cannot open the database file '%1': %2.").arg(path, why));
    }
    // Changes go to a write-ahead log that is flushed to the disk at checkpoints rather than
    // at every statement: a save survives the program being killed at any moment, and the
    // ledger's write-back on every display costs no disk flush. A file on a medium that cannot
    // take the log stays in its own journal mode.
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    m_db = db;
}

void Connection::Open(const QString &connectionText, const QString &, const QString &password)
{
    openFile(DatabasePathOf(connectionText), password, false);
}

std::unique_ptr<Connection> Connection::CreateFile(const QString &path, const QString &password)
{
    auto c = std::make_unique<Connection>();
    c->openFile(path, password, true);
    return c;
}

void Connection::ExecuteScript(const QString &script)
{
    if (!m_db)
        throw SqlError(QStringLiteral("The database is not open."));
    char *err = nullptr;
    if (sqlite3_exec(m_db, script.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString why = QString::fromUtf8(err ? err : "unknown failure");
        sqlite3_free(err);
        throw SqlError(why);
    }
}

void Connection::clearCache()
{
    for (const Cached &c : std::as_const(m_cache))
        sqlite3_finalize(c.stmt);
    m_cache.clear();
}

Connection::Cached &Connection::statementFor(const QString &text)
{
    const auto found = m_cache.find(text);
    if (found != m_cache.end())
        return *found;
    const QByteArray utf8 = text.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), utf8.size() + 1, &stmt, &tail) != SQLITE_OK)
        throw SqlError(errorText(m_db));
    if (!stmt)
        throw SqlError(QStringLiteral("The statement is empty."));
    // One statement at a time: anything after the first one is refused, never run.
    for (const char *p = tail; p && *p; ++p) {
        if (!(*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == ';')) {
            sqlite3_finalize(stmt);
            throw SqlError(QStringLiteral("Characters found after end of SQL statement."));
        }
    }
    if (m_cache.size() >= kMaxCachedStatements)
        clearCache();
    return *m_cache.insert(text, Cached{stmt, 0});
}

std::shared_ptr<Recordset> Connection::Execute(const QString &statement)
{
    StatementLog::Add(statement);
    if (!m_db)
        throw SqlError(QStringLiteral("The database is not open."));
    Cached &cached = statementFor(RewriteDialect(statement));
    sqlite3_stmt *stmt = cached.stmt;

    const int cols = sqlite3_column_count(stmt);
    std::shared_ptr<Recordset> rs(new Recordset());
    rs->m_closed = cols == 0;
    rs->m_dateColumn.assign(size_t(cols), false);
    for (int c = 0; c < cols; ++c) {
        rs->m_names << QString::fromUtf8(sqlite3_column_name(stmt, c));
        rs->m_dateColumn[size_t(c)] = isDateType(sqlite3_column_decltype(stmt, c));
    }

    if (cols > 0) {
        rs->m_cells.reserve(size_t(cached.lastRows) * size_t(cols));
        rs->m_text.reserve(cached.lastTextBytes);
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            Recordset::Cell cell;
            cell.length = 0;
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                cell.type = Recordset::Cell::Integer;
                cell.integer = sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_FLOAT:
                cell.type = Recordset::Cell::Double;
                cell.real = sqlite3_column_double(stmt, c);
                break;
            case SQLITE_NULL:
                cell.type = Recordset::Cell::Null;
                cell.integer = 0;
                break;
            default: {
                const char *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                const int len = sqlite3_column_bytes(stmt, c);
                cell.type = Recordset::Cell::Text;
                cell.offset = std::uint64_t(rs->m_text.size());
                cell.length = std::uint32_t(len);
                rs->m_text.append(t, len);
            }
            }
            rs->m_cells.push_back(cell);
        }
        ++rs->m_rows;
    }
    if (rc != SQLITE_DONE) {
        const QString why = errorText(m_db);
        sqlite3_reset(stmt);
        throw SqlError(why);
    }
    sqlite3_reset(stmt);
    if (cols > 0) {
        cached.lastRows = rs->m_rows;
        cached.lastTextBytes = int(rs->m_text.size());
        // A result much smaller than the last one does not keep the room reserved for that one.
        if (rs->m_cells.capacity() > 2 * rs->m_cells.size() + 1024)
            rs->m_cells.shrink_to_fit();
    }
    return rs;
}

// ---- The statement dialect ----

QString RewriteDialect(const QString &statement)
{
    if (!statement.contains(QLatin1Char('#')))
        return statement;
    QString out;
    out.reserve(statement.size() + 8);
    bool inQuote = false;
    for (int i = 0; i < statement.size(); ++i) {
        const QChar ch = statement[i];
        if (ch == QLatin1Char('\'')) {
            inQuote = !inQuote;  // a doubled quote toggles twice and stays inside
            out += ch;
            continue;
        }
        if (inQuote || ch != QLatin1Char('#')) {
            out += ch;
            continue;
        }
        const int close = statement.indexOf(QLatin1Char('#'), i + 1);
        if (close < 0) {
            out += ch;
            continue;
        }
        const QString literal = statement.mid(i + 1, close - i - 1);
        const QStringList parts = literal.split(QLatin1Char('/'));
        bool looksLikeDate = parts.size() == 3;
        for (const QString &p : parts)
            for (const QChar c : p)
                looksLikeDate = looksLikeDate && c.isDigit();
        if (!looksLikeDate) {
            out += ch;
            continue;
        }
        const QDate date = ParseShortDate(literal);
        if (!date.isValid())
            throw SqlError(QStringLiteral("Invalid date literal #%1# in the statement.").arg(literal));
        out += QLatin1Char('\'') + date.toString(Qt::ISODate) + QLatin1Char('\'');
        i = close;
    }
    return out;
}

namespace StatementLog {
namespace {
bool g_enabled = false;
QStringList g_entries;
}  // namespace
void SetEnabled(bool on) { g_enabled = on; }
bool Enabled() { return g_enabled; }
const QStringList &Entries() { return g_entries; }
void Clear() { g_entries.clear(); }
void Add(const QString &statement)
{
    if (g_enabled)
        g_entries << statement;
}
}  // namespace StatementLog
