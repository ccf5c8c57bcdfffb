// Speed of the data layer against the bare engine, on a database file laid out by the program's
// own maker and filled with the largest ledger a project can hold (32,767 entries).
//
//   ledger CTemplate/raw   loading a project's ledger through ExecuteSql and reading every field
//                          of every row, against the same statement stepped on a raw handle
//   CodeDecode/prepared    one name look-up as the task list makes it row after row, against a
//                          prepared statement that is reset and stepped again
//   Save/full, Save/normal one record writer's insert (key read and insert under one write lock),
//                          with every commit synced to the disk as the program runs, and, for the
//                          price of that, with the log synced only at checkpoints
//
// The two ratios are printed at the end with the goals they are held to.
#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "ui/Seams.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <QDate>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 32767;
const char *const kLedger = "Select * from tblTransaction Where UserId='ann' and TaskID =1 Order by TransactionDate,Id";
const char *const kLookup = "Select StatusName From tblStatus Where StatusID=2";

QTemporaryDir *g_folder = nullptr;
sqlite3 *g_raw = nullptr;  // a second handle on the same file, for the engine-only runs

void check(int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(what, g_raw ? sqlite3_errmsg(g_raw) : sqlite3_errstr(rc));
}

// Makes the database, fills one project's ledger in one transaction, and opens both handles.
void prepareDatabase()
{
    g_folder = new QTemporaryDir();
    if (!g_folder->isValid())
        fail("temporary folder", "cannot be made");
    const QString path = g_folder->filePath(QStringLiteral("qmk.dat"));
    try {
        CreateDatabaseFile(path);
    } catch (const SqlError &e) {
        fail("CreateDatabaseFile", qPrintable(e.description()));
    }

    const QByteArray file = path.toUtf8();
    const QByteArray key(kDatabasePassword);
    check(sqlite3_open_v2(file.constData(), &g_raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr), "open");
    check(sqlite3_key(g_raw, key.constData(), key.size()), "key");
    // The file's history triggers name the writing program's user, as Quillmark's connection does.
    check(sqlite3_create_function(g_raw, "qmk_user", 0, SQLITE_UTF8, nullptr,
                                  [](sqlite3_context *c, int, sqlite3_value **) { sqlite3_result_text(c, "ann", -1, SQLITE_STATIC); },
                                  nullptr, nullptr),
          "qmk_user");
    // The same page cache as the program's own connection, so both read alike.
    check(sqlite3_exec(g_raw, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr), "cache_size");
    check(sqlite3_exec(g_raw, "BEGIN", nullptr, nullptr, nullptr), "BEGIN");
    sqlite3_stmt *insert = nullptr;
    check(sqlite3_prepare_v2(g_raw,
                             "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,"
                             "Remarks,TaskID) VALUES (?,'ann',?,?,?,?,?,1)",
                             -1, &insert, nullptr),
          "prepare insert");
    const QDate first(2018, 1, 1);
    for (int id = 1; id <= kEntries; ++id) {
        // Dates out of key order, so that the ledger's Order by has work to do.
        const QByteArray date = first.addDays((id * 37) % 3000).toString(Qt::ISODate).toLatin1();
        const QByteArray remark = QStringLiteral("Entry %1 for the ledger").arg(id).toUtf8();
        const bool income = id % 3 == 0;
        const double amount = 10.0 + (id % 97) * 1.25;
        sqlite3_bind_int(insert, 1, id);
        sqlite3_bind_text(insert, 2, date.constData(), date.size(), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, 1 + id % 6);
        sqlite3_bind_double(insert, 4, income ? amount : 0.0);
        sqlite3_bind_double(insert, 5, income ? 0.0 : amount);
        sqlite3_bind_text(insert, 6, remark.constData(), remark.size(), SQLITE_TRANSIENT);
        check(sqlite3_step(insert), "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(g_raw, "COMMIT", nullptr, nullptr, nullptr), "COMMIT");

    // A failure of the data layer would show a box; here it ends the run instead.
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) -> ui::Answer {
        fail("data layer", qPrintable(r.prompt));
    });
    DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
}

