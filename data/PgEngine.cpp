#include "data/PgEngine.h"

#include "data/ServerDialect.h"

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace {

constexpr int kMaxCachedStatements = 512;
// How many of the latest texts are remembered, to prepare those that come again.
constexpr size_t kRememberedTexts = 4096;

// What the program's statements and its reading of results rely on: dates in ISO form (read back
// as dates; a date typed as text is read day first), a backslash in quoted text as a plain
// character, text in UTF-8, intervals and floating-point values in the server's own exact forms,
// one time zone for any time cast to a date, and table names found only in the program's schema
// (a temporary table never comes before it). Set once the login is made, on every connection, as
// the last word over the environment (PGDATESTYLE, PGTZ, PGOPTIONS) and the role's and database's
// defaults. The settings the server reports are checked afterwards.
constexpr const char *kSessionSettings =
    "SET DateStyle = 'ISO, DMY'; SET standard_conforming_strings = on; SET client_encoding = 'UTF8'; "
    "SET IntervalStyle = 'postgres'; SET TimeZone = 'UTC'; SET extra_float_digits = 3; "
    "SET search_path = public, pg_temp";
constexpr const char *kReportedSettings[][2] = {
    {"DateStyle", "ISO, DMY"}, {"standard_conforming_strings", "on"}, {"client_encoding", "UTF8"},
    {"IntervalStyle", "postgres"}, {"TimeZone", "UTC"}};

// Type numbers of the server's built-in types that come back as something other than text.
enum : Oid {
    kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
    kDate = 1082, kNumeric = 1700,
};

// The server folds unquoted names to small letters; results name their columns as the program
// spells them, as the file engine does.
QString columnName(const char *name)
{
    static const QHash<QString, QString> spelled = [] {
        QHash<QString, QString> map;
        for (const char *n : {"Id", "UserId", "Passwd", "StatusID", "StatusName", "TaskID", "TaskName",
                              "StartDate", "EndDate", "CostUpToNow", "CostPlanned", "Notes", "TransactionDate",
                              "HeadId", "AmountIn", "AmountOut", "Remarks", "Heads", "PlusMinus"}) {
            const QString s = QString::fromLatin1(n);
            map.insert(s.toLower(), s);
        }
        return map;
    }();
    const QString raw = QString::fromUtf8(name);
    return spelled.value(raw, raw);
}

QString trimmed(const char *message) { return QString::fromUtf8(message ? message : "").trimmed(); }

// What the server said of a failed statement: its message, without the "ERROR:" prefix.
QString reasonOf(PGresult *result, pg_conn *conn)
{
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (primary)
        return QString::fromUtf8(primary);
    return trimmed(PQerrorMessage(conn));
}

// The server's reason a connection failed, as verbose messages give it, carries its error code
// after the severity ("FATAL:  28P01: ..."), whatever language the message is in.
bool loginRefusedCode(const QString &verbose)
{
    static const QRegularExpression code(QStringLiteral(":  (28P01|28000): "));
    return code.match(verbose).hasMatch();
}

// The same reason as the user is shown it: without the error codes and the server's source lines.
QString withoutCodes(const QString &verbose)
{
    static const QRegularExpression code(QStringLiteral("(:  )[0-9A-Z]{5}: "));
    static const QRegularExpression location(QStringLiteral("\\n[^\\n:]+:  [\\w$]+, [\\w./-]+:\\d+(?=\\n|$)"));
    QString out = verbose;
    out.replace(code, QStringLiteral("\\1"));
    out.replace(location, QString());
    return out.trimmed();
}

// Carries a connection that PQconnectStartParams began through to its end, as PQconnectdbParams
// would, waiting on each address at most the connection's connect_timeout (none when 0). Answers
// whether it is open; timedOut tells a wait given up.
bool completeConnection(pg_conn *conn, bool *timedOut)
{
    int seconds = 0;
    if (PQconninfoOption *options = PQconninfo(conn)) {
        for (const PQconninfoOption *o = options; o->keyword; ++o)
            if (qstrcmp(o->keyword, "connect_timeout") == 0 && o->val)
                seconds = std::atoi(o->val);
        PQconninfoFree(options);
    }
    if (seconds == 1)
        seconds = 2;  // libpq's own least wait
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline;
    int waitingOn = -1;
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    *timedOut = false;
    while (PQstatus(conn) != CONNECTION_BAD) {
        if (state == PGRES_POLLING_OK)
            return true;
        if (state == PGRES_POLLING_FAILED)
            return false;
        const int socket = PQsocket(conn);
        if (socket < 0)
            return false;
        if (socket != waitingOn) {  // another address: its own wait
            waitingOn = socket;
            deadline = Clock::now() + std::chrono::seconds(seconds);
        }
        int wait = -1;
        if (seconds > 0)
            wait = int(std::max<qint64>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
        pollfd ready{socket, short(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int n = ::poll(&ready, 1, wait);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            *timedOut = true;
            return false;
        }
        state = PQconnectPoll(conn);
    }
    return false;
}

// True once a connection could not be made again, until the event loop turns: the statements that
// follow in the same turn fail at once rather than each waiting for the server anew.
bool g_unreachableThisTurn = false;

void noteUnreachable()
{
    if (g_unreachableThisTurn || !QCoreApplication::instance())
        return;
    g_unreachableThisTurn = true;
    QTimer::singleShot(0, [] { g_unreachableThisTurn = false; });
}

// The server's or libpq's reason as one line: its first, without a severity or a closing full stop.
QString oneLine(const QString &reason)
{
    static const QRegularExpression severity(QStringLiteral("^(FATAL|ERROR|PANIC):\\s*"));
    QString out = reason.trimmed().section(QLatin1Char('\n'), 0, 0).simplified();
    out.remove(severity);
    while (out.endsWith(QLatin1Char('.')))
        out.chop(1);
    return out.isEmpty() ? QStringLiteral("the connection was closed") : out;
}

// True when the text's first statement is empty: only blanks and comments (which nest on this
// server) stand before a semicolon. The server would skip it and run the statement after it;
// the program runs one statement at a time, so such a text is refused.
bool startsWithEmptyStatement(const QString &text)
{
    int depth = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (depth > 0) {
            if (c == QLatin1Char('*') && next == QLatin1Char('/'))
                --depth, ++i;
            else if (c == QLatin1Char('/') && next == QLatin1Char('*'))
                ++depth, ++i;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            ++depth, ++i;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            while (i < text.size() && text[i] != QLatin1Char('\n'))
                ++i;
        } else if (!c.isSpace()) {
            return c == QLatin1Char(';');
        }
    }
    return false;
}

}  // namespace

bool ServerOverNetwork(const QString &conninfo)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return true;  // unreadable: the connection fails anyway, and never without the checks
    }
    QString host, hostaddr;
    for (const PQconninfoOption *o = options; o->keyword; ++o) {
        if (o->val && qstrcmp(o->keyword, "host") == 0)
            host = QString::fromUtf8(o->val);
        else if (o->val && qstrcmp(o->keyword, "hostaddr") == 0)
            hostaddr = QString::fromUtf8(o->val);
    }
    PQconninfoFree(options);
    if (!hostaddr.isEmpty())
        return true;
    if (host.isEmpty())
        host = qEnvironmentVariable("PGHOST");
    // libpq's own default, and a folder or an abstract name, is a Unix socket of this computer.
    for (const QString &one : host.split(QLatin1Char(',')))
        if (!one.isEmpty() && !one.startsWith(QLatin1Char('/')) && !one.startsWith(QLatin1Char('@')))
            return true;
    return false;
}

