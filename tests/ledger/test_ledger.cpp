// The project ledger window driven as a user drives it, and what it shows and stores.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "ui/DatePicker.h"
#include "ui/Grid.h"
#include "ui/Look.h"
#include "export/GridColumns.h"
#include <QCalendarWidget>
#include <QHeaderView>
#include <QToolButton>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLocale>
#include <cmath>
#include <sqlcipher/sqlite3.h>

namespace {

using ui::Answer;
const QString kSelect = "Select * from tblTransaction Where UserId='ann' and TaskID =%1 Order by TransactionDate,Id";
const QString kSum = "Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='ann' and TaskID =%1";

// ann's heads Cement (expense), Client (income), tasks Roof, Shed, Garage (so listed), entries; window open.
class LedgerTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        OnBothEngines::SetUp();
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann'),(3,'Wages',1,'bob')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,12.5,500,' '),"
                      "(6,'ann',3,'Shed','2024-03-01',NULL,1,500,' '),(8,'ann',2,'Roof','2024-02-01',NULL,0,500,' '),"
                      "(9,'bob',2,'Bobs','2024-01-01',NULL,0,500,' ')",
                      "tblTransaction VALUES (2,'ann','2024-03-06',2,500,0,'advance',7),"
                      "(1,'ann','2024-03-05',1,0,120,'bags',7),(3,'ann','2024-03-05',1,0,40,NULL,7),"
                      "(4,'bob','2024-03-05',1,0,999,'not ann''s',7),(5,'ann','2024-03-05',1,0,999,'r',8)"});
        Open();
    }
    void Open() { w = std::make_unique<frmMainMenu>(); w->show(); StatementLog::Clear(); }
    static void Click(ui::Grid *g, int row, bool twice = false)
    {
        const QPoint at = g->visualRect(g->model()->index(row - 1, 1)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
    }
    void Ask(Answer answer, QPushButton *button) { boxes.Expect(answer); button->click(); }
    // A grid's rows from row `from` on, each its cells joined by '|'; or only one column of them.
    static QStringList Cells(ui::Grid *g, int col = -1, int from = 1)
    {
        QStringList out;
        for (int r = from; r < g->Rows(); ++r) {
            QStringList row;
            for (int c = 0; c < g->Cols(); ++c)
                row << g->TextMatrix(r, c);
            out << (col < 0 ? row.join('|') : row[col]);
        }
        return out;
    }
    // The ids of both lists, the task, the totals, which are on (editor, Add, NEW/DELETE, Save), its cost.
    QString Screen()
    {
        const QString task = w->lblTaskNo->text();
        return QStringList{Cells(w->gdPreviewList, 0).join(','), Cells(w->gdTansactionsList, 0).join(','), task,
                           w->zeMoneyReceived->text(), w->zeMoneySpent->text(), w->lblCost->text(),
                           w->txtCashInWallet->text()}.join('|') +
               QString(" %1%2%3%4 ").arg(w->FrameActionManager->isEnabled()).arg(w->btnAddAction->isEnabled())
                   .arg(w->Frame3->isEnabled()).arg(w->Frame4->isEnabledTo(w->FrameActionManager)) +
               (task.isEmpty() ? "" : Scalar("Select CostUpToNow From tblTasks Where TaskID=" + task));
    }
    // The statements run, without the reads of the chosen head's plan that go with them.
    QStringList Designed() const
    {
        QStringList out;
        for (const QString &s : Statements())
            if (!s.contains("tblHeadBudgets"))
                out << s;
        return out;
    }
    void ChooseHead(const QString &h) { w->cboTransactionHeads->SetListIndex(w->cboTransactionHeads->findText(h)); }

    std::unique_ptr<frmMainMenu> w;
};

