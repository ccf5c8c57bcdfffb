// Pictures of the windows with the demo data, and the printed ledger, for a person to look at, written
// to build/shots/.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "data/Backups.h"
#include "shell/frmRestore.h"
#include "ledger/LedgerReport.h"
#include "data/Sharing.h"
#include "ledger/frmHistory.h"
#include "ledger/frmImport.h"
#include "ledger/frmShare.h"
#include "ledger/frmMainMenu.h"
#include "ledger/frmOverview.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmMain.h"
#include "shell/frmPassword.h"
#include "ui/Grid.h"
#include "ledger/ImportPreview.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <QTableView>
#include <QTableWidget>

class Screenshots : public ProgramFolderTest {};

TEST_F(Screenshots, Windows)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // a frame closed by an earlier test
    ResetProcessState();
    QFile::remove(DatabasePath());
    CreateDatabaseFile(DatabasePath(), Sample::Demo);
    Scene("demo");
    frmMainMenu ledger;
    ledger.gdPreviewList->SetRow(2);
    ledger.gdPreviewList_Click();
    frmMainMenu booking;  // the entry editor open on a new entry, as the guide's first steps show it
    booking.gdPreviewList->SetRow(2);
    booking.gdPreviewList_Click();
    booking.btnAddAction->click();
    booking.cboTransactionHeads->setCurrentIndex(booking.cboTransactionHeads->findText(QStringLiteral("Materials")));
    booking.txtTransactionAmount->setText(QStringLiteral("120"));
    booking.txtTransactionRemarks->setText(QStringLiteral("Timber for the shelves"));
    frmLogin login;
    frmUser user;
    frmPassword password;
    frmAbout about;
    frmTask task;  // the garden shed chosen, its plan by heads on show
    boxes.Expect(ui::Answer::Yes);
    task.lstTasks->setCurrentRow(0);
    task.lstTasks_Click();
    frmHeads heads;
    frmOverview overview(0);
    overview.tblProjects->selectRow(1);
    // A bank's CSV statement in the import dialog, two lines given a head by hand.
    const QString csv = Folder() + "/statement-march.csv";
    QFile statement(csv);
    ASSERT_TRUE(statement.open(QIODevice::WriteOnly));
    statement.write("Buchungstag;Empf\xc3\xa4nger;Verwendungszweck;Betrag\n"
                    "02.03.2026;Timber Yard Ltd;Boards and battens;-245,90\n"
                    "04.03.2026;Hire Centre;Mixer, one day;-38,00\n"
                    "09.03.2026;Smith & Co;Invoice 1042, first payment;1.200,00\n"
                    "11.03.2026;Timber Yard Ltd;Refund, damaged boards;42,50\n"
                    "18.03.2026;Fuel Stop;Diesel;-61,20\n");
    statement.close();
    frmImport importer(2, "Kitchen refit", {});
    importer.OpenFile(csv);
    importer.Preview()->SetHead({2}, 1);
    importer.Preview()->SetHead({1}, 6);
    // Project 2 shared with two colleagues, and a few changes of its entries for its history.
    Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (20,'ann','x'),(21,'bob','x')");
    ShareProject(2, "ann", ProjectRole::Editor);
    ShareProject(2, "bob", ProjectRole::Viewer);
    const QString entry = Scalar("Select min(Id) From tblTransaction Where TaskID=2");
    SharedConnection.Execute("Update tblTransaction Set AmountOut=AmountOut+10, Remarks='Timber, corrected' Where Id=" + entry);
    SharedConnection.Execute("Delete From tblTransaction Where Id=" + Scalar("Select max(Id) From tblTransaction Where TaskID=2"));
    frmShare share(2, "Kitchen refit");
    share.gdMembers->selectRow(0);
    frmHistory history(2, 0, ProjectRole::Owner);
    history.gdHistory->selectRow(0);
    // Two backups of the file, as a week of use leaves them.
    const BackupClock clock = SetBackupClock([] { return QDateTime(QDate(2026, 12, 6), QTime(18, 5), QTimeZone::utc()); });
    MakeBackup(SharedConnection);
    SetBackupClock([] { return QDateTime(QDate(2026, 12, 7), QTime(8, 40), QTimeZone::utc()); });
    MakeBackup(SharedConnection);
    SetBackupClock(clock);
    frmRestore restore;
    frmHelp help(QCoreApplication::applicationDirPath() + "/../bin/Help/index.html");  // the guide the build lays out
    const std::pair<QWidget *, const char *> shots[] = {{&ledger, "ledger"}, {&booking, "ledger-entry"}, {&task, "frmTask"}, {&heads, "frmHeads"},
        {&login, "login"}, {frmMain::ShowMainFrame(), "main"}, {&user, "user"}, {&password, "password"}, {&about, "about"},
        {&overview, "overview"}, {&help, "frmHelp"}, {&importer, "import"},
        {&share, "frmShare"}, {&history, "frmHistory"}, {&restore, "frmRestore"}};
    // The big windows as they open on a 1280x720 screen (the test's own screen is smaller).
    for (QWidget *w : std::initializer_list<QWidget *>{&ledger, &booking, &overview})
        w->resize(1264, 680);
    importer.resize(1000, 680);
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../shots/");
    QDir().mkpath(dir);
    for (const auto &[w, name] : shots) {
        w->show();
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(dir + name + ".png")) << name;
    }
    // The printed ledger of the project on show, for a person to look at its pages.
    const ui::SaveFileHandler previous = ui::SetSaveFileHandler([&](const ui::SaveFileRequest &) {
        return dir + "ledger-report.pdf";
    });
    EXPECT_TRUE(SaveLedgerPdf(2));
    ui::SetSaveFileHandler(previous);
}

// The user guide shows every window: each picture it names is in the source tree and in the program
// folder the build lays out (scripts/guide-pictures.sh makes them again from this run's pictures).
TEST(HelpGuide, EveryPictureTheGuideNamesIsThere)
{
    QFile guide(QM_SOURCE_DIR "/resources/Help/index.html");
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(guide.readAll());
    QStringList named;
    static const QRegularExpression picture("src=\"(pictures/[^\"]+)\"");
    for (auto m = picture.globalMatch(html); m.hasNext();)
        named << m.next().captured(1);
    EXPECT_GE(named.size(), 8);
    const QString programFolder = QCoreApplication::applicationDirPath() + "/../bin/Help/";
    for (const QString &name : named) {
        EXPECT_TRUE(QFileInfo(QM_SOURCE_DIR "/resources/Help/" + name).isFile()) << name.toStdString();
        EXPECT_TRUE(QFileInfo(programFolder + name).isFile()) << name.toStdString() << " is not in the program folder";
    }
}