QString ServerKeyStatement(const QString &statement)
{
    static const QRegularExpression keyQuery(QStringLiteral("^Select max\\((\\w+)\\) From (\\w+)$"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = keyQuery.match(statement);
    if (!m.hasMatch())
        return {};
    const QString column = m.captured(1).toLower();
    const QString table = m.captured(2).toLower();
    static const QStringList keys{QStringLiteral("tblusers.id"), QStringLiteral("tbltasks.taskid"),
                                  QStringLiteral("tbltransaction.id"), QStringLiteral("tbltransaction.taskid"),
                                  QStringLiteral("defheads.id")};
    if (!keys.contains(table + QLatin1Char('.') + column))
        return {};
    return QStringLiteral("SELECT qmk_largest_key('%1','%2') AS max").arg(table, column);
}

PgEngine::PgEngine(const QString &conninfo, const QString &role, const QString &password, bool asAdministrator)
    : m_conninfo(conninfo), m_role(role), m_password(password), m_admin(asAdministrator)
{
    connect();
}

PgEngine::~PgEngine()
{
    if (m_conn)
        PQfinish(m_conn);
}

void PgEngine::connect()
{
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
    clearCache();
    const QByteArray info = m_conninfo.toUtf8(), role = m_role.toUtf8(), password = m_password.toUtf8();
    // The typed name and password come after the connection text and so take the place of any
    // it holds; the program's name shows in the server's list of sessions.
    // A server that cannot be reached, or a connection whose cable was pulled, is given up after
    // seconds rather than minutes, unless the connection text says otherwise.
    // Over the network the password is sent only to the server the certificate names, through
    // TLS bound to the login (a server that asks for the password in clear gets nothing), unless
    // the connection text says otherwise; a Unix socket never leaves this computer.
    const bool network = ServerOverNetwork(m_conninfo);
    const char *keys[] = {"connect_timeout", "keepalives_idle", "keepalives_interval", "keepalives_count",
                          "tcp_user_timeout", "sslmode", "channel_binding", "dbname", "user", "password",
                          "application_name", "client_encoding", nullptr};
    const char *values[] = {"10", "30", "10", "3", "30000", network ? "verify-full" : nullptr,
                            network ? "require" : nullptr, info.constData(), role.constData(),
                            password.constData(), "Quillmark", "UTF8", nullptr};
    m_conn = PQconnectStartParams(keys, values, 1);
    if (!m_conn)
        throw SqlError(QStringLiteral("The database server could not be reached: out of memory."));
    // The server's reason then carries its error code, which says a login was refused in any
    // language the server's messages are in; the words never decide.
    PQsetErrorVerbosity(m_conn, PQERRORS_VERBOSE);
    bool timedOut = false;
    if (!completeConnection(m_conn, &timedOut)) {
        QString why = withoutCodes(trimmed(PQerrorMessage(m_conn)));
        if (timedOut) {
            const char *host = PQhost(m_conn), *port = PQport(m_conn);
            why = (why.isEmpty() ? QString() : why + QLatin1Char('\n')) +
                  QStringLiteral("connection to server at \"%1\", port %2 failed: timeout expired")
                      .arg(QString::fromUtf8(host ? host : ""), QString::fromUtf8(port ? port : ""));
        }
        const bool refused = !timedOut && (PQconnectionNeedsPassword(m_conn) || loginRefusedCode(trimmed(PQerrorMessage(m_conn))));
        PQfinish(m_conn);
        m_conn = nullptr;
        if (refused)
            throw LoginRefused(why);
        m_lostReason = why;
        throw ConnectionLost(QStringLiteral("The database server could not be reached: %1").arg(why));
    }
    if (!m_admin && qstrcmp(PQparameterStatus(m_conn, "is_superuser"), "on") == 0) {
        PQfinish(m_conn);
        m_conn = nullptr;
        throw LoginRefused(QStringLiteral("Quillmark does not work as a superuser of the database server."));
    }
    PQsetErrorVerbosity(m_conn, PQERRORS_DEFAULT);
    pinSessionSettings();
    const char *host = PQhost(m_conn);
    const char *port = PQport(m_conn);
    m_where = QStringLiteral("database %1 on %2").arg(QString::fromUtf8(PQdb(m_conn)), QString::fromUtf8(host ? host : ""));
    if (port && *port && qstrcmp(port, "5432") != 0)
        m_where += QLatin1Char(':') + QString::fromUtf8(port);
    if (PQsslInUse(m_conn)) {
        const char *protocol = PQsslAttribute(m_conn, "protocol");
        m_where += QStringLiteral(", encrypted (%1)").arg(QString::fromUtf8(protocol ? protocol : "TLS"));
    } else if (host && *host != '/' && *host != '@') {
        m_where += QStringLiteral(", not encrypted");
    } else {
        m_where += QStringLiteral(", through a socket of this computer (not encrypted, never on the network)");
    }
    SetBusyTimeout(m_busyTimeout);
}

void PgEngine::pinSessionSettings()
{
    PGresult *r = PQexec(m_conn, kSessionSettings);
    QString why;
    if (!r || PQresultStatus(r) != PGRES_COMMAND_OK)
        why = reasonOf(r, m_conn);
    PQclear(r);
    for (const auto &[name, value] : kReportedSettings)
        if (why.isEmpty() && qstrcmp(PQparameterStatus(m_conn, name), value) != 0)
            why = QStringLiteral("%1 stays \"%2\" where Quillmark needs \"%3\".")
                      .arg(QString::fromLatin1(name), QString::fromUtf8(PQparameterStatus(m_conn, name)),
                           QString::fromLatin1(value));
    if (why.isEmpty())
        return;
    PQfinish(m_conn);
    m_conn = nullptr;
    throw SqlError(QStringLiteral("The database server would not take the session settings Quillmark works by: %1").arg(why));
}

// A connection that was lost is made again, with the same login, before the next action's first
// statement: nothing that failed is sent again. Within a transaction it is not: what the
// transaction did went with the old connection, and a statement on a new one would stand alone.
void PgEngine::ensureConnected()
{
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        return;
    // Lost during this action: the rest of it is not done on a new connection, half of its work
    // having gone with the old one.
    const bool lostThisAction = m_lostIn && *m_lostIn == ActionSerial() && QCoreApplication::instance();
    if (m_inTransaction || g_unreachableThisTurn || lostThisAction)
        throw ConnectionLost::Server(oneLine(m_lostReason));
    m_lostIn.reset();
    try {
        connect();
    } catch (const ConnectionLost &) {
        noteUnreachable();
        throw ConnectionLost::Server(oneLine(m_lostReason));
    }
}

[[noreturn]] void PgEngine::failWith(PGresult *result)
{
    const QString why = reasonOf(result, m_conn);
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QByteArray code(state ? state : "");
    PQclear(result);
    // A connection that went bad (the server restarted or stopped, the network was cut), or a
    // server ending this session: a fault of the connection, not of the statement.
    if (PQstatus(m_conn) != CONNECTION_OK || code == "57P01" || code == "57P02" || code == "57P03") {
        forgetConnection();
        m_lostReason = why;
        throw ConnectionLost::Server(oneLine(why));
    }
    // Waiting longer than the busy timeout for another program's lock, or a deadlock the server
    // broke: the statement did not run and nothing was stored.
    if (code == "55P03" || code == "40P01")
        throw DatabaseBusy();
    throw SqlError(why);
}

// The session is gone, and with it the reader's (a server that restarted cut both) and every
// cursor: the next action connects again, the reader when it is next needed.
void PgEngine::forgetConnection()
{
    clearCache();
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
    m_reader.reset();
    m_noReader = false;
    m_cursorsOpen.clear();
    m_alive = std::make_shared<char>(0);
    m_lostIn = ActionSerial();
    NextTurnAfterLoss();
}

PGresult *PgEngine::run(const QByteArray &sql)
{
    ensureConnected();
    PGresult *r = PQexec(m_conn, sql.constData());
    const ExecStatusType s = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
        failWith(r);
    return r;
}

void PgEngine::command(const char *sql) { PQclear(run(QByteArray(sql))); }

// Remembers the text among the latest ones; answers whether it was there already.
bool PgEngine::seenBefore(const QString &text)
{
    const size_t hash = qHash(text);
    if (m_seen.contains(hash))
        return true;
    if (m_seenOrder.size() < kRememberedTexts) {
        m_seenOrder.push_back(hash);
    } else {
        m_seen.remove(m_seenOrder[m_seenNext]);
        m_seenOrder[m_seenNext] = hash;
        m_seenNext = (m_seenNext + 1) % kRememberedTexts;
    }
    m_seen.insert(hash);
    return false;
}

// The name of the text's prepared statement, prepared now when the text was run lately; empty for
// a text not seen lately (most texts carry their values and never come again), which runs in one
// round trip without being kept.
QByteArray PgEngine::preparedName(const QString &text)
{
    const auto found = m_cache.constFind(text);
    if (found != m_cache.constEnd())
        return *found;
    if (!seenBefore(text))
        return {};
    if (m_cache.size() >= kMaxCachedStatements) {
        command("DEALLOCATE ALL");
        clearCache();
    }
    const QByteArray name = "qmk_" + QByteArray::number(++m_nextName);
    // A prepared statement is one statement: a text that holds a second is refused by the server.
    PGresult *r = PQprepare(m_conn, name.constData(), text.toUtf8().constData(), 0, nullptr);
    if (!r || PQresultStatus(r) != PGRES_COMMAND_OK)
        failWith(r);
    PQclear(r);
    m_cache.insert(text, name);
    return name;
}

std::shared_ptr<Recordset> PgEngine::Execute(const QString &statement)
{
    if (statement.contains(QChar(0)))
        throw SqlError(QStringLiteral("The statement holds a NUL character, which the database server cannot store."));
    if (startsWithEmptyStatement(statement))
        throw SqlError(QStringLiteral("Characters found before the SQL statement: it starts with an empty statement."));
    const QString key = ServerKeyStatement(statement);
    const QString text = key.isEmpty() ? SortNullsAsTheFile(RewriteDialect(statement)) : key;
    ensureConnected();
    const QByteArray name = preparedName(text);
    // Either way one statement: a text that holds a second is refused by the server.
    PGresult *r = name.isEmpty() ? PQexecParams(m_conn, text.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)
                                 : PQexecPrepared(m_conn, name.constData(), 0, nullptr, nullptr, nullptr, 0);
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status == PGRES_EMPTY_QUERY) {
        PQclear(r);
        throw SqlError(QStringLiteral("The statement is empty."));
    }
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        // A statement prepared before the tables changed may need preparing again.
        if (r && qstrcmp(PQresultErrorField(r, PG_DIAG_SQLSTATE), "0A000") == 0 && PQstatus(m_conn) == CONNECTION_OK)
            m_cache.remove(text);
        failWith(r);
    }

    std::shared_ptr<Recordset> rs(new Recordset());
    const int cols = status == PGRES_TUPLES_OK ? PQnfields(r) : 0;
    const int rows = cols > 0 ? PQntuples(r) : 0;
    rs->m_closed = cols == 0;
    rs->m_dateColumn.assign(size_t(cols), false);
    enum Kind { Integer, Double, Text, Bool };
    std::vector<Kind> kinds(size_t(cols), Text);
    for (int c = 0; c < cols; ++c) {
        rs->m_names << columnName(PQfname(r, c));
        switch (PQftype(r, c)) {
        case kInt2: case kInt4: case kInt8: case kOid: kinds[size_t(c)] = Integer; break;
        case kFloat4: case kFloat8: case kNumeric: kinds[size_t(c)] = Double; break;
        case kBool: kinds[size_t(c)] = Bool; break;
        case kDate: rs->m_dateColumn[size_t(c)] = true; break;
        default: break;
        }
    }
    rs->m_cells.resize(size_t(rows) * size_t(cols));
    Recordset::Cell *cell = rs->m_cells.data();
    for (int row = 0; row < rows; ++row) {
        for (int c = 0; c < cols; ++c, ++cell) {
            cell->length = 0;
            if (PQgetisnull(r, row, c)) {
                cell->type = Recordset::Cell::Null;
                cell->integer = 0;
                continue;
            }
            const char *v = PQgetvalue(r, row, c);
            switch (kinds[size_t(c)]) {
            case Integer:
                cell->type = Recordset::Cell::Integer;
                cell->integer = std::strtoll(v, nullptr, 10);
                break;
            case Double:
                cell->type = Recordset::Cell::Double;
                cell->real = 0;
                // Read with a point whatever the user's locale (which Qt sets for the process);
                // also reads NaN, Infinity and -Infinity.
                std::from_chars(v, v + PQgetlength(r, row, c), cell->real);
                break;
            case Bool:
                cell->type = Recordset::Cell::Integer;
                cell->integer = v[0] == 't' ? 1 : 0;
                break;
            case Text: {
                const int len = PQgetlength(r, row, c);
                cell->type = Recordset::Cell::Text;
                cell->offset = std::uint64_t(rs->m_text.size());
                cell->length = std::uint32_t(len);
                rs->m_text.append(v, size_t(len));
            }
            }
        }
    }
    rs->m_rows = rows;
    PQclear(r);
    return rs;
}

