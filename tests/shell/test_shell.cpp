// Start-up, the login and user entry windows and the main frame, driven as a user drives them.
#include "TestSupport.h"

#include "shell/MyFunMain.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmMain.h"

#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBrowser>

namespace {

const QString kWrong = "Invalid Password, try again!|3|Login|0|1";  // an exclamation, OK only
const QString kTaken = "User Already Exists !|1|Quillmark v1.0 DEMO|0|1";  // a critical icon

class ShellTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Scene("", {"tblUsers (Id,UserId,Passwd) VALUES (1,'Ann','Secret'),(2,'O''Neil','pw''1'),(3,'SYSOP','pw')"});
        login = Show<frmLogin>();
        entry = Show<frmUser>();
    }
    template <typename W>
    W *Show()
    {
        windows.push_back(std::make_unique<W>());
        windows.back()->show();
        return static_cast<W *>(windows.back().get());
    }
    // Types the name and the password, with Enter after each (login) or a click on Save; answers the box shown.
    QString Type(QDialog *w, const QString &name, const QString &password)
    {
        QLineEdit *edits[] = {w->findChild<QLineEdit *>("txtUserName"), w->findChild<QLineEdit *>("txtPassword")};
        for (int i : {0, 1}) {
            edits[i]->clear();
            TypeText(edits[i], i ? password : name);
            if (w == login)
                Press(edits[i], Qt::Key_Return);
        }
        if (w == entry)
            QTest::mouseClick(entry->cmdSave, Qt::LeftButton);
        const QString seen = boxes.Last();
        boxes.Forget();
        return seen;
    }
    // Each user as Id:name:password, a password kept as a hash shown as "hash".
    QStringList Users()
    {
        return Column("Select Id || ':' || UserId || ':' || (CASE WHEN Passwd LIKE '$argon2id$%' THEN 'hash' ELSE "
                      "Passwd END) From tblUsers Order by Id");
    }
    // The statements sent, each hash written as <hash>.
    QStringList Sent() const
    {
        QStringList out = Statements();
        out.replaceInStrings(QRegularExpression("\\$argon2id\\$[^']*"), "<hash>");
        return out;
    }
    // Start-up with the login answered by script; the frame's caption and which guarded menu items are on.
    frmMain *Start()
    {
        ResetProcessState();
        ScriptLogin(modals, "sysop", "quorvandelix");
        Main();
        return frmMain::Instance();
    }
    static QString Shown(frmMain *f)
    {
        return f->windowTitle() + (f->mnuMainApplication->isEnabled() ? " +ledger" : "") +
               (f->mnuAddUser->isEnabled() ? " +adduser" : "");
    }

    std::vector<std::unique_ptr<QDialog>> windows;
    frmLogin *login = nullptr;
    frmUser *entry = nullptr;
    ScriptedModals modals;
};

