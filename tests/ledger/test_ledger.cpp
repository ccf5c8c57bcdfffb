// The project ledger window driven as a user drives it: clicks and keys on the real widgets,
// scripted message boxes, and checks of what the window shows and what the database holds.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "ui/DatePicker.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QTest>
#include <memory>

namespace {

const char *const kInsert = "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) VALUES ";

class LedgerTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        CurrentUserId = "ann";
        // Heads: 1 Cement (expense), 2 Client (income), both ann's; 3 Wages belongs to bob.
        Seed("INSERT INTO defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann'),(3,'Wages',1,'bob')");
    }

    void Task(int id, const QString &name, int status = 2, const QString &start = "2024-03-01", double cost = 0,
              const QString &user = "ann")
    {
        Seed(QString("INSERT INTO tblTasks VALUES (%1,'%2',%3,'%4','%5',NULL,%6,500,' ')")
                 .arg(id).arg(user).arg(status).arg(name, start).arg(cost));
    }
    void Entry(int id, int task, int head, const QString &in, const QString &out, const QString &date = "2024-03-05",
               const QString &remark = "'r'", const QString &user = "ann")
    {
        Seed(QString("INSERT INTO tblTransaction VALUES (%1,'%2','%3',%4,%5,%6,%7,%8)")
                 .arg(id).arg(user, date).arg(head).arg(in, out, remark).arg(task));
    }

    frmMainMenu &Open()
    {
        w = std::make_unique<frmMainMenu>();
        w->show();
        QApplication::processEvents();
        StatementLog::Clear();
        return *w;
    }
    // A mouse click on a data row of a grid, as the user makes it.
    void ClickRow(ui::Grid *g, int row, int col = 0)
    {
        const QRect r = g->visualRect(g->model()->index(row - 1, col));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    }
    void DoubleClickRow(ui::Grid *g, int row)
    {
        const QPoint at = g->visualRect(g->model()->index(row - 1, 1)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
    }
    QStringList RowOf(ui::Grid *g, int row)
    {
        QStringList out;
        for (int c = 0; c < g->Cols(); ++c)
            out << g->TextMatrix(row, c);
        return out;
    }
    QStringList Column0(ui::Grid *g)
    {
        QStringList out;
        for (int r = 1; r < g->Rows(); ++r)
            out << g->TextMatrix(r, 0);
        return out;
    }
    void ChooseHead(const QString &name)
    {
        w->cboTransactionHeads->SetListIndex(w->cboTransactionHeads->findText(name));
    }
    // Add with a task selected, fill the editor, Save.
    void Book(const QDate &date, const QString &head, const QString &amount, const QString &remark)
    {
        w->btnAddAction->click();
        w->dtTransactionDate->SetValue(date);
        ChooseHead(head);
        w->txtTransactionAmount->selectAll();
        TypeInto(w->txtTransactionAmount, amount);
        TypeInto(w->txtTransactionRemarks, remark);
        w->cmdSave->click();
    }

    std::unique_ptr<frmMainMenu> w;
};