void PgEngine::ExecuteScript(const QString &script) { PQclear(run(script.toUtf8())); }

void PgEngine::BeginWrite()
{
    command("BEGIN");
    m_inTransaction = true;
}

void PgEngine::Commit()
{
    PGresult *r = nullptr;
    const bool sent = m_inTransaction && m_conn && PQstatus(m_conn) == CONNECTION_OK;
    try {
        r = run(QByteArrayLiteral("COMMIT"));
    } catch (const ConnectionLost &) {
        // The COMMIT may have reached the server before the connection went: whether the change
        // was stored is not known, and it must not be saved again unseen.
        m_inTransaction = false;
        if (sent)
            throw ConnectionLost(QStringLiteral("The database server could not be reached: %1. The change may or may "
                                                "not have been saved: look before saving it again.")
                                     .arg(oneLine(m_lostReason)));
        throw;
    }
    m_inTransaction = false;
    // A transaction that had failed ends with ROLLBACK in place of COMMIT: nothing was stored.
    const bool rolledBack = qstrcmp(PQcmdStatus(r), "ROLLBACK") == 0;
    PQclear(r);
    if (rolledBack)
        throw SqlError(QStringLiteral("The changes were not saved: the server rolled them back."));
}

void PgEngine::Rollback() noexcept
{
    m_inTransaction = false;
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        PQclear(PQexec(m_conn, "ROLLBACK"));
}

