// Speed of the project ledger window at the largest sizes the keys allow, on files made by the
// program's own maker (qmk-initdb --large: 32,767 projects, 32,766 entries on the first).
//
//   LoadInGridTransactions / raw   the ledger of 32,766 entries into the grid, with its totals and
//                                  write-back, against reading the same rows with the C API
//   LoadInGrid / raw               the task list of 32,767 projects, likewise
//   Save                           one entry saved (insert and ledger reload) on a project of
//                                  1,000 entries and on the largest one; the new row is deleted
//                                  between iterations
//   Export                         the ledger of 1,000 entries exported as the window shows it
//   ...ToPaint                     what the user feels, on the window shown: opening it, a click on
//                                  the largest project's row, and Save there, each timed from the
//                                  action until the grid holds its rows and has painted once more
//   FindToPaint                    one keystroke in the search box until the task list of 32,767
//                                  projects, narrowed, has painted
// The raw reads and the user-felt timings run five times each; their ratios are of the medians.
// Peak memory of the process holding both grids full is reported at the end.
#include "BenchSupport.h"
#include "PaintWatch.h"

#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "export/TaskReport.h"
#include "ledger/frmMainMenu.h"
#include "export/GridColumns.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"
#include "ui/Seams.h"

#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

const char *const kLedger = "Select * from tblTransaction Where UserId='large' and TaskID =1 Order by TransactionDate,Id";
const char *const kTasks = "Select * from tblTasks Where UserId='large' Order by StartDate,CostUpToNow";

QTemporaryDir *g_folder = nullptr;
QString g_large, g_small;
sqlite3 *g_raw = nullptr;
std::unique_ptr<frmMainMenu> g_window;

void openProgram(const QString &path)
{
    ResetProcessState();
    g_window.reset();
    DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
    CurrentUserId = QStringLiteral("large");
    g_window = std::make_unique<frmMainMenu>();
}