// ann's tasks by start date then cost; the status filter lists one status when above "All".
TEST_P(LedgerTest, OpensWithTheTaskListAndFiltersItByStatus)
{
    EXPECT_EQ(Cells(w->gdPreviewList, -1, 0), (QStringList{"ID|Task Name|Start Date|Cost|Cost Planned|Status|Ended|Owner",
        "8|Roof|01/02/2024|0|500|New||", "6|Shed|01/03/2024|1|500|Running||", "7|Garage|01/03/2024|12.5|500|Running||"}));
    EXPECT_EQ(Cells(w->gdTansactionsList, -1, 0), QStringList{"ID|Action Name|Description|Amount In|Amount Out|Date"});
    EXPECT_EQ(w->lblUserName->text() + Screen(), "ann8,6,7|||0.00|0.00|Cost :|0.00 0011 ");
    EXPECT_EQ(Items(*w->cboTransactionHeads).join(',') + QString(" %1 %2 %3 %4").arg(w->cboTransactionHeads->ListIndex())
              .arg(w->cboPreviewStatus->ListCount()).arg(w->cboPreviewStatus->currentText()).arg(w->gdPreviewList->Row()),
              "Cement,Client -1 6 All 3");
    const struct { int choice; QString ids; } cases[] = {{0, "8,6,7"}, {1, "8"}, {2, "6,7"}, {3, ""}};
    for (const auto &c : cases) {
        w->cboPreviewStatus->SetListIndex(c.choice);
        Q_EMIT w->cboPreviewStatus->activated(c.choice);
        EXPECT_EQ(Cells(w->gdPreviewList, 0).join(','), c.ids);
        EXPECT_EQ(w->Frame3->isEnabled(), !c.ids.isEmpty());
    }
    EXPECT_EQ(Statements().first(), "Select * from tblTasks Where UserId='ann' Order by StartDate,CostUpToNow");
    EXPECT_EQ(Statements().last(),
              "Select * from tblTasks Where UserId='ann' And StatusID=4 Order by StartDate,CostUpToNow");
    Ask(Answer::OK, w->btnExportXSL);  // no task chosen: no export, and a box says what is missing
    EXPECT_EQ(boxes.Last(), "Choose a project in the list first: Export writes the ledger on show.|3|" + AppTitle + "|0|1");
    w->btnRefresh->click();  // lists all; the filter choice stays
    EXPECT_EQ(Cells(w->gdPreviewList, 0).join(',') + w->cboPreviewStatus->currentText(), "8,6,7On Hold");
}

// Find project (Ctrl+F) narrows the list by number or name in any letter case, running nothing;
// a click on a narrowed or sorted row opens that project; a column title sorts (again: the other
// way), and a reload brings the list's own order back, still narrowed to what the box holds.
TEST_P(LedgerTest, FindNarrowsTheTaskListAndATitleSortsIt)
{
    ui::Grid *g = w->gdPreviewList;
    const auto shown = [g] {
        QStringList ids;
        for (int r = 0; r < g->model()->rowCount(); ++r)
            ids << g->model()->index(r, TaskColumn::Id).data().toString();
        return ids.join(',');
    };
    const auto sortBy = [g](int col) {
        QHeaderView *h = g->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(col) + 5, 5));
    };
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(w->focusWidget(), w->txtFindTask);
    EXPECT_EQ(w->txtFindTask->placeholderText(), "Find project…");
    QTest::keyClicks(w->txtFindTask, "gAR");
    EXPECT_EQ(shown() + QString::number(Statements().size()), "70");
    Click(g, 1);
    EXPECT_EQ(w->lblTaskNo->text() + w->lblTaskName->text() + Cells(w->gdTansactionsList, 0).join(','), "7Garage1,3,2");
    w->txtFindTask->setText("8");
    EXPECT_EQ(shown(), "8");
    w->txtFindTask->clear();
    EXPECT_EQ(shown() + QString::number(g->Rows()), "8,6,74");

    sortBy(TaskColumn::Name);
    EXPECT_EQ(shown(), "7,8,6");
    Click(g, 3);
    EXPECT_EQ(w->lblTaskNo->text() + w->lblTaskName->text() + QString::number(g->Row()), "6Shed2");
    sortBy(TaskColumn::Name);
    EXPECT_EQ(shown() + QString::number(g->horizontalHeader()->sortIndicatorOrder()), "6,8,71");
    w->txtFindTask->setText("O");  // only Roof holds an o
    EXPECT_EQ(shown(), "8");
    Click(g, 1);
    EXPECT_EQ(w->lblTaskNo->text(), "8");
    w->btnRefresh->click();
    EXPECT_EQ(shown() + QString::number(g->horizontalHeader()->sortIndicatorSection()), "8-1");
    w->txtFindTask->clear();
    EXPECT_EQ(shown(), "8,6,7");
}

