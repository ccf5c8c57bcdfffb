// Speed of the history window with 100,000 recorded changes of one project.
//
//   HistoryRead       the project's changes read through the data layer (HistoryOf)
//   HistoryToPaint    from the click on History in the ledger window until the window has painted
//                     its rows
// The changes are written straight into the file's history table (one transaction), as if made by
// users over the years; each benchmark runs five times and the window's goal is of the median.
#include "BenchSupport.h"
#include "PaintWatch.h"

#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "data/Sharing.h"
#include "ledger/frmHistory.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"
#include "ui/Seams.h"

#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kChanges = 100000;
QTemporaryDir *g_folder = nullptr;

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK)
        fail(sql, error ? error : "failed");
}

// ann's project 1 with one entry; 100,000 changes of its entries, five columns an event.
void prepare()
{
    g_folder = new QTemporaryDir();
    const QString path = g_folder->filePath(QStringLiteral("history.dat"));
    try {
        CreateDatabaseFile(path, Sample::None);
    } catch (const SqlError &e) {
        fail("making the file", qPrintable(e.description()));
    }
    RefuseMessageBoxes();
    DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
    CurrentUserId = QStringLiteral("ann");
    SharedConnection.Execute(QStringLiteral("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'ann','x')"));
    SharedConnection.Execute(QStringLiteral("INSERT INTO defHeads VALUES (1,'Cement',1,'ann')"));
    SharedConnection.Execute(QStringLiteral("INSERT INTO tblTasks VALUES (1,'ann',3,'Garage','2024-03-01',NULL,0,500,' ')"));
    SharedConnection.Execute(QStringLiteral("INSERT INTO tblTransaction VALUES (1,'ann','2024-03-05',1,0,120,'bags',1)"));
    const size_t before = HistoryOf(1).size();

    sqlite3 *raw = nullptr;
    const QByteArray file = path.toUtf8(), key(kDatabasePassword);
    if (sqlite3_open_v2(file.constData(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail("open", "raw handle");
    sqlite3_key(raw, key.constData(), key.size());
    exec(raw, "BEGIN");
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(raw, "INSERT INTO tblHistory (Event, ChangedAt, ChangedBy, TableName, RowKey, TaskID, Kind, "
                                "ColumnName, OldValue, NewValue) VALUES (?, ?, 'ann', 'tblTransaction', ?, 1, "
                                "'Changed', ?, ?, ?)", -1, &insert, nullptr) != SQLITE_OK)
        fail("prepare", sqlite3_errmsg(raw));
    static const char *const columns[] = {"AmountOut", "Remarks", "TransactionDate", "HeadId", "AmountIn"};
    const QDateTime start(QDate(2020, 1, 1), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < kChanges; ++i) {
        const int event = 1000 + i / 5;
        const QByteArray when = start.addSecs(qint64(event) * 600).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        const QByteArray from = QByteArray::number(i), to = QByteArray::number(i + 1);
        sqlite3_bind_int(insert, 1, event);
        sqlite3_bind_text(insert, 2, when.constData(), when.size(), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, 1 + (i / 5) % 500);
        sqlite3_bind_text(insert, 4, columns[i % 5], -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 5, from.constData(), from.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, to.constData(), to.size(), SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE)
            fail("insert", sqlite3_errmsg(raw));
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(raw, "COMMIT");
    sqlite3_close_v2(raw);
    if (HistoryOf(1).size() != before + kChanges)
        fail("the history", "the project's changes were not all read back");
}

void BM_HistoryRead(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(HistoryOf(1));
}

void BM_HistoryToPaint(benchmark::State &state)
{
    frmMainMenu ledger;
    ledger.show();
    ui::Grid *list = ledger.gdPreviewList;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 1)).center());
    if (ledger.lblTaskNo->text() != QStringLiteral("1"))
        fail("the ledger window", "project 1 is not on show");
    QApplication::processEvents();
    int shown = 0;
    ui::SetModalHandler([&](QDialog &d) {
        auto *grid = d.findChild<QTableView *>(QStringLiteral("gdHistory"));
        if (!grid)
            fail("the history window", "no gdHistory");
        PaintWatch painted(grid->viewport());
        d.show();
        painted.Wait();
        shown = grid->model()->rowCount();
        d.hide();
        return 0;
    });
    for (auto _ : state)
        ledger.btnHistory->click();
    ui::SetModalHandler({});
    if (shown < kChanges)
        state.SkipWithError("the history window did not list every change");
}

BENCHMARK(BM_HistoryRead)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_HistoryToPaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(1);

}  // namespace

int main(int argc, char **argv)
{
    DrawOffscreen();
    QApplication app(argc, argv);
    const int status = RunBenchmarks(argc, argv, prepare, [](const CollectingReporter &r) {
        printTime(r, "History window of 100,000 changes opened until painted", "BM_HistoryToPaint", 300);
    });
    ResetProcessState();
    delete g_folder;
    return status;
}
