// Backups seen from the windows: made at the first login of a day, said in the main frame when they
// cannot be made, and put back by the master through File > Options > Restore from Backup.
#include "FileHolder.h"
#include "TestSupport.h"

#include "data/Backups.h"
#include "shell/MyFunMain.h"
#include "shell/frmMain.h"
#include "shell/frmRestore.h"
#include "ui/Grid.h"

#include <QPushButton>
#include <QRegularExpression>

namespace {

class RestoreWindowTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        SetBackupClock([this] { return now; });
    }
    void TearDown() override
    {
        SetBackupClock({});
        ProgramFolderTest::TearDown();
    }
    frmMain *Start()
    {
        ResetProcessState();
        ScriptLogin(modals, "sysop", "quorvandelix");
        Main();
        return frmMain::Instance();
    }
    // The grid's rows, cells joined by '|', sizes shown as "n KB".
    static QStringList Shown(const frmRestore &w)
    {
        QStringList rows;
        for (int r = 0; r < w.gdBackups->Rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < w.gdBackups->Cols(); ++c)
                cells << w.gdBackups->TextMatrix(r, c);
            rows << cells.join('|').replace(QRegularExpression("\\|\\d+ KB\\|"), "|n KB|");
        }
        return rows;
    }
    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(8, 0));
    ScriptedModals modals;
};

TEST_F(RestoreWindowTest, TheMasterRestoresADeletedProjectOnceNoOtherProgramHasTheFileOpen)
{
    frmMain *frame = Start();  // the day's first login: the file as it was then
    Seed("INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Roof')");
    Seed("INSERT INTO tblTransaction (Id,UserId,TaskID,AmountIn) VALUES (1,'ann',1,5)");
    now = QDateTime(QDate(2026, 12, 7), QTime(8, 0));
    ScriptLogin(modals, "sysop", "quorvandelix");
    frame->mnuLoginUser->trigger();  // the next day's
    Seed("DELETE FROM tblTasks");
    now = QDateTime(QDate(2026, 12, 7), QTime(9, 30));
    ASSERT_TRUE(frame->mnuRestoreBackup->isVisible() && frame->mnuRestoreBackup->isEnabled());

    FileHolder other(QMK_TEST_WRITER, Folder());
    modals.Then([&](QDialog &d) {
        auto &w = static_cast<frmRestore &>(d);
        EXPECT_EQ(Shown(w), QStringList({"Made|Size|Projects|Entries|Note", "07/12/2026 08:00:00|n KB|1|1|",
                                         "06/12/2026 08:00:00|n KB|0|0|"}));
        boxes.Expect(ui::Answer::No);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);
        EXPECT_EQ(boxes.Last(), "Replace the database with the backup of 07/12/2026 08:00:00? The current database is "
                                "backed up first.|2|Quillmark v1.0 DEMO|2|2");
        boxes.Expect(ui::Answer::Yes);
        boxes.Expect(ui::Answer::OK);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);
        EXPECT_EQ(boxes.Last(), "Another Quillmark has the database open; close it and try again.|3|Quillmark v1.0 DEMO|0|1");
        EXPECT_EQ(Shown(w).size(), 3);  // nothing was changed, not even a backup made
        other.End();
        boxes.Expect(ui::Answer::Yes);
        boxes.Expect(ui::Answer::OK);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);
        EXPECT_EQ(boxes.Last(), "The database was restored from the backup of 07/12/2026 08:00:00.|4|Quillmark v1.0 DEMO|0|1");
        EXPECT_EQ(Shown(w).value(1), "07/12/2026 09:30:00|n KB|0|1|");  // the file as it was before
        QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    });
    frame->mnuRestoreBackup->trigger();
    EXPECT_EQ(Column("SELECT TaskName FROM tblTasks"), QStringList{"Roof"});
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: sysop");
    EXPECT_TRUE(frame->mnuRestoreBackup->isEnabled());
}

// A database file deleted by mistake while the master is logged in comes back from the backup of the day's
// first login, through the window.
TEST_F(RestoreWindowTest, ADeletedFileComesBackFromItsBackupThroughTheWindow)
{
    frmMain *frame = Start();
    Seed("INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Roof')");
    now = QDateTime(QDate(2026, 12, 7), QTime(8, 0));
    ScriptLogin(modals, "sysop", "quorvandelix");
    frame->mnuLoginUser->trigger();  // today's first login keeps the file with Roof
    ASSERT_TRUE(QFile::remove(DatabasePath()));
    modals.Then([&](QDialog &d) {
        auto &w = static_cast<frmRestore &>(d);
        w.gdBackups->SetRow(1);
        boxes.Expect(ui::Answer::Yes);
        boxes.Expect(ui::Answer::OK);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);
        EXPECT_EQ(boxes.Last().section('|', 0, 0), "The database was restored from the backup of 07/12/2026 08:00:00.");
        QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    });
    frame->mnuRestoreBackup->trigger();
    EXPECT_TRUE(QFileInfo::exists(DatabasePath()));
    EXPECT_EQ(Column("SELECT TaskName FROM tblTasks"), QStringList{"Roof"});
}

// Started on a database file deleted while no program ran, the master (whose password is the
// default one while no file says otherwise) logs in and puts the last backup back.
TEST_F(RestoreWindowTest, StartedWithoutItsFileTheMasterPutsTheLastBackupBack)
{
    Start();  // the day's first login keeps the empty file
    Seed("INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Roof')");
    now = now.addSecs(60);
    MakeBackup(SharedConnection);
    frmMain::Instance()->close();
    ResetProcessState();
    ASSERT_TRUE(QFile::remove(DatabasePath()));
    boxes.Expect(ui::Answer::OK);  // the file that cannot be opened, said at start
    frmMain *frame = Start();
    ASSERT_TRUE(frame && frame->mnuRestoreBackup->isEnabled());
    modals.Then([&](QDialog &d) {
        auto &w = static_cast<frmRestore &>(d);
        EXPECT_EQ(w.gdBackups->Rows(), 3);  // the header and two backups, the newest first
        w.gdBackups->SetRow(1);
        boxes.Expect(ui::Answer::Yes);
        boxes.Expect(ui::Answer::OK);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);
        QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    });
    frame->mnuRestoreBackup->trigger();
    EXPECT_EQ(Column("SELECT TaskName FROM tblTasks"), QStringList{"Roof"});
}

// A backup folder that cannot be written keeps no one from logging in: the main frame says why once,
// in a line, without a box. Only the master may restore.
TEST_F(RestoreWindowTest, ABackupThatCannotBeMadeIsSaidInTheMainFrameAndTheLoginGoesOn)
{
    QFile(Folder() + "/backups").open(QIODevice::WriteOnly);  // a file where the folder would be
    frmMain *frame = Start();
    ASSERT_TRUE(frame && frame->isVisible());
    EXPECT_EQ(frame->lblBackupProblem->text(), "No backup of the database could be made: '" +
                                                   QFileInfo(Folder()).canonicalFilePath() + "/backups' is not a folder.");
    EXPECT_TRUE(frame->lblBackupProblem->isVisible());
    Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'ann','Secret')");
    QFile::remove(Folder() + "/backups");
    ScriptLogin(modals, "ann", "Secret");
    frame->mnuLoginUser->trigger();
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: ann");
    EXPECT_FALSE(frame->lblBackupProblem->isVisible());
    EXPECT_FALSE(frame->mnuRestoreBackup->isEnabled());
    EXPECT_EQ(boxes.Count(), 0);
}

}  // namespace
