// Crash safety: a program saving entries is killed at random moments; every save that had
// returned is in the file afterwards, and the file is whole. Ending as Quit does leaves a file
// that holds everything by itself.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

namespace {

// Runs the writer on the folder; kills it after killAfterMs (counted from its first save when
// afterFirstSave, so that a slow start, as under the sanitizers, still leaves saves to check),
// or lets it save count entries and end. Answers the keys it printed, each after its save had
// returned.
QStringList RunWriter(const QString &folder, int killAfterMs, const QString &count = {}, bool afterFirstSave = false,
                      const QStringList &more = {})
{
    QProcess writer;
    writer.start(QStringLiteral(QMK_TEST_WRITER), QStringList{folder, count} + more);
    EXPECT_TRUE(writer.waitForStarted());
    if (killAfterMs >= 0) {
        if (afterFirstSave)
            writer.waitForReadyRead(15000);
        QThread::msleep(static_cast<unsigned long>(killAfterMs));
        writer.kill();  // SIGKILL
    }
    EXPECT_TRUE(writer.waitForFinished(20000));
    EXPECT_TRUE(killAfterMs >= 0 || (writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0))
        << writer.readAllStandardError().toStdString();
    return QString::fromLatin1(writer.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

using CrashSafety = ProgramFolderTest;

TEST_F(CrashSafety, EverySaveThatReturnedSurvivesAKillAtAnyMomentAndQuitLeavesTheFileWhole)
{
    int runsWithSaves = 0;
    for (int run = 0; run < 24; ++run) {
        SCOPED_TRACE(run);
        const QStringList keys = RunWriter(Folder(), int(QRandomGenerator::global()->bounded(400)), {}, run % 2 == 1);
        runsWithSaves += keys.isEmpty() ? 0 : 1;
        OpenDatabase();
        EXPECT_EQ(Scalar("PRAGMA integrity_check"), "ok");
        const QStringList stored = Column("Select Id From tblTransaction");
        for (const QString &key : keys)
            ASSERT_TRUE(stored.contains(key)) << "key " << key.toStdString() << " of " << keys.size() << " is lost";
        Seed("Delete from tblTransaction");  // keeps the keys far below their limit
        ResetProcessState();
    }
    EXPECT_GE(runsWithSaves, 5) << "the writer was killed before it saved anything too often";

    EXPECT_EQ(RunWriter(Folder(), -1, "20").size(), 20);
    EXPECT_EQ(RunWriter(Folder(), -1, "20", false, {"return"}).size(), 20);  // a normal end, not a crash
    EXPECT_FALSE(QFile::exists(DatabasePath() + "-wal"));
    // A copy of the file alone, as a backup would take it.
    ASSERT_TRUE(QDir().mkpath(Folder() + "/copy"));
    ASSERT_TRUE(QFile::copy(DatabasePath(), Folder() + "/copy/qmk.dat"));
    DataAccess.dataIntialize(Folder() + "/copy/qmk.dat", {}, kDatabasePassword);
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "40");
}

}  // namespace