// Both windows start empty, the password masked. Blanks do nothing; the master logs in by his exact
// name without a lookup, others as stored; anything else is refused with the password selected.
TEST_F(ShellTest, LoginsAreLookedUpAndAWrongOneIsRefusedWithThePasswordSelected)
{
    for (QDialog *w : std::initializer_list<QDialog *>{login, entry}) {
        QStringList seen{w->windowTitle()};
        for (QLabel *l : w->findChildren<QLabel *>("lblLabels"))
            seen << l->text();
        auto *name = w->findChild<QLineEdit *>("txtUserName"), *password = w->findChild<QLineEdit *>("txtPassword");
        EXPECT_EQ(seen.join(',') + name->text() + password->text(), w == login ? "Login,User Name,Password"
                                                                              : "User Entry,User Name,Password");
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        EXPECT_EQ(w->focusWidget(), name);
    }
    EXPECT_EQ(Type(login, "   ", "quorvandelix") + Type(login, "sysop", "") + Type(entry, "", "x") +
              Type(entry, "Bo", "  "), "");
    EXPECT_TRUE(Statements().isEmpty() && login->isVisible() && entry->isVisible());
    const struct { const char *name, *password; } wrong[] = {
        {"SysOp", "quorvandelix"}, {" sysop", "quorvandelix"}, {"sysop ", "quorvandelix"}, {"sysop", "Secret"},
        {"nobody", "Secret"}, {"x' Or '1'='1", "x' Or '1'='1"}, {"Ann", "Secret "}, {"Ann", "secret"}};
    for (const auto &w : wrong) {
        boxes.Expect();
        EXPECT_EQ(Type(login, w.name, w.password), kWrong) << w.name;
        EXPECT_EQ(login->focusWidget(), login->txtPassword);
        EXPECT_EQ(login->txtPassword->selectedText() + "|" + login->txtUserName->text(),
                  QString(w.password) + "|" + w.name);
    }
    EXPECT_TRUE(CurrentUserId.isEmpty() && login->isVisible() && !frmMain::IsOpen());
    TypeText(login->txtPassword, "Secret");  // typing replaces the selected password
    Press(login->txtPassword, Qt::Key_Return);
    EXPECT_EQ(CurrentUserId, "Ann");
    // A password an earlier version stored as typed is replaced by its hash after the login; the
    // frame then looks whether the master password is still the default one.
    const QString master = "Select Value from tblSettings Where Name='Master password'";
    const struct { const char *name, *password, *user; QStringList sent; } good[] = {
        {"sysop", "quorvandelix", "sysop", {master, master}},
        {"aNN", "Secret", "Ann", {"Select * from tblUsers Where UserId='aNN'", master}},
        {"O'Neil", "pw'1", "O'Neil",
         {"Select * from tblUsers Where UserId='O''Neil'", "Update tblUsers Set Passwd='<hash>' Where Id=2", master}}};
    for (const auto &c : good) {
        StatementLog::Clear();
        login = Show<frmLogin>();
        Type(login, c.name, c.password);
        EXPECT_EQ(Sent(), c.sent) << c.name;
        EXPECT_EQ(CurrentUserId + (login->result() == QDialog::Accepted ? "" : " not accepted"), c.user);
        EXPECT_EQ(frmMain::Instance()->windowTitle(), QStringLiteral("Quillmark v1.0 DEMO :: ") + c.user);
    }
}

// A new user is stored under the next key with the password's hash; a name taken in any letter case is refused and
// the window keeps what was typed; Close discards.
TEST_F(ShellTest, NewUsersAreStoredAsTypedUnderTheNextIdAndATakenNameIsRefused)
{
    EXPECT_EQ(Type(entry, "Cy'a", "it's<<>>mine"), "");
    EXPECT_EQ(entry->result(), QDialog::Accepted);
    EXPECT_EQ(Sent(), (QStringList{"Select * from tblUsers where UserId='Cy''a'", "Select max(Id) From tblUsers",
                       "INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (4,'Cy''a','<hash>')"}));
    EXPECT_EQ(Users().last(), "4:Cy'a:hash");
    entry = Show<frmUser>();
    for (const char *again : {"Ann", "ANN", "o'neil"}) {
        boxes.Expect();
        EXPECT_EQ(Type(entry, again, "two"), kTaken) << again;
        EXPECT_EQ(entry->txtUserName->text() + "/" + entry->txtPassword->text(), QString(again) + "/two");
    }
    QTest::mouseClick(entry->cmdCancel, Qt::LeftButton);
    EXPECT_EQ(QString::number(entry->result()) + " " + QString::number(Users().size()), "0 4");
    entry = Show<frmUser>();  // Enter saves, as Save does
    TypeText(entry->txtUserName, "Dee");
    TypeText(entry->txtPassword, "pw");
    Press(entry->txtPassword, Qt::Key_Return);
    EXPECT_EQ(Users().last(), "5:Dee:hash");
    // Escape in the login dialog ends the program.
    login = Show<frmLogin>();
    Press(login->txtUserName, Qt::Key_Escape);
    EXPECT_EQ(endProgramCalls, 1);
}

