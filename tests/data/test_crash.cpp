// Crash safety: every save that had returned survives a kill at any moment, in a whole file; ending
// as Quit does, or as the last window closing does, leaves a file that holds everything by itself.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using CrashSafety = ProgramFolderTest;

TEST_F(CrashSafety, EverySaveThatReturnedSurvivesAKillAtAnyMomentAndQuitLeavesTheFileWhole)
{
    // Runs the writer, killed after a while (from its first save if asked) or saving 20; answers its keys.
    const auto run = [&](int killAfterMs, bool afterFirstSave, const char *end = "") {
        QProcess writer;
        writer.start(QStringLiteral(QMK_TEST_WRITER), {Folder(), killAfterMs < 0 ? "20" : "", end});
        if (afterFirstSave)
            writer.waitForReadyRead(15000);
        if (killAfterMs >= 0) {
            QThread::msleep(static_cast<unsigned long>(killAfterMs));
            writer.kill();
        }
        EXPECT_TRUE(writer.waitForFinished(20000));
        EXPECT_TRUE(killAfterMs >= 0 || (writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0))
            << writer.readAllStandardError().toStdString();
        return QString::fromLatin1(writer.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    };
    int runsWithSaves = 0;
    for (int i = 0; i < 24; ++i) {
        const QStringList keys = run(int(QRandomGenerator::global()->bounded(400)), i % 2);
        runsWithSaves += keys.isEmpty() ? 0 : 1;
        OpenDatabase();
        EXPECT_EQ(Scalar("PRAGMA integrity_check"), "ok");
        ASSERT_EQ(Column("Select Id From tblTransaction Order by Id").mid(0, keys.size()), keys) << "run " << i;
        Seed("Delete from tblTransaction");  // keeps the keys far below their limit
        ResetProcessState();
    }
    EXPECT_GE(runsWithSaves, 5) << "the writer was killed before it saved anything too often";
    EXPECT_EQ(run(-1, false).size() + run(-1, false, "return").size(), 40);
    ASSERT_TRUE(QFile::copy(DatabasePath(), Folder() + "/copy.dat"));  // the file alone, as a backup takes it
    DataAccess.dataIntialize(Folder() + "/copy.dat", {}, kDatabasePassword);
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "40");
}

// Four programs saving into one file at once wait for each other: no box, no key taken twice, every entry once.
TEST_F(CrashSafety, FourProgramsSavingAtOnceStoreEveryEntryOnceUnderAKeyOfItsOwn)
{
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < 4; ++i) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QStringLiteral(QMK_TEST_WRITER), {Folder(), "250", "return"});
    }
    for (const auto &writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(180000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    }
    OpenDatabase();
    EXPECT_EQ(Scalar("Select count(*)||' '||count(distinct Id)||' '||max(Id) From tblTransaction"), "1000 1000 1000");
    EXPECT_EQ(Scalar("Select count(*) From (Select 1 From tblTransaction Group by AmountIn Having count(*)=4)"), "250");
}

// Two users of one computer (root becomes them): links that one plants in a folder both may write, at the
// names of the database's side files, never let the other's program open the private file they lead to.
TEST_F(CrashSafety, LinksPlantedByAnotherUserLeaveTheUsersPrivateFileAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "becoming two users needs root";
    const QString shared = Folder() + "/shared", home = Folder() + "/home", writer = Folder() + "/writer";
    const auto run = [&](int uid, const QString &program, const QStringList &args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("ASAN_OPTIONS", "detect_leaks=0");  // the leak list's file may lie where the user cannot read
        p.setProcessEnvironment(env);
        p.start("setpriv", QStringList{QString("--reuid=%1").arg(uid), QString("--regid=%1").arg(uid),
                                       "--clear-groups", "--", program} + args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return std::make_pair(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError()));
    };
    const auto mode = [](const QString &path, mode_t m, uid_t owner = 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), m) + ::chown(QFile::encodeName(path).constData(), owner, owner), 0);
    };
    ASSERT_TRUE(QDir().mkpath(shared) && QDir().mkpath(home) && QFile::copy(QMK_TEST_WRITER, writer));
    ASSERT_TRUE(QFile::rename(DatabasePath(), shared + "/qmk.dat"));
    { QFile f(home + "/private"); f.open(QIODevice::WriteOnly); f.write("private"); }
    mode(Folder(), 0755), mode(writer, 0755), mode(shared, 0777), mode(shared + "/qmk.dat", 0666);
    mode(home, 0700, 65533), mode(home + "/private", 0600, 65533);
    for (const char *suffix : {"-wal", "-shm", "-journal"}) {
        EXPECT_EQ(run(65534, "ln", {"-s", home + "/private", shared + "/qmk.dat" + suffix}).first, 0);
        const auto [code, said] = run(65533, writer, {shared, "1", "return"});
        EXPECT_TRUE(code == 3 && said.contains("is a link")) << code << " " << said.toStdString();
        EXPECT_EQ(BytesOf(home + "/private"), "private") << suffix;
        QFile::remove(shared + "/qmk.dat" + suffix);
    }
    EXPECT_EQ(run(65533, writer, {shared, "1", "return"}).first, 0);  // with the links gone, the save is stored
}
