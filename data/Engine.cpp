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
    return m_cells[size_t(m_pos) * size_t(m_names.size()) + size_t(position)];
}

Variant Recordset::Fields(const QString &name) const
{
    checkReadable();
    for (int i = 0; i < m_names.size(); ++i)
        if (QString::compare(m_names[i], name, Qt::CaseInsensitive) == 0)
            return Fields(i);
    // A qualified name (tblTasks.TaskName) also finds its bare column.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        return Fields(name.mid(dot + 1));
    return Fields(-1);
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
    std::vector<bool> dateColumn(size_t(cols), false);
    for (int c = 0; c < cols; ++c) {
        rs->m_names << QString::fromUtf8(sqlite3_column_name(stmt, c));
        dateColumn[size_t(c)] = isDateType(sqlite3_column_decltype(stmt, c));
    }

    if (cols > 0)
        rs->m_cells.reserve(size_t(cached.lastRows) * size_t(cols));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                rs->m_cells.emplace_back(std::int64_t(sqlite3_column_int64(stmt, c)));
                break;
            case SQLITE_FLOAT:
                rs->m_cells.emplace_back(sqlite3_column_double(stmt, c));
                break;
            case SQLITE_NULL:
                rs->m_cells.push_back(Variant::null());
                break;
            default: {
                const unsigned char *t = sqlite3_column_text(stmt, c);
                const int len = sqlite3_column_bytes(stmt, c);
                if (dateColumn[size_t(c)])
                    rs->m_cells.push_back(dateOrText(t, len));
                else
                    rs->m_cells.emplace_back(QString::fromUtf8(reinterpret_cast<const char *>(t), len));
            }
            }
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