TEST_F(LedgerTest, OpensWithTheTaskListAndAnEmptyLedger)
{
    Task(7, "Garage", 3, "2024-03-01", 12.5);
    Task(8, "Roof", 2, "2024-02-01");
    Task(9, "Bobs", 2, "2024-01-01", 0, "bob");
    Open();
    EXPECT_EQ(w->lblUserName->text(), "ann");
    EXPECT_EQ(RowOf(w->gdPreviewList, 0),
              (QStringList{"ID", "Task Name", "Start Date", "Cost", "Cost Planned", "Status", "Ended"}));
    EXPECT_EQ(RowOf(w->gdPreviewList, 2), (QStringList{"7", "Garage", "01/03/2024", "12.5", "500", "Running", ""}));
    EXPECT_EQ(Column0(w->gdPreviewList), (QStringList{"8", "7"}));
    EXPECT_EQ(w->gdPreviewList->ColWidth(1), 1500);
    EXPECT_EQ(w->gdPreviewList->Row(), 2);  // the last loaded row stays current
    EXPECT_EQ(RowOf(w->gdTansactionsList, 0),
              (QStringList{"ID", "Action Name", "Description", "Amount In", "Amount Out", "Date"}));
    EXPECT_EQ(w->lblCost->text(), "Cost :");
    for (QLineEdit *box : {w->zeMoneySpent, w->zeMoneyReceived, w->txtCashInWallet})
        EXPECT_EQ(box->text(), "0.00");
    EXPECT_EQ(w->lblTaskNo->text(), "");
    EXPECT_FALSE(w->FrameActionManager->isEnabled());
    EXPECT_FALSE(w->btnAddAction->isEnabled());
    EXPECT_TRUE(w->Frame3->isEnabled());
    EXPECT_EQ(w->cboTransactionHeads->ListCount(), 2);  // ann's heads only
    EXPECT_EQ(w->cboTransactionHeads->ListIndex(), -1);
    EXPECT_EQ(w->cboPreviewStatus->ListCount(), 6);
    EXPECT_EQ(w->dtTransactionDate->Value(), ui::Today());
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(LedgerTest, StatusFilterListsOneStatusAboveOneAndRefreshListsAllAgain)
{
    Task(1, "A", 2, "2024-01-01");
    Task(2, "B", 3, "2024-01-02", 5);
    Task(3, "C", 3, "2024-01-02", 1);  // same date: the smaller cost first
    Open();
    const struct { int choice; QStringList ids; } cases[] = {
        {0, {"1", "3", "2"}}, {1, {"1"}}, {2, {"3", "2"}}, {3, {}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.choice);
        w->cboPreviewStatus->setFocus();
        w->cboPreviewStatus->SetListIndex(c.choice);
        Q_EMIT w->cboPreviewStatus->activated(c.choice);
        EXPECT_EQ(Column0(w->gdPreviewList), c.ids);
        EXPECT_EQ(w->Frame3->isEnabled(), !c.ids.isEmpty());
    }
    EXPECT_EQ(Statements().at(Statements().size() - 1),
              "Select * from tblTasks Where UserId='ann' And StatusID=4 Order by StartDate,CostUpToNow");
    EXPECT_EQ(Statements().first(), "Select * from tblTasks Where UserId='ann' Order by StartDate,CostUpToNow");
    w->btnRefresh->click();
    EXPECT_EQ(Column0(w->gdPreviewList), (QStringList{"1", "3", "2"}));
    EXPECT_EQ(w->cboPreviewStatus->currentText(), "On Hold");
    w->cmdPreview->click();
    EXPECT_EQ(w->gdPreviewList->Rows(), 4);
}

TEST_F(LedgerTest, SelectingATaskShowsItsLedgerTotalsAndWritesTheBalanceBack)
{
    Task(7, "Garage");
    Entry(2, 7, 2, "500", "0", "2024-03-06", "'advance'");
    Entry(1, 7, 1, "0", "120", "2024-03-05", "'bags'");
    Entry(3, 7, 1, "0", "40", "2024-03-05", "NULL");
    Entry(4, 7, 1, "0", "999", "2024-03-05", "'not ann''s'", "bob");  // same task number, another user
    Entry(5, 8, 1, "0", "999");                                      // another task
    Open();
    ClickRow(w->gdPreviewList, 1);
    EXPECT_EQ(w->lblTaskNo->text(), "7");
    EXPECT_EQ(w->lblTaskName->text(), "Garage");
    ASSERT_EQ(w->gdTansactionsList->Rows(), 4);
    EXPECT_EQ(RowOf(w->gdTansactionsList, 1), (QStringList{"1", "Cement", "bags", "0", "120", "05/03/2024"}));
    EXPECT_EQ(RowOf(w->gdTansactionsList, 2), (QStringList{"3", "Cement", "", "0", "40", "05/03/2024"}));
    EXPECT_EQ(RowOf(w->gdTansactionsList, 3), (QStringList{"2", "Client", "advance", "500", "0", "06/03/2024"}));
    EXPECT_EQ(w->zeMoneyReceived->text(), "500");
    EXPECT_EQ(w->zeMoneySpent->text(), "160");
    EXPECT_EQ(w->txtCashInWallet->text(), "340.00");
    EXPECT_EQ(w->lblCost->text(), "Credit of");
    EXPECT_EQ(Scalar("Select CostUpToNow From tblTasks Where TaskID=7"), "340");
    EXPECT_TRUE(w->btnAddAction->isEnabled());
    EXPECT_EQ(Statements(), (QStringList{
        "Select * from tblTransaction Where UserId='ann' and TaskID =7 Order by TransactionDate,Id",
        "Select Heads From defHeads Where Id=1", "Select Heads From defHeads Where Id=2",
        "Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='ann' and TaskID =7",
        "Update tblTasks Set CostUpToNow=340.00 Where TaskID =7"}));
    EXPECT_EQ(traces, QList<QByteArray>{"Quillmark v1.0 DEMO>>frmMainMenu>gdPreviewList_Click() "});
}

TEST_F(LedgerTest, BalanceWordComparesTheTotalsAsShown)
{
    const struct { QStringList in, out; const char *received, *spent, *balance, *word, *cost; } cases[] = {
        {{}, {}, "0", "0", "0.00", "Balanced", "0"},
        {{"1000"}, {"900"}, "1000", "900", "100.00", "Credit of", "100"},
        {{"900"}, {"1000"}, "900", "1000", "-100.00", "Debit of ", "-100"},
        {{"50.25"}, {"50.25"}, "50.25", "50.25", "0.00", "Balanced", "0"},
        {{"0.1", "0.2"}, {"0.3"}, "0.3", "0.3", "0.00", "Balanced", "0"},  // equal after 15 digits
        {{"NULL"}, {"150.5"}, "0", "150.5", "-150.50", "Debit of ", "-150.5"},
    };
    Task(7, "Garage");
    Open();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.balance);
        Seed("Delete from tblTransaction");
        int id = 0;
        for (const QString &a : c.in)
            Entry(++id, 7, 2, a, "0");
        for (const QString &a : c.out)
            Entry(++id, 7, 1, "0", a);
        ClickRow(w->gdPreviewList, 1);
        EXPECT_EQ(w->zeMoneyReceived->text(), c.received);
        EXPECT_EQ(w->zeMoneySpent->text(), c.spent);
        EXPECT_EQ(w->txtCashInWallet->text(), c.balance);
        EXPECT_EQ(w->lblCost->text(), c.word);
        EXPECT_EQ(Scalar("Select CostUpToNow From tblTasks Where TaskID=7"), c.cost);
        EXPECT_EQ(w->btnAddAction->isEnabled(), true);  // the click enables it even for an empty ledger
    }
}

