// Speed of writing an import: 10,000 statement lines written as one batch (entries, their import
// records and the batch, in one transaction, keys taken together), against the same rows inserted
// with one prepared statement per table, bound row by row, in one transaction on a second
// connection: the least any writer of those rows could spend. And the classification of 10,000
// lines against a project of 30,000 entries.
//
//   ImportWrite/File, RawInsert/File        on the database file, synced as the program runs it
//   Classify/File                           10,000 lines, 30,000 entries in the project
//   ImportWrite/Server, RawInsert/Server    on a PostgreSQL server, logged in as a member (the
//   Classify/Server                         key checks and row policies apply to both); only where
//                                           PostgreSQL's server programs are installed, on a
//                                           throwaway cluster (scripts/pg-cluster.sh), or on the
//                                           running throwaway one that QMK_PG_DIR names (its
//                                           Quillmark databases and roles are dropped first)
//   ReadPreview/File                        a bank's CSV of 10,000 lines (semicolons, decimal commas)
//                                           read from the disk to the rows of the preview: format,
//                                           proposed mapping, every line, classified against the
//                                           project of 30,000 entries, heads by rule and history
// Each written batch is removed again outside the timing.
#include "data/Imports.h"
#include "import/Readers.h"
#include "ledger/ImportPreview.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "data/PgEngine.h"
#include "data/ServerDatabase.h"
#include "ui/Seams.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kLines = 10000;
constexpr int kProjectEntries = 30000;
const char *const kUser = "ann";
const char *const kUserPassword = "bench-ann-pw";

QTemporaryDir *g_folder = nullptr;
sqlite3 *g_rawFile = nullptr;
pg_conn *g_rawServer = nullptr;
std::unique_ptr<IEngine> g_serverEngine;  // the program's connection to the server, until its runs
std::string g_cluster;                                    // a cluster this program started, stopped at exit
QString g_server;

// The lines of a statement: a month of bookings, income and spending mixed, under both heads.
std::vector<import::PreviewRow> statementLines(int count, int salt)
{
    std::vector<import::PreviewRow> rows(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        import::PreviewRow &r = rows[size_t(i)];
        r.line.line = i + 1;
        r.line.date = QDate(2025, 1, 1).addDays(i % 300);
        r.line.amount = (i % 3 == 0 ? 1 : -1) * (10.0 + (i * 7 + salt) % 997 * 0.25);
        r.line.remarks = QStringLiteral("Payee %1 invoice %2").arg(i % 50).arg(i);
        r.line.bankId = QStringLiteral("B%1-%2").arg(salt).arg(i);
        r.line.fingerprint = QByteArray::number(salt) + '-' + QByteArray::number(i);
        r.headId = 1 + i % 2;
        r.ticked = true;
    }
    return rows;
}

// The file's runs come first; the first server run then takes the process's connection to the
// server, as a login to it does.
void useEngine(bool server)
{
    if (server && g_serverEngine)
        SharedConnection.Use(std::move(g_serverEngine));
}

// The file: a project of 30,000 entries besides the one the imports go to.
void prepareFile()
{
    g_folder = new QTemporaryDir();
    const QString path = g_folder->filePath(QStringLiteral("qmk.dat"));
    CreateDatabaseFile(path);
    DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
    SharedConnection.ExecuteScript(QStringLiteral(
        "BEGIN;"
        "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'ann'),(2,'Supplies',1,'ann');"
        "INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Imports'),(2,'ann','Large');"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) "
        "SELECT i, 'ann', date('2025-01-01', '+' || (i % 300) || ' days'), 1 + i % 2, "
        "CASE WHEN i % 2 = 1 THEN 10 + i % 997 * 0.25 ELSE 0 END, CASE WHEN i % 2 = 0 THEN 10 + i % 997 * 0.25 ELSE 0 END, "
        "'Payee ' || (i % 50) || ' order ' || i, 2 FROM n;"
        "COMMIT;").arg(kProjectEntries));
    CurrentUserId = QString::fromLatin1(kUser);
    const QByteArray file = path.toUtf8();
    if (sqlite3_open_v2(file.constData(), &g_rawFile, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_key(g_rawFile, kDatabasePassword, int(qstrlen(kDatabasePassword))) != SQLITE_OK)
        fail("raw open", "the file did not open");
    sqlite3_busy_timeout(g_rawFile, 10000);
    // The file's history triggers name the writing program's user, as Quillmark's connection does.
    sqlite3_create_function(g_rawFile, "qmk_user", 0, SQLITE_UTF8, nullptr,
                            [](sqlite3_context *c, int, sqlite3_value **) { sqlite3_result_text(c, kUser, -1, SQLITE_STATIC); },
                            nullptr, nullptr);
}

