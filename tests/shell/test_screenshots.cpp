// Pictures of the windows with the demo data, for a person to look at, written to build/shots/.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "shell/frmAbout.h"
#include "shell/frmMain.h"
#include "ui/Grid.h"

#include <QDir>

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
    frmLogin login;
    frmUser user;
    frmAbout about;
    frmTask task;
    frmHeads heads;
    const std::pair<QWidget *, const char *> shots[] = {{&ledger, "ledger"}, {&task, "frmTask"}, {&heads, "frmHeads"},
        {&login, "login"}, {frmMain::ShowMainFrame(), "main"}, {&user, "user"}, {&about, "about"}};
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../shots/");
    QDir().mkpath(dir);
    for (const auto &[w, name] : shots) {
        w->show();
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(dir + name + ".png")) << name;
    }
}