TEST_F(LedgerTest, TheRoadOfOneBooking)
{
    Task(7, "Garage");
    Open();
    ClickRow(w->gdPreviewList, 1);
    ASSERT_TRUE(w->btnAddAction->isEnabled());
    Book(QDate(2024, 3, 5), "Client", "150", "cement");
    EXPECT_EQ(Statements().mid(3, 4), (QStringList{
        "Select PlusMinus from defHeads Where Id=2", "Select max(Id) From tblTransaction",
        QString(kInsert) + "(1,'ann',#05/03/2024#,2,150,0,'cement',7)",
        "Select * from tblTransaction Where UserId='ann' and TaskID =7 Order by TransactionDate,Id"}));
    EXPECT_EQ(RowOf(w->gdTansactionsList, 1), (QStringList{"1", "Client", "cement", "150", "0", "05/03/2024"}));
    EXPECT_EQ(w->lblCost->text(), "Credit of");
    EXPECT_EQ(Scalar("Select CostUpToNow From tblTasks Where TaskID=7"), "150");
    // The editor closes; NEW and DELETE stay off; the head and the date are kept for the next add.
    EXPECT_FALSE(w->FrameActionManager->isEnabled());
    EXPECT_FALSE(w->Frame3->isEnabled());
    EXPECT_EQ(w->txtTransactionAmount->text(), "0");
    EXPECT_EQ(w->cboTransactionHeads->currentText(), "Client");
    EXPECT_EQ(w->dtTransactionDate->Value(), QDate(2024, 3, 5));

    // An expense, a negative amount, an empty remark, Enter in the remarks box to save.
    w->btnAddAction->click();
    ChooseHead("Cement");
    w->txtTransactionAmount->setText("-12.5");
    Press(w->txtTransactionRemarks, Qt::Key_Return);
    EXPECT_TRUE(Statements().contains(QString(kInsert) + "(2,'ann',#05/03/2024#,1,0,-12.5,' ',7)"));
    EXPECT_EQ(w->txtCashInWallet->text(), "162.50");
}