// The chosen head's kind shows beside the amount and in the head list's tool tips; Tab leaves the
// date box; a date 50 years away is asked about (No books nothing); a narrow ledger still shows whole dates.
TEST_P(LedgerTest, TheHeadKindShowsAndAFarDateIsAskedAbout)
{
    Click(w->gdPreviewList, 3);
    w->btnAddAction->click();
    ChooseHead("Client");
    const QString received = w->lblHeadKind->text() + QString::number(w->lblHeadKind->styleSheet().contains(ui::kCreditBackground.name()));
    ChooseHead("Cement");
    EXPECT_EQ(received + w->lblHeadKind->text() + QString::number(w->lblHeadKind->styleSheet().contains(ui::kDebitBackground.name())),
              "received1spent1");
    EXPECT_TRUE(w->cboTransactionHeads->itemData(0, Qt::ToolTipRole).toString().startsWith("Expense") &&
                w->cboTransactionHeads->itemData(1, Qt::ToolTipRole).toString().startsWith("Income"));
    w->dtTransactionDate->setFocus();
    Press(w->dtTransactionDate, Qt::Key_Tab);
    EXPECT_EQ(w->focusWidget(), w->cboTransactionHeads);

    ui::SetClock([] { return QDateTime(QDate(2012, 12, 7), QTime(9, 0)); });
    const int before = Scalar("Select count(*) From tblTransaction").toInt();
    w->dtTransactionDate->SetValue(QDate(1207, 12, 7));
    w->txtTransactionAmount->setText("5");
    boxes.Expect(Answer::No);
    w->cmdSave->click();
    EXPECT_EQ(boxes.Last(), "Is the date 07/12/1207 right?|2|" + AppTitle + "|2|2");
    EXPECT_TRUE(Scalar("Select count(*) From tblTransaction").toInt() == before && w->FrameActionManager->isEnabled());
    w->dtTransactionDate->SetValue(QDate(1963, 1, 1));  // within 50 years: no question
    w->cmdSave->click();
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction").toInt(), before + 1);
    ui::Grid *ledger = w->gdTansactionsList;  // the new entry, dated first, is the one highlighted
    EXPECT_EQ(ledger->TextMatrix(ledger->Row(), 0) + ledger->TextMatrix(1, 0), Scalar("Select max(Id) From tblTransaction").repeated(2));
    // Date Till before Date From is said and mended; the calendar's Today button picks today.
    w->dtDateFrom->SetValue(QDate(2024, 5, 2));
    w->dtDateTill->SetValue(QDate(2024, 5, 1));
    boxes.Expect();
    Q_EMIT w->dtDateTill->editingFinished();
    EXPECT_EQ(boxes.Last(), "Date Till is before Date From: it is set to Date From.|3|" + AppTitle + "|0|1");
    auto *today = w->dtDateFrom->calendarWidget()->findChild<QToolButton *>("btnToday");
    ASSERT_TRUE(today);
    today->click();
    EXPECT_EQ(w->dtDateTill->Value().toString() + w->dtDateFrom->Value().toString(), "Thu May 2 2024Fri Dec 7 2012");
    ui::SetClock({});

    w->resize(700, 500);
    QApplication::processEvents();
    for (ui::Grid *g : {w->gdTansactionsList, w->gdPreviewList}) {
        const int col = g == w->gdPreviewList ? int(TaskColumn::StartDate) : int(LedgerColumn::Date);
        EXPECT_GE(g->horizontalHeader()->sectionSize(col), g->fontMetrics().horizontalAdvance("01/01/1963") + 6);
    }
}

