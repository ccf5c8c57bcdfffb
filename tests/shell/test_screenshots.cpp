// Pictures of every window for a person to look at, written to build/shots/: the demo data in
// each window, and the ledger at the largest sizes the keys allow.
#include "TestSupport.h"

#include "data/NewDatabase.h"
#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "shell/frmAbout.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmUser.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>

class Screenshots : public ProgramFolderTest {
protected:
    void Use(Sample sample, const QString &user)
    {
        ResetProcessState();
        QFile::remove(DatabasePath());
        CreateDatabaseFile(DatabasePath(), sample);
        OpenDatabase();
        CurrentUserId = user;
    }
};

TEST_F(Screenshots, Windows)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // a frame closed by an earlier test
    Use(Sample::Demo, "demo");
    frmLogin login;
    frmUser user;
    frmAbout about;
    frmMain *frame = frmMain::ShowMainFrame();
    frmMainMenu ledger;
    frmTask task;
    frmHeads heads;
    std::unique_ptr<frmMainMenu> large;
    const std::pair<const char *, std::function<QWidget *()>> shots[] = {
        {"login", [&] { login.txtUserName->setText("demo"); login.txtPassword->setText("demo"); return &login; }},
        {"main", [&] { return frame; }},
        {"main-file-menu", [&] { frame->mnuFile->popup(frame->mapToGlobal(QPoint(0, 0))); return frame->mnuFile; }},
        {"user", [&] { user.txtUserName->setText("ann"); user.txtPassword->setText("secret"); return &user; }},
        {"about", [&] { return &about; }},
        {"ledger", [&] { ledger.gdPreviewList->SetRow(2); ledger.gdPreviewList_Click(); return &ledger; }},
        {"ledger-editing", [&] { ledger.gdTansactionsList->SetRow(3); ledger.btnEditAction_Click(); return &ledger; }},
        {"frmTask", [&] { boxes.Expect(ui::Answer::Yes); task.lstTasks->SetListIndex(0); task.lstTasks_Click();
                          return &task; }},
        {"frmHeads", [&] { boxes.Expect(ui::Answer::Yes); heads.lstHeads->SetListIndex(1); heads.lstHeads_Click();
                           return &heads; }},
        {"ledger-largest", [&] {
             Use(Sample::Large, "large");
             large = std::make_unique<frmMainMenu>();
             ui::Grid *tasks = large->gdPreviewList;
             EXPECT_EQ(tasks->Rows(), 32768);
             for (int r = 1; r < tasks->Rows(); ++r)
                 if (tasks->TextMatrix(r, 0) == "1")
                     tasks->SetRow(r);
             large->gdPreviewList_Click();
             EXPECT_EQ(large->gdTansactionsList->Rows(), 32767);
             return large.get();
         }}};
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../shots/");
    QDir().mkpath(dir);
    for (const auto &[name, ready] : shots) {
        QWidget *w = ready();
        w->show();
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(dir + name + ".png")) << name;
    }
}