TEST_F(LedgerTest, AmountsThatAreNoNumbersOrTooLargeAreSavedAsZero)
{
    Task(7, "Garage");
    Open();
    ClickRow(w->gdPreviewList, 1);
    const struct { const char *typed, *stored; } cases[] = {
        {"abc", "0"}, {"", "0"}, {"1e999", "0"}, {"nan", "0"}, {"inf", "0"}, {"2e15", "0"}, {"0x10", "0"},
        {" 7 ", "7"}, {"1e3", "1000"}, {"-0", "0"}, {"1e15", "1000000000000000"}, {"0.125", "0.125"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        Book(QDate(2024, 1, 1), "Client", c.typed, "x");
        EXPECT_EQ(Scalar("Select AmountIn From tblTransaction Where Id=(Select max(Id) From tblTransaction)"), c.stored);
    }
    for (const QString &s : Statements())
        EXPECT_FALSE(s.contains("inf", Qt::CaseInsensitive) || s.contains("nan", Qt::CaseInsensitive)) << s.toStdString();
}

TEST_F(LedgerTest, SaveRefusesWithoutAHeadAndWhenTheHeadHasGone)
{
    Task(7, "Garage");
    Open();
    ClickRow(w->gdPreviewList, 1);
    w->btnAddAction->click();
    w->txtTransactionAmount->setText("10");
    boxes.Expect();
    w->cmdSave->click();
    ChooseHead("Cement");
    Seed("Delete from defHeads Where Id=1");
    boxes.Expect();
    w->cmdSave->click();
    ASSERT_EQ(boxes.Count(), 2);
    for (const auto &b : boxes.Shown()) {
        EXPECT_EQ(b.prompt, "Select an action to add from the list.");
        EXPECT_EQ(b.icon, ui::Icon::Exclamation);
        EXPECT_EQ(b.title, AppTitle);
    }
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "0");
    EXPECT_TRUE(w->FrameActionManager->isEnabled());  // the editor stays open with its contents
    EXPECT_EQ(w->txtTransactionAmount->text(), "10");
}

TEST_F(LedgerTest, NewWithNoTaskSelectedStoresNothing)
{
    Task(7, "Garage");
    Open();
    w->cmdAdd->click();
    EXPECT_TRUE(w->FrameActionManager->isEnabled());
    EXPECT_FALSE(w->Frame3->isEnabled());
    ChooseHead("Client");
    boxes.Expect();  // the writer's own "Error" box
    w->cmdSave->click();
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Shown()[0].title, "Error");
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "0");
    EXPECT_FALSE(w->FrameActionManager->isEnabled());
}

TEST_F(LedgerTest, EditLoadsAtOnceDoubleClickAsksAndSavingRewritesTheRow)
{
    Task(7, "Garage");
    Entry(1, 7, 1, "0", "120", "2024-03-05", "'bags'");
    Entry(2, 7, 2, "-30", "0", "2024-03-06", "'refund'");
    Open();
    ClickRow(w->gdPreviewList, 1);

    ClickRow(w->gdTansactionsList, 1);
    w->btnEditAction->click();
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(w->txtTransactionAmount->text(), "120");
    EXPECT_EQ(w->cboTransactionHeads->currentText(), "Cement");
    EXPECT_EQ(w->txtTransactionRemarks->text(), "bags");
    EXPECT_EQ(w->dtTransactionDate->Value(), QDate(2024, 3, 5));
    EXPECT_EQ(w->ActionId, 1);
    EXPECT_FALSE(w->bNewAction);
    EXPECT_TRUE(w->Frame3->isEnabled() && w->Frame4->isEnabled() && w->FrameActionManager->isEnabled());

    boxes.Expect(ui::Answer::No);
    DoubleClickRow(w->gdTansactionsList, 2);
    EXPECT_EQ(w->ActionId, 1);
    boxes.Expect(ui::Answer::Yes);
    DoubleClickRow(w->gdTansactionsList, 2);
    EXPECT_EQ(boxes.Shown()[0].prompt, "Want to edit this action ?");
    EXPECT_EQ(boxes.Shown()[0].icon, ui::Icon::Question);
    EXPECT_EQ(w->ActionId, 2);
    EXPECT_EQ(w->txtTransactionAmount->text(), "-30");  // a negative income is loaded, not 0

    // Moved to a head of the other type: the amount goes to the other column.
    ChooseHead("Cement");
    StatementLog::Clear();
    w->cmdSave->click();
    EXPECT_EQ(Statements().at(1), "Update tblTransaction Set Id=2,UserId='ann',TransactionDate=#06/03/2024#,HeadId=1,"
                                  "AmountIn=0,AmountOut=-30,Remarks='refund',TaskID=7 WHERE Id=2");
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "2");
    EXPECT_EQ(w->zeMoneySpent->text(), "90");
}