// The ledger of ann's entries of the task, the totals and their word, and the balance written back.
TEST_P(LedgerTest, SelectingATaskShowsItsLedgerTotalsAndWritesTheBalanceBack)
{
    w->gdPreviewList->setFocus();
    Press(w->gdPreviewList, Qt::Key_Return);  // Enter chooses the current row, the last one loaded
    EXPECT_EQ(w->lblTaskName->text(), "Garage");
    EXPECT_EQ(Cells(w->gdTansactionsList), (QStringList{"1|Cement|bags|0|120|05/03/2024", "3|Cement||0|40|05/03/2024",
                                                        "2|Client|advance|500|0|06/03/2024"}));
    EXPECT_EQ(Statements(), (QStringList{kSelect.arg(7), "Select Heads From defHeads Where Id=1",
                                         "Select Heads From defHeads Where Id=2", kSum.arg(7),
                                         "Update tblTasks Set CostUpToNow=340.00 Where TaskID =7"}));
    EXPECT_EQ(traces, QList<QByteArray>{"Quillmark v1.0 DEMO>>frmMainMenu>gdPreviewList_Click() "});
    QDir(Folder()).mkdir("xsl");  // Export writes the ledger on show
    boxes.Expect(Answer::No);
    Ask(Answer::OK, w->btnExportXSL);
    EXPECT_EQ(boxes.Shown().at(0).prompt, "Do you want to open it now in Microsoft Excel? ");
    EXPECT_EQ(boxes.Last(), "Data has been written in Excel file.|4|" + AppTitle + "|0|1");
    const QByteArray sheet = BytesOf(Folder() + "/xsl/" + QDir(Folder() + "/xsl").entryList(QDir::Files).value(0));
    EXPECT_TRUE(sheet.contains("Garage") && sheet.contains("Final Total :") && sheet.contains("340"));
    // The word compares the totals as shown (after 15 digits); a Null amount counts as 0.
    const struct { QStringList in, out; const char *screen; } cases[] = {
        {{}, {}, "8,6,7||7|0|0|Balanced|0.00 0111 0"},
        {{"900"}, {"1000"}, "8,6,7|1,2|7|900|1000|Debit of |-100.00 0111 -100"},
        {{"0.1", "0.2"}, {"0.3"}, "8,6,7|1,2,3|7|0.3|0.3|Balanced|0.00 0111 0"},
        {{"NULL"}, {"150.5"}, "8,6,7|1,2|7|0|150.5|Debit of |-150.50 0111 -150.5"},
    };
    for (const auto &c : cases) {
        Seed("Delete from tblTransaction");
        int id = 0;
        const QString entry = "INSERT INTO tblTransaction VALUES (%1,'ann','2024-03-05',%2,%3,%4,'r',7)";
        for (const QString &a : c.in)
            Seed(entry.arg(++id).arg(2).arg(a, "0"));
        for (const QString &a : c.out)
            Seed(entry.arg(++id).arg(1).arg("0", a));
        Click(w->gdPreviewList, 3);
        EXPECT_EQ(Screen(), c.screen);
    }
}

// Keys are whole numbers of 32 bits: a head, a project and an entry past 32,767 go through the
// heads list, the task list, the ledger and the editor and are stored as they are; a new key is
// the largest plus 1, small or large; when the largest possible key is taken, Save shows the
// "Error" box and stores nothing.
TEST_P(LedgerTest, KeysPastSixteenBitsRoundTripAndTheLargestIsRefused)
{
    Seed("INSERT INTO defHeads VALUES (40000,'Steel',1,'ann')");
    Seed("INSERT INTO tblTasks VALUES (70000,'ann',2,'Barn','2023-01-01',NULL,0,500,' ')");
    const struct { const char *largest; const char *stored; } cases[] = {
        {nullptr, "6"},                  // an earlier file's small keys: the next one follows them
        {"40001", "40002"},              // past 16 bits
        {"2147483646", "2147483647"},    // the largest key is still given
        {nullptr, nullptr},              // then none is left
    };
    for (const auto &c : cases) {
        if (c.largest)
            Seed(QString("INSERT INTO tblTransaction VALUES (%1,'ann','2023-01-02',40000,0,7,'big',70000)").arg(c.largest));
        w->LoadHeads();
        w->LoadInGrid(0);
        Click(w->gdPreviewList, 1);  // Barn, the earliest
        ASSERT_EQ(w->lblTaskNo->text(), "70000");
        w->btnAddAction->click();
        ChooseHead("Steel");
        EXPECT_EQ(w->cboTransactionHeads->ItemData(w->cboTransactionHeads->ListIndex()), 40000);
        w->dtTransactionDate->SetValue(QDate(2023, 1, 3));
        Put(w->txtTransactionAmount, "9");
        Put(w->txtTransactionRemarks, "new");
        if (!c.stored) {
            Ask(Answer::OK, w->cmdSave);
            EXPECT_EQ(boxes.Shown().back().title, "Error");
            EXPECT_EQ(boxes.Shown().back().prompt,
                      "Overflow: tblTransaction has no key left to give (the largest is 2147483647).");
            EXPECT_EQ(Scalar("Select count(*) From tblTransaction Where Remarks='new'"), "3");
            continue;
        }
        w->cmdSave->click();
        EXPECT_EQ(Joined("Select Id,HeadId,AmountOut,TaskID From tblTransaction Where Remarks='new' Order by Id").last(),
                  QString(c.stored) + "|40000|9|70000");
        // The new entry is the last row; the editor carries its key into the rewrite.
        ui::Grid *g = w->gdTansactionsList;
        Click(g, g->Rows() - 1);
        w->btnEditAction->click();
        EXPECT_EQ(QString::number(w->ActionId), c.stored);
        Put(w->txtTransactionAmount, "10");
        w->cmdSave->click();
        EXPECT_EQ(Scalar(QString("Select AmountOut From tblTransaction Where Id=%1").arg(c.stored)), "10");
    }
}

