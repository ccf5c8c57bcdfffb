// Hostile input: one corpus of awkward texts put into every text box of every window and saved
// through the window's own button or key. After each save the database holds exactly what the box
// held, in the intended column (or the window refused as it says it does), and no other row of
// any table has changed.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "shell/frmLogin.h"
#include "shell/frmUser.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLocale>
#include <QTest>
#include <algorithm>
#include <iterator>
#include <cmath>
#include <map>
#include <optional>

namespace {

struct Case {
    const char *label;
    QString text;
    bool typed;  // false: the text arrives whole, as a paste, where keys cannot carry it
};

// Tabs and line breaks cannot be typed into a one-line box: what is stored is what the box holds
// once the text is pasted into it.
const Case kCorpus[] = {
    {"quote", "'", true}, {"doubled quotes", "''", true}, {"double quotes", "\"\"", true},
    {"quote injection", "x' OR '1'='1", true}, {"delimiter", "<<>>", true}, {"half delimiter", "<<", true},
    {"hash", "#", true}, {"date literal", "#1/1/2000#", true}, {"impossible date literal", "#31/2/2000#", true},
    {"comment", "--", true}, {"semicolon", ";", true}, {"second statement", "x'; DROP TABLE tblUsers; --", true},
    {"percent", "%", true}, {"underscore", "_", true}, {"blanks only", "   ", true},
    {"10,000 characters", QStringLiteral(" 'x'<<>>#1/2/2003#;--%_\"\u03a9").repeated(400).left(10000), false},
    {"tabs", "a\tb\t", false}, {"line breaks", "one\r\ntwo\nthree", false},
    {"non-Latin letters",
     QStringLiteral(u"\u00c9lodie \u03a9\u03bc\u03ad\u03b3\u03b1 \u041f\u0440\u0438 \u65e5\u672c"), true},
    {"emoji", QStringLiteral(u"\U0001F600\U0001F44D\U0001F3FD"), true},
    {"signed number", "-12.5", true}, {"signed exponent", "+3e2", true}, {"small exponent", "1.5E-3", true},
    {"too large", "1e999", true},
};

// The number a text reads as, with a point as decimal separator, when it is a finite one.
std::optional<double> NumberIn(const QString &text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// Puts a text into a box as a user does: ASCII key by key; other letters and emoji committed as
// an input method commits them; or pasted whole. Answers what the box then holds.
QString Put(QLineEdit *box, const QString &text, bool typed)
{
    box->setFocus();
    box->selectAll();
    QInputMethodEvent commit;
    commit.setCommitString(text);
    if (!typed)
        box->setText(text);
    else if (std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() < 0x80; }))
        QTest::keyClicks(box, text);
    else
        QApplication::sendEvent(box, &commit);
    return box->text();
}

// Puts the corpus text into boxes[which] and each plain text into its own box; answers what
// boxes[which] then holds.
QString Fill(std::initializer_list<std::pair<QLineEdit *, QString>> boxes, int which, const Case &c)
{
    QString held;
    int i = 0;
    for (const auto &[box, plain] : boxes) {
        const QString got = Put(box, i == which ? c.text : plain, i != which || c.typed);
        if (i++ == which)
            held = got;
    }
    return held;
}

// How a box's text is kept: a name is not saved when blank; a remark stores a blank as one blank;
// a planned cost that is no number is refused with a message; an amount stores the number read,
// or 0; a login stores nothing.
enum class Kind { Name, Remark, Cost, Amount, Login };

class HostileTest;
using Saver = std::function<QString(const Case &)>;  // fills the window, saves, answers the text held

struct Field {
    const char *name, *table, *column;
    Kind kind;
    const char *unchecked;  // "table.column" that a save also writes
    std::function<Saver(HostileTest &)> open;
};
void PrintTo(const Field &f, std::ostream *os) { *os << f.name; }

