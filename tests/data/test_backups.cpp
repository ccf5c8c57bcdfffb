// Backups of the database file: when they are made, which are kept, what they hold, and the
// restore, which waits for every other program to close the file.
#include "DataTest.h"
#include "FileHolder.h"

#include "data/Backups.h"
#include "data/SqlCipherEngine.h"

#include <QDir>
#include <QProcess>

namespace {

QDateTime At(const char *text) { return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate); }

class BackupTest : public OpenFolderTest {
protected:
    void SetUp() override
    {
        OpenFolderTest::SetUp();
        SetBackupClock([this] { return now; });
    }
    void TearDown() override
    {
        SetBackupClock({});
        OpenFolderTest::TearDown();
    }
    QStringList Backups() const { return QDir(Folder() + "/backups").entryList({"qmk-*"}, QDir::Files); }
    QString Projects() { return Column("SELECT TaskName FROM tblTasks ORDER BY TaskID").join(','); }
    void AddProject(int id, const char *name)
    {
        Seed(QString("INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (%1,'ann','%2')").arg(id).arg(name));
    }
    // Runs qmk-initdb; answers its exit code, standard output and standard error.
    QString InitDb(const QStringList &args)
    {
        QProcess p;
        p.start(qEnvironmentVariable("QMK_INITDB"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return QString("%1|%2|%3").arg(p.exitCode()).arg(QString(p.readAllStandardOutput()), QString(p.readAllStandardError()));
    }
    QDateTime now = At("2026-12-07T09:00:00");
};

// One backup at the first login of a day, none at the next; at close one only when something was saved
// since the file was opened or last backed up.
TEST_F(BackupTest, OneAtTheFirstLoginOfADayAndOneAtACloseAfterASave)
{
    EXPECT_EQ(BackupIfNoneToday(SharedConnection), "");
    EXPECT_EQ(Backups(), QStringList{"qmk-2026-12-07T090000.dat"});
    now = At("2026-12-07T17:30:00");
    Projects();  // reading is no save
    EXPECT_EQ(BackupIfNoneToday(SharedConnection), "");
    EXPECT_EQ(BackupIfSaved(SharedConnection), "");
    EXPECT_EQ(Backups().size(), 1);

    AddProject(1, "Roof");
    EXPECT_EQ(BackupIfSaved(SharedConnection), "");
    EXPECT_EQ(BackupIfSaved(SharedConnection), "");  // nothing saved since
    EXPECT_EQ(Backups(), QStringList({"qmk-2026-12-07T090000.dat", "qmk-2026-12-07T173000.dat"}));
    ResetProcessState();  // a new run on the next day
    OpenDatabase();
    now = At("2026-12-08T08:00:00");
    EXPECT_EQ(BackupIfSaved(SharedConnection), "");
    EXPECT_EQ(BackupIfNoneToday(SharedConnection), "");
    EXPECT_EQ(Backups().size(), 3);
    EXPECT_EQ(LastBackupProblem(), "");
}

// Every backup of the last 14 days, and the newest of each of the last 12 months; nothing but backups
// is ever removed.
TEST_F(BackupTest, PruningKeepsTwoWeeksAndOneAMonthForAYear)
{
    QDir().mkpath(Folder() + "/backups");
    const auto put = [&](const QDateTime &t) {
        QFile f(Folder() + "/backups/qmk-" + t.toString("yyyy-MM-ddTHHmmss") + ".dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    now = At("2026-12-07T23:15:00");
    for (int i = 0; i < 40; ++i)  // every 11 days, back to October 2025
        put(now.addDays(-11 * i).addSecs(-3 * 3600));
    put(At("2026-11-25T10:15:00"));  // 12 days old
    put(At("2026-11-20T10:15:00"));  // 17 days old, and not the newest of its month
    for (const char *other : {"notes.txt", "qmk-old.dat"})
        QFile(Folder() + "/backups/" + other).open(QIODevice::WriteOnly);

    PruneBackups(DatabasePath());
    QStringList kept = QDir(Folder() + "/backups").entryList(QDir::Files, QDir::Name | QDir::Reversed);
    EXPECT_EQ(kept.join(' ').replace(".dat", "").replace("qmk-2026-", ""),
              "qmk-old 12-07T201500 11-26T201500 11-25T101500 10-24T201500 09-21T201500 08-30T201500 07-28T201500 "
              "06-25T201500 05-23T201500 04-20T201500 03-29T201500 02-24T201500 01-22T201500 notes.txt");
}

// A backup opens with the database password, passes the schema check and holds the file as it was
// when it was made; in a folder a group shares, the backups are the group's as the file is.
TEST_F(BackupTest, ABackupHoldsTheFileAsItWasThenAndIsTheGroupsInASharedFolder)
{
    AddProject(1, "Roof");
    const QString made = MakeBackup(SharedConnection);
    AddProject(2, "Shed");
    const BackupInfo read = ReadBackup(made);
    EXPECT_EQ(QString("%1|%2|%3").arg(read.projects).arg(read.entries).arg(read.problem), "1|0|");
    {
        SqlCipherEngine backup(made, kDatabasePassword, false, 0);
        EXPECT_EQ(backup.Execute("SELECT group_concat(TaskName) FROM tblTasks")->Fields(0).toString(), "Roof");
    }
    QFile::resize(made, 100);
    EXPECT_NE(ReadBackup(made).problem, "");

    const QString data = Folder() + "/data";
    QDir().mkpath(data);
    if (!SharedFolder(data))
        GTEST_SKIP() << "no second group to share a folder with";
    CreateDatabaseFile(data + "/qmk.dat");
    ::chmod(QFile::encodeName(data + "/qmk.dat"), 0660);
    Connection shared;
    shared.Open("dbq=" + data + "/qmk.dat", {}, kDatabasePassword);
    const QString inShared = MakeBackup(shared);
    struct stat folder {}, file {}, lock {}, parent {};
    ::stat(QFile::encodeName(data), &parent);
    ::stat(QFile::encodeName(data + "/backups"), &folder);
    ::stat(QFile::encodeName(inShared), &file);
    ::stat(QFile::encodeName(data + "/qmk.dat.lock"), &lock);
    EXPECT_EQ(QString("%1 %2 %3").arg(folder.st_mode & 07777, 0, 8).arg(file.st_mode & 0777, 0, 8).arg(lock.st_mode & 0777, 0, 8),
              "2770 660 660");
    EXPECT_TRUE(folder.st_gid == parent.st_gid && file.st_gid == parent.st_gid);
}

// While another program has the file open a restore changes nothing; once it has closed, the file
// holds the backup again and the file as it was is kept as a backup of its own.
TEST_F(BackupTest, ARestoreWaitsForEveryOtherProgramToCloseTheFile)
{
    AddProject(1, "Roof");
    const QString backup = MakeBackup(SharedConnection);
    Seed("DELETE FROM tblTasks WHERE TaskID=1");
    AddProject(2, "Shed");
    now = At("2026-12-07T10:00:00");
    {
        FileHolder other(QMK_TEST_WRITER, Folder());
        const RestoreResult refused = RestoreBackup(backup, DatabasePath(), &SharedConnection);
        EXPECT_EQ(refused.message, "Another Quillmark has the database open; close it and try again.");
        EXPECT_EQ(refused.outcome, RestoreOutcome::InUse);
        EXPECT_EQ(Projects(), "Shed");
        EXPECT_EQ(Backups().size(), 1);
    }
    const RestoreResult done = RestoreBackup(backup, DatabasePath(), &SharedConnection);
    EXPECT_EQ(done.message, "The database was restored from the backup of 07/12/2026 09:00:00.");
    EXPECT_EQ(Projects(), "Roof");
    AddProject(3, "Barn");  // the connection opened again writes the restored file
    EXPECT_EQ(ReadBackup(done.currentBackup).projects, 1);
    EXPECT_EQ(Backups(), QStringList({"qmk-2026-12-07T090000.dat", "qmk-2026-12-07T100000.dat"}));
}

// qmk-initdb --restore: refused while a program has the file open, then brings back a deleted project,
// a database file deleted by mistake, and one damaged beyond opening.
TEST_F(BackupTest, TheTerminalRestoresWhenNoProgramHasTheFileOpen)
{
    AddProject(1, "Roof");
    const QString backup = MakeBackup(SharedConnection);
    Seed("DELETE FROM tblTasks");
    now = At("2026-12-07T10:00:00");
    EXPECT_EQ(InitDb({"--restore", backup, DatabasePath()}),
              "1||qmk-initdb: Another Quillmark has the database open; close it and try again.\n");
    ResetProcessState();
    const QString restored = InitDb({"--restore", backup, DatabasePath()});
    EXPECT_TRUE(restored.startsWith("0|qmk-initdb: The database was restored from the backup of 07/12/2026 09:00:00.\n"
                                    "qmk-initdb: the database as it was is kept in " + Folder() + "/backups/qmk-"))  // named by the real clock of the tool
        << restored.toStdString();
    OpenDatabase();
    EXPECT_EQ(Projects(), "Roof");
    ResetProcessState();
    ASSERT_TRUE(QFile::remove(DatabasePath()));
    EXPECT_EQ(InitDb({"--restore", backup, DatabasePath()}),
              "0|qmk-initdb: The database was restored from the backup of 07/12/2026 09:00:00.\n|");
    QFile damaged(DatabasePath());  // a file the engine cannot open any more is kept as it is, then replaced
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(8192, 'x')) == 8192);
    damaged.close();
    const QString said = InitDb({"--restore", backup, DatabasePath()});
    const QString kept = said.section("is kept in ", 1).section('\n', 0, 0);
    EXPECT_TRUE(said.startsWith("0|") && kept.endsWith("-unreadable.dat")) << said.toStdString();
    EXPECT_EQ(BytesOf(kept), QByteArray(8192, 'x'));
    OpenDatabase();
    EXPECT_EQ(Projects(), "Roof");
}

}  // namespace
