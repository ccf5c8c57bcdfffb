// Pictures of every window for a person to look at, written to build/shots/: the demo data, and
// the ledger at the largest sizes the keys allow.
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
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../shots/");
    QDir().mkpath(dir);
    for (const Sample sample : {Sample::Demo, Sample::Large}) {
        ResetProcessState();
        QFile::remove(DatabasePath());
        CreateDatabaseFile(DatabasePath(), sample);
        Scene(sample == Sample::Demo ? "demo" : "large");
        frmMainMenu ledger;
        ledger.gdPreviewList->SetRow(sample == Sample::Demo ? 2 : 27);  // the large file's first task
        ledger.gdPreviewList_Click();
        const int rows[] = {ledger.gdPreviewList->Rows(), ledger.gdTansactionsList->Rows()};
        EXPECT_TRUE(sample == Sample::Demo || (rows[0] == 32768 && rows[1] == 32767)) << rows[0] << " " << rows[1];
        frmLogin login;
        frmUser user;
        frmAbout about;
        frmTask task;
        frmHeads heads;
        const std::pair<QWidget *, const char *> shots[] = {
            {&login, "login"}, {frmMain::ShowMainFrame(), "main"}, {&user, "user"}, {&about, "about"},
            {&ledger, "ledger"}, {&task, "frmTask"}, {&heads, "frmHeads"}};
        for (const auto &[w, name] : shots) {
            if (sample == Sample::Large && w != &ledger && w != &task)
                continue;
            w->show();
            QApplication::processEvents();
            EXPECT_TRUE(w->grab().save(dir + (sample == Sample::Demo ? "" : "largest-") + name + ".png")) << name;
        }
    }
}
