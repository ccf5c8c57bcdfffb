// Start-up to the login dialog, against a bare Qt program that opens the same database file with
// the same SQLCipher key and then shows one dialog. Each run is a child process of this program,
// timed from its start to its end:
//
//   --ours FOLDER   QApplication, then start-up (Main) on FOLDER/qmk.dat, whose modal login
//                   dialog is shown, events processed once, and the process ends
//   --bare FILE     QApplication, sqlite3_open_v2, sqlite3_key and one SELECT on FILE, then a
//                   QDialog shown, events processed once, and the process ends
//
// The key derivation is the floor both pay, so ours may take at most 1.2 times the bare run.
#include "BenchSupport.h"

#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "shell/MyFunMain.h"
#include "ui/Seams.h"

#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

QTemporaryDir *g_folder = nullptr;

// Says which window a child showed, so that the parent times only runs that reached it.
int shown(const QDialog &dialog)
{
    std::printf("shown %s\n", qPrintable(dialog.objectName()));
    return 0;
}

int ours(const QString &folder)
{
    ui::SetAppPath(folder);
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) -> ui::Answer {
        std::fprintf(stderr, "bench_startup: box \"%s\"\n", qPrintable(r.prompt));
        std::exit(1);
    });
    ui::SetModalHandler([](QDialog &dialog) {
        dialog.show();
        QApplication::processEvents();
        return shown(dialog);
    });
    Main();
    return 0;
}

int bare(const QString &file)
{
    sqlite3 *db = nullptr;
    const QByteArray path = file.toUtf8(), key(kDatabasePassword);
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_key(db, key.constData(), key.size()) != SQLITE_OK ||
        sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "bench_startup: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("bare"));
    dialog.show();
    QApplication::processEvents();
    shown(dialog);
    sqlite3_close_v2(db);
    return 0;
}

// One child run; answers whether it reached its dialog.
bool child(const char *mode)
{
    const bool isOurs = std::string(mode) == "--ours";
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(),
            {QString::fromLatin1(mode), isOurs ? g_folder->path() : g_folder->filePath(QStringLiteral("qmk.dat"))});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 &&
           p.readAllStandardOutput().trimmed() == QByteArray(isOurs ? "shown frmLogin" : "shown bare");
}

void run(benchmark::State &state, const char *mode)
{
    for (auto _ : state)
        if (!child(mode)) {
            state.SkipWithError("the child did not reach its dialog");
            break;
        }
}

void BM_StartupOurs(benchmark::State &state) { run(state, "--ours"); }
void BM_StartupBare(benchmark::State &state) { run(state, "--bare"); }

// Repetitions of the two alternate (see main), so that a busy moment of the machine weighs on both.
BENCHMARK(BM_StartupBare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4)->Repetitions(6);
BENCHMARK(BM_StartupOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4)->Repetitions(6);

}  // namespace

int main(int argc, char **argv)
{
    DrawOffscreen();
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--ours")
        return ours(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::string(argv[1]) == "--bare")
        return bare(QString::fromLocal8Bit(argv[2]));
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    g_folder = new QTemporaryDir();
    try {
        CreateDatabaseFile(g_folder->filePath(QStringLiteral("qmk.dat")));
    } catch (const SqlError &e) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(e.description()));
        return 1;
    }
    // One untimed run of each first: the program turns the file to its write-ahead journal on its
    // first opening, and both start from a warm disk cache.
    for (const char *mode : {"--ours", "--bare"})
        if (!child(mode)) {
            std::fprintf(stderr, "bench_startup: the %s run did not reach its dialog\n", mode);
            return 1;
        }
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    printRatio(reporter, "Start-up to the login dialog / bare Qt program with the same key", "BM_StartupOurs",
               "BM_StartupBare", 1.2);
    benchmark::Shutdown();
    delete g_folder;
    return 0;
}
