// Every window inside the screen it opens on, at 1280x720 and at 1920x1080 scaled by 1.5, with a
// project of a 200-character name on show; and F1 showing the guide beside the program. The
// screens are made by the offscreen platform of a child run of this program, which also writes
// the pictures of the windows to build/shots/fit-*/ for a person to look at.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ledger/frmMainMenu.h"
#include "ledger/frmOverview.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmMain.h"
#include "shell/frmLogin.h"
#include "shell/frmPassword.h"
#include "shell/frmUser.h"
#include "ui/Grid.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTextBrowser>

namespace {
const QString kLongName = QString("Renovation of the north wing ").repeated(7).left(200);

// The parts of window that a user needs and cannot see: outside the window or squeezed below
// their least size.
QStringList CutParts(QWidget *window)
{
    QStringList cut;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const bool needed = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
                            qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractItemView *>(w);
        if (!needed || !w->isVisibleTo(window) || w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
            continue;
        const QRect at(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!window->rect().contains(at) || w->width() < std::min(w->minimumSizeHint().width(), 24))
            cut << w->objectName();
    }
    return cut;
}
}  // namespace

class WindowsFit : public ProgramFolderTest {};

// Run by WindowsFit.InsideTheScreenAtEverySize in a child process whose screen it has set.
TEST_F(WindowsFit, Child)
{
    const QString shots = qEnvironmentVariable("QMK_FIT_SHOTS");
    if (shots.isEmpty())
        GTEST_SKIP() << "run by InsideTheScreenAtEverySize";
    QFile::remove(DatabasePath());
    CreateDatabaseFile(DatabasePath(), Sample::Demo);
    Scene("demo");
    Seed("INSERT INTO tblTasks VALUES (900,'demo',2,'" + kLongName + "','2024-03-01',NULL,0,500,' ')");
    QDir(Folder()).mkpath("Help");
    QFile::copy(QM_SOURCE_DIR "/resources/Help/index.html", Folder() + "/Help/index.html");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(area.size(), QSize(1280, 720));

    frmMainMenu ledger;
    ledger.show();
    for (int r = 1; r < ledger.gdPreviewList->Rows(); ++r)
        if (ledger.gdPreviewList->TextMatrix(r, 0) == "900") {
            ledger.gdPreviewList->SetRow(r);
            ledger.gdPreviewList_Click();
        }
    ASSERT_EQ(ledger.lblTaskName->text(), kLongName);
    frmTask task;
    frmHeads heads;
    frmOverview overview(0);
    frmLogin login;
    frmUser user;
    frmPassword password;
    frmAbout about;
    const std::pair<QWidget *, const char *> windows[] = {
        {&ledger, "ledger"}, {&task, "frmTask"}, {&heads, "frmHeads"}, {&overview, "overview"}, {&login, "login"},
        {&user, "user"}, {&password, "password"}, {&about, "about"}, {frmMain::ShowMainFrame(), "main"},
        {frmHelp::ShowGuide("ledger"), "frmHelp"}};
    QDir().mkpath(shots);
    for (const auto &[w, name] : windows) {
        w->show();
        QApplication::processEvents();
        EXPECT_TRUE(area.contains(w->frameGeometry())) << name << " at " << w->frameGeometry().x() << ","
                                                       << w->frameGeometry().y() << " " << w->width() << "x" << w->height();
        EXPECT_LE(w->minimumSizeHint().width(), area.width()) << name;
        EXPECT_LE(w->minimumSizeHint().height(), area.height() - 40) << name;
        EXPECT_EQ(CutParts(w), QStringList()) << name;
        w->grab().save(shots + "/" + name + ".png");
    }
    // The long name ends in "…" and is whole in the tool tip; a short name after it shows whole.
    EXPECT_TRUE(ledger.lblTaskName->ShownText().endsWith(QChar(0x2026)));
    EXPECT_EQ(ledger.lblTaskName->toolTip(), kLongName);
    ledger.gdPreviewList->SetRow(ledger.gdPreviewList->TextMatrix(1, 0) == "900" ? 2 : 1);
    ledger.gdPreviewList_Click();
    QApplication::processEvents();
    EXPECT_EQ(ledger.lblTaskName->ShownText(), ledger.lblTaskName->text());
    EXPECT_TRUE(area.contains(ledger.frameGeometry()));
}

