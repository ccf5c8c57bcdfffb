// A database that cannot be reached, driven through the ledger window: a server restarted or stopped
// under an open ledger, a file removed or replaced under the running program. Each action that meets
// it says so in one box, keeps what was typed and what was on show, and stores nothing; the next
// action after the server is back works. A head deleted by another program is still asked for.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "export/GridColumns.h"
#include "ledger/frmMainMenu.h"
#include "shell/frmLogin.h"
#include "ui/DatePicker.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QGroupBox>
#include <QLabel>

namespace {

// ann's Garage (7) with one entry and Shed (6), the heads Cement (spent) and Client (received).
class Faults : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' '),"
                      "(6,'ann',3,'Shed','2024-03-02',NULL,0,500,' ')",
                      "tblTransaction VALUES (1,'ann','2024-03-05',2,300,0,'advance',7)"});
        w = std::make_unique<frmMainMenu>();
        w->show();
        Show("Garage");
        // An entry typed and not saved yet.
        w->btnAddAction->click();
        w->cboTransactionHeads->setCurrentIndex(w->cboTransactionHeads->findText("Cement"));
        w->txtTransactionAmount->setText("42");
        w->txtTransactionRemarks->setText("sand");
        typed = Typed();
        shown = Shown();
        StatementLog::Clear();
    }
    void Show(const QString &project)
    {
        ui::Grid *g = w->gdPreviewList;
        for (int r = 1; r < g->Rows(); ++r)
            if (g->TextMatrix(r, TaskColumn::Name) == project)
                return QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(r - 1, 1)).center());
        ADD_FAILURE() << "no project " << project.toStdString();
    }
    QString Typed() const
    {
        return QStringList{w->dtTransactionDate->Value().toString(Qt::ISODate), w->cboTransactionHeads->currentText(),
                           w->txtTransactionAmount->text(), w->txtTransactionRemarks->text(),
                           QString::number(w->FrameActionManager->isEnabled())}.join('|');
    }
    // The project on show: number, name, totals, the ledger's entries, Add, the list's current row.
    QString Shown() const
    {
        QStringList entries;
        for (int r = 1; r < w->gdTansactionsList->Rows(); ++r)
            entries << w->gdTansactionsList->TextMatrix(r, LedgerColumn::Id);
        const ui::Grid *list = w->gdPreviewList;
        return QStringList{w->lblTaskNo->text(), w->lblTaskName->text(), w->zeMoneyReceived->text(),
                           w->zeMoneySpent->text(), w->txtCashInWallet->text(), entries.join(','),
                           QString::number(w->btnAddAction->isEnabled()), list->TextMatrix(list->Row(), TaskColumn::Name)}
            .join('|');
    }
    // One box per action so far, each the lost database's, naming what could not be reached.
    void ExpectSaidOnceEach(int actions, const QString &names)
    {
        ASSERT_EQ(boxes.Count(), actions);
        for (const ui::MessageBoxRequest &b : boxes.Shown())
            EXPECT_TRUE(b.prompt.startsWith(names) && b.prompt.endsWith(". Nothing was saved; try again in a moment.") &&
                        b.title == "Error" && b.icon == ui::Icon::Critical) << b.prompt.toStdString();
    }
    void ReconnectAdmin() { server->admin = std::make_unique<PgEngine>(server->conninfo, "qmk_super", server->superPassword, true); }

    std::unique_ptr<frmMainMenu> w;
    QString typed, shown;
};

template <EngineKind K>
class On : public Faults {
    EngineKind Kind() const override { return K; }
};
using ServerFaults = On<EngineKind::Server>;
using FileFaults = On<EngineKind::File>;
class OrdinaryFaults : public OnBothEngines<Faults> {};
QMK_ON_BOTH_ENGINES(OrdinaryFaults);

// Restarted under the open ledger: Save says so once, keeps the entry and stores nothing (its first
// statement, the head's type, met the cut connection); the next Save connects again and stores it once.
TEST_F(ServerFaults, ASaveAfterARestartSaysSoOnceAndTheNextSaveStoresItOnce)
{
    ASSERT_EQ(Cluster("restart"), 0);
    boxes.Expect();
    w->cmdSave->click();
    ExpectSaidOnceEach(1, "The database server could not be reached: ");
    EXPECT_EQ(Typed(), typed);
    EXPECT_EQ(Shown(), shown);
    ReconnectAdmin();
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "1");
    w->cmdSave->click();
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(Joined("Select TaskID,HeadId,AmountIn,AmountOut,Remarks From tblTransaction Where Id<>1"),
              QStringList{"7|1|0|42|sand"});
    EXPECT_EQ(w->zeMoneySpent->text(), "42");
}

