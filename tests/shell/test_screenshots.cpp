// Pictures of the windows, for a person to look at: written to build/shots/ by the test
// "Screenshots.Windows". The test itself only checks that each picture was made.
#include "TestSupport.h"

#include "shell/frmAbout.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmUser.h"

#include <QApplication>
#include <QDir>
#include <QMenu>

class Screenshots : public ProgramFolderTest {};

TEST_F(Screenshots, Windows)
{
    OpenDatabase();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // a frame closed by an earlier test
    CurrentUserId = "sysop";
    frmLogin login;
    frmUser user;
    frmAbout about;
    frmMain *frame = frmMain::ShowMainFrame();
    login.txtUserName->setText("sysop");
    login.txtPassword->setText("quorvandelix");
    user.txtUserName->setText("ann");
    user.txtPassword->setText("secret");
    frame->mnuFile->popup(frame->mapToGlobal(QPoint(0, 0)));
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../shots");
    QDir().mkpath(dir);
    const std::pair<QWidget *, const char *> shots[] = {
        {&login, "login"}, {frame, "main"}, {frame->mnuFile, "main-file-menu"}, {&user, "user"}, {&about, "about"}};
    for (const auto &[w, name] : shots) {
        w->show();
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(dir + "/" + name + ".png")) << name;
    }
}
