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
#include <QPixmap>

namespace {

class Screenshots : public ProgramFolderTest {
protected:
    void Shoot(QWidget *w, const QString &name)
    {
        w->show();
        QApplication::processEvents();
        const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../shots");
        QDir().mkpath(dir);
        const QPixmap pix = w->grab();
        EXPECT_FALSE(pix.isNull()) << name.toStdString();
        EXPECT_TRUE(pix.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) << name.toStdString();
    }
};

TEST_F(Screenshots, Windows)
{
    OpenDatabase();
    frmLogin login;
    login.txtUserName->setText("sysop");
    login.txtPassword->setText("quorvandelix");
    Shoot(&login, "login");

    CurrentUserId = "sysop";
    frmMain *frame = frmMain::ShowMainFrame();
    Shoot(frame, "main");
    frame->mnuFile->popup(frame->mapToGlobal(QPoint(0, 0)));
    Shoot(frame->mnuFile, "main-file-menu");
    frame->mnuFile->close();

    frmUser user;
    user.txtUserName->setText("ann");
    user.txtPassword->setText("secret");
    Shoot(&user, "user");

    frmAbout about;
    Shoot(&about, "about");
}

}  // namespace