TEST(WindowsFitRun, InsideTheScreenAtEverySize)
{
    const QString build = QCoreApplication::applicationDirPath() + "/..";
    const struct { const char *name; int width, height; const char *scale; } screens[] = {
        {"1280x720", 1280, 720, "1"}, {"1920x1080-x1.5", 1920, 1080, "1.5"}};
    for (const auto &s : screens) {
        const QString config = build + QString("/shots/screen-%1.json").arg(s.name);
        QDir().mkpath(build + "/shots");
        QFile json(config);
        ASSERT_TRUE(json.open(QIODevice::WriteOnly));
        json.write(QString(R"({"screens":[{"name":"s","x":0,"y":0,"width":%1,"height":%2,"logicalDpi":96}]})")
                       .arg(s.width).arg(s.height).toUtf8());
        json.close();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
        env.insert("QT_SCALE_FACTOR", s.scale);
        env.insert("QMK_FIT_SHOTS", build + "/shots/fit-" + s.name);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=WindowsFit.Child"});
        ASSERT_TRUE(child.waitForFinished(120000));
        const QString out = QString::fromUtf8(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << s.name << "\n" << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    }
}

// F1 in the ledger window opens the guide at the ledger's part, beside it and not modal; F1 in
// another window moves the same guide to that window's part. Every part a window opens at is in the guide.
TEST_F(WindowsFit, F1OpensOneGuideBesideTheWindowAtItsPart)
{
    Scene("ann", {"tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' ')"});
    QDir(Folder()).mkpath("Help");
    ASSERT_TRUE(QFile::copy(QM_SOURCE_DIR "/resources/Help/index.html", Folder() + "/Help/index.html"));
    frmMainMenu ledger;
    ledger.show();
    ledger.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ledger));
    QTest::keyClick(&ledger, Qt::Key_F1);
    frmHelp *guide = frmHelp::Current();
    ASSERT_TRUE(guide);
    EXPECT_TRUE(guide->isVisible() && !guide->isModal() && ledger.isVisible());
    EXPECT_EQ(guide->txtGuide->source().fragment(), "ledger");
    frmHeads heads;
    heads.show();
    heads.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&heads));
    QTest::keyClick(&heads, Qt::Key_F1);
    EXPECT_EQ(frmHelp::Current(), guide);
    EXPECT_EQ(guide->txtGuide->source().fragment(), "heads");
    QFile page(QM_SOURCE_DIR "/resources/Help/index.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    for (const char *part : {"ledger", "heads", "projects", "overview", "login", "password", "users"})
        EXPECT_TRUE(html.contains(QString("id=\"%1\"").arg(part))) << part;
}

// A window reopens where its user left it, while that still fits the screen; another user's
// window opens where it would anyway.
TEST_F(WindowsFit, AWindowReopensWhereItsUserLeftItWhileThatFits)
{
    Scene("ann");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect left(area.topLeft() + QPoint(40, 50), QSize(500, 320));
    const auto leave = [](const QRect &at) {
        frmHeads heads;
        heads.show();
        heads.setGeometry(at);
        heads.close();
    };
    leave(left);
    EXPECT_EQ(frmHeads().geometry(), left);
    CurrentUserId = "bob";
    EXPECT_NE(frmHeads().geometry(), left);
    CurrentUserId = "ann";
    leave(area.adjusted(100, 0, 100, 0));  // partly off the screen: not restored
    EXPECT_TRUE(area.contains(frmHeads().geometry()));
}
