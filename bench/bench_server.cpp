// Speed of the data layer on a PostgreSQL server, at the largest sizes the keys allow, on a
// throwaway cluster this program starts (scripts/pg-cluster.sh, Unix socket only) and a database
// laid out by the program's own maker (CreateServerDatabase, the "large" sample: 32,767 projects,
// 32,766 entries on the first). The program works logged in as the user "large".
//
//   ledger CTemplate/raw   the ledger of 32,766 entries through ExecuteSql, every field of every
//                          row read, against the same statement run with libpq on a second
//                          connection of the same role, every cell read as libpq hands it out
//   tasks CTemplate/raw    the task list of 32,767 projects, likewise
//   Save                   one ledger entry saved as the entry editor saves it (head type read,
//                          AddNew under its write transaction), then the ledger reloaded as the
//                          window reloads it (rows, totals, the project's cost written back);
//                          the new row is deleted between iterations, as the sample leaves one
//                          key free; each Save writes another amount, so its texts are new
//   New texts              1,000 look-ups of a project's name, each text new (its key written in
//                          it, as the windows compose their statements): the round trips each
//                          statement costs, beyond what it reads
//   first screen/N         a ledger of N entries (1,000, 32,766, 200,000) as the window shows it
//                          first: its first screen of rows stepped through the streamed row
//                          source, and its totals, against the same first screen and totals
//                          read with bare libpq
//   forecasts/raw          the forecasts of the 32,767 projects, each planned by one or two heads
//                          (a third of them in a second revision, half with an end date),
//                          through the data layer against the same statement with bare libpq
//   team                   20 programs' data layers (processes of their own, each logged in as
//                          its own user, saving into its own project) saving at once over the
//                          Unix socket: saves per second and the slowest save (p99); every key
//                          given once, every save stored
// The loads and the raw reads run five times each; their ratios are of the medians.
#include "data/Budgets.h"
#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/PgEngine.h"
#include "data/RowStream.h"
#include "data/ServerDatabase.h"
#include "ui/Seams.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kEntries = 32766;
constexpr int kProjects = 32767;
constexpr int kFreeKey = 32767;  // the one ledger key the sample leaves free
const char *const kLedger = "Select * from tblTransaction Where UserId='large' and TaskID =1 Order by TransactionDate,Id";
// Every project planned: a baseline of one or two heads, a second revision for every third
// project, and an end date for half of them.
const char *const kPlans =
    "INSERT INTO tblBudgetRevisions (TaskID,Revision,SavedAt,SavedBy,UserId) SELECT i, 0, '2026-01-01T00:00:00Z', "
    "'large', 'large' FROM generate_series(1, 32767) AS i;"
    "INSERT INTO tblBudgetRevisions (TaskID,Revision,SavedAt,SavedBy,UserId) SELECT TaskID, 1, '2026-02-01T00:00:00Z', "
    "'large', 'large' FROM tblBudgetRevisions WHERE TaskID % 3 = 0;"
    "INSERT INTO tblHeadBudgets (TaskID,Revision,HeadId,Planned,UserId) SELECT TaskID, Revision, 2, 500 + TaskID % 900, "
    "'large' FROM tblBudgetRevisions;"
    "INSERT INTO tblHeadBudgets (TaskID,Revision,HeadId,Planned,UserId) SELECT TaskID, Revision, 1, 100, 'large' "
    "FROM tblBudgetRevisions WHERE TaskID % 2 = 0;"
    "UPDATE tblTasks SET EndDate = StartDate + 400 WHERE TaskID % 2 = 1;";
const QDate kToday(2026, 7, 2);
std::string g_forecasts;
const char *const kTasks = "Select * from tblTasks Where UserId='large' Order by StartDate,CostUpToNow";
const char *const kDatabase = "qmk_bench";
const char *const kSysopPassword = "bench-sysop-pw";
const char *const kLargePassword = "bench-large-pw";

std::string g_parent;   // the temporary folder that holds the cluster's folder
std::string g_cluster;  // the cluster's folder, removed by pg-cluster.sh stop
std::string g_socket, g_port, g_superPassword;
pg_conn *g_raw = nullptr;  // a second connection as "large", for the libpq-only runs