// Save stores the amount in the column of the head's type and closes the editor, keeping head and
// date; it refuses without a head, and an amount that is no finite number or is above 1e15. Any
// remark is stored as held (a blank as one blank).
TEST_P(LedgerTest, BookingStoresTheEntryAsTypedInTheHeadsColumnAndRefusesWithoutAHead)
{
    Click(w->gdPreviewList, 2);
    w->btnAddAction->click();
    ChooseHead("Client");
    w->dtTransactionDate->SetValue(QDate(2024, 3, 5));
    TypeText(w->txtTransactionAmount, "150");
    TypeText(w->txtTransactionRemarks, "cem'ent");
    StatementLog::Clear();
    Press(w->txtTransactionRemarks, Qt::Key_Return);  // Enter in the remarks box saves
    EXPECT_EQ(Designed(), (QStringList{
        "Select PlusMinus from defHeads Where Id=2", "Select max(Id) From tblTransaction",
        "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) VALUES "
        "(6,'ann',#05/03/2024#,2,150,0,'cem''ent',6)", kSelect.arg(6), "Select Heads From defHeads Where Id=2",
        kSum.arg(6), "Update tblTasks Set CostUpToNow=150.00 Where TaskID =6"}));
    EXPECT_EQ(Cells(w->gdTansactionsList), QStringList{"6|Client|cem'ent|150|0|05/03/2024"});
    EXPECT_EQ(Screen(), "8,6,7|6|6|150|0|Credit of|150.00 0100 150");
    EXPECT_EQ(w->txtTransactionAmount->text() + w->cboTransactionHeads->currentText() +
                  w->dtTransactionDate->Value().toString("dd/MM/yyyy"), "0Client05/03/2024");
    const QString refusal = "Select an action to add from the list.|3|Quillmark v1.0 DEMO|0|1";
    w->btnAddAction->click();
    w->cboTransactionHeads->SetListIndex(-1);
    w->txtTransactionAmount->setText("10");
    Ask(Answer::OK, w->cmdSave);
    ChooseHead("Cement");
    Seed("Delete from defHeads Where Id=1");
    Ask(Answer::OK, w->cmdSave);
    EXPECT_EQ(boxes.Shown().at(0).prompt + "|" + boxes.Last() + " " + w->txtTransactionAmount->text(),
              "Select an action to add from the list.|" + refusal + " 10");
    EXPECT_EQ(Screen(), "8,6,7|6|6|150|0|Credit of|150.00 1101 150");
    Press(w.get(), Qt::Key_Escape);  // Escape ends the add; the window stays
    EXPECT_TRUE(!w->FrameActionManager->isEnabled() && w->isVisible());
    // An amount is saved only when it is a finite number up to 1e15, read with a point or in the
    // user's own number form; any other is refused with the box, nothing saved, the entry kept as
    // typed and the amount box in focus. Every remark is stored as held.
    const QHash<QString, double> numbers{{"-12.5", -12.5}, {" 7 ", 7}, {"+3e2", 300}, {"1.5E-3", 0.0015},
                                         {"+.5", 0.5}, {"7.", 7}, {"1e15", 1e15}, {"12,50@de_DE", 12.5}};
    const QString refused = "Amount must be a number.|3|" + AppTitle + "|0|1";
    QStringList cases(std::begin(kHostile), std::end(kHostile));
    cases << "12,50@en_US" << "12,50@de_DE" << "abc";
    for (const QString &c : cases) {
        const QLocale before;
        QLocale::setDefault(QLocale(c.contains('@') ? c.section('@', 1) : "C"));
        w->btnAddAction->click();
        ChooseHead("Client");
        const QString held = Put(w->txtTransactionRemarks, c.section('@', 0, 0));
        const QString typed = Put(w->txtTransactionAmount, c.section('@', 0, 0));
        const int written = Scalar("Select count(*) From tblTransaction").toInt();
        if (!numbers.contains(c)) {
            Ask(Answer::OK, w->cmdSave);
            EXPECT_EQ(boxes.Last() + QString::number(Scalar("Select count(*) From tblTransaction").toInt() - written),
                      refused + "0") << qPrintable(c);
            EXPECT_EQ(w->txtTransactionAmount->text() + w->txtTransactionRemarks->text(), typed + held);
            EXPECT_EQ(w->focusWidget(), w->txtTransactionAmount) << qPrintable(c);
            Put(w->txtTransactionAmount, "1");
        }
        w->cmdSave->click();
        QLocale::setDefault(before);
        EXPECT_EQ(Scalar("Select count(*) From tblTransaction").toInt() - written, 1) << qPrintable(c);
        EXPECT_EQ(Scalar("Select Remarks From tblTransaction Order by Id Desc"), IsBlank(held) ? " " : held);
        EXPECT_EQ(Value("Select AmountIn From tblTransaction Order by Id Desc").toDouble(), numbers.value(c, 1))
            << qPrintable(c);
    }
}

