// Crash safety: every save that had returned survives a kill at any moment, in a whole file; ending
// as Quit does, or as the last window closing does, leaves a file that holds everything by itself.
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

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
