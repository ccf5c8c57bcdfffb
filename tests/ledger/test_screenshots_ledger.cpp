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
    void Use(Sample sample, const QString &user)
    {
        ResetProcessState();
        QFile::remove(DatabasePath());
        CreateDatabaseFile(DatabasePath(), sample);
        OpenDatabase();
        CurrentUserId = user;
    }
};

TEST_F(LedgerScreenshots, DemoData)
{
    Use(Sample::Demo, "demo");
    frmMainMenu w;
    w.show();
    w.gdPreviewList->SetRow(2);
    w.gdPreviewList_Click();
    Shoot(&w, "ledger");
    w.gdTansactionsList->SetRow(3);
    w.btnEditAction_Click();
    Shoot(&w, "ledger-editing");
}

TEST_F(LedgerScreenshots, LargestSizes)
{
    Use(Sample::Large, "large");
    frmMainMenu w;
    w.show();
    ASSERT_EQ(w.gdPreviewList->Rows(), 32768);
    for (int r = 1; r < w.gdPreviewList->Rows(); ++r)
        if (w.gdPreviewList->TextMatrix(r, 0) == "1")
            w.gdPreviewList->SetRow(r);
    w.gdPreviewList_Click();
    EXPECT_EQ(w.gdTansactionsList->Rows(), 32767);
    Shoot(&w, "ledger-largest");
}

}  // namespace
