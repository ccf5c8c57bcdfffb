// What the user feels at the sizes a team reaches, on a file made by the program's own maker
// (qmk-initdb --huge: 100,000 projects, 1,000,000 entries, 200,000 of them in project 1), with
// ledgers of 1,000 (project 2), 32,766 (project 3) and 200,000 entries (project 1):
//
//   Raw/N          the first screen of the ledger's rows stepped with the C API, and its totals
//                  statement run: the floor of showing a ledger
//   ClickToPaint/N a click on the project's row until the ledger has painted its first rows and
//                  its totals
//   OpenToPaint    the window opened until its task list (100,000 projects) has painted
//   TasksRaw       the task list's first screen stepped with the C API
//   EndToPaint     End on the 200,000-entry ledger until its last row has painted
//   SaveToPaint    Save on the 200,000-entry ledger until the reloaded ledger has painted
// Every timing runs five times; the record holds the medians. Peak memory of the process holding
// both grids full (every project, every entry of project 1) is measured in a process of its own.
#include "BenchSupport.h"
#include "PaintWatch.h"

#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "export/GridColumns.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>

namespace {

const char *const kLedger = "Select * from tblTransaction Where UserId='huge' and TaskID =%d Order by TransactionDate,Id";
const char *const kSums = "Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='huge' and TaskID =%d";
const char *const kTasks = "Select * from tblTasks Where UserId='huge' Order by StartDate,CostUpToNow";

QTemporaryDir *g_folder = nullptr;
QString g_huge;
sqlite3 *g_raw = nullptr;
std::unique_ptr<frmMainMenu> g_window;

void openProgram()
{
    g_window.reset();
    ResetProcessState();
    DataAccess.dataIntialize(g_huge, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
    CurrentUserId = QStringLiteral("huge");
}

void prepare()
{
    g_folder = new QTemporaryDir();
    g_huge = g_folder->filePath(QStringLiteral("huge.dat"));
    QElapsedTimer made;
    made.start();
    try {
        CreateDatabaseFile(g_huge, Sample::Huge);
        std::printf("record|The huge sample made (qmk-initdb FILE --huge)|%.1f s|< 60 s|%s\n", made.elapsed() / 1000.0,
                    made.elapsed() < 60000 ? "met" : "NOT met");
        // Projects 2 and 3 take 1,000 and 32,766 of the entries; their own few go to project 4.
        Connection db;
        db.Open(QStringLiteral("dbq=") + g_huge, QString(), QString::fromLatin1(kDatabasePassword));
        db.ExecuteScript(QStringLiteral(
            "UPDATE tblTransaction SET TaskID=4 WHERE TaskID IN (2,3);"
            "UPDATE tblTransaction SET TaskID=2 WHERE Id BETWEEN 200001 AND 201000;"
            "UPDATE tblTransaction SET TaskID=3 WHERE Id BETWEEN 201001 AND 233766;"));
    } catch (const SqlError &e) {
        fail("making the file", qPrintable(e.description()));
    }
    RefuseMessageBoxes();
    ui::SetTraceHandler([](const QByteArray &) {});
    const QByteArray file = g_huge.toUtf8(), key(kDatabasePassword);
    if (sqlite3_open_v2(file.constData(), &g_raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        fail("open", "raw handle");
    sqlite3_key(g_raw, key.constData(), key.size());
    sqlite3_exec(g_raw, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr);
}

// Steps at most rows rows of a statement, every column read as the C API hands it out.
int stepRaw(const char *sql, int rows)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(g_raw, sql, -1, &stmt, nullptr) != SQLITE_OK)
        fail("raw", sqlite3_errmsg(g_raw));
    const int cols = sqlite3_column_count(stmt);
    std::string text;
    int stepped = 0;
    while (stepped < rows && sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c)
            if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                text.assign(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)), size_t(sqlite3_column_bytes(stmt, c)));
            else
                benchmark::DoNotOptimize(sqlite3_column_double(stmt, c));
        ++stepped;
    }
    sqlite3_finalize(stmt);
    return stepped;
}