TEST_F(LedgerTest, DeleteOnTheGridAsksAndReloadsTheLedger)
{
    Task(7, "Garage");
    Entry(12, 7, 1, "0", "120", "2024-03-05", "'bags'");
    Open();
    ClickRow(w->gdPreviewList, 1);
    traces.clear();
    boxes.Expect(ui::Answer::No);
    boxes.Expect(ui::Answer::Yes);
    w->btnDeleteAction->click();
    EXPECT_EQ(w->gdTansactionsList->Rows(), 2);
    w->btnDeleteAction->click();
    EXPECT_EQ(boxes.Shown()[0].prompt, "Want to delete this action 'Cement'\r\nwith comment :'bags' ?");
    EXPECT_EQ(w->gdTansactionsList->Rows(), 1);
    EXPECT_EQ(w->lblCost->text(), "Balanced");
    EXPECT_EQ(traces, (QList<QByteArray>{"Quillmark v1.0 DEMO>>frmMainMenu>btnDeleteAction_Click()-Entering ",
                                         "Quillmark v1.0 DEMO>>frmMainMenu>btnDeleteAction_Click()-OK ()",
                                         "Quillmark v1.0 DEMO>>frmMainMenu>btnDeleteAction_Click()-Entering ",
                                         "Quillmark v1.0 DEMO>>frmMainMenu>btnDeleteAction_Click()-OK (Delete from "
                                         "tblTransaction Where Id=12)"}));
}

TEST_F(LedgerTest, DeleteOfTheLoadedRow)
{
    Task(7, "Garage");
    Entry(1, 7, 1, "0", "120");
    Entry(2, 7, 1, "0", "80");
    Open();
    // Right after opening nothing is loaded, yet the question comes and Yes deletes key 0.
    boxes.Expect(ui::Answer::Yes);
    w->cmdDelete->click();
    EXPECT_TRUE(Statements().contains("Delete from tblTransaction Where Id=0"));
    EXPECT_FALSE(w->FrameActionManager->isEnabled());
    EXPECT_TRUE(w->bNewAction);
    w->cmdDelete->click();  // while adding or closed: nothing at all

    ClickRow(w->gdPreviewList, 1);
    ClickRow(w->gdTansactionsList, 2);
    w->btnEditAction->click();
    boxes.Expect(ui::Answer::Yes);
    w->cmdDelete->click();
    EXPECT_EQ(boxes.Shown().back().prompt, "Want To Delete This Record");
    EXPECT_EQ(Column(QStringLiteral("Select Id From tblTransaction")), QStringList{"1"});
    EXPECT_EQ(Column0(w->gdTansactionsList), QStringList{"1"});  // the ledger no longer shows it
    EXPECT_EQ(w->zeMoneySpent->text(), "120");
    EXPECT_EQ(Scalar("Select CostUpToNow From tblTasks Where TaskID=7"), "-120");
    EXPECT_FALSE(w->FrameActionManager->isEnabled());
    EXPECT_TRUE(w->Frame3->isEnabled());  // the task list reload switches it back on
}