class HostileTest : public ProgramFolderTest, public ::testing::WithParamInterface<Field> {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        CurrentUserId = "ann";
        // Rows of ann's and of another user's that no save may touch.
        for (const char *rows : {"tblUsers VALUES (1,'decoy','decoy')",
                                 "tblTasks VALUES (7,'ann',2,'Roof','2026-03-01',NULL,0,1500,'Phase one'),"
                                 "(8,'bob',2,'Walls','2026-04-01',NULL,0,900,' ')",
                                 "defHeads VALUES (1,'Fuel',0,'ann'),(2,'Wages',1,'ann'),(3,'Bricks',1,'bob')",
                                 "tblTransaction VALUES (1,'ann','2026-03-02',1,10,0,'first',7),"
                                 "(2,'bob','2026-04-02',3,0,20,'walls',8)"})
            Seed(QStringLiteral("INSERT INTO ") + rows);
    }
    void TearDown() override
    {
        windows.clear();
        ProgramFolderTest::TearDown();
    }

    // Every row of every table by "table:rowid", its columns quoted as the engine holds them.
    std::map<QString, QString> Snapshot(const QString &unchecked)
    {
        std::map<QString, QString> rows;
        for (const QString &table : Column("Select name From sqlite_master Where type='table'")) {
            const auto shape = SharedConnection.Execute("Select * From " + table + " Limit 0");
            QStringList cols;
            for (int i = 0; i < shape->FieldCount(); ++i)
                if (table + '.' + shape->FieldName(i) != unchecked)
                    cols << "quote(" + shape->FieldName(i) + ")";
            for (const QString &row : Column("Select rowid||' '||" + cols.join("||','||") + " From " + table))
                rows[table + ':' + row.section(' ', 0, 0)] = row.section(' ', 1);
        }
        return rows;
    }

public:
    using ProgramFolderTest::boxes;
    QString LastBox() const { return boxes.Shown().empty() ? QString() : boxes.Shown().back().prompt; }
    template <typename W>
    W *Keep(W *w)
    {
        windows.emplace_back(w)->show();
        QApplication::processEvents();
        return w;
    }

    void Walk(const Field &f)
    {
        const Saver save = f.open(*this);
        for (const Case &c : kCorpus) {
            SCOPED_TRACE(c.label);
            const auto before = Snapshot(f.unchecked);
            const std::optional<double> number = NumberIn(c.text);
            const bool refused = f.kind == Kind::Cost && !number;
            if (refused)
                boxes.Expect();
            const QString held = save(c);
            EXPECT_TRUE(!c.typed || held == c.text) << "the box does not hold what was typed";
            EXPECT_EQ(LastBox(), refused ? "Cost Planned must be a number." : LastBox());
            boxes.Forget();
            const auto after = Snapshot(f.unchecked);
            std::vector<std::pair<const QString, QString>> differ;
            std::set_symmetric_difference(before.begin(), before.end(), after.begin(), after.end(),
                                          std::back_inserter(differ));
            QStringList changed;
            for (const auto &[key, row] : differ)
                if (!changed.contains(key))
                    changed << key;
            if (f.kind == Kind::Login || refused || (f.kind == Kind::Name && IsBlank(held))) {
                EXPECT_EQ(changed, QStringList());
                continue;
            }
            ASSERT_EQ(changed.size(), 1) << changed.join(' ').toStdString();
            ASSERT_TRUE(changed[0].startsWith(QString(f.table) + ':')) << changed[0].toStdString();
            const QString where = QString(" From %1 Where rowid=%2").arg(f.table, changed[0].section(':', 1));
            if (f.kind == Kind::Cost || f.kind == Kind::Amount) {
                const double expected = number && std::fabs(*number) <= 1e15 ? *number : 0.0;
                EXPECT_EQ(Scalar(QString("Select printf('%.17g',%1)").arg(f.column) + where).toDouble(), expected);
            } else {
                EXPECT_EQ(Scalar(QString("Select %1").arg(f.column) + where), IsBlank(held) ? " " : held);
            }
        }
    }

    std::vector<std::unique_ptr<QWidget>> windows;
};

// The login dialog, name and password: every corpus text is stored as a user whose password is
// the same text; it logs in as that user only (a quoting fault would find the decoy, the first
// user), and with a wrong password it is refused.
Saver Login(HostileTest &t)
{
    for (const Case &c : kCorpus) {
        QLineEdit probe;
        probe.setText(c.text);
        if (!IsBlank(c.text))
            DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", QuoteSql(probe.text()) + "<<>>" + QuoteSql(probe.text()),
                              "Id", "<<>>");
    }
    return [&t](const Case &c) {
        QString held;
        for (const bool right : {true, false}) {
            CurrentUserId.clear();
            frmLogin dialog;
            dialog.show();
            held = Put(dialog.txtUserName, c.text, c.typed);
            QTest::keyClick(dialog.txtUserName, Qt::Key_Return);
            Put(dialog.txtPassword, right ? c.text : c.text + "x", c.typed);
            if (!right && !IsBlank(held))
                t.boxes.Expect();
            QTest::keyClick(dialog.txtPassword, Qt::Key_Return);
            EXPECT_EQ(CurrentUserId, right && !IsBlank(held) ? held : QString()) << (right ? "right" : "wrong");
            EXPECT_EQ(t.LastBox(), !right && !IsBlank(held) ? "Invalid Password, try again!" : QString());
            t.boxes.Forget();
        }
        return held;
    };
}