// The floor of showing project task's ledger: its first screen of rows and its totals.
void BM_Raw(benchmark::State &state, int task)
{
    char ledger[200], sums[200];
    std::snprintf(ledger, sizeof ledger, kLedger, task);
    std::snprintf(sums, sizeof sums, kSums, task);
    for (auto _ : state) {
        if (stepRaw(ledger, ui::Grid::kFirstRows) != ui::Grid::kFirstRows || stepRaw(sums, 1) != 1)
            state.SkipWithError("the ledger is too short");
    }
}

void BM_TasksRaw(benchmark::State &state)
{
    for (auto _ : state)
        stepRaw(kTasks, ui::Grid::kFirstRows);
}

void streamToTheEnd(ui::Grid *g)
{
    while (g->Streaming())
        QCoreApplication::processEvents();
}

// The task list's row of a project, that row scrolled into view.
QPoint rowOfTask(ui::Grid *g, int taskId)
{
    for (int r = 1; r < g->Rows(); ++r)
        if (g->TextMatrix(r, TaskColumn::Id) == QString::number(taskId)) {
            const QModelIndex at = g->model()->index(r - 1, 1);
            g->scrollTo(at);
            QCoreApplication::processEvents();
            return g->visualRect(at).center();
        }
    fail("task list", "the project is not listed");
}

void showWindow()
{
    openProgram();
    g_window = std::make_unique<frmMainMenu>();
    PaintWatch painted(g_window->gdPreviewList->viewport());
    g_window->show();
    painted.Wait();
}

void click(int taskId)
{
    ui::Grid *tasks = g_window->gdPreviewList;
    const QPoint at = rowOfTask(tasks, taskId);
    PaintWatch painted(g_window->gdTansactionsList->viewport());
    QTest::mouseClick(tasks->viewport(), Qt::LeftButton, {}, at);
    painted.Wait();
}

void BM_ClickToPaint(benchmark::State &state, int task)
{
    showWindow();
    ui::Grid *tasks = g_window->gdPreviewList;
    for (auto _ : state) {
        state.PauseTiming();
        click(5);  // another project first, so that each click loads the ledger anew
        const QPoint large = rowOfTask(tasks, task);
        state.ResumeTiming();
        PaintWatch painted(g_window->gdTansactionsList->viewport());
        QTest::mouseClick(tasks->viewport(), Qt::LeftButton, {}, large);
        painted.Wait();
        state.PauseTiming();
        if (g_window->lblTaskNo->text() != QString::number(task) || g_window->gdTansactionsList->RowsLoaded() < 2 ||
            g_window->zeMoneyReceived->text().isEmpty())
            state.SkipWithError("the ledger and its totals are not shown");
        streamToTheEnd(g_window->gdTansactionsList);
        state.ResumeTiming();
    }
}

void BM_OpenToPaint(benchmark::State &state)
{
    openProgram();
    for (auto _ : state) {
        state.PauseTiming();
        g_window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        g_window = std::make_unique<frmMainMenu>();
        PaintWatch painted(g_window->gdPreviewList->viewport());
        g_window->show();
        painted.Wait();
        state.PauseTiming();
        streamToTheEnd(g_window->gdPreviewList);
        state.ResumeTiming();
    }
}

void BM_EndToPaint(benchmark::State &state)
{
    showWindow();
    ui::Grid *g = g_window->gdTansactionsList;
    for (auto _ : state) {
        state.PauseTiming();
        click(1);
        g->setFocus();
        state.ResumeTiming();
        PaintWatch painted(g->viewport());
        QTest::keyClick(g, Qt::Key_End);
        painted.Wait();
        state.PauseTiming();
        if (g->currentIndex().row() != 199999)
            state.SkipWithError("End did not reach the last entry");
        state.ResumeTiming();
    }
}

