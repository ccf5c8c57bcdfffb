#include "data/Engine.h"

#include "data/SqlCipherEngine.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

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

Variant Recordset::Fields(int position) const { return FieldAt(m_pos, position); }

Variant Recordset::FieldAt(int row, int position) const
{
    checkReadable();
    if (position < 0 || position >= m_names.size())
        throw SqlError(QStringLiteral("Item cannot be found in the collection corresponding to the "
                                      "requested name or ordinal."));
    if (row < 0 || row >= m_rows)
        throw SqlError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    const Cell &cell = m_cells[size_t(row) * size_t(m_names.size()) + size_t(position)];
    switch (cell.type) {
    case Cell::Null: return Variant::null();
    case Cell::Integer: return Variant(qint64(cell.integer));
    case Cell::Double: return Variant(cell.real);
    case Cell::Text: break;
    }
    const auto *text = reinterpret_cast<const unsigned char *>(m_text.data() + cell.offset);
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

QString DatabasePathOf(const QString &connectionText)
{
    const int at = connectionText.indexOf(QLatin1String("dbq="), 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const int start = at + 4;
    QString path = connectionText.mid(start);
    if (path.endsWith(QLatin1Char(';')))
        path.chop(1);
    // A file of that whole name is the file, whatever its folders hold ("q;lang=en/qmk.dat").
    if (QFileInfo(path).isFile())
        return path;
    // Otherwise the path runs to the next attribute ("; name=value"). A folder name may itself
    // hold ";" and even "name=", but then a "/" follows within the same piece, which no
    // attribute's value holds.
    static const QRegularExpression nextAttribute(QStringLiteral(";\\s*[A-Za-z][A-Za-z0-9 _]*=[^;/\\\\]*(;|$)"));
    const QRegularExpressionMatch m = nextAttribute.match(connectionText, start);
    if (m.hasMatch())
        path = connectionText.mid(start, m.capturedStart() - start);
    return path;
}

// ---- Connection ----

Connection::~Connection() { Close(); }

IEngine &Connection::engine()
{
    if (!m_engine)
        throw SqlError(QStringLiteral("The database is not open."));
    return *m_engine;
}

void Connection::Open(const QString &connectionText, const QString &, const QString &password)
{
    Close();
    Use(std::make_unique<SqlCipherEngine>(DatabasePathOf(connectionText), password, false, m_busyTimeout));
}

void Connection::Use(std::unique_ptr<IEngine> engine)
{
    Close();
    m_engine = std::move(engine);
    m_cannotSave = m_engine ? m_engine->CannotSave() : QString();
    if (m_engine)
        m_engine->SetBusyTimeout(m_busyTimeout);
}

void Connection::Close()
{
    m_engine.reset();
    m_cannotSave.clear();
}

std::unique_ptr<Connection> Connection::CreateFile(const QString &path, const QString &password)
{
    auto c = std::make_unique<Connection>();
    c->m_engine = std::make_unique<SqlCipherEngine>(path, password, true, c->m_busyTimeout);
    return c;
}

std::shared_ptr<Recordset> Connection::Execute(const QString &statement)
{
    StatementLog::Add(statement);
    return engine().Execute(statement);
}

std::unique_ptr<IRowCursor> Connection::OpenRows(const QString &statement)
{
    StatementLog::Add(statement);
    return engine().OpenRows(statement);
}

void Connection::ExecuteScript(const QString &script) { engine().ExecuteScript(script); }
void Connection::BeginWrite() { engine().BeginWrite(); }
void Connection::Commit() { engine().Commit(); }

void Connection::Rollback() noexcept
{
    if (m_engine)
        m_engine->Rollback();
}

void Connection::SetBusyTimeout(int milliseconds)
{
    m_busyTimeout = milliseconds;
    if (m_engine)
        m_engine->SetBusyTimeout(milliseconds);
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
