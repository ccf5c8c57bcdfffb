// Hostile input: one corpus of awkward texts put into every text box of every window and saved
// through the window's own button or key. The database then holds exactly what the box held, in
// the intended column of the intended row (or the window refused as it says it does), and no
// other row was written.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QLocale>
#include <cmath>

namespace {

// Tabs, line breaks and 10,000 characters cannot be typed into a one-line box: they are pasted,
// and what is stored is what the box then holds.
const QString kCorpus[] = {
    "'", "''", "\"\"", "x' OR '1'='1", "<<>>", "<<", "#", "#1/1/2000#", "#31/2/2000#", "--", ";",
    "x'; DROP TABLE tblUsers; --", "%", "_", "   ", " 7 ", "-12.5", "+3e2", "1.5E-3", "+.5", "7.", "1e15", "2e15",
    "1e999", "nan", "inf", "0x10",
    QStringLiteral(" 'x'<<>>#1/2/2003#;--%_\"\u03a9").repeated(400).left(10000), "a\tb\t", "one\r\ntwo\nthree",
    QStringLiteral(u"\u00c9lodie \u03a9\u03bc\u03ad\u03b3\u03b1 \u041f\u0440\u0438 \u65e5\u672c"),
    QStringLiteral(u"\U0001F600\U0001F44D\U0001F3FD")};
bool Typed(const QString &text) { return text.size() < 100 && !text.contains('\t') && !text.contains('\n'); }

// How a box's text is kept: a login stores nothing (the dialog logs in as that user only, where a
// quoting fault would find the decoy); a name is not saved when blank; a remark stores a blank as
// one blank; an amount stores the number read, or 0 (also above 1e15); a planned cost that is no
// number is refused with a message.
enum class Kind { Login, Name, Remark, Amount, Cost };
struct Field {
    const char *name, *column, *row;  // the row the save writes: the newest one, or the one edited
    Kind kind;
    char window;   // Login, User, Ledger, Task or Heads
    size_t which;  // the box that gets the corpus text; the others get a plain number
};
void PrintTo(const Field &f, std::ostream *os) { *os << f.name; }
const Field kFields[] = {
    {"LoginNameAndPassword", "", "", Kind::Login, 'P', 0},
    {"UserName", "UserId", "tblUsers Order by Id Desc", Kind::Name, 'U', 0},
    {"UserPassword", "Passwd", "tblUsers Order by Id Desc", Kind::Name, 'U', 1},
    {"EntryRemarks", "Remarks", "tblTransaction Order by Id Desc", Kind::Remark, 'L', 0},
    {"EntryAmount", "AmountIn", "tblTransaction Order by Id Desc", Kind::Amount, 'L', 1},
    {"TaskName", "TaskName", "tblTasks Order by TaskID Desc", Kind::Name, 'T', 0},
    {"TaskCostPlanned", "CostPlanned", "tblTasks Order by TaskID Desc", Kind::Cost, 'T', 1},
    {"TaskRemarks", "Notes", "tblTasks Order by TaskID Desc", Kind::Remark, 'T', 2},
    {"HeadName", "Heads", "defHeads Where Id=1", Kind::Name, 'H', 0},
};

class HostileTest : public ProgramFolderTest, public ::testing::WithParamInterface<Field> {
protected:
    // Rows of ann's and of another user's beside the ones the windows write.
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Scene("ann", {"tblUsers VALUES (1,'decoy','decoy')",
                      "tblTasks VALUES (8,'bob',2,'Walls','2026-04-01',NULL,0,900,' '),"
                      "(7,'ann',2,'Roof','2026-03-01',NULL,0,1500,'Phase one')",
                      "defHeads VALUES (1,'Fuel',0,'ann'),(2,'Wages',1,'ann'),(3,'Bricks',1,'bob')",
                      "tblTransaction VALUES (1,'ann','2026-03-02',1,10,0,'first',7),"
                      "(2,'bob','2026-04-02',3,0,20,'walls',8)"});
    }
    // A fresh window ready for the next save: its boxes and its Save button (Enter for the login).
    // The ledger's editor is on ann's one task with the income head chosen; the heads editor
    // renames ann's first head.
    std::pair<std::vector<QLineEdit *>, QWidget *> Ready(char kind)
    {
        if (kind == 'P') {
            auto *p = Show<frmLogin>();
            return {{p->txtUserName, p->txtPassword}, p->txtPassword};
        } else if (kind == 'U') {
            auto *u = Show<frmUser>();
            return {{u->txtUserName, u->txtPassword}, u->cmdSave};
        } else if (kind == 'L') {
            auto *l = Show<frmMainMenu>();
            l->gdPreviewList->SetRow(1);
            l->gdPreviewList_Click();
            l->cboTransactionHeads->SetListIndex(l->cboTransactionHeads->findText("Fuel"));
            l->btnAddAction->click();
            return {{l->txtTransactionRemarks, l->txtTransactionAmount}, l->cmdSave};
        } else if (kind == 'T') {
            auto *t = Show<frmTask>();
            t->cmdAdd->click();
            return {{t->txtDescription, t->zeCostPlanned, t->zeRemarksTask}, t->cmdSave};
        }
        auto *h = Show<frmHeads>();
        boxes.Expect(ui::Answer::Yes);  // "Want to modify this action name ?"
        h->lstHeads->SetListIndex(0);
        h->lstHeads_Click();
        return {{h->txtDescription}, h->cmdSave};
    }
    template <typename W>
    W *Show()
    {
        window = std::make_unique<W>();
        window->show();
        return static_cast<W *>(window.get());
    }