// Stopped for whole actions: Save and a click on another project each say so once; the entry and the
// project on show stay as they were. Started again, the click shows the project and Save stores.
TEST_F(ServerFaults, WhileTheServerIsStoppedEachActionSaysSoOnceAndLeavesTheWindowAsItWas)
{
    PausedCluster stopped;
    ASSERT_TRUE(stopped.Paused());
    boxes.Expect();
    w->cmdSave->click();
    boxes.Expect();
    Show("Shed");
    ExpectSaidOnceEach(2, "The database server could not be reached: ");
    EXPECT_EQ(Typed(), typed);
    EXPECT_EQ(Shown(), shown);
    stopped.Resume();
    QApplication::processEvents();
    Show("Shed");
    EXPECT_EQ(w->lblTaskNo->text(), "6");
    w->cmdSave->click();
    EXPECT_EQ(boxes.Count(), 2);
    ReconnectAdmin();
    EXPECT_EQ(Joined("Select TaskID,AmountOut From tblTransaction Where Id<>1"), QStringList{"6|42"});
}

// The file removed (moved away), then another put in its place, under the running program: every
// action says so once with the file's path, keeps what was typed and shown, and writes nothing.
TEST_F(FileFaults, AFileRemovedOrReplacedUnderTheProgramIsSaidWithItsPath)
{
    const QString db = DatabasePath(), away = db + ".away";
    const QString said = "The database file " + QFileInfo(db).canonicalFilePath() + " could not be read or written: ";
    ASSERT_TRUE(QFile::rename(db, away));
    boxes.Expect();
    w->cmdSave->click();
    boxes.Expect();
    Show("Shed");
    ExpectSaidOnceEach(2, said + "it is no longer there");
    EXPECT_EQ(Typed(), typed);
    EXPECT_EQ(Shown(), shown);
    ASSERT_TRUE(QFile::copy(away, db));
    boxes.Expect();
    w->cmdSave->click();
    ExpectSaidOnceEach(3, said);
    EXPECT_TRUE(boxes.Last().contains("another file has taken its place")) << boxes.Last().toStdString();
    EXPECT_EQ(Typed(), typed);
    EXPECT_TRUE(Statements().filter("INSERT", Qt::CaseInsensitive).isEmpty()) << Statements().join('\n').toStdString();
}

// The project and heads editors meet the file gone at Save: one box each, the name typed kept in the
// open frame for Save again; so does a login.
TEST_F(FileFaults, TheEditorsAndTheLoginKeepWhatWasTypedWhenTheFileHasGone)
{
    frmTask task;
    frmHeads heads;
    const std::pair<QLineEdit *, QPushButton *> editors[] = {{task.txtDescription, task.cmdSave}, {heads.txtDescription, heads.cmdSave}};
    task.cmdAdd->click();
    task.zeCostPlanned->setText("100");
    heads.cmdAdd->click();
    ASSERT_TRUE(QFile::remove(DatabasePath()));
    for (const auto &[name, save] : editors) {
        name->setText("Porch");
        boxes.Expect();
        save->click();
        EXPECT_EQ(name->text(), "Porch");
    }
    ExpectSaidOnceEach(2, "The database file ");
    EXPECT_TRUE(task.Frame1->isEnabled() && heads.Frame1->isEnabled());
    // A login then says the same, rather than taking the password for a wrong one.
    frmLogin login;
    login.show();
    login.txtUserName->setText("ann");
    login.txtPassword->setText("pw");
    boxes.Expect();
    QTest::keyClick(login.txtPassword, Qt::Key_Return);
    ExpectSaidOnceEach(3, "The database file ");
}

// An ordinary failure keeps its own answer: the head chosen was deleted by another program, so its
// type cannot be read, and Save asks for a head as ever, with nothing stored.
TEST_P(OrdinaryFaults, AHeadDeletedByAnotherProgramIsAskedForAgain)
{
    Seed("DELETE FROM defHeads WHERE Id=1");
    boxes.Expect();
    w->cmdSave->click();
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_TRUE(boxes.Last().startsWith("Select an action to add from the list.|" + QString::number(int(ui::Icon::Exclamation))))
        << boxes.Last().toStdString();
    EXPECT_EQ(Typed(), typed);
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "1");
}

}  // namespace
