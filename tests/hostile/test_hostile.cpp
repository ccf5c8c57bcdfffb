// Hostile input: one corpus of awkward texts put into every text box of every window and saved
// through the window's own button or key. The database then holds exactly what the box held, in
// the intended column (or the window refused as it says it does), and no other row of any table
// has changed.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QLocale>
#include <QMap>
#include <cmath>

namespace {

const QString kCorpus[] = {
    "'", "''", "\"\"", "x' OR '1'='1", "<<>>", "<<", "#", "#1/1/2000#", "#31/2/2000#", "--", ";",
    "x'; DROP TABLE tblUsers; --", "%", "_", "   ", " 7 ", "-12.5", "+3e2", "1.5E-3", "+.5", "7.", "1e15", "2e15",
    "1e999", "nan", "inf", "0x10",
    QStringLiteral(" 'x'<<>>#1/2/2003#;--%_\"\u03a9").repeated(400).left(10000), "a\tb\t", "one\r\ntwo\nthree",
    QStringLiteral(u"\u00c9lodie \u03a9\u03bc\u03ad\u03b3\u03b1 \u041f\u0440\u0438 \u65e5\u672c"),
    QStringLiteral(u"\U0001F600\U0001F44D\U0001F3FD")};

// Tabs, line breaks and 10,000 characters cannot be typed into a one-line box: they are pasted,
// and what is stored is what the box then holds.
bool Typed(const QString &text) { return text.size() < 100 && !text.contains('\t') && !text.contains('\n'); }
QString Put(QLineEdit *box, const QString &text)
{
    box->selectAll();
    Typed(text) ? TypeText(box, text) : box->setText(text);
    return box->text();
}

// How a box's text is kept: a login stores nothing; a name is not saved when blank; a remark
// stores a blank as one blank; an amount stores the number read, or 0 (also above 1e15); a
// planned cost that is no number is refused with a message.
enum class Kind { Login, Name, Remark, Amount, Cost };
enum class Window { Login, User, Ledger, Task, Head };

struct Field {
    const char *name, *table, *column;
    Kind kind;
    Window window;
    size_t which;  // the box that gets the corpus text; the others get a plain number
};
void PrintTo(const Field &f, std::ostream *os) { *os << f.name; }

const Field kFields[] = {
    {"LoginNameAndPassword", "tblUsers", "UserId", Kind::Login, Window::Login, 0},
    {"UserName", "tblUsers", "UserId", Kind::Name, Window::User, 0},
    {"UserPassword", "tblUsers", "Passwd", Kind::Name, Window::User, 1},
    {"EntryRemarks", "tblTransaction", "Remarks", Kind::Remark, Window::Ledger, 0},
    {"EntryAmount", "tblTransaction", "AmountIn", Kind::Amount, Window::Ledger, 1},
    {"TaskName", "tblTasks", "TaskName", Kind::Name, Window::Task, 0},
    {"TaskCostPlanned", "tblTasks", "CostPlanned", Kind::Cost, Window::Task, 1},
    {"TaskRemarks", "tblTasks", "Notes", Kind::Remark, Window::Task, 2},
    {"HeadName", "defHeads", "Heads", Kind::Name, Window::Head, 0},
};

class HostileTest : public ProgramFolderTest, public ::testing::WithParamInterface<Field> {
protected:
    // Rows of ann's and of another user's that no save may touch.
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Scene("ann", {"tblUsers VALUES (1,'decoy','decoy')",
                      "tblTasks VALUES (7,'ann',2,'Roof','2026-03-01',NULL,0,1500,'Phase one'),"
                      "(8,'bob',2,'Walls','2026-04-01',NULL,0,900,' ')",
                      "defHeads VALUES (1,'Fuel',0,'ann'),(2,'Wages',1,'ann'),(3,'Bricks',1,'bob')",
                      "tblTransaction VALUES (1,'ann','2026-03-02',1,10,0,'first',7),(2,'bob','2026-04-02',3,0,20,'walls',8)"});
    }
    // A fresh window ready for the next save: its boxes and its Save button. The ledger's editor is
    // opened on ann's one task with the income head chosen; the heads editor renames ann's first head.
    std::pair<std::vector<QLineEdit *>, QAbstractButton *> Ready(Window window)
    {
        if (window == Window::User) {
            auto *u = Show<frmUser>();
            return {{u->txtUserName, u->txtPassword}, u->cmdSave};
        }
        if (window == Window::Ledger) {
            auto *l = Show<frmMainMenu>();
            QTest::mouseClick(l->gdPreviewList->viewport(), Qt::LeftButton, {},
                              l->gdPreviewList->visualRect(l->gdPreviewList->model()->index(0, 0)).center());
            l->cboTransactionHeads->SetListIndex(l->cboTransactionHeads->findText("Fuel"));
            l->btnAddAction->click();
            return {{l->txtTransactionRemarks, l->txtTransactionAmount}, l->cmdSave};
        }
        if (window == Window::Task) {
            auto *t = Show<frmTask>();
            t->cmdAdd->click();
            return {{t->txtDescription, t->zeCostPlanned, t->zeRemarksTask}, t->cmdSave};
        }
        auto *h = Show<frmHeads>();
        boxes.Expect(ui::Answer::Yes);  // "Want to modify this action name ?"
        QTest::mouseClick(h->lstHeads->viewport(), Qt::LeftButton, {}, h->lstHeads->visualItemRect(h->lstHeads->item(0)).center());
        return {{h->txtDescription}, h->cmdSave};
    }
    template <typename W>
    W *Show()
    {
        auto *w = new W();
        window.reset(w);
        w->show();
        return w;
    }
    // The login dialog: the name, then a wrong and the right password (the same text as the name),
    // Enter after each. It logs in as that user only: a quoting fault would find the decoy.
    QString LogIn(const QString &c)
    {
        CurrentUserId.clear();
        auto *dialog = Show<frmLogin>();
        const QString held = Put(dialog->txtUserName, c);
        Put(dialog->txtPassword, c + "x");
        if (!IsBlank(held))
            boxes.Expect();
        Press(dialog->txtPassword, Qt::Key_Return);
        EXPECT_EQ(boxes.Count(), IsBlank(held) ? 0 : 1);
        Put(dialog->txtPassword, c);
        Press(dialog->txtPassword, Qt::Key_Return);
        EXPECT_EQ(CurrentUserId, IsBlank(held) ? "" : held);
        return held;
    }
    // Every row of every table by "table:rowid", its columns quoted, but for one column left out.
    QMap<QString, QString> Snapshot(const QString &skip)
    {
        QMap<QString, QString> rows;
        for (const QString &table : Column("Select name From sqlite_master Where type='table'")) {
            const auto shape = SharedConnection.Execute("Select * From " + table + " Limit 0");
            QString cols;
            for (int i = 0; i < shape->FieldCount(); ++i)
                if (table + '.' + shape->FieldName(i) != skip)
                    cols += "||','||quote(" + shape->FieldName(i) + ")";
            for (const QString &row : Column("Select rowid" + cols + " From " + table))
                rows[table + ':' + row.section(',', 0, 0)] = row;
        }
        return rows;
    }