std::string quoted(const std::string &s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int clusterScript(const char *command)
{
    const std::string script = std::string(QM_SOURCE_DIR) + "/scripts/pg-cluster.sh";
    return std::system(("bash " + quoted(script) + ' ' + command + ' ' + quoted(g_cluster) + " >&2").c_str());
}

// Stops the cluster and removes its folders; runs once, at exit, whatever ended the run.
void stopCluster()
{
    static bool stopped = false;
    if (stopped || g_cluster.empty())
        return;
    stopped = true;
    if (g_raw) {
        PQfinish(g_raw);
        g_raw = nullptr;
    }
    clusterScript("stop");
    ::rmdir(g_parent.c_str());
}

// Interrupted by the user: the cluster goes too.
void onSignal(int sig) { std::exit(128 + sig); }

std::string conninfo(const char *role, const char *password, const char *dbname)
{
    return "host=" + g_socket + " port=" + g_port + " dbname=" + dbname + " user=" + role + " password=" + password +
           " client_encoding=UTF8";
}

pg_conn *connectRaw(const std::string &info)
{
    pg_conn *c = PQconnectdb(info.c_str());
    if (PQstatus(c) != CONNECTION_OK)
        fail("connect", PQerrorMessage(c));
    return c;
}

void exec(pg_conn *c, const char *sql)
{
    PGresult *r = PQexec(c, sql);
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
        fail(sql, PQerrorMessage(c));
    PQclear(r);
}

// Starts the cluster, makes and lays out the database, and logs the program and the raw
// connection in as "large".
void prepare()
{
    char pattern[] = "/tmp/qmk-bench-server-XXXXXX";
    if (!::mkdtemp(pattern))
        fail("temporary folder", "cannot be made");
    g_parent = pattern;
    ::chmod(g_parent.c_str(), 0711);  // the cluster runs as the postgres user when started as root
    g_cluster = g_parent + "/cluster";
    std::atexit(stopCluster);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (clusterScript("start") != 0)
        fail("pg-cluster.sh start", "the cluster did not start");

    std::map<std::string, std::string> env;
    std::ifstream file(g_cluster + "/env");
    for (std::string line; std::getline(file, line);)
        if (const auto eq = line.find('='); eq != std::string::npos)
            env[line.substr(0, eq)] = line.substr(eq + 1);
    g_socket = env["PGHOST"];
    g_port = env["PGPORT"];
    g_superPassword = env["QMK_PG_SUPERUSER_PASSWORD"];
    if (g_socket.empty() || g_port.empty() || g_superPassword.empty())
        fail("cluster", "its env file is incomplete");

    pg_conn *super = connectRaw(conninfo("qmk_super", g_superPassword.c_str(), "postgres"));
    exec(super, (std::string("CREATE DATABASE ") + kDatabase).c_str());
    PQfinish(super);

    const QString server = QString::fromStdString("host=" + g_socket + " port=" + g_port + " dbname=" + kDatabase);
    try {
        CreateServerDatabase(server, QStringLiteral("qmk_super"), QString::fromStdString(g_superPassword),
                             QString::fromLatin1(kSysopPassword), Sample::Large, QString::fromLatin1(kLargePassword));
    } catch (const SqlError &e) {
        fail("CreateServerDatabase", e.description().toStdString());
    }
    // Statistics as the server's autovacuum gathers them shortly after a bulk load, so that every
    // run plans the same way.
    super = connectRaw(conninfo("qmk_super", g_superPassword.c_str(), kDatabase));
    exec(super, kPlans);
    exec(super, "VACUUM ANALYZE");
    PQfinish(super);

    // A failure of the data layer would show a box; here it ends the run instead.
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) -> ui::Answer {
        fail("data layer", r.prompt.toStdString());
    });
    ui::SetTraceHandler([](const QByteArray &) {});
    try {
        SharedConnection.Use(std::make_unique<PgEngine>(server, QStringLiteral("large"),
                                                        QString::fromLatin1(kLargePassword)));
    } catch (const SqlError &e) {
        fail("login as large", e.description().toStdString());
    }
    CurrentUserId = QStringLiteral("large");
    g_raw = connectRaw(conninfo("large", kLargePassword, kDatabase));
    StatementLog::SetEnabled(true);
    StatementLog::Clear();
    const auto forecasts = LoadForecasts(kToday);
    StatementLog::SetEnabled(false);
    if (forecasts.size() != size_t(kProjects) || StatementLog::Entries().size() != 1)
        fail("forecasts", "one statement giving every project expected");
    g_forecasts = StatementLog::Entries().first().toStdString();
}

// Reads every field of every row of the current result, as the grid does; answers the rows.
std::int64_t readAll()
{
    Recordset &rs = *SharedRecordset;
    const int cols = rs.FieldCount();
    std::int64_t rows = 0;
    while (!rs.Eof()) {
        for (int i = 0; i < cols; ++i) {
            Variant v = rs.Fields(i);
            benchmark::DoNotOptimize(v);
        }
        rs.MoveNext();
        ++rows;
    }
    return rows;
}

