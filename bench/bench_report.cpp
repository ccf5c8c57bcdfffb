// Speed of the ledger as a PDF, from reading its rows to the finished file, on files made by the
// program's own maker (qmk-initdb --large: the first project holds 32,766 entries).
//
//   Pdf1000    the ledger of a project of 1,000 entries saved as a PDF
//   Pdf32766   the largest ledger a project can hold, likewise
// Each save answers the save dialog with the same file, which is replaced every time.
#include "BenchSupport.h"

#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "ledger/LedgerReport.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {

QTemporaryDir *g_folder = nullptr;
QString g_large, g_small, g_pdf;

void openProgram(const QString &path)
{
    ResetProcessState();
    DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
    if (!SharedConnection.IsOpen())
        fail("dataIntialize", "the connection did not open");
    CurrentUserId = QStringLiteral("large");
    AppTitle = QString::fromLatin1(kAppTitle);
}

void prepare()
{
    g_folder = new QTemporaryDir();
    g_large = g_folder->filePath(QStringLiteral("large.dat"));
    g_small = g_folder->filePath(QStringLiteral("small.dat"));
    g_pdf = g_folder->filePath(QStringLiteral("ledger.pdf"));
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
    ui::SetSaveFileHandler([](const ui::SaveFileRequest &) { return g_pdf; });
    ui::SetProgressHandler([](int, int) { return true; });
    ui::SetClock([] { return QDateTime(QDate(2026, 5, 12), QTime(9, 30)); });
}

void savePdf(benchmark::State &state, const QString &file)
{
    openProgram(file);
    for (auto _ : state)
        if (!SaveLedgerPdf(1))
            state.SkipWithError("the ledger was not saved");
    state.counters["MB"] = QFileInfo(g_pdf).size() / 1e6;
}

void BM_Pdf1000(benchmark::State &state) { savePdf(state, g_small); }
void BM_Pdf32766(benchmark::State &state) { savePdf(state, g_large); }

BENCHMARK(BM_Pdf1000)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Pdf32766)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

int main(int argc, char **argv)
{
    DrawOffscreen();
    QApplication app(argc, argv);
    const int status = RunBenchmarks(argc, argv, prepare, [](const CollectingReporter &r) {
        printTime(r, "Ledger of 1,000 entries saved as PDF", "BM_Pdf1000", 1000);
        printTime(r, "Ledger of 32,766 entries saved as PDF", "BM_Pdf32766", 20000);
    });
    ResetProcessState();
    delete g_folder;
    return status;
}
