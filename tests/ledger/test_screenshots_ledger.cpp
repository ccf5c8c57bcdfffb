// Pictures of the ledger window for a person to look at, written to build/shots/.
#include "TestSupport.h"

#include "data/NewDatabase.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>

namespace {

class LedgerScreenshots : public ProgramFolderTest {
protected:
    void Shoot(QWidget *w, const QString &name)
    {
        w->show();
        QApplication::processEvents();
        const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../shots");
        QDir().mkpath(dir);
        EXPECT_TRUE(w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) << name.toStdString();
    }
    void UseDemoData()
    {
        ResetProcessState();
        QFile::remove(DatabasePath());
        CreateDatabaseFile(DatabasePath(), true);
        OpenDatabase();
        CurrentUserId = "demo";
    }
};

TEST_F(LedgerScreenshots, DemoData)
{
    UseDemoData();
    frmMainMenu w;
    w.show();
    w.gdPreviewList->SetRow(2);
    w.gdPreviewList_Click();
    Shoot(&w, "ledger");
    w.gdTansactionsList->SetRow(3);
    w.btnEditAction_Click();
    Shoot(&w, "ledger-editing");
}

}  // namespace