void prepare()
{
    g_folder = new QTemporaryDir();
    g_large = g_folder->filePath(QStringLiteral("large.dat"));
    g_small = g_folder->filePath(QStringLiteral("small.dat"));
    try {
        CreateDatabaseFile(g_large, Sample::Large);
        // A project of 1,000 entries: the large file with all but the first 1,000 entries gone.
        QFile::copy(g_large, g_small);
        auto db = std::make_unique<Connection>();
        db->Open(QStringLiteral("dbq=") + g_small, QString(), QString::fromLatin1(kDatabasePassword));
        db->ExecuteScript(QStringLiteral("DELETE FROM tblTransaction WHERE Id > 1000; VACUUM;"));
    } catch (const SqlError &e) {
        fail("making the files", qPrintable(e.description()));
    }
    RefuseMessageBoxes();
    ui::SetTraceHandler([](const QByteArray &) {});
    const QByteArray file = g_large.toUtf8(), key(kDatabasePassword);
    if (sqlite3_open_v2(file.constData(), &g_raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        fail("open", "raw handle");
    sqlite3_key(g_raw, key.constData(), key.size());
    sqlite3_exec(g_raw, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr);
    openProgram(g_large);
}

void BM_LedgerRaw(benchmark::State &state) { ReadRowsRaw(state, g_raw, kLedger, 32766); }
void BM_TaskListRaw(benchmark::State &state) { ReadRowsRaw(state, g_raw, kTasks, 32767); }

void BM_LoadInGridTransactions(benchmark::State &state)
{
    for (auto _ : state)
        g_window->LoadInGridTransactions(1);
    if (g_window->gdTansactionsList->Rows() != 32767)
        state.SkipWithError("the ledger did not hold every entry");
}

void BM_LoadInGrid(benchmark::State &state)
{
    for (auto _ : state)
        g_window->LoadInGrid(0);
    if (g_window->gdPreviewList->Rows() != 32768)
        state.SkipWithError("the task list did not hold every project");
}

// One Save as the user makes it: Add on the selected project, an amount, Save.
void saveOnProject(benchmark::State &state, const QString &file)
{
    openProgram(file);
    frmMainMenu &w = *g_window;
    w.lblTaskNo->setText(QStringLiteral("1"));
    w.LoadInGridTransactions(1);
    for (auto _ : state) {
        w.btnAddAction_Click();
        w.cboTransactionHeads->SetListIndex(0);
        w.txtTransactionAmount->setText(QStringLiteral("12.5"));
        w.cmdSave_Click();
        state.PauseTiming();
        SharedConnection.Execute(QStringLiteral("Delete from tblTransaction Where Id=(Select max(Id) From tblTransaction)"));
        state.ResumeTiming();
    }
    openProgram(g_large);
}

void BM_Save1000(benchmark::State &state) { saveOnProject(state, g_small); }
void BM_Save32766(benchmark::State &state) { saveOnProject(state, g_large); }

// The export of the ledger of 1,000 entries as the window shows it, answering No to the offer to
// open the file and OK to the note that it was written. Every export lands in the same second,
// so each one rewrites the same file.
void BM_Export1000(benchmark::State &state)
{
    openProgram(g_small);
    frmMainMenu &w = *g_window;
    w.LoadInGridTransactions(1);
    ui::SetAppPath(g_folder->path());
    QDir(g_folder->path()).mkpath(QStringLiteral("xsl"));
    ui::SetClock([] { return QDateTime(QDate(2026, 5, 12), QTime(9, 30)); });
    int boxes = 0;
    ui::SetMessageBoxHandler([&boxes](const ui::MessageBoxRequest &r) {
        if (r.prompt.startsWith(QStringLiteral("The ledger could not be exported")))
            fail("export", qPrintable(r.prompt));
        ++boxes;
        return r.buttons == ui::Buttons::YesNo ? ui::Answer::No : ui::Answer::OK;
    });
    for (auto _ : state)
        ExportTaskReport(*w.gdTansactionsList, QStringLiteral("1"), QStringLiteral("Project 1"),
                         w.zeMoneyReceived->text(), w.zeMoneySpent->text(), w.txtCashInWallet->text());
    if (w.gdTansactionsList->Rows() != 1001 || boxes != 2 * int(state.iterations()))
        state.SkipWithError("the export did not write a 1,000-row ledger");
    ui::SetMessageBoxHandler(
        [](const ui::MessageBoxRequest &r) -> ui::Answer { fail("message box", qPrintable(r.prompt)); });
    ui::SetClock({});
    openProgram(g_large);
}

// A user's click on a grid's row (1 = the first data row), scrolled into view first.
void clickRow(ui::Grid *g, int row)
{
    const QModelIndex at = g->model()->index(row - 1, 1);
    g->scrollTo(at);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(at).center());
}

// The task list's row of a project.
int rowOfTask(ui::Grid *g, const QString &taskId)
{
    for (int r = 1; r < g->Rows(); ++r)
        if (g->TextMatrix(r, TaskColumn::Id) == taskId)
            return r;
    fail("task list", "the project is not listed");
}

void showWindow()
{
    openProgram(g_large);
    PaintWatch painted(g_window->gdPreviewList->viewport());
    g_window->show();
    painted.Wait();
}

void BM_OpenToPaint(benchmark::State &state)
{
    openProgram(g_large);
    for (auto _ : state) {
        state.PauseTiming();
        g_window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        g_window = std::make_unique<frmMainMenu>();
        PaintWatch painted(g_window->gdPreviewList->viewport());
        g_window->show();
        painted.Wait();
    }
    if (g_window->gdPreviewList->Rows() != 32768)
        state.SkipWithError("the task list did not hold every project");
}

void BM_ClickToPaint(benchmark::State &state)
{
    showWindow();
    ui::Grid *tasks = g_window->gdPreviewList;
    const int large = rowOfTask(tasks, QStringLiteral("1")), small = rowOfTask(tasks, QStringLiteral("2"));
    for (auto _ : state) {
        state.PauseTiming();
        {
            PaintWatch painted(g_window->gdTansactionsList->viewport());
            clickRow(tasks, small);  // another project first, so that each click loads the whole ledger
            painted.Wait();
        }
        state.ResumeTiming();
        PaintWatch painted(g_window->gdTansactionsList->viewport());
        clickRow(tasks, large);
        painted.Wait();
    }
    if (g_window->gdTansactionsList->Rows() != 32767)
        state.SkipWithError("the ledger did not hold every entry");
}

void BM_SaveToPaint(benchmark::State &state)
{
    showWindow();
    frmMainMenu &w = *g_window;
    {
        PaintWatch painted(w.gdTansactionsList->viewport());
        clickRow(w.gdPreviewList, rowOfTask(w.gdPreviewList, QStringLiteral("1")));
        painted.Wait();
    }
    for (auto _ : state) {
        state.PauseTiming();
        w.btnAddAction->click();
        w.cboTransactionHeads->SetListIndex(0);
        w.txtTransactionAmount->setText(QStringLiteral("12.5"));
        QCoreApplication::processEvents();
        state.ResumeTiming();
        PaintWatch painted(w.gdTansactionsList->viewport());
        w.cmdSave->click();
        painted.Wait();
        state.PauseTiming();
        if (w.gdTansactionsList->Rows() != 32768)
            state.SkipWithError("the new entry is not in the ledger");
        SharedConnection.Execute(QStringLiteral("Delete from tblTransaction Where Id=(Select max(Id) From tblTransaction)"));
        state.ResumeTiming();
    }
    openProgram(g_large);
}

// One keystroke in the search box until the narrowed task list has painted: the first after a load,
// the one that also gathers every project's number and name (the rows already all stepped, as
// they are by the time a user types).
void BM_FindToPaint(benchmark::State &state)
{
    showWindow();
    frmMainMenu &w = *g_window;
    ui::Grid *tasks = w.gdPreviewList;
    for (auto _ : state) {
        state.PauseTiming();
        w.txtFindTask->clear();
        w.LoadInGrid(0);
        tasks->Rows();
        w.txtFindTask->setFocus();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        PaintWatch painted(tasks->viewport());
        QTest::keyClick(w.txtFindTask, Qt::Key_7);
        painted.Wait();
    }
    // Every project with a 7 in its number (its name holds the number too).
    int sevens = 0;
    for (int n = 1; n <= 32767; ++n)
        sevens += QString::number(n).contains(QLatin1Char('7'));
    if (tasks->RowsShown() != sevens)
        state.SkipWithError("the narrowed list misses projects");
    w.txtFindTask->clear();
}

BENCHMARK(BM_LedgerRaw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_LoadInGridTransactions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TaskListRaw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_LoadInGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save32766)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenToPaint)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_ClickToPaint)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_SaveToPaint)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_FindToPaint)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