// The user entry window, opened afresh for each user: a name and a password, Save.
Saver User(HostileTest &, int which)
{
    return [which, n = 0](const Case &c) mutable {
        frmUser w;
        w.show();
        const QString plain = QString("user%1").arg(++n);
        const QString held = Fill({{w.txtUserName, plain}, {w.txtPassword, plain}}, which, c);
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        return held;
    };
}

// The ledger's entry editor on ann's one task, an income head chosen: Add, a remark, an amount, Save.
Saver Ledger(HostileTest &t, int which)
{
    frmMainMenu *w = t.Keep(new frmMainMenu);
    ui::Grid *tasks = w->gdPreviewList;
    QTest::mouseClick(tasks->viewport(), Qt::LeftButton, {}, tasks->visualRect(tasks->model()->index(0, 0)).center());
    w->cboTransactionHeads->SetListIndex(w->cboTransactionHeads->findText("Fuel"));
    return [w, which](const Case &c) {
        w->btnAddAction->click();
        const QString held = Fill({{w->txtTransactionRemarks, "r"}, {w->txtTransactionAmount, "1"}}, which, c);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        return held;
    };
}

// The task editor: New, a name, a planned cost and remarks, Save.
Saver Task(HostileTest &t, int which)
{
    frmTask *w = t.Keep(new frmTask);
    return [w, which](const Case &c) {
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        const QString held =
            Fill({{w->txtDescription, "Shed"}, {w->zeCostPlanned, "250"}, {w->zeRemarksTask, "notes"}}, which, c);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        return held;
    };
}

// The heads editor renames ann's first head again and again: the update must touch that row only.
Saver Head(HostileTest &t)
{
    frmHeads *w = t.Keep(new frmHeads);
    return [&t, w](const Case &c) {
        t.boxes.Expect(ui::Answer::Yes);  // "Want to modify this action name ?"
        QTest::mouseClick(w->lstHeads->viewport(), Qt::LeftButton, {},
                          w->lstHeads->visualItemRect(w->lstHeads->item(0)).center());
        const QString held = Put(w->txtDescription, c.text, c.typed);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        return held;
    };
}

// Showing the ledger after a save writes the task's cost up to now.
const Field kFields[] = {
    {"LoginNameAndPassword", "tblUsers", "UserId", Kind::Login, "", [](HostileTest &t) { return Login(t); }},
    {"UserName", "tblUsers", "UserId", Kind::Name, "", [](HostileTest &t) { return User(t, 0); }},
    {"UserPassword", "tblUsers", "Passwd", Kind::Name, "", [](HostileTest &t) { return User(t, 1); }},
    {"EntryRemarks", "tblTransaction", "Remarks", Kind::Remark, "tblTasks.CostUpToNow",
     [](HostileTest &t) { return Ledger(t, 0); }},
    {"EntryAmount", "tblTransaction", "AmountIn", Kind::Amount, "tblTasks.CostUpToNow",
     [](HostileTest &t) { return Ledger(t, 1); }},
    {"TaskName", "tblTasks", "TaskName", Kind::Name, "", [](HostileTest &t) { return Task(t, 0); }},
    {"TaskCostPlanned", "tblTasks", "CostPlanned", Kind::Cost, "", [](HostileTest &t) { return Task(t, 1); }},
    {"TaskRemarks", "tblTasks", "Notes", Kind::Remark, "", [](HostileTest &t) { return Task(t, 2); }},
    {"HeadName", "defHeads", "Heads", Kind::Name, "", [](HostileTest &t) { return Head(t); }},
};

TEST_P(HostileTest, EveryCorpusTextIsStoredAsHeldAndTouchesNoOtherRow) { Walk(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Boxes, HostileTest, ::testing::ValuesIn(kFields),
                         [](const ::testing::TestParamInfo<Field> &info) { return std::string(info.param.name); });

}  // namespace