void BM_SaveToPaint(benchmark::State &state)
{
    showWindow();
    frmMainMenu &w = *g_window;
    click(1);
    for (auto _ : state) {
        state.PauseTiming();
        streamToTheEnd(w.gdTansactionsList);
        w.btnAddAction->click();
        w.cboTransactionHeads->SetListIndex(0);
        w.txtTransactionAmount->setText(QStringLiteral("12.5"));
        QCoreApplication::processEvents();
        state.ResumeTiming();
        PaintWatch painted(w.gdTansactionsList->viewport());
        w.cmdSave->click();
        painted.Wait();
        state.PauseTiming();
        SharedConnection.Execute(QStringLiteral("Delete from tblTransaction Where Id=(Select max(Id) From tblTransaction)"));
        state.ResumeTiming();
    }
}

BENCHMARK_CAPTURE(BM_Raw, 1000, 2)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_Raw, 32766, 3)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_Raw, 200000, 1)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_ClickToPaint, 1000, 2)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK_CAPTURE(BM_ClickToPaint, 32766, 3)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK_CAPTURE(BM_ClickToPaint, 200000, 1)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_TasksRaw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_OpenToPaint)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_EndToPaint)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_SaveToPaint)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

double peakMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return -1;
}

// Both grids full: every project listed, every entry of project 1 stepped.
int peakMemoryRun(const QString &file)
{
    g_huge = file;
    RefuseMessageBoxes();
    ui::SetTraceHandler([](const QByteArray &) {});
    showWindow();
    click(1);
    const int rows = g_window->gdPreviewList->Rows() + g_window->gdTansactionsList->Rows();
    QApplication::processEvents();
    std::printf("%.0f %d\n", peakMegabytes(), rows);
    g_window.reset();
    ResetProcessState();
    return 0;
}

void record(const CollectingReporter &r)
{
    const char *const sizes[] = {"1000", "32766", "200000"};
    const char *const said[] = {"1,000", "32,766", "200,000"};
    for (int i = 0; i < 3; ++i) {
        const std::string click = std::string("BM_ClickToPaint/") + sizes[i];
        const std::string raw = std::string("BM_Raw/") + sizes[i];
        const std::string label = std::string("Click on a ") + said[i] +
                                  "-entry project until its first rows and totals are painted / raw first screen and totals";
        printRatio(r, label.c_str(), click.c_str(), raw.c_str(), 1.5);
        const std::string under = std::string("The same click at ") + said[i] + " entries";
        printTime(r, under.c_str(), click.c_str(), 100);
    }
    printRatio(r, "Window opened until its task list (100,000 projects) is painted / raw first screen",
               "BM_OpenToPaint", "BM_TasksRaw", 1.5);
    printTime(r, "The same opening", "BM_OpenToPaint", 100);
    printTime(r, "End on the 200,000-entry ledger until its last row is painted", "BM_EndToPaint", 1000);
    printRatio(r, "Save at 200,000 entries until the reloaded ledger is painted / raw first screen and totals",
               "BM_SaveToPaint", "BM_Raw/200000", 1.3);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-memory"), g_huge});
    child.waitForFinished(300000);
    const QStringList out = QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    const double peak = out.value(0).toDouble();
    const bool full = out.value(1).toInt() == 100001 + 200001;
    printRecord("Peak memory, both grids full (100,000 projects, 200,000 entries)",
                full ? formatted("%.0f MB", peak) : std::string("n/a (the grids were not full)"), "< 100 MB",
                full && peak < 100);
}

}  // namespace

int main(int argc, char **argv)
{
    DrawOffscreen();
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--peak-memory")
        return peakMemoryRun(QString::fromLocal8Bit(argv[2]));
    const int status = RunBenchmarks(argc, argv, prepare, record);
    g_window.reset();
    ResetProcessState();
    sqlite3_close(g_raw);
    delete g_folder;
    return status;
}