TEST_F(LedgerTest, DeletingATaskAsksAboutTheCurrentRowAndKeepsItsEntries)
{
    Task(7, "Garage", 2, "2024-01-01");
    Task(8, "Roof", 2, "2024-02-01");
    Entry(1, 8, 1, "0", "120");
    Open();
    ClickRow(w->gdPreviewList, 2);
    traces.clear();
    boxes.Expect(ui::Answer::No);
    w->btnDelTask->click();
    EXPECT_EQ(boxes.Shown()[0].prompt, "Want to delete this action 'Roof' ?");
    EXPECT_EQ(w->gdPreviewList->Rows(), 3);
    boxes.Expect(ui::Answer::Yes);
    w->btnDelTask->click();  // right after the reload the last row, Roof, is current
    EXPECT_EQ(Column0(w->gdPreviewList), QStringList{"7"});
    EXPECT_EQ(w->lblTaskNo->text(), "8");  // the deleted task stays on show
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction Where TaskID=8"), "1");
    EXPECT_EQ(traces, (QList<QByteArray>{"Quillmark v1.0 DEMO>>frmMainMenu>btnDelTask_Click()- Entering ",
                                         "Quillmark v1.0 DEMO>>frmMainMenu>btnDelTask_Click()- OUT- sql=)",
                                         "Quillmark v1.0 DEMO>>frmMainMenu>btnDelTask_Click()- Entering ",
                                         "Quillmark v1.0 DEMO>>frmMainMenu>btnDelTask_Click()- OUT- sql=Delete from "
                                         "tblTasks Where TaskID=8)"}));

    // A new task never takes the number whose entries stayed behind.
    DataAccess.AddNewTask("tblTasks", "UserId<<>>StatusID<<>>TaskName<<>>StartDate<<>>CostUpToNow<<>>CostPlanned<<>>Notes",
                          "'ann'<<>>2<<>>'Shed'<<>>#01/03/2024#<<>>0<<>>0<<>>' '", "TaskID", "<<>>");
    EXPECT_EQ(Scalar("Select TaskID From tblTasks Where TaskName='Shed'"), "9");
    w->btnRefresh->click();
    ClickRow(w->gdPreviewList, 2);
    EXPECT_EQ(w->lblTaskNo->text(), "9");
    EXPECT_EQ(w->gdTansactionsList->Rows(), 1);

    // Deleting the last task empties the panel and switches the button frames off.
    boxes.Expect(ui::Answer::Yes);
    boxes.Expect(ui::Answer::Yes);
    w->btnDelTask->click();
    w->btnDelTask->click();
    EXPECT_EQ(w->gdPreviewList->Rows(), 1);
    EXPECT_EQ(w->lblTaskNo->text(), "");
    EXPECT_EQ(w->gdTansactionsList->TextMatrix(0, 1), "");
    EXPECT_FALSE(w->Frame3->isEnabled() || w->Frame4->isEnabled());
    traces.clear();
    w->gdPreviewList_Click();  // a click with no data row only traces
    EXPECT_EQ(traces, QList<QByteArray>{"Quillmark v1.0 DEMO>>frmMainMenu>gdPreviewList_Click() "});
    EXPECT_EQ(w->lblTaskNo->text(), "");
}

TEST_F(LedgerTest, AMissingNameIsReportedOncePerLoad)
{
    Task(7, "Garage", 9);
    Task(8, "Roof", 9);
    Entry(1, 7, 42, "0", "1");
    Entry(2, 7, 42, "0", "2");
    Entry(3, 7, 1, "NULL", "NULL", "2024-03-05", "NULL");
    boxes.Expect();
    Open();
    EXPECT_EQ(w->gdPreviewList->TextMatrix(1, 5), "");
    boxes.Expect();
    ClickRow(w->gdPreviewList, 1);
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Shown()[1].title, "Error");
    EXPECT_EQ(RowOf(w->gdTansactionsList, 3), (QStringList{"3", "Cement", "", "", "", "05/03/2024"}));
    EXPECT_EQ(w->gdTansactionsList->TextMatrix(2, 1), "");
}