// Edit loads the entry at once, a double click asks first; Save rewrites the row. Delete beside the
// ledger asks about its current row, DELETE about the entry loaded.
TEST_P(LedgerTest, EditLoadsAtOnceDoubleClickAsksSavingRewritesAndBothDeletesAsk)
{
    // Right after opening nothing is loaded: DELETE neither asks nor deletes.
    w->cmdDelete->click();
    EXPECT_TRUE(Statements().isEmpty());
    Seed("INSERT INTO tblTransaction VALUES (6,'ann','2024-03-06',2,-30,0,'refund',7)");
    Click(w->gdPreviewList, 3);
    Click(w->gdTansactionsList, 1);
    w->btnEditAction->click();
    EXPECT_EQ(QStringList({QString::number(w->ActionId), w->txtTransactionAmount->text(),
                           w->txtTransactionRemarks->text(), w->cboTransactionHeads->currentText(),
                           w->dtTransactionDate->Value().toString("dd/MM/yyyy")}),
              QStringList({"1", "120", "bags", "Cement", "05/03/2024"}));
    EXPECT_EQ(Screen(), "8,6,7|1,3,2,6|7|470|160|Credit of|310.00 1111 310");
    boxes.Expect(Answer::Yes);
    Click(w->gdTansactionsList, 4, true);
    EXPECT_EQ(boxes.Last(), "Want to edit this action ?|2|Quillmark v1.0 DEMO|2|1");
    EXPECT_EQ(QString::number(w->ActionId) + " " + w->txtTransactionAmount->text(), "6 -30");  // a negative income
    ChooseHead("Cement");  // a head of the other type: the amount goes to the other column
    StatementLog::Clear();
    w->cmdSave->click();
    EXPECT_EQ(Designed().at(1), "Update tblTransaction Set Id=6,UserId='ann',TransactionDate=#06/03/2024#,HeadId=1,"
                                  "AmountIn=0,AmountOut=-30,Remarks='refund',TaskID=7 WHERE Id=6");
    EXPECT_EQ(Screen(), "8,6,7|1,3,2,6|7|500|130|Credit of|370.00 0100 370");

    Ask(Answer::No, w->btnDeleteAction);  // the current row is the last one loaded
    Ask(Answer::Yes, w->btnDeleteAction);
    EXPECT_EQ(boxes.Last(), "Want to delete this action 'Cement'\r\nwith comment :'refund' ?|2|" + AppTitle + "|2|2");
    EXPECT_EQ(Screen(), "8,6,7|1,3,2|7|500|160|Credit of|340.00 0100 340");
    Click(w->gdTansactionsList, 2);
    w->btnEditAction->click();
    Ask(Answer::Yes, w->cmdDelete);
    EXPECT_EQ(boxes.Last(), "Want To Delete This Record|2|Quillmark v1.0 DEMO|2|2");
    EXPECT_EQ(Screen(), "8,6,7|1,2|7|500|120|Credit of|380.00 0111 380");  // the task list reload turns NEW on
    EXPECT_EQ(Column("Select Id From tblTransaction Order by Id"), (QStringList{"1", "2", "4", "5"}));
}