void loadThroughCTemplate(benchmark::State &state, const char *statement, int expected)
{
    CTemplate dao;
    const QString sql = QString::fromLatin1(statement);
    std::int64_t rows = 0;
    for (auto _ : state) {
        dao.ExecuteSql(sql);
        rows += readAll();
    }
    if (rows != std::int64_t(state.iterations()) * expected)
        state.SkipWithError("the result did not hold every row");
    state.SetItemsProcessed(rows);
}

// The baseline: the statement run with PQexec, every cell taken as libpq hands it out.
void readRowsRaw(benchmark::State &state, const char *sql, int expected)
{
    std::string text;
    std::int64_t rows = 0;
    for (auto _ : state) {
        PGresult *r = PQexec(g_raw, sql);
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            state.SkipWithError(PQerrorMessage(g_raw));
            PQclear(r);
            return;
        }
        const int n = PQntuples(r), cols = PQnfields(r);
        for (int row = 0; row < n; ++row)
            for (int c = 0; c < cols; ++c) {
                if (PQgetisnull(r, row, c))
                    continue;
                text.assign(PQgetvalue(r, row, c), size_t(PQgetlength(r, row, c)));
                benchmark::DoNotOptimize(text);
            }
        rows += n;
        PQclear(r);
    }
    if (rows != std::int64_t(state.iterations()) * expected)
        state.SkipWithError("unexpected row count");
    state.SetItemsProcessed(rows);
}

void BM_Forecasts(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadForecasts(kToday));
}
void BM_ForecastsRawLibpq(benchmark::State &state) { readRowsRaw(state, g_forecasts.c_str(), kProjects); }

void BM_LedgerThroughCTemplate(benchmark::State &state) { loadThroughCTemplate(state, kLedger, kEntries); }
void BM_LedgerRawLibpq(benchmark::State &state) { readRowsRaw(state, kLedger, kEntries); }
void BM_TaskListThroughCTemplate(benchmark::State &state) { loadThroughCTemplate(state, kTasks, kProjects); }
void BM_TaskListRawLibpq(benchmark::State &state) { readRowsRaw(state, kTasks, kProjects); }

// One Save of a new ledger entry on the 32,766-entry project, and the reload that follows it.
void BM_Save32766(benchmark::State &state)
{
    CTemplate dao;
    const QString fields = QStringLiteral("UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>Remarks<<>>TaskID");
    const QString headType = QStringLiteral("Select PlusMinus from defHeads Where Id=2");
    const QString ledger = QString::fromLatin1(kLedger);
    const QString sums = QStringLiteral("Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='large' and TaskID =1");
    const std::string removal = "Delete from tblTransaction Where Id=" + std::to_string(kFreeKey);
    int saved = 0;
    for (auto _ : state) {
        // Each Save writes an amount of its own, as a user's do: its statements' texts are new.
        const QString values = JoinList({QuoteSql(CurrentUserId), DateLiteral(QDate(2024, 3, 15)), QStringLiteral("2"),
                                         FormatNumber(0.0), FormatNumber(12.5 + ++saved),
                                         QuoteSql(QStringLiteral("Bench entry")), QStringLiteral("1")});
        dao.ExecuteSql(headType);
        Variant plusMinus = SharedRecordset->Fields(0);
        benchmark::DoNotOptimize(plusMinus);
        dao.AddNew(QStringLiteral("tblTransaction"), fields, values, QStringLiteral("Id"), kListDelimiter);
        dao.ExecuteSql(ledger);
        if (readAll() != kEntries + 1) {
            state.SkipWithError("the new entry is not in the ledger");
            break;
        }
        dao.ExecuteSql(sums);
        const double balance = SharedRecordset->Fields(0).toDouble() - SharedRecordset->Fields(1).toDouble();
        dao.ExecuteSql(QStringLiteral("Update tblTasks Set CostUpToNow=") + FormatFixed2(balance) +
                       QStringLiteral(" Where TaskID =1"));
        state.PauseTiming();
        PGresult *r = PQexec(g_raw, removal.c_str());
        const bool removed = PQresultStatus(r) == PGRES_COMMAND_OK && std::string(PQcmdTuples(r)) == "1";
        PQclear(r);
        if (!removed) {
            state.SkipWithError("the new entry could not be deleted");
            break;
        }
        state.ResumeTiming();
    }
}

