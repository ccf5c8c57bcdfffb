// The chosen head's plan on the ledger window, and the box that says once when a save takes a
// head over its plan.
#include "TestSupport.h"

#include "data/Budgets.h"
#include "export/GridColumns.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"

#include <QGroupBox>

namespace {

using ui::Answer;

// ann's project Garage (7) plans Cement (1) at 300 and has spent 120 on it; Client (2) has no plan.
class HeadBudgetTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        ui::SetClock([] { return QDateTime(QDate(2024, 3, 10), QTime(9, 0)); });
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' ')",
                      "tblTransaction VALUES (1,'ann','2024-03-05',1,0,120,'bags',7)"});
        SaveBudget(7, {{1, 300}});
        w = std::make_unique<frmMainMenu>();
        w->show();
    }
    void Choose(const QString &head) { w->cboTransactionHeads->SetListIndex(w->cboTransactionHeads->findText(head)); }
    // Books (or, with an entry's row, changes) an entry of Cement.
    void Book(const QString &amount, int editRow = 0)
    {
        if (editRow) {
            w->gdTansactionsList->SetRow(editRow);
            w->btnEditAction->click();
        } else {
            w->btnAddAction->click();
        }
        Choose("Cement");
        w->txtTransactionAmount->setText(amount);
        w->cmdSave->click();
    }
    int RowOf(const QString &id)
    {
        for (int r = 1; r < w->gdTansactionsList->Rows(); ++r)
            if (w->gdTansactionsList->TextMatrix(r, LedgerColumn::Id) == id)
                return r;
        return 0;
    }
    std::unique_ptr<frmMainMenu> w;
};

// The line follows the head and the project on show, and Save and Delete.
TEST_F(HeadBudgetTest, TheLineFollowsTheHeadTheProjectAndTheEntries)
{
    Choose("Cement");
    EXPECT_EQ(w->lblHeadBudget->text(), "");  // no project on show
    ui::Grid *list = w->gdPreviewList;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 1)).center());
    EXPECT_EQ(w->lblHeadBudget->text(), "Planned 300.00 \u00b7 spent 120.00 \u00b7 left 180.00");
    Choose("Client");
    EXPECT_EQ(w->lblHeadBudget->text(), "Not planned");
    Book("100");
    EXPECT_EQ(w->lblHeadBudget->text(), "Planned 300.00 \u00b7 spent 220.00 \u00b7 left 80.00");
    w->gdTansactionsList->SetRow(RowOf("1"));
    boxes.Expect(Answer::Yes);
    w->btnDeleteAction->click();
    EXPECT_EQ(w->lblHeadBudget->text(), "Planned 300.00 \u00b7 spent 100.00 \u00b7 left 200.00");
    w->cboTransactionHeads->SetListIndex(-1);
    EXPECT_EQ(w->lblHeadBudget->text(), "");
}

// Over the plan the entry is saved and one box says so; a save that stays over says nothing; an
// entry changed back under and over again says it again.
TEST_F(HeadBudgetTest, TheOverPlanBoxIsShownOncePerCrossing)
{
    ui::Grid *list = w->gdPreviewList;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 1)).center());
    Book("180");  // 300: at the plan, not over it
    EXPECT_EQ(boxes.Count(), 0);
    boxes.Expect();
    Book("12");
    EXPECT_EQ(boxes.Last(), "Cement is now 12.00 over its plan of 300.00 (104 %).|4|" + AppTitle + "|0|1");
    const QString over = Scalar("Select max(Id) From tblTransaction");
    EXPECT_EQ(Scalar("Select AmountOut From tblTransaction Where Id=" + over), "12");
    Book("5");  // still over: nothing said
    Book("0", RowOf(over));
    Book("1", RowOf("1"));  // 1 + 180 + 0 + 5: under again
    EXPECT_EQ(boxes.Count(), 1);
    boxes.Expect();
    Book("200", RowOf(over));
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Last().section('|', 0, 0), "Cement is now 86.00 over its plan of 300.00 (129 %).");
}

}  // namespace