TEST_P(LedgerTest, DeletingATaskAsksAboutTheCurrentRowAndKeepsItsEntries)
{
    Click(w->gdPreviewList, 3);
    traces.clear();
    Ask(Answer::No, w->btnDelTask);
    EXPECT_EQ(boxes.Last(), "Want to delete this action 'Garage' ?|2|Quillmark v1.0 DEMO|2|2");
    w->btnAddAction->click();
    Ask(Answer::Yes, w->btnDelTask);  // right after the reload the last row, Garage, is current
    // The task on show is gone: the add is cancelled and no task is on show, so nothing can be booked on it.
    EXPECT_EQ(Screen(), "8,6|,,||500|160|Credit of|340.00 0011 ");
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction Where TaskID=7"), "4");
    const QByteArray del = "Quillmark v1.0 DEMO>>frmMainMenu>btnDelTask_Click()- ";
    EXPECT_EQ(traces, (QList<QByteArray>{del + "Entering ", del + "OUT- sql=)", del + "Entering ",
                                         del + "OUT- sql=Delete from tblTasks Where TaskID=7)"}));
    // Deleting a task that is not on show leaves the one on show as it was.
    Click(w->gdPreviewList, 1);
    QTest::keyClick(w->gdPreviewList, Qt::Key_Down);
    Ask(Answer::Yes, w->btnDelTask);
    EXPECT_EQ(Screen(), "8|5|8|0|999|Debit of |-999.00 0111 -999");
}

// Edit chooses the entry's own head by its number, also when two heads share a name; when that head
// is gone none is chosen and Save refuses, leaving the entry as it was.
TEST_P(LedgerTest, EditChoosesTheEntrysOwnHead)
{
    Seed("INSERT INTO defHeads VALUES (4,'Cement',0,'ann')");
    Seed("INSERT INTO tblTransaction VALUES (6,'ann','2024-03-07',4,70,0,'refund',7)");
    w->LoadHeads();
    Click(w->gdPreviewList, 3);
    Click(w->gdTansactionsList, 4);
    w->btnEditAction->click();
    w->cmdSave->click();
    EXPECT_EQ(Screen(), "8,6,7|1,3,2,6|7|570|160|Credit of|410.00 0100 410");
    Seed("DELETE FROM defHeads WHERE Id=4");
    w->LoadHeads();
    Click(w->gdTansactionsList, 4);
    w->btnEditAction->click();
    Ask(Answer::OK, w->cmdSave);
    EXPECT_EQ(boxes.Last(), "Select an action to add from the list.|3|Quillmark v1.0 DEMO|0|1");
    EXPECT_EQ(Scalar("Select HeadId From tblTransaction Where Id=6"), "4");
    EXPECT_NE(w->focusWidget(), w->cmdAddHead);
    // A user without any head is led to the button that makes one.
    Seed("DELETE FROM defHeads WHERE UserId='ann'");
    w->LoadHeads();
    w->btnAddAction->click();
    Ask(Answer::OK, w->cmdSave);
    EXPECT_EQ(boxes.Last().section('|', 0, 0) + " " + w->focusWidget()->objectName(),
              "Select an action to add from the list. cmdAddHead");
}

// Once the ledger is emptied its blank rows load nothing, and DELETE leaves alone an entry it no longer lists.
TEST_P(LedgerTest, BlankLedgerRowsLoadNothingAndDeleteOnlyAListedEntry)
{
    Click(w->gdPreviewList, 3);
    Click(w->gdTansactionsList, 1);
    w->btnEditAction->click();
    w->cboPreviewStatus->SetListIndex(3);  // no task is on hold: the ledger is emptied
    Q_EMIT w->cboPreviewStatus->activated(3);
    w->btnRefresh->click();
    Click(w->gdTansactionsList, 2, true);
    w->btnEditAction->click();
    w->cmdDelete->click();
    w->btnActionCancel->click();
    w->btnEditAction->click();
    EXPECT_EQ(Screen(), "8,6,7|,,||500|160|Credit of|340.00 0100 ");
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "5");
}