void PgEngine::SetBusyTimeout(int milliseconds)
{
    m_busyTimeout = milliseconds;
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        PQclear(PQexec(m_conn, QByteArray("SET lock_timeout = " + QByteArray::number(milliseconds)).constData()));
}

QByteArray PgEngine::PasswordVerifier(const QString &role, const QString &password)
{
    ensureConnected();
    char *verifier = PQencryptPasswordConn(m_conn, password.toUtf8().constData(), role.toUtf8().constData(),
                                           "scram-sha-256");
    if (!verifier)
        throw SqlError(QStringLiteral("The password could not be prepared for the server: %1")
                           .arg(trimmed(PQerrorMessage(m_conn))));
    const QByteArray out(verifier);
    PQfreemem(verifier);
    return out;
}

// ---- Rows stepped as they are read ----

// A cursor of the session's reader: a second session of the same role, in a read-only transaction
// while any cursor is open, so that the server runs the query once and hands its rows over as
// they are fetched, while the session itself keeps running every other statement (look-ups,
// writes) between the fetches. Each cursor reads what was committed when it was declared. Without
// a reader (it could not log in), a cursor of the session itself, held past its transaction.
class PgRows : public IRowCursor {
public:
    PgRows(PgEngine &engine, int number)
        : m_engine(&engine), m_alive(engine.m_alive), m_number(number),
          m_name(QStringLiteral("qmk_rows_%1").arg(number))
    {
    }
    ~PgRows() override { close(); }