// A running cluster: the one QMK_PG_DIR names, else one started here when PostgreSQL is installed.
std::map<std::string, std::string> clusterEnv()
{
    std::string dir = qEnvironmentVariable("QMK_PG_DIR").toStdString();
    if (dir.empty()) {
        if (QDir(QStringLiteral("/usr/lib/postgresql")).entryList({QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
            return {};
        char pattern[] = "/tmp/qmk-bench-import-XXXXXX";
        if (!::mkdtemp(pattern))
            return {};
        ::chmod(pattern, 0711);
        g_cluster = std::string(pattern) + "/cluster";
        const std::string start = "bash '" QM_SOURCE_DIR "/scripts/pg-cluster.sh' start '" + g_cluster + "' >&2";
        std::atexit([] {
            std::system(("bash '" QM_SOURCE_DIR "/scripts/pg-cluster.sh' stop '" + g_cluster + "' >&2").c_str());
            ::rmdir(g_cluster.substr(0, g_cluster.rfind('/')).c_str());
        });
        if (std::system(start.c_str()) != 0)
            return {};
        dir = g_cluster;
    }
    std::map<std::string, std::string> env;
    std::ifstream file(dir + "/env");
    for (std::string line; std::getline(file, line);)
        if (const auto eq = line.find('='); eq != std::string::npos)
            env[line.substr(0, eq)] = line.substr(eq + 1);
    return env;
}

void prepareServer()
{
    const auto env = clusterEnv();
    if (env.count("PGHOST") == 0) {
        std::fprintf(stderr, "bench_import: no database server: the server runs are left out\n");
        return;
    }
    const QString host = QStringLiteral("host=%1 port=%2 ").arg(QString::fromStdString(env.at("PGHOST")),
                                                                QString::fromStdString(env.at("PGPORT")));
    const QString superPassword = QString::fromStdString(env.at("QMK_PG_SUPERUSER_PASSWORD"));
    g_server = host + QStringLiteral("dbname=qmk_bench_import");
    try {
        {
            PgEngine super(host + QStringLiteral("dbname=postgres"), QStringLiteral("qmk_super"), superPassword, true);
            // Roles belong to the whole cluster: a throwaway one holds one Quillmark database at a time.
            for (const auto rs = super.Execute(QStringLiteral("SELECT datname FROM pg_database WHERE datname LIKE 'qmk\\_%'"));
                 !rs->Eof(); rs->MoveNext())
                super.Execute(QStringLiteral("DROP DATABASE ") + rs->Fields(0).toString() + QStringLiteral(" WITH (FORCE)"));
            super.ExecuteScript(QStringLiteral(
                "DO $$ DECLARE r record; BEGIN FOR r IN SELECT rolname FROM pg_roles WHERE rolname NOT LIKE 'pg\\_%' "
                "AND rolname <> 'qmk_super' LOOP EXECUTE format('DROP ROLE %I', r.rolname); END LOOP; END $$"));
            super.Execute(QStringLiteral("CREATE DATABASE qmk_bench_import"));
        }
        CreateServerDatabase(g_server, QStringLiteral("qmk_super"), superPassword, QStringLiteral("bench-sysop"));
        PgEngine sysop(g_server, QStringLiteral("sysop"), QStringLiteral("bench-sysop"));
        AddServerUser(sysop, QString::fromLatin1(kUser), QString::fromLatin1(kUserPassword));
        PgEngine admin(g_server, QStringLiteral("qmk_super"), superPassword, true);
        admin.ExecuteScript(QStringLiteral(
            "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'ann'),(2,'Supplies',1,'ann');"
            "INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Imports'),(2,'ann','Large');"
            "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) "
            "SELECT i, 'ann', DATE '2025-01-01' + i % 300, 1 + i % 2, "
            "CASE WHEN i % 2 = 1 THEN 10 + i % 997 * 0.25 ELSE 0 END, CASE WHEN i % 2 = 0 THEN 10 + i % 997 * 0.25 ELSE 0 END, "
            "'Payee ' || (i % 50) || ' order ' || i, 2 FROM generate_series(1, %1) AS i").arg(kProjectEntries));
        admin.ExecuteScript(QStringLiteral("VACUUM ANALYZE"));
        g_serverEngine = std::make_unique<PgEngine>(g_server, QString::fromLatin1(kUser), QString::fromLatin1(kUserPassword));
    } catch (const SqlError &e) {
        fail("server", e.description().toStdString());
    }
    g_rawServer = PQconnectdb((g_server + QStringLiteral(" user=ann password=") + QString::fromLatin1(kUserPassword))
                                  .toUtf8().constData());
    if (PQstatus(g_rawServer) != CONNECTION_OK)
        fail("raw connect", PQerrorMessage(g_rawServer));
}

void removeBatch(std::int32_t batch)
{
    import::UndoBatch(batch);
}

void BM_ImportWrite(benchmark::State &state, bool server)
{
    if (server && !g_rawServer) {
        state.SkipWithError("no database server");
        return;
    }
    useEngine(server);
    const auto rows = statementLines(kLines, 1);
    for (auto _ : state) {
        const std::int32_t batch = import::WriteBatch(1, QStringLiteral("bench.csv"), QByteArray(32, 'x'), rows);
        state.PauseTiming();
        removeBatch(batch);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

// The same rows on the raw file handle: one prepared insert per table, bound row by row.
void BM_RawInsertFile(benchmark::State &state)
{
    const auto rows = statementLines(kLines, 1);
    sqlite3_stmt *entry = nullptr, *record = nullptr;
    sqlite3_prepare_v2(g_rawFile, "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,"
                                  "TaskID) VALUES (?,'ann',?,?,?,?,?,1)", -1, &entry, nullptr);
    sqlite3_prepare_v2(g_rawFile, "INSERT INTO tblImportedEntries (BatchId,UserId,ActionId,BankId,Fingerprint,Stamp) "
                                  "VALUES (1,'ann',?,?,?,?)", -1, &record, nullptr);
    for (auto _ : state) {
        sqlite3_exec(g_rawFile, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt *largest = nullptr;
        sqlite3_prepare_v2(g_rawFile, "SELECT max(Id) FROM tblTransaction", -1, &largest, nullptr);
        sqlite3_step(largest);
        const sqlite3_int64 first = sqlite3_column_int64(largest, 0) + 1;
        sqlite3_finalize(largest);
        sqlite3_exec(g_rawFile, "INSERT INTO tblImportBatches (Id,UserId,TaskID) VALUES (1,'ann',1)", nullptr, nullptr, nullptr);
        for (int i = 0; i < kLines; ++i) {
            const import::PreviewRow &r = rows[size_t(i)];
            const QByteArray date = r.line.date.toString(Qt::ISODate).toLatin1(), remarks = r.line.remarks.toUtf8(),
                             bank = r.line.bankId.toUtf8(), print = r.line.fingerprint.toHex(),
                             stamp = date + "|" + QByteArray::number(r.headId) + "|" + remarks;
            sqlite3_bind_int64(entry, 1, first + i);
            sqlite3_bind_text(entry, 2, date.constData(), date.size(), SQLITE_TRANSIENT);
            sqlite3_bind_int(entry, 3, r.headId);
            sqlite3_bind_double(entry, 4, r.headId == 1 ? r.line.amount : 0.0);
            sqlite3_bind_double(entry, 5, r.headId == 1 ? 0.0 : -r.line.amount);
            sqlite3_bind_text(entry, 6, remarks.constData(), remarks.size(), SQLITE_TRANSIENT);
            sqlite3_bind_int64(record, 1, first + i);
            sqlite3_bind_text(record, 2, bank.constData(), bank.size(), SQLITE_TRANSIENT);
            sqlite3_bind_text(record, 3, print.constData(), print.size(), SQLITE_TRANSIENT);
            sqlite3_bind_text(record, 4, stamp.constData(), stamp.size(), SQLITE_TRANSIENT);
            if (sqlite3_step(entry) != SQLITE_DONE || sqlite3_step(record) != SQLITE_DONE)
                fail("raw insert", sqlite3_errmsg(g_rawFile));
            sqlite3_reset(entry);
            sqlite3_reset(record);
        }
        sqlite3_exec(g_rawFile, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        sqlite3_exec(g_rawFile, QStringLiteral("BEGIN; DELETE FROM tblTransaction WHERE Id >= %1; DELETE FROM "
                                               "tblImportedEntries; DELETE FROM tblImportBatches; COMMIT;")
                                    .arg(first).toUtf8().constData(), nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
    sqlite3_finalize(entry);
    sqlite3_finalize(record);
    state.SetItemsProcessed(state.iterations() * kLines);
}

void pgExec(const char *sql)
{
    PGresult *r = PQexec(g_rawServer, sql);
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
        fail(sql, PQerrorMessage(g_rawServer));
    PQclear(r);
}

// The same rows on a second connection of the member: its keys taken together, one prepared insert
// per table, executed row by row.
void BM_RawInsertServer(benchmark::State &state)
{
    if (!g_rawServer) {
        state.SkipWithError("no database server");
        return;
    }
    const auto rows = statementLines(kLines, 1);
    static bool prepared = false;
    if (!prepared) {
        PQclear(PQprepare(g_rawServer, "entry", "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,"
                                                "AmountOut,Remarks,TaskID) VALUES ($1,'ann',$2,$3,$4,$5,$6,1)", 6, nullptr));
        PQclear(PQprepare(g_rawServer, "record", "INSERT INTO tblImportedEntries (BatchId,UserId,ActionId,BankId,"
                                                 "Fingerprint,Stamp) VALUES ($1,'ann',$2,$3,$4,$5)", 5, nullptr));
        prepared = true;
    }
    for (auto _ : state) {
        pgExec("BEGIN");
        PGresult *k = PQexec(g_rawServer, "SELECT qmk_take_keys('tbltransaction', 10000)");
        const long long first = std::atoll(PQgetvalue(k, 0, 0)) + 1;
        PQclear(k);
        PGresult *b = PQexec(g_rawServer, "INSERT INTO tblImportBatches (UserId,TaskID) VALUES ('ann',1) RETURNING Id");
        const std::string batch = PQgetvalue(b, 0, 0);
        PQclear(b);
        for (int i = 0; i < kLines; ++i) {
            const import::PreviewRow &r = rows[size_t(i)];
            const std::string id = std::to_string(first + i), date = r.line.date.toString(Qt::ISODate).toStdString(),
                              head = std::to_string(r.headId), remarks = r.line.remarks.toStdString(),
                              in = std::to_string(r.headId == 1 ? r.line.amount : 0.0),
                              out = std::to_string(r.headId == 1 ? 0.0 : -r.line.amount),
                              bank = r.line.bankId.toStdString(), print = r.line.fingerprint.toHex().toStdString(),
                              stamp = date + "|" + head + "|" + remarks;
            const char *entry[] = {id.c_str(), date.c_str(), head.c_str(), in.c_str(), out.c_str(), remarks.c_str()};
            const char *record[] = {batch.c_str(), id.c_str(), bank.c_str(), print.c_str(), stamp.c_str()};
            for (PGresult *r2 : {PQexecPrepared(g_rawServer, "entry", 6, entry, nullptr, nullptr, 0),
                                 PQexecPrepared(g_rawServer, "record", 5, record, nullptr, nullptr, 0)}) {
                if (PQresultStatus(r2) != PGRES_COMMAND_OK)
                    fail("raw insert", PQerrorMessage(g_rawServer));
                PQclear(r2);
            }
        }
        pgExec("COMMIT");
        state.PauseTiming();
        pgExec(("BEGIN; DELETE FROM tblTransaction WHERE Id >= " + std::to_string(first) +
                "; DELETE FROM tblImportedEntries; DELETE FROM tblImportBatches; COMMIT").c_str());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_Classify(benchmark::State &state, bool server)
{
    if (server && !g_rawServer) {
        state.SkipWithError("no database server");
        return;
    }
    useEngine(server);
    const auto lines = statementLines(kLines, 2);
    int duplicates = 0;
    for (auto _ : state) {
        auto rows = lines;
        import::Classify(rows, 2);
        duplicates = int(std::count_if(rows.begin(), rows.end(), [](const import::PreviewRow &r) {
            return r.status == import::LineStatus::PossibleDuplicate;
        }));
    }
    state.counters["duplicates"] = duplicates;
    state.SetItemsProcessed(state.iterations() * kLines);
}

// From the file on the disk to the rows the preview shows, as the import dialog does it.
void BM_ReadPreview(benchmark::State &state)
{
    useEngine(false);
    const QString path = g_folder->filePath(QStringLiteral("statement.csv"));
    {
        QFile csv(path);
        if (!csv.open(QIODevice::WriteOnly))
            fail("statement", csv.errorString().toStdString());
        csv.write("Buchungstag;Valuta;Auftraggeber/Empf\xc3\xa4nger;Verwendungszweck;Betrag;W\xc3\xa4hrung\n");
        for (int i = 0; i < kLines; ++i) {
            const QDate day = QDate(2024, 1, 1).addDays(i % 700);
            const int cents = (i * 7919) % 250000 - 100000;
            csv.write(QStringLiteral("%1;%1;Payee %2;Invoice %3 for work;%4,%5;EUR\n")
                          .arg(day.toString(QStringLiteral("dd.MM.yyyy")))
                          .arg(i % 97)
                          .arg(i)
                          .arg(cents / 100)
                          .arg(std::abs(cents % 100), 2, 10, QLatin1Char('0'))
                          .toUtf8());
        }
    }
    ImportPreviewModel model;
    for (auto _ : state) {
        const import::Format format = import::DetectFormat(path);
        const import::MappingProposal proposal = import::ProposeMapping(import::SampleTable(path, format));
        std::vector<import::PreviewRow> rows = import::ReadRows(path, format, &proposal.mapping);
        import::Classify(rows, 2);
        import::ApplyHeads(rows, import::LoadRules());
        model.SetRows(std::move(rows), {});
        if (model.rowCount() != kLines)
            fail("preview", "not every line was read");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) -> ui::Answer { fail("data layer", r.prompt.toStdString()); });
    ui::SetTraceHandler([](const QByteArray &) {});
    // File runs first, then the server's, each on its own connection.
    benchmark::RegisterBenchmark("ImportWrite/File", BM_ImportWrite, false)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("RawInsert/File", BM_RawInsertFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("Classify/File", BM_Classify, false)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("ReadPreview/File", BM_ReadPreview)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("ImportWrite/Server", BM_ImportWrite, true)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("RawInsert/Server", BM_RawInsertServer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("Classify/Server", BM_Classify, true)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    const int status = RunBenchmarks(argc, argv, [] {
        prepareFile();
        prepareServer();
    }, [](const CollectingReporter &r) {
        printTime(r, "Import: 10,000 entries written as one batch, file (synced)", "ImportWrite/File", 2000);
        printRatio(r, "Import: batch write / raw prepared insert of the same rows, file", "ImportWrite/File", "RawInsert/File", 1.5);
        printTime(r, "Import: 10,000 lines classified against a project of 30,000 entries, file", "Classify/File", 1000);
        printTime(r, "Import: a CSV of 10,000 lines read and previewed, file", "ReadPreview/File", 1000);
        if (g_rawServer) {
            printTime(r, "Import: 10,000 entries written as one batch, server", "ImportWrite/Server", 5000);
            printRatio(r, "Import: batch write / raw prepared insert of the same rows, server", "ImportWrite/Server",
                       "RawInsert/Server", 1.5);
            printTime(r, "Import: 10,000 lines classified against a project of 30,000 entries, server", "Classify/Server", 1000);
        }
    });
    if (g_rawServer)
        PQfinish(g_rawServer);
    if (g_rawFile)
        sqlite3_close(g_rawFile);
    ResetProcessState();
    return status;
}