TEST_P(LedgerTest, ClosingAnEditorRefillsTheListsButNotTheTaskGrid)
{
    ScriptedModals modals;
    modals.Then([&](QDialog &d) {
        EXPECT_EQ(dynamic_cast<frmHeads &>(d).windowTitle(), "Transaction Heads");
        Seed("INSERT INTO defHeads VALUES (4,'Fuel',1,'ann')");
    });
    modals.Then([&](QDialog &) { Seed("INSERT INTO tblTasks VALUES (10,'ann',2,'Kiln',NULL,NULL,0,0,' ')"); });
    w->FrameActionManager->setEnabled(true);
    w->cboPreviewStatus->SetListIndex(2);  // the filter's choice outlives the refill
    w->cmdAddHead->click();
    EXPECT_EQ(Items(*w->cboTransactionHeads) + Items(*w->cboPreviewHeads),
              (QStringList{"Cement", "Client", "Fuel", "Cement", "Client", "Fuel"}));
    w->btnEditTask->click();
    EXPECT_EQ(Items(*w->cboPreviewStatus).join(',') + " " + w->cboPreviewStatus->currentText() + " " +
                  QString::number(w->gdPreviewList->Rows()),
              "All,New,Running,On Hold,Finished,Cancelled Running 4");  // the task list waits for a refresh
}

// Another program saving holds the database past the wait: one box says so, nothing is stored, the
// entry stays typed, and Save stores it once the database is free. A head code in the file that is no
// number runs no look-up.
TEST_P(LedgerTest, ABusyFileKeepsTheEntryTypedAndAHeadCodeThatIsNoNumberRunsNothing)
{
    Click(w->gdPreviewList, 2);
    w->btnAddAction->click();
    ChooseHead("Client");
    TypeText(w->txtTransactionAmount, "150");
    TypeText(w->txtTransactionRemarks, "late");
    SharedConnection.SetBusyTimeout(50);
    // The other program takes the file's write lock, or on the server the lock of the ledger's keys
    // (a Save then waits inside the server's key function) or the ledger's table.
    sqlite3 *other = nullptr;
    std::unique_ptr<PgEngine> otherOnServer;
    const auto hold = [&](bool on, bool keys = true) {
        if (server)
            otherOnServer->ExecuteScript(!on ? "ROLLBACK" : keys ? "BEGIN; SELECT qmk_largest_key('tbltransaction', 'id')"
                                                              : "BEGIN; LOCK TABLE tblTransaction IN EXCLUSIVE MODE");
        else
            ASSERT_EQ(sqlite3_exec(other, on ? "BEGIN IMMEDIATE" : "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    };
    if (server) {
        otherOnServer = std::make_unique<PgEngine>(server->conninfo, "qmk_super", server->superPassword, true);
    } else {
        sqlite3_open(QFile::encodeName(DatabasePath()).constData(), &other);
        sqlite3_key(other, kDatabasePassword, int(qstrlen(kDatabasePassword)));
    }
    hold(true);
    Ask(Answer::OK, w->cmdSave);
    EXPECT_EQ(boxes.Last(), "The database is busy: another program is saving in it. Nothing was saved; try again in a "
                            "moment.|1|Error|0|1");
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction") + " " + w->txtTransactionAmount->text() +
                  w->txtTransactionRemarks->text() + QString::number(w->cmdSave->isEnabled()), "5 0150late1");
    hold(false);
    w->cmdSave->click();
    EXPECT_EQ(Column("Select Remarks From tblTransaction Where Id=6 And AmountIn=150 And TaskID=6"), QStringList{"late"});
    hold(true, false);
    Click(w->gdTansactionsList, 1);
    boxes.Expect(Answer::Yes);
    Ask(Answer::OK, w->btnDeleteAction);  // a delete that cannot wait says so too
    EXPECT_EQ(boxes.Count(), 3);
    EXPECT_TRUE(boxes.Last().startsWith("The database is busy"));
    hold(false);
    sqlite3_close(other);
    EXPECT_EQ(Cells(w->gdTansactionsList, 0), QStringList{"6"});
    if (server)
        return;  // the server's columns hold numbers only
    Seed("UPDATE tblTransaction SET HeadId='2 union select Passwd from tblUsers' WHERE Id=6");
    StatementLog::Clear();
    Click(w->gdPreviewList, 2);
    EXPECT_EQ(Cells(w->gdTansactionsList).join(';').section('|', 0, 4), "6||late|150|0");
    EXPECT_FALSE(Statements().join('\n').contains("union"));
    EXPECT_EQ(boxes.Count(), 3);
}

QMK_ON_BOTH_ENGINES(LedgerTest);

}  // namespace