TEST_F(LedgerTest, KeyboardDrivesTheGridsAndTheEditor)
{
    Task(7, "Garage", 2, "2024-01-01");
    Task(8, "Roof", 2, "2024-02-01");
    Open();
    w->gdPreviewList->setFocus();
    Press(w->gdPreviewList, Qt::Key_Up);  // moves without selecting
    EXPECT_EQ(w->lblTaskNo->text(), "");
    Press(w->gdPreviewList, Qt::Key_Space);
    EXPECT_EQ(w->lblTaskNo->text(), "7");
    Press(w->gdPreviewList, Qt::Key_Down);
    Press(w->gdPreviewList, Qt::Key_Return);
    EXPECT_EQ(w->lblTaskNo->text(), "8");

    w->btnAddAction->click();
    QStringList order;
    for (QWidget *f = w->dtTransactionDate; order.size() < 5; f = f->nextInFocusChain())
        if ((f->focusPolicy() & Qt::TabFocus) && !f->objectName().startsWith("qt_"))
            order << f->objectName();
    EXPECT_EQ(order, (QStringList{"dtTransactionDate", "cboTransactionHeads", "txtTransactionAmount",
                                  "txtTransactionRemarks", "cmdSave"}));
    Press(w.get(), Qt::Key_Escape);  // Escape cancels the add, and the window stays
    EXPECT_FALSE(w->FrameActionManager->isEnabled());
    EXPECT_TRUE(w->isVisible());
    for (QPushButton *b : w->findChildren<QPushButton *>()) {
        if (b->text().isEmpty()) {
            EXPECT_EQ(b->accessibleName(), b->toolTip()) << b->objectName().toStdString();
        }
    }
}

TEST_F(LedgerTest, ClosingAnEditorRefillsTheListsButNotTheTaskGrid)
{
    Task(7, "Garage");
    Open();
    ScriptedModals modals;
    modals.Then([&](QDialog &d) {
        auto &heads = dynamic_cast<frmHeads &>(d);
        EXPECT_EQ(d.windowTitle(), "Transaction Heads");
        heads.cmdAdd->click();
        TypeInto(heads.txtDescription, "Fuel");
        heads.cboType->SetListIndex(1);
        heads.cmdSave->click();
        heads.cmdCancel->click();
    });
    modals.Then([&](QDialog &d) {
        ASSERT_NE(dynamic_cast<frmTask *>(&d), nullptr);
        Seed("INSERT INTO defHeads VALUES (9,'Grant',0,'ann')");
        Task(8, "Roof");
        d.close();
    });
    w->FrameActionManager->setEnabled(true);
    w->cmdAddHead->click();
    EXPECT_EQ(w->cboTransactionHeads->findText("Fuel"), 2);
    EXPECT_EQ(w->cboPreviewHeads->ListCount(), 3);
    w->btnEditTask->click();
    EXPECT_GE(w->cboTransactionHeads->findText("Grant"), 0);
    EXPECT_EQ(w->cboPreviewStatus->ListCount(), 6);
    EXPECT_EQ(Column0(w->gdPreviewList), QStringList{"7"});  // until the next refresh
}

TEST_F(LedgerTest, ExportWritesTheLedgerOnShow)
{
    QDir(Folder()).mkdir("xsl");
    const auto previous = ui::SetClock([] { return QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)); });
    Task(7, "Garage");
    Entry(1, 7, 1, "0", "120", "2024-03-05", "'bags'");
    Entry(2, 7, 2, "500", "0", "2024-03-06", "'advance'");
    Open();
    w->btnExportXSL->click();  // no task selected: nothing happens
    ClickRow(w->gdPreviewList, 1);
    boxes.Expect(ui::Answer::No);
    boxes.Expect();
    w->btnExportXSL->click();
    ui::SetClock(previous);
    ASSERT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Shown()[0].prompt, "Do you want to open it now in Microsoft Excel? ");
    EXPECT_EQ(boxes.Shown()[1].prompt, "Data has been written in Excel file.");
    const QByteArray sheet = BytesOf(Folder() + "/xsl/05-12-2026 - TASK details - (14-05-09).xls");
    for (const char *text : {"Garage", "advance", "06/03/2024", "Sub Total :", "Final Total :", "380"})
        EXPECT_TRUE(sheet.contains(text)) << text;
}

}  // namespace
