// Hostile input: one corpus of awkward texts put into every text box of every window and saved
// through the window's own button or key. The database then holds exactly what the box held, in
// the intended column (or the window refused as it says it does), and no other row of any table
// has changed.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "shell/frmLogin.h"
#include "shell/frmUser.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QApplication>
#include <QLocale>
#include <QMap>
#include <QTest>
#include <cmath>

namespace {

// Tabs, line breaks and 10,000 characters cannot be typed into a one-line box: they are pasted,
// and what is stored is what the box then holds.
const QString kCorpus[] = {
    "'", "''", "\"\"", "x' OR '1'='1", "<<>>", "<<", "#", "#1/1/2000#", "#31/2/2000#", "--", ";",
    "x'; DROP TABLE tblUsers; --", "%", "_", "   ",
    QStringLiteral(" 'x'<<>>#1/2/2003#;--%_\"\u03a9").repeated(400).left(10000), "a\tb\t", "one\r\ntwo\nthree",
    QStringLiteral(u"\u00c9lodie \u03a9\u03bc\u03ad\u03b3\u03b1 \u041f\u0440\u0438 \u65e5\u672c"),
    QStringLiteral(u"\U0001F600\U0001F44D\U0001F3FD"), "-12.5", "+3e2", "1.5E-3", "1e999"};

bool Typed(const QString &text) { return text.size() < 100 && !text.contains('\t') && !text.contains('\n'); }

// Puts a text into a box as a user does, typed or pasted; answers what the box then holds.
QString Put(QLineEdit *box, const QString &text)
{
    box->selectAll();
    Typed(text) ? TypeText(box, text) : box->setText(text);
    return box->text();
}

QString LastPrompt(const ScriptedMessageBox &b) { return b.Shown().empty() ? QString() : b.Shown().back().prompt; }

// How a box's text is kept: a login stores nothing; a name is not saved when blank; a remark
// stores a blank as one blank; an amount stores the number read, or 0; a planned cost that is no
// number is refused with a message.
enum class Kind { Login, Name, Remark, Amount, Cost };

// Readies a window for the next save: answers its boxes and its Save button.
using Form = std::pair<std::vector<QLineEdit *>, QAbstractButton *>;
using Opener = std::function<Form()>;

// The login dialog: the name, then a wrong and the right password (the same text as the name),
// Enter after each. It logs in as that user only: a quoting fault would find the decoy, the
// first user.
QString LogIn(ScriptedMessageBox &boxes, const QString &c)
{
    CurrentUserId.clear();
    frmLogin dialog;
    dialog.show();
    const QString held = Put(dialog.txtUserName, c), refusal = IsBlank(held) ? "" : "Invalid Password, try again!";
    Put(dialog.txtPassword, c + "x");
    if (!refusal.isEmpty())
        boxes.Expect();
    QTest::keyClick(dialog.txtPassword, Qt::Key_Return);
    EXPECT_EQ(LastPrompt(boxes), refusal);
    Put(dialog.txtPassword, c);
    QTest::keyClick(dialog.txtPassword, Qt::Key_Return);
    EXPECT_EQ(CurrentUserId, IsBlank(held) ? "" : held);
    return held;
}

// The user entry window: a name and a password, Save (which closes it).
Opener User(ScriptedMessageBox &)
{
    return [w = std::make_shared<frmUser>()] {
        w->show();
        return Form{{w->txtUserName, w->txtPassword}, w->cmdSave};
    };
}

// The ledger's entry editor on ann's one task, an income head chosen: Add, a remark, an amount, Save.
Opener Ledger(ScriptedMessageBox &)
{
    const auto w = std::make_shared<frmMainMenu>();
    w->show();
    ui::Grid *tasks = w->gdPreviewList;
    QTest::mouseClick(tasks->viewport(), Qt::LeftButton, {}, tasks->visualRect(tasks->model()->index(0, 0)).center());
    w->cboTransactionHeads->SetListIndex(w->cboTransactionHeads->findText("Fuel"));
    return [w] {
        w->btnAddAction->click();
        return Form{{w->txtTransactionRemarks, w->txtTransactionAmount}, w->cmdSave};
    };
}

// The task editor: New, a name, a planned cost and remarks, Save.
Opener Task(ScriptedMessageBox &)
{
    return [w = std::make_shared<frmTask>()] {
        w->show();
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        return Form{{w->txtDescription, w->zeCostPlanned, w->zeRemarksTask}, w->cmdSave};
    };
}

// The heads editor renames ann's first head again and again: the update must touch that row only.
Opener Head(ScriptedMessageBox &boxes)
{
    return [&boxes, w = std::make_shared<frmHeads>()] {
        w->show();
        boxes.Expect(ui::Answer::Yes);  // "Want to modify this action name ?"
        QTest::mouseClick(w->lstHeads->viewport(), Qt::LeftButton, {},
                          w->lstHeads->visualItemRect(w->lstHeads->item(0)).center());
        return Form{{w->txtDescription}, w->cmdSave};
    };
}

struct Field {
    const char *name, *table, *column;
    Kind kind;
    Opener (*open)(ScriptedMessageBox &);
    size_t which;  // the box that gets the corpus text; the others get a plain number
};
void PrintTo(const Field &f, std::ostream *os) { *os << f.name; }

const Field kFields[] = {
    {"LoginNameAndPassword", "tblUsers", "UserId", Kind::Login, nullptr, 0},
    {"UserName", "tblUsers", "UserId", Kind::Name, User, 0},
    {"UserPassword", "tblUsers", "Passwd", Kind::Name, User, 1},
    {"EntryRemarks", "tblTransaction", "Remarks", Kind::Remark, Ledger, 0},
    {"EntryAmount", "tblTransaction", "AmountIn", Kind::Amount, Ledger, 1},
    {"TaskName", "tblTasks", "TaskName", Kind::Name, Task, 0},
    {"TaskCostPlanned", "tblTasks", "CostPlanned", Kind::Cost, Task, 1},
    {"TaskRemarks", "tblTasks", "Notes", Kind::Remark, Task, 2},
    {"HeadName", "defHeads", "Heads", Kind::Name, Head, 0},
};

class HostileTest : public ProgramFolderTest, public ::testing::WithParamInterface<Field> {};

TEST_P(HostileTest, EveryCorpusTextIsStoredAsHeldAndTouchesNoOtherRow)
{
    OpenDatabase();
    CurrentUserId = "ann";
    // Rows of ann's and of another user's that no save may touch.
    Seed("INSERT INTO tblUsers VALUES (1,'decoy','decoy')");
    Seed("INSERT INTO tblTasks VALUES (7,'ann',2,'Roof','2026-03-01',NULL,0,1500,'Phase one'),"
         "(8,'bob',2,'Walls','2026-04-01',NULL,0,900,' ')");
    Seed("INSERT INTO defHeads VALUES (1,'Fuel',0,'ann'),(2,'Wages',1,'ann'),(3,'Bricks',1,'bob')");
    Seed("INSERT INTO tblTransaction VALUES (1,'ann','2026-03-02',1,10,0,'first',7),"
         "(2,'bob','2026-04-02',3,0,20,'walls',8)");
    const Field &f = GetParam();
    // Every row of every table by "table:rowid", its columns quoted, but for the task's cost up
    // to now, which showing the ledger after a save writes.
    const QString skip = f.open == Ledger ? "tblTasks.CostUpToNow" : "";
    const auto snapshot = [&] {
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
    };
    const Opener ready = f.open ? f.open(boxes) : Opener();
    if (!f.open)  // a user for each text, its password the same text, as the login dialog holds them
        for (const QString &c : kCorpus)
            if (const QString held = QLineEdit(c).text(); !IsBlank(held))
                DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", QuoteSql(held) + "<<>>" + QuoteSql(held), "Id",
                                  "<<>>");
    int n = 0;
    for (const QString &c : kCorpus) {
        SCOPED_TRACE(c.left(40).toStdString());
        const QMap<QString, QString> before = snapshot();
        bool isNumber = false;
        const double number = QLocale::c().toDouble(c.trimmed(), &isNumber);
        isNumber = isNumber && std::isfinite(number);
        const bool refused = f.kind == Kind::Cost && !isNumber;
        if (refused)
            boxes.Expect();
        QString held;
        if (ready) {
            const auto [inputs, save] = ready();
            for (QLineEdit *box : inputs)
                Put(box, QString::number(++n));
            held = Put(inputs[f.which], c);
            QTest::mouseClick(save, Qt::LeftButton);
        } else {
            held = LogIn(boxes, c);
        }
        EXPECT_TRUE(!Typed(c) || held == c) << "the box does not hold what was typed";
        EXPECT_EQ(LastPrompt(boxes) == "Cost Planned must be a number.", refused);
        boxes.Forget();
        const QMap<QString, QString> after = snapshot();
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
                      isNumber && std::fabs(number) <= 1e15 ? number : 0.0);
        else
            EXPECT_EQ(Scalar(QString("Select %1").arg(f.column) + where), IsBlank(held) ? " " : held);
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, HostileTest, ::testing::ValuesIn(kFields),
                         [](const ::testing::TestParamInfo<Field> &info) { return std::string(info.param.name); });

}  // namespace