// One thousand look-ups whose texts the connection has not seen lately.
void BM_NewTexts1000(benchmark::State &state)
{
    CTemplate dao;
    int next = 0;
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i) {
            dao.ExecuteSql(QStringLiteral("Select TaskName from tblTasks Where TaskID =%1").arg(++next % kProjects + 1));
            Variant name = SharedRecordset->Fields(0);
            benchmark::DoNotOptimize(name);
        }
}

BENCHMARK(BM_LedgerThroughCTemplate)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_LedgerRawLibpq)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_TaskListThroughCTemplate)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_TaskListRawLibpq)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_ForecastsRawLibpq)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Forecasts)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Save32766)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewTexts1000)->Unit(benchmark::kMillisecond);

// Projects 2 and 3 of "large" get 1,000 and 200,000 entries, after the benchmarks above (which
// count on the sample's keys).
void addLongLedgers()
{
    static bool added = false;
    if (added)
        return;
    added = true;
    pg_conn *super = connectRaw(conninfo("qmk_super", g_superPassword.c_str(), kDatabase));
    exec(super, "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) "
                "SELECT i, 'large', DATE '2021-01-01' + i % 900, 1 + i % 2, i % 7, i % 3, 'Long ' || i, "
                "CASE WHEN i <= 101000 THEN 2 ELSE 3 END FROM generate_series(100001, 301000) AS i");
    exec(super, "VACUUM ANALYZE tblTransaction");
    PQfinish(super);
}

const int kTaskOf[] = {2, 1, 3};  // 1,000, 32,766 and 200,000 entries

// The ledger's first screen through the streamed row source and its totals, as the window reads them.
void BM_FirstScreen(benchmark::State &state, int size)
{
    addLongLedgers();
    CTemplate dao;
    const int task = kTaskOf[size];
    for (auto _ : state) {
        const auto rows = OpenLedger(CurrentUserId, task);
        if (rows->FetchMore(128) != 128)
            state.SkipWithError("the ledger is too short");
        for (int r = 0; r < rows->Fetched(); ++r)
            for (int c = 0; c < 8; ++c) {
                Variant v = rows->FieldAt(r, c);
                benchmark::DoNotOptimize(v);
            }
        dao.ExecuteSql(LedgerSumsStatement(CurrentUserId, task));
        Variant v = SharedRecordset->Fields(0);
        benchmark::DoNotOptimize(v);
    }
}

// The same first screen and totals with bare libpq.
void BM_FirstScreenRaw(benchmark::State &state, int size)
{
    addLongLedgers();
    const int task = kTaskOf[size];
    const std::string ledger = "Select * from tblTransaction Where UserId='large' and TaskID =" + std::to_string(task) +
                               " Order by TransactionDate,Id LIMIT 128";
    const std::string sums = "Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='large' and TaskID =" +
                             std::to_string(task);
    std::string text;
    for (auto _ : state) {
        for (const std::string *sql : {&ledger, &sums}) {
            PGresult *r = PQexec(g_raw, sql->c_str());
            for (int row = 0; row < PQntuples(r); ++row)
                for (int c = 0; c < PQnfields(r); ++c)
                    text.assign(PQgetvalue(r, row, c), size_t(PQgetlength(r, row, c)));
            benchmark::DoNotOptimize(text);
            PQclear(r);
        }
    }
}

BENCHMARK_CAPTURE(BM_FirstScreen, 1000, 0)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_FirstScreenRaw, 1000, 0)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_FirstScreen, 32766, 1)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_FirstScreenRaw, 32766, 1)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_FirstScreen, 200000, 2)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_FirstScreenRaw, 200000, 2)->Unit(benchmark::kMillisecond)->Repetitions(5);

constexpr int kWriters = 20, kSavesEach = 50;

// One writer of the team, in a process of its own: its saves' times in milliseconds on one line.
int writerRun(const QString &server, const QString &user)
{
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) -> ui::Answer { fail("writer", r.prompt.toStdString()); });
    ui::SetTraceHandler([](const QByteArray &) {});
    SharedConnection.Use(std::make_unique<PgEngine>(server, user, user + QStringLiteral("-pw")));
    CurrentUserId = user;
    CTemplate dao;
    const QString fields = QStringLiteral("UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>Remarks<<>>TaskID");
    const QString project = QString::number(500000 + user.mid(1).toInt());
    QElapsedTimer clock;
    for (int i = 0; i < kSavesEach; ++i) {
        const QString values = JoinList({QuoteSql(user), DateLiteral(QDate(2024, 3, 15)), QStringLiteral("1"),
                                         FormatNumber(0.0), FormatNumber(i + 0.5), QuoteSql(QStringLiteral("Team")), project});
        clock.start();
        dao.AddNew(QStringLiteral("tblTransaction"), fields, values, QStringLiteral("Id"), kListDelimiter);
        std::printf("%.3f ", clock.nsecsElapsed() / 1e6);
    }
    std::printf("\n");
    ResetProcessState();
    return 0;
}