void BM_LedgerThroughCTemplate(benchmark::State &state)
{
    CTemplate dao;
    const QString sql = QString::fromLatin1(kLedger);
    const QString byName = QStringLiteral("Remarks");
    std::int64_t rows = 0;
    for (auto _ : state) {
        dao.ExecuteSql(sql);
        Recordset &rs = *SharedRecordset;
        while (!rs.Eof()) {
            for (int i = 0; i < 8; ++i) {
                Variant v = rs.Fields(i);
                benchmark::DoNotOptimize(v);
            }
            Variant remark = rs.Fields(byName);
            benchmark::DoNotOptimize(remark);
            rs.MoveNext();
            ++rows;
        }
    }
    if (rows != std::int64_t(state.iterations()) * kEntries)
        state.SkipWithError("the ledger did not hold every entry");
    state.SetItemsProcessed(rows);
}

void BM_LedgerRawSqlcipher(benchmark::State &state) { ReadRowsRaw(state, g_raw, kLedger, kEntries); }

void BM_CodeDecodeRepeated(benchmark::State &state)
{
    CTemplate dao;
    const QString code = QStringLiteral("2"), field = QStringLiteral("StatusID"), table = QStringLiteral("tblStatus"),
                  column = QStringLiteral("StatusName");
    for (auto _ : state) {
        Variant name = dao.CodeDecode(code, field, table, column);
        benchmark::DoNotOptimize(name);
    }
}

void BM_PreparedStatementRerun(benchmark::State &state)
{
    sqlite3_stmt *stmt = nullptr;
    check(sqlite3_prepare_v2(g_raw, kLookup, -1, &stmt, nullptr), "prepare look-up");
    std::string name;
    for (auto _ : state) {
        if (sqlite3_step(stmt) != SQLITE_ROW) {
            state.SkipWithError("no status 2");
            break;
        }
        name.assign(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)), size_t(sqlite3_column_bytes(stmt, 0)));
        benchmark::DoNotOptimize(name);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
}

// Arg 1: each commit synced to the disk (the program's setting); arg 0: the log synced at checkpoints.
void BM_Save(benchmark::State &state)
{
    SharedConnection.Execute(state.range(0) ? QStringLiteral("PRAGMA synchronous=FULL")
                                            : QStringLiteral("PRAGMA synchronous=NORMAL"));
    CTemplate dao;
    int saved = 0;
    for (auto _ : state) {
        dao.AddNew(QStringLiteral("defHeads"), QStringLiteral("Heads<<>>PlusMinus<<>>UserId"),
                   QStringLiteral("'Fuel'<<>>1<<>>'ann'"), QStringLiteral("Id"), QStringLiteral("<<>>"));
        if (++saved == 10000) {  // keys stay far below their limit
            state.PauseTiming();
            SharedConnection.Execute(QStringLiteral("Delete from defHeads"));
            saved = 0;
            state.ResumeTiming();
        }
    }
    SharedConnection.Execute(QStringLiteral("Delete from defHeads"));
    SharedConnection.Execute(QStringLiteral("PRAGMA synchronous=FULL"));
}

BENCHMARK(BM_LedgerThroughCTemplate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LedgerRawSqlcipher)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodeDecodeRepeated)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreparedStatementRerun)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Save)->ArgName("synced")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    prepareDatabase();
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    printRatio(reporter, "Data layer: 32,767-entry ledger read through ExecuteSql / raw C API read",
               "BM_LedgerThroughCTemplate", "BM_LedgerRawSqlcipher", 1.5);
    printRatio(reporter, "Data layer: one CodeDecode look-up / a prepared statement rerun", "BM_CodeDecodeRepeated",
               "BM_PreparedStatementRerun", 3);
    benchmark::Shutdown();
    ResetProcessState();
    sqlite3_close_v2(g_raw);
    delete g_folder;
    return 0;
}