    std::shared_ptr<Recordset> Next(int n) override
    {
        if (!engine())
            return nullptr;
        std::shared_ptr<Recordset> rows;
        try {
            rows = m_engine->reader().Execute(QStringLiteral("FETCH FORWARD %1 FROM %2").arg(std::max(n, 1)).arg(m_name));
        } catch (const ConnectionLost &) {
            m_engine->forgetConnection();
            m_alive.reset();
            throw;
        } catch (...) {
            close();
            throw;
        }
        if (rows->RecordCount() < std::max(n, 1))
            close();
        return rows;
    }

private:
    PgEngine *engine() const { return m_alive.expired() ? nullptr : m_engine; }
    void close()
    {
        if (PgEngine *e = engine()) {
            auto &open = e->m_cursorsOpen;
            open.erase(std::remove(open.begin(), open.end(), m_number), open.end());
            // A cursor the server ended already (a lost connection) needs no closing.
            try {
                e->reader().ExecuteScript(QStringLiteral("CLOSE %1").arg(m_name));
                if (open.empty() && e->m_reader)
                    e->m_reader->ExecuteScript(QStringLiteral("COMMIT"));
            } catch (const SqlError &) {
            }
        }
        m_alive.reset();
    }

    PgEngine *m_engine;
    std::weak_ptr<char> m_alive;
    int m_number;
    QString m_name;
};