// The whole team at once: its users, a project each, then every writer started together.
void teamRun()
{
    const QString server = QString::fromStdString("host=" + g_socket + " port=" + g_port + " dbname=" + kDatabase);
    try {
        PgEngine sysop(server, QString::fromLatin1(kMasterUser), QString::fromLatin1(kSysopPassword));
        for (int i = 1; i <= kWriters; ++i)
            AddServerUser(sysop, QStringLiteral("w%1").arg(i), QStringLiteral("w%1-pw").arg(i));
    } catch (const SqlError &e) {
        fail("team users", e.description().toStdString());
    }
    pg_conn *super = connectRaw(conninfo("qmk_super", g_superPassword.c_str(), kDatabase));
    exec(super, "INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName) SELECT 500000 + i, 'w' || i, 2, 'Team ' || i "
                "FROM generate_series(1, 20) AS i");
    std::vector<std::unique_ptr<QProcess>> writers;
    QElapsedTimer wall;
    wall.start();
    for (int i = 1; i <= kWriters; ++i) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QCoreApplication::applicationFilePath(),
                              {QStringLiteral("--writer"), server, QStringLiteral("w%1").arg(i)});
    }
    std::vector<double> times;
    for (auto &w : writers) {
        w->waitForFinished(600000);
        for (const QString &t : QString::fromLatin1(w->readAllStandardOutput()).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (!t.trimmed().isEmpty())
                times.push_back(t.toDouble());
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    PGresult *r = PQexec(super, "SELECT count(*), count(DISTINCT Id) FROM tblTransaction WHERE Remarks = 'Team'");
    const int stored = std::atoi(PQgetvalue(r, 0, 0)), distinct = std::atoi(PQgetvalue(r, 0, 1));
    PQclear(r);
    PQfinish(super);
    std::sort(times.begin(), times.end());
    const bool whole = int(times.size()) == kWriters * kSavesEach && stored == kWriters * kSavesEach && distinct == stored;
    const double p99 = times.empty() ? -1 : times[std::min(times.size() - 1, size_t(times.size() * 0.99))];
    const double median = times.empty() ? -1 : times[times.size() / 2];
    printRecord("Server: 20 writers at once, saves per second (each its own user and project)",
                formatted("%.0f saves/s (%.0f saves in %.1f s)", stored / seconds, stored, seconds), "-", whole);
    printRecord("Server: 20 writers at once, the slowest save (p99; median beside it)",
                formatted("%.1f ms (median %.1f ms)", p99, median), "< 100 ms", whole && p99 < 100);
    printRecord("Server: 20 writers at once, every key given once and every save stored",
                formatted("%.0f stored, %.0f distinct keys", stored, distinct), "1000, 1000", whole);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "--writer") {
        QCoreApplication app(argc, argv);
        return writerRun(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    const int status = RunBenchmarks(argc, argv, prepare, [](const CollectingReporter &r) {
        printRatio(r, "Server: 32,766-entry ledger read through ExecuteSql / raw libpq read",
                   "BM_LedgerThroughCTemplate", "BM_LedgerRawLibpq", 2);
        printRatio(r, "Server: 32,767-project task list read through ExecuteSql / raw libpq read",
                   "BM_TaskListThroughCTemplate", "BM_TaskListRawLibpq", 2);
        printRatio(r, "Server: forecasts of 32,767 planned projects through the data layer / raw libpq read",
                   "BM_Forecasts", "BM_ForecastsRawLibpq", 2);
        printTime(r, "Server: one Save at 32,766 entries, with the ledger reload", "BM_Save32766", 150);
        const char *const sizes[] = {"1000", "32766", "200000"};
        const char *const said[] = {"1,000", "32,766", "200,000"};
        for (int i = 0; i < 3; ++i) {
            const std::string ours = std::string("BM_FirstScreen/") + sizes[i], raw = std::string("BM_FirstScreenRaw/") + sizes[i];
            printRatio(r, (std::string("Server: first screen and totals of a ") + said[i] +
                           "-entry ledger through the streamed source / raw libpq").c_str(), ours.c_str(), raw.c_str(), 1.5);
            printTime(r, (std::string("Server: the same at ") + said[i] + " entries").c_str(), ours.c_str(), 100);
        }
        teamRun();
    });
    ResetProcessState();
    stopCluster();
    return status;
}