// Any text as a new user's name is stored as the box holds it, in that one row, the password as a
// hash, and logs in as that user only (a quoting fault would find the first user).
TEST_F(ShellTest, AnyTextIsStoredAsTypedAndLogsInAsThatUserOnly)
{
    for (const QString &c : kHostile) {
        entry = Show<frmUser>();
        const QString held = Put(entry->txtUserName, c);
        Put(entry->txtPassword, c);
        const int written = Scalar("Select total_changes()").toInt();
        QTest::mouseClick(entry->cmdSave, Qt::LeftButton);
        EXPECT_EQ(Scalar("Select total_changes()").toInt() - written, IsBlank(held) ? 0 : 1) << qPrintable(c);
        if (IsBlank(held))
            continue;
        EXPECT_EQ(Scalar("Select UserId || '|' || (Passwd LIKE '$argon2id$%') From tblUsers Order by Id Desc"),
                  held + "|1");
        login = Show<frmLogin>();
        CurrentUserId.clear();
        Put(login->txtUserName, c);
        Put(login->txtPassword, c);
        Press(login->txtPassword, Qt::Key_Return);
        EXPECT_EQ(CurrentUserId, held);
    }
}

// The master gets Add User and the others the ledger, even a stored "SYSOP"; the menus have their
// captions and shortcuts and reach the desktop, the About box and the end of the program.
TEST_F(ShellTest, TheMasterGetsAddUserAndOthersTheLedgerAndTheMenusReachTheirWindows)
{
    AppTitle.clear();  // start-up sets it
    frmMain *frame = Start();
    EXPECT_EQ(frame->Label2->text() + " " + Shown(frame), "Quillmark v1.0 DEMO Quillmark v1.0 DEMO :: sysop +adduser");
    const struct { const char *name, *password, *shown; } logins[] = {  // the user is forgotten first
        {"SYSOP", "pw", "Quillmark v1.0 DEMO :: SYSOP +ledger"},
        {"sysop", "quorvandelix", "Quillmark v1.0 DEMO :: sysop +adduser"},
        {"", "", "Quillmark v1.0 DEMO ::  +ledger"}};  // the dialog closed without a login
    for (const auto &l : logins) {
        ScriptLogin(modals, l.name, l.password);
        frame->mnuLoginUser->trigger();
        EXPECT_EQ(Shown(frame), l.shown);
        const bool ledger = QString(l.shown).endsWith("+ledger");
        modals.Then([ledger](QDialog &d) { EXPECT_EQ(d.objectName(), ledger ? "frmMainMenu" : "frmUser"); });
        frame->mnuMainApplication->trigger();  // a disabled item does nothing
        frame->mnuAddUser->trigger();
    }
    QStringList items;
    for (QAction *top : frame->menuBar()->actions()) {
        items << top->text() + ":";
        for (QAction *a : top->menu()->actions()) {
            items << (a->isSeparator() ? QStringLiteral("-") : a->text() + " " + a->shortcut().toString());
            for (QAction *sub : a->menu() ? a->menu()->actions() : QList<QAction *>())
                items << ">" + sub->text();
        }
    }
    EXPECT_EQ(items, (QStringList{"&File:", "&Login New User Ctrl+L", "&Main Application Ctrl+W", "-", "Options ",
                                  ">&Add User", ">&Change Password", ">&Restore from Backup", "-", "&Quit Ctrl+Q", "&About:", "&Online Documentation F1",
                                  "&Visit www.quillmark.example F6", "-", "&About... F4"}));
    frame->mnuAboutHelp->trigger();  // the guide opens beside the frame, not modal
    ASSERT_TRUE(frmHelp::Current());
    EXPECT_TRUE(frmHelp::Current()->isVisible() && !frmHelp::Current()->isModal());
    frame->mnuAboutVisit->trigger();
    EXPECT_EQ(opened, (QStringList{"https://www.quillmark.example/"}));
    modals.Then([this](QDialog &d) {
        auto &about = static_cast<frmAbout &>(d);
        EXPECT_EQ(QStringList({about.windowTitle(), about.lblTitle->text(), about.lblVersion->text(),
                               about.lblDescription->text(), about.cmdOK->text(), about.lblDatabase->text()}),
                  QStringList({"About Quillmark v1.0 DEMO", "Quillmark v1.0 DEMO", "Version 1.0.20",
                               "Designed to controle budget cost of projects...", "OK",
                               "Database: " + QFileInfo(DatabasePath()).canonicalFilePath()}));
        Press(about.cmdOK, Qt::Key_Escape);
        EXPECT_FALSE(about.isVisible());
    });
    frame->mnuAboutAbout->trigger();
    EXPECT_EQ(boxes.Count() + endProgramCalls, 0) << "a missing help page is not reported";
    frame->mnuQuit->trigger();
    EXPECT_EQ(QList<int>({modals.Opened(), endProgramCalls}), QList<int>({8, 1}));  // 3 logins, 3 windows, About
}