// The process's peak resident memory in MB (VmHWM).
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

}  // namespace

// In a process of its own: the window opened on the largest file with both grids full, then the
// process's peak memory.
int peakMemoryRun(const QString &file)
{
    RefuseMessageBoxes();
    ui::SetTraceHandler([](const QByteArray &) {});
    openProgram(file);
    g_window->show();
    g_window->LoadInGridTransactions(1);
    QApplication::processEvents();
    std::printf("%.0f\n", peakMegabytes());
    g_window.reset();
    ResetProcessState();
    return 0;
}

int main(int argc, char **argv)
{
    DrawOffscreen();
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--peak-memory")
        return peakMemoryRun(QString::fromLocal8Bit(argv[2]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    prepare();
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    printRatio(reporter, "Ledger load (LoadInGridTransactions, 32,766 entries) / raw C API read",
               "BM_LoadInGridTransactions", "BM_LedgerRaw", 3);
    printRatio(reporter, "Task-list load (LoadInGrid, 32,767 tasks) / raw C API read", "BM_LoadInGrid",
               "BM_TaskListRaw", 3);
    printTime(reporter, "One Save at 1,000 entries", "BM_Save1000", 16);
    printTime(reporter, "One Save at 32,766 entries", "BM_Save32766", 150);
    printTime(reporter, "Export of a 1,000-row ledger (ExportTaskReport)", "BM_Export1000", 100);
    printRatio(reporter, "Window opened until its task list (32,767 projects) is painted / raw C API read",
               "BM_OpenToPaint", "BM_TaskListRaw", 1.5);
    printRatio(reporter, "Click on a 32,766-entry project until its ledger is painted / raw C API read",
               "BM_ClickToPaint", "BM_LedgerRaw", 1.5);
    printTime(reporter, "Save at 32,766 entries until the new row is painted", "BM_SaveToPaint", 50);
    printTime(reporter, "One keystroke in Find project until the narrowed list (32,767 projects) is painted",
              "BM_FindToPaint", 50);
    // Both grids full at once, the window shown, in a fresh process.
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-memory"), g_large});
    child.waitForFinished(120000);
    const double peak = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toDouble();
    printRecord("Peak memory, both grids full (32,767 tasks, 32,766 entries)", formatted("%.0f MB", peak), "< 60 MB",
                peak > 0 && peak < 60);
    benchmark::Shutdown();
    g_window.reset();
    ResetProcessState();
    sqlite3_close_v2(g_raw);
    delete g_folder;
    return 0;
}
