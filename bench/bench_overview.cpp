// Speed of the projects overview on the largest file the keys allow, made by the program's own
// maker (qmk-initdb --large: 32,767 projects, 32,766 entries on the first).
//
//   Figures / raw     the projects with their sums (32,767 rows) read through the data layer into
//                     the overview's figures, against the same statement stepped on a raw handle
//   Balance / raw     the per-date sums of the largest project, likewise
//   Heads / raw       its spending by head, likewise
//   Forecasts / raw   the forecasts of every project, each planned by one or two heads (a third of
//                     them in a second revision, half of them with an end date), likewise
//   OverviewToPaint   the window made, shown and painted: its table with the plan's columns and its
//                     four charts, with the largest project selected
// The raw reads and the window run five times each; their ratios are of the medians.
#include "BenchSupport.h"
#include "PaintWatch.h"

#include "data/Budgets.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "ledger/frmOverview.h"
#include "ui/Seams.h"

#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QtCharts/QChartView>

#include <memory>

namespace {

QTemporaryDir *g_folder = nullptr;
sqlite3 *g_raw = nullptr;
// The statements as the overview runs them, and how many rows each gives.
QByteArray g_figures, g_balance, g_heads, g_forecasts;
int g_figureRows = 0, g_balanceRows = 0, g_headRows = 0, g_forecastRows = 0;
const QDate kToday(2026, 7, 2);

// Every project of the file planned: a baseline of one or two heads, a second revision for every
// third project, and an end date for half of them.
const char *const kPlans = R"SQL(
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 32767)
INSERT INTO tblBudgetRevisions (TaskID,Revision,SavedAt,SavedBy,UserId) SELECT i, 0, '2026-01-01T00:00:00Z', 'large', 'large' FROM n;
INSERT INTO tblBudgetRevisions (TaskID,Revision,SavedAt,SavedBy,UserId)
SELECT TaskID, 1, '2026-02-01T00:00:00Z', 'large', 'large' FROM tblBudgetRevisions WHERE TaskID % 3 = 0;
INSERT INTO tblHeadBudgets (TaskID,Revision,HeadId,Planned,UserId) SELECT TaskID, Revision, 2, 500 + TaskID % 900, 'large' FROM tblBudgetRevisions;
INSERT INTO tblHeadBudgets (TaskID,Revision,HeadId,Planned,UserId)
SELECT TaskID, Revision, 1, 100, 'large' FROM tblBudgetRevisions WHERE TaskID % 2 = 0;
UPDATE tblTasks SET EndDate = date(StartDate, '+400 days') WHERE TaskID % 2 = 1;
COMMIT;
)SQL";

// Runs one of the overview's reads with the statement log on and answers the statement it ran.
template <typename Read>
QByteArray statementOf(Read &&read, int *rows)
{
    StatementLog::SetEnabled(true);
    StatementLog::Clear();
    *rows = int(read().size());
    StatementLog::SetEnabled(false);
    if (StatementLog::Entries().size() != 1)
        fail("statement log", "one statement expected");
    return StatementLog::Entries().first().toUtf8();
}