// F1 shows the guide in the program's own window, never through the desktop: its pages and pictures
// open inside, Back and Forward walk the pages, a web address goes to the desktop, Escape closes; a
// missing guide says so in the window.
TEST_F(ShellTest, TheGuideOpensInsideTheProgramWithoutABrowser)
{
    QDir(Folder()).mkpath("Help/pictures");
    const auto write = [&](const char *name, const char *html) {
        QFile f(Folder() + "/Help/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(html);
    };
    write("index.html", "<h1>Guide</h1><p><a href=\"next.html\">next</a> <a href=\"https://example.org/x\">web</a></p>");
    write("next.html", "<p>Second page</p><img src=\"pictures/dot.png\">");
    QImage dot(6, 4, QImage::Format_RGB32);
    dot.fill(Qt::red);
    ASSERT_TRUE(dot.save(Folder() + "/Help/pictures/dot.png"));
    frmMain frame;
    QStringList seen;
    const auto read = [&](frmHelp &help) {
        QTextBrowser *guide = help.txtGuide;
        const auto page = [&] {
            return guide->source().fileName() + (help.btnBack->isEnabled() ? " back" : "") +
                   (help.btnForward->isEnabled() ? " forward" : "");
        };
        const auto followLink = [&](int tabs) {  // from the top of the page, as the keyboard does
            guide->setFocus();
            guide->moveCursor(QTextCursor::Start);
            for (int i = 0; i < tabs; ++i)
                Press(guide, Qt::Key_Tab);
            Press(guide, Qt::Key_Return);
        };
        seen << page() << guide->toPlainText().left(5);
        followLink(1);
        const QImage shown = guide->document()->resource(QTextDocument::ImageResource, QUrl("pictures/dot.png")).value<QImage>();
        seen << page() << guide->toPlainText().left(11) << QString::number(shown.width());
        QTest::mouseClick(help.btnBack, Qt::LeftButton);
        seen << page();
        followLink(2);
        seen << page() << QString::number(help.isSizeGripEnabled()) + help.btnClose->accessibleName();
        Press(guide, Qt::Key_Escape);
        seen << QString::number(help.isVisible());
    };
    frame.mnuAboutHelp->trigger();
    ASSERT_TRUE(frmHelp::Current());
    read(*frmHelp::Current());
    EXPECT_EQ(seen, (QStringList{"index.html", "Guide", "next.html back", "Second page", "6", "index.html forward",
                                 "index.html forward", "1Close", "0"}));
    EXPECT_EQ(opened, QStringList{"https://example.org/x"}) << "only the web address goes to the desktop";
    ASSERT_TRUE(QDir(Folder() + "/Help").removeRecursively());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the guide closed by Escape is gone
    frame.mnuAboutHelp->trigger();
    ASSERT_TRUE(frmHelp::Current());
    EXPECT_TRUE(frmHelp::Current()->txtGuide->toPlainText().contains(Folder() + "/Help/index.html"));
    EXPECT_EQ(boxes.Count() + opened.size(), 1);
}

// A missing database file is reported and never made; only the master can log in then, and no user
// is added (a name that cannot be checked counts as taken).
TEST_F(ShellTest, AMissingDatabaseIsReportedNeverMadeAndOnlyTheMasterLogsIn)
{
    ASSERT_TRUE(QFile::remove(DatabasePath()));
    boxes.Expect();
    EXPECT_EQ(Start()->windowTitle(), "Quillmark v1.0 DEMO :: sysop");
    EXPECT_EQ(boxes.Last(), "Could not find file '" + DatabasePath() + "'.|1|Error|0|1");
    EXPECT_FALSE(QFile::exists(DatabasePath()));
    boxes.Forget();
    boxes.Expect();
    boxes.Expect();
    EXPECT_EQ(Type(login, "Ann", "Secret") + Type(entry, "bob", "b"), kWrong + kTaken);
}

}  // namespace