    std::unique_ptr<QDialog> window;
};

TEST_P(HostileTest, EveryCorpusTextIsStoredAsHeldInItsRowOnly)
{
    const Field &f = GetParam();
    if (f.kind == Kind::Login)  // a user for each text, its password the same text, as the login dialog holds them
        for (const QString &c : kCorpus)
            if (const QString held = QLineEdit(c).text(); !IsBlank(held))
                DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", QuoteSql(held) + "<<>>" + QuoteSql(held), "Id",
                                  "<<>>");
    int n = 0;
    for (const QString &c : kCorpus) {
        SCOPED_TRACE(c.left(40).toStdString());
        bool isNumber = false;
        const double number = QLocale::c().toDouble(c.trimmed(), &isNumber);
        isNumber = isNumber && std::isfinite(number);
        const bool refused = f.kind == Kind::Cost && !isNumber;
        if (refused)
            boxes.Expect();
        CurrentUserId = f.kind == Kind::Login ? "" : "ann";
        const auto [inputs, save] = Ready(f.window);
        for (QLineEdit *box : inputs) {  // the same text as name and password of a login
            const QString text = box == inputs[f.which] || f.kind == Kind::Login ? c : QString::number(++n);
            box->selectAll();
            Typed(text) ? TypeText(box, text) : box->setText(text);
        }
        const QString held = inputs[f.which]->text();
        const int written = Scalar("Select total_changes()").toInt();
        f.kind == Kind::Login ? Press(save, Qt::Key_Return) : QTest::mouseClick(save, Qt::LeftButton);
        EXPECT_TRUE(!Typed(c) || held == c) << "the box does not hold what was typed";
        EXPECT_EQ(boxes.Count() == 1 && boxes.Shown()[0].prompt == "Cost Planned must be a number.", refused);
        boxes.Forget();
        EXPECT_EQ(CurrentUserId, f.kind != Kind::Login ? "ann" : IsBlank(held) ? "" : held);
        // Rows written: none, or the one saved (and, after a ledger entry, the task's cost up to now).
        const bool none = f.kind == Kind::Login || refused || (f.kind == Kind::Name && IsBlank(held));
        EXPECT_EQ(Scalar("Select total_changes()").toInt() - written, none ? 0 : f.window == 'L' ? 2 : 1);
        if (none)
            continue;
        const QString column = f.kind < Kind::Amount ? f.column : QString("printf('%.17g',%1)").arg(f.column);
        const QString stored = Scalar(QString("Select %1 From %2").arg(column, f.row));
        if (f.kind < Kind::Amount)
            EXPECT_EQ(stored, IsBlank(held) ? " " : held);
        else
            EXPECT_EQ(stored.toDouble(), isNumber && (f.kind == Kind::Cost || std::fabs(number) <= 1e15) ? number : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, HostileTest, ::testing::ValuesIn(kFields),
                         [](const ::testing::TestParamInfo<Field> &info) { return std::string(info.param.name); });

}  // namespace
