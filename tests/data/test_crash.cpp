// Crash safety: a program saving entries is killed at random moments; every save that had
// returned is in the file afterwards, and the file is whole. Ending as Quit does leaves a file
// that holds everything by itself.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

namespace {

class CrashSafety : public ProgramFolderTest {
protected:
    // Runs the writer on the test's folder; kills it after killAfterMs, or lets it end. Answers
    // the keys it printed, each after its save had returned.
    QList<qint64> RunWriter(int killAfterMs, const QStringList &more = {})
    {
        QProcess writer;
        writer.start(QStringLiteral(QMK_TEST_WRITER), QStringList{Folder()} + more);
        EXPECT_TRUE(writer.waitForStarted());
        if (killAfterMs >= 0) {
            QThread::msleep(static_cast<unsigned long>(killAfterMs));
            writer.kill();  // SIGKILL
        }
        EXPECT_TRUE(writer.waitForFinished(20000));
        if (killAfterMs < 0) {
            EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
        }
        QList<qint64> keys;
        for (const QByteArray &line : writer.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                keys << line.toLongLong();
        return keys;
    }
};

TEST_F(CrashSafety, EverySaveThatReturnedSurvivesAKillAtAnyMoment)
{
    int runsWithSaves = 0;
    for (int run = 0; run < 24; ++run) {
        SCOPED_TRACE(run);
        const QList<qint64> keys = RunWriter(int(QRandomGenerator::global()->bounded(400)));
        runsWithSaves += keys.isEmpty() ? 0 : 1;

        OpenDatabase();
        EXPECT_EQ(boxes.Count(), 0);
        EXPECT_EQ(Scalar("PRAGMA integrity_check"), "ok");
        QSet<qint64> stored;
        for (const QString &id : Column("Select Id From tblTransaction"))
            stored.insert(id.toLongLong());
        for (const qint64 key : keys)
            ASSERT_TRUE(stored.contains(key)) << "key " << key << " of " << keys.size() << " saves is lost";
        Seed("Delete from tblTransaction");  // keeps the keys far below their limit
        ResetProcessState();
    }
    EXPECT_GE(runsWithSaves, 5) << "the writer was killed before it saved anything too often";
}

TEST_F(CrashSafety, AfterQuitTheFileAloneHoldsEverySave)
{
    EXPECT_EQ(RunWriter(-1, {"40"}).size(), 40);
    EXPECT_FALSE(QFile::exists(DatabasePath() + "-wal"));
    // A copy of the file alone, as a backup would take it.
    const QString copy = Folder() + "/copy";
    ASSERT_TRUE(QDir().mkpath(copy));
    ASSERT_TRUE(QFile::copy(DatabasePath(), copy + "/qmk.dat"));
    DataAccess.dataIntialize(copy + "/qmk.dat", {}, kDatabasePassword);
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "40");
}

}  // namespace