void prepare()
{
    g_folder = new QTemporaryDir();
    const QString path = g_folder->filePath(QStringLiteral("large.dat"));
    try {
        CreateDatabaseFile(path, Sample::Large);
    } catch (const SqlError &e) {
        fail("making the file", qPrintable(e.description()));
    }
    RefuseMessageBoxes();
    const QByteArray file = path.toUtf8(), key(kDatabasePassword);
    if (sqlite3_open_v2(file.constData(), &g_raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        fail("open", "raw handle");
    sqlite3_key(g_raw, key.constData(), key.size());
    sqlite3_exec(g_raw, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr);
    // The file's history triggers name the user who changes a project.
    sqlite3_create_function(g_raw, "qmk_user", 0, SQLITE_UTF8, nullptr,
                            [](sqlite3_context *c, int, sqlite3_value **) { sqlite3_result_text(c, "large", -1, SQLITE_STATIC); },
                            nullptr, nullptr);
    char *err = nullptr;
    if (sqlite3_exec(g_raw, kPlans, nullptr, nullptr, &err) != SQLITE_OK)
        fail("planning the projects", err);
    // The window takes its forecasts on the same day as the reads measured alone.
    ui::SetClock([] { return QDateTime(kToday, QTime(12, 0)); });
    DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
    CurrentUserId = QStringLiteral("large");
    const QString user = CurrentUserId;
    g_figures = statementOf([&] { return LoadProjectFigures(user, 0); }, &g_figureRows);
    g_balance = statementOf([&] { return LoadRunningBalance(user, 1); }, &g_balanceRows);
    g_heads = statementOf([&] { return LoadSpendingByHead(user, 1); }, &g_headRows);
    g_forecasts = statementOf([&] { return LoadForecasts(kToday); }, &g_forecastRows);
    if (g_figureRows != 32767 || g_balanceRows < 1000 || g_headRows < 1 || g_forecastRows != 32767)
        fail("the large file", "the overview's reads gave too few rows");
}

void BM_Figures(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadProjectFigures(CurrentUserId, 0));
}
void BM_FiguresRaw(benchmark::State &state) { ReadRowsRaw(state, g_raw, g_figures.constData(), g_figureRows); }
void BM_Balance(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadRunningBalance(CurrentUserId, 1));
}
void BM_BalanceRaw(benchmark::State &state) { ReadRowsRaw(state, g_raw, g_balance.constData(), g_balanceRows); }
void BM_Heads(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadSpendingByHead(CurrentUserId, 1));
}
void BM_HeadsRaw(benchmark::State &state) { ReadRowsRaw(state, g_raw, g_heads.constData(), g_headRows); }
void BM_Forecasts(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadForecasts(kToday));
}
void BM_ForecastsRaw(benchmark::State &state) { ReadRowsRaw(state, g_raw, g_forecasts.constData(), g_forecastRows); }

void BM_OverviewToPaint(benchmark::State &state)
{
    std::unique_ptr<frmOverview> w;
    for (auto _ : state) {
        state.PauseTiming();
        w.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        w = std::make_unique<frmOverview>(0);
        PaintWatch painted({w->tblProjects->viewport(), w->chtPlannedSpent->viewport(), w->chtBalance->viewport(),
                            w->chtSpending->viewport(), w->chtBudget->viewport()});
        w->show();
        painted.Wait();
    }
    if (w->tblProjects->model()->rowCount() != 32768 || w->SelectedProject() != 1 ||
        w->tblProjects->model()->index(0, frmOverview::ForecastOnPlan).data().toString().isEmpty())
        state.SkipWithError("the overview did not list every project, planned, with the first selected");
}

BENCHMARK(BM_FiguresRaw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Figures)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_BalanceRaw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Balance)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_HeadsRaw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Heads)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_ForecastsRaw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Forecasts)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_OverviewToPaint)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char **argv)
{
    DrawOffscreen();
    QApplication app(argc, argv);
    const int status = RunBenchmarks(argc, argv, prepare, [](const CollectingReporter &r) {
        printRatio(r, "Overview figures (32,767 projects) through the data layer / raw C API read", "BM_Figures",
                   "BM_FiguresRaw", 2);
        printRatio(r, "Running balance of a 32,766-entry project through the data layer / raw C API read",
                   "BM_Balance", "BM_BalanceRaw", 2);
        printRatio(r, "Spending by head of a 32,766-entry project through the data layer / raw C API read",
                   "BM_Heads", "BM_HeadsRaw", 2);
        printRatio(r, "Forecasts of 32,767 planned projects through the data layer / raw C API read", "BM_Forecasts",
                   "BM_ForecastsRaw", 2);
        printTime(r, "Overview of 32,767 planned projects opened until painted", "BM_OverviewToPaint", 300);
    });
    ResetProcessState();
    sqlite3_close_v2(g_raw);
    delete g_folder;
    return status;
}