PgEngine &PgEngine::reader() { return m_reader ? *m_reader : *this; }

std::unique_ptr<IRowCursor> PgEngine::OpenRows(const QString &statement)
{
    if (!m_reader && !m_noReader) {
        try {
            m_reader = std::make_unique<PgEngine>(m_conninfo, m_role, m_password, m_admin);
        } catch (const ConnectionLost &e) {
            // The server is not reached: said as for any statement, and the reader is tried again
            // once it is.
            m_lostReason = e.description().section(QStringLiteral(": "), 1);
            throw ConnectionLost::Server(oneLine(m_lostReason));
        } catch (const SqlError &) {
            m_noReader = true;
        }
    }
    // The lowest number not in use: the fetch statements, prepared once, stay few.
    int number = 1;
    while (std::find(m_cursorsOpen.begin(), m_cursorsOpen.end(), number) != m_cursorsOpen.end())
        ++number;
    const QString declare = QStringLiteral("DECLARE qmk_rows_%1 NO SCROLL CURSOR %2FOR ")
                                .arg(number)
                                .arg(m_reader ? QString() : QStringLiteral("WITH HOLD "));
    if (!m_reader) {
        Execute(declare + statement);
    } else {
        // A query that fails takes none of the other cursors with it.
        try {
            m_reader->ExecuteScript(m_cursorsOpen.empty() ? QStringLiteral("BEGIN READ ONLY; SAVEPOINT qmk_rows")
                                                          : QStringLiteral("SAVEPOINT qmk_rows"));
        } catch (const ConnectionLost &) {
            forgetConnection();
            throw;
        }
        try {
            m_reader->Execute(declare + statement);
            m_reader->ExecuteScript(QStringLiteral("RELEASE SAVEPOINT qmk_rows"));
        } catch (const ConnectionLost &) {
            forgetConnection();
            throw;
        } catch (...) {
            try {
                m_reader->ExecuteScript(m_cursorsOpen.empty() ? QStringLiteral("ROLLBACK")
                                                              : QStringLiteral("ROLLBACK TO SAVEPOINT qmk_rows"));
            } catch (const SqlError &) {
            }
            throw;
        }
    }
    m_cursorsOpen.push_back(number);
    return std::make_unique<PgRows>(*this, number);
}