    std::unique_ptr<QDialog> window;
};

TEST_P(HostileTest, EveryCorpusTextIsStoredAsHeldAndTouchesNoOtherRow)
{
    const Field &f = GetParam();
    // Showing the ledger after a save writes the task's cost up to now.
    const QString skip = f.window == Window::Ledger ? "tblTasks.CostUpToNow" : "";
    if (f.kind == Kind::Login)  // a user for each text, its password the same text, as the login dialog holds them
        for (const QString &c : kCorpus)
            if (const QString held = QLineEdit(c).text(); !IsBlank(held))
                DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", QuoteSql(held) + "<<>>" + QuoteSql(held), "Id", "<<>>");
    int n = 0;
    for (const QString &c : kCorpus) {
        SCOPED_TRACE(c.left(40).toStdString());
        const QMap<QString, QString> before = Snapshot(skip);
        bool isNumber = false;
        const double number = QLocale::c().toDouble(c.trimmed(), &isNumber);
        isNumber = isNumber && std::isfinite(number);
        const bool refused = f.kind == Kind::Cost && !isNumber;
        if (refused)
            boxes.Expect();
        QString held;
        if (f.kind == Kind::Login) {
            held = LogIn(c);
        } else {
            const auto [inputs, save] = Ready(f.window);
            for (QLineEdit *box : inputs)
                Put(box, QString::number(++n));
            held = Put(inputs[f.which], c);
            QTest::mouseClick(save, Qt::LeftButton);
            EXPECT_EQ(boxes.Count() == 1 && boxes.Shown()[0].prompt == "Cost Planned must be a number.", refused);
        }
        EXPECT_TRUE(!Typed(c) || held == c) << "the box does not hold what was typed";
        boxes.Forget();
        const QMap<QString, QString> after = Snapshot(skip);
        QStringList changed;
        for (const QString &key : before.keys() + after.keys())
            if (before.value(key) != after.value(key) && !changed.contains(key))
                changed << key;
        if (f.kind == Kind::Login || refused || (f.kind == Kind::Name && IsBlank(held))) {
            EXPECT_EQ(changed, QStringList());
            continue;
        }
        ASSERT_EQ(changed.size(), 1) << changed.join(' ').toStdString();
        ASSERT_TRUE(changed[0].startsWith(QString(f.table) + ':')) << changed[0].toStdString();
        const QString where = QString(" From %1 Where rowid=%2").arg(f.table, changed[0].section(':', 1));
        if (f.kind == Kind::Cost || f.kind == Kind::Amount)
            EXPECT_EQ(Scalar(QString("Select printf('%.17g',%1)").arg(f.column) + where).toDouble(),
                      isNumber && (f.kind == Kind::Cost || std::fabs(number) <= 1e15) ? number : 0.0);
        else
            EXPECT_EQ(Scalar(QString("Select %1").arg(f.column) + where), IsBlank(held) ? " " : held);
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, HostileTest, ::testing::ValuesIn(kFields),
                         [](const ::testing::TestParamInfo<Field> &info) { return std::string(info.param.name); });

}  // namespace
