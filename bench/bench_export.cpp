// Speed of the ledger exported to a file the user chose, from reading its rows to the finished
// file in place, on the file made by the program's own maker (qmk-initdb --large: the first
// project holds 32,766 entries).
//
//   Xlsx32766   the largest ledger a project can hold as an Excel workbook
//   Csv32766    likewise as CSV
// Each export answers the save dialog with the same file, which is replaced every time.
#include "BenchSupport.h"

#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "export/LedgerExport.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QTemporaryDir *g_folder = nullptr;

void prepare()
{
    g_folder = new QTemporaryDir();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, g_folder->filePath(QStringLiteral("settings")));
    const QString large = g_folder->filePath(QStringLiteral("large.dat"));
    try {
        CreateDatabaseFile(large, Sample::Large);
    } catch (const SqlError &e) {
        fail("making the file", qPrintable(e.description()));
    }
    ResetProcessState();
    DataAccess.dataIntialize(large, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
    CurrentUserId = QStringLiteral("large");
    AppTitle = QString::fromLatin1(kAppTitle);
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) {
        if (!r.prompt.startsWith(QLatin1String("Do you want to open it")))
            fail("message box", qPrintable(r.prompt));
        return ui::Answer::No;
    });
}

void exportAs(benchmark::State &state, const char *file)
{
    const QString target = g_folder->filePath(QLatin1String(file));
    ui::SetSaveFileHandler([&](const ui::SaveFileRequest &) { return target; });
    for (auto _ : state)
        if (!ExportLedgerAs(1))
            state.SkipWithError("the ledger was not exported");
    state.counters["MB"] = QFileInfo(target).size() / 1e6;
}

void BM_Xlsx32766(benchmark::State &state) { exportAs(state, "ledger.xlsx"); }
void BM_Csv32766(benchmark::State &state) { exportAs(state, "ledger.csv"); }

BENCHMARK(BM_Xlsx32766)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Csv32766)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

}  // namespace

int main(int argc, char **argv)
{
    DrawOffscreen();
    QApplication app(argc, argv);
    const int status = RunBenchmarks(argc, argv, prepare, [](const CollectingReporter &r) {
        printTime(r, "Ledger of 32,766 entries exported as .xlsx", "BM_Xlsx32766", 1000);
        printTime(r, "Ledger of 32,766 entries exported as CSV", "BM_Csv32766", 200);
    });
    ResetProcessState();
    delete g_folder;
    return status;
}
