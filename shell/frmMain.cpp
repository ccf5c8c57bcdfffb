#include "shell/frmMain.h"

#include "data/Accounts.h"
#include "data/Backups.h"
#include "data/MyFun.h"
#include "ledger/frmMainMenu.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmLogin.h"
#include "shell/frmPassword.h"
#include "shell/frmRestore.h"
#include "shell/frmUser.h"
#include "ui/Action.h"
#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QPointer<frmMain> g_mainFrame;

QAction *menuItem(QMenu *menu, const QString &name, const QString &caption, const QKeySequence &key = {})
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}

QAction *separator(QMenu *menu, const QString &name)
{
    QAction *a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

QMenu *menu(QMenuBar *bar, const QString &name, const QString &caption)
{
    QMenu *m = bar->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name + QStringLiteral("Action"));
    return m;
}

QFont consoleFont()
{
    // "Lucida Console" where it exists, else the nearest monospace face the system has.
    QFont f;
    for (const char *family : {"Lucida Console", "DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "monospace"}) {
        f = QFont(QString::fromLatin1(family));
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        if (QFontInfo(f).fixedPitch())
            break;
    }
    if (!QFontInfo(f).fixedPitch())
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(20);
    f.setBold(true);
    return f;
}

}  // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);

    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    mnuFile = menu(bar, QStringLiteral("mnuFile"), QStringLiteral("&File"));
    mnuLoginUser = menuItem(mnuFile, QStringLiteral("mnuLoginUser"), QStringLiteral("&Login New User"),
                            QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuMainApplication = menuItem(mnuFile, QStringLiteral("mnuMainApplication"), QStringLiteral("&Main Application"),
                                  QKeySequence(Qt::CTRL | Qt::Key_W));
    f1 = separator(mnuFile, QStringLiteral("f1"));
    mnuOptions = mnuFile->addMenu(QStringLiteral("Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptions->menuAction()->setObjectName(QStringLiteral("mnuOptionsAction"));
    mnuAddUser = menuItem(mnuOptions, QStringLiteral("mnuAddUser"), QStringLiteral("&Add User"));
    mnuChangePassword = menuItem(mnuOptions, QStringLiteral("mnuChangePassword"), QStringLiteral("&Change Password"));
    mnuRestoreBackup = menuItem(mnuOptions, QStringLiteral("mnuRestoreBackup"), QStringLiteral("&Restore from Backup"));
    f2 = separator(mnuFile, QStringLiteral("f2"));
    mnuQuit = menuItem(mnuFile, QStringLiteral("mnuQuit"), QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuAbout = menu(bar, QStringLiteral("mnuAbout"), QStringLiteral("&About"));
    mnuAboutHelp = menuItem(mnuAbout, QStringLiteral("mnuAboutHelp"), QStringLiteral("&Online Documentation"),
                            QKeySequence(Qt::Key_F1));
    mnuAboutVisit = menuItem(mnuAbout, QStringLiteral("mnuAboutVisit"), QString::fromLatin1(kMakerWebCaption),
                             QKeySequence(Qt::Key_F6));
    mnuAboutsep2 = separator(mnuAbout, QStringLiteral("mnuAboutsep2"));
    mnuAboutAbout = menuItem(mnuAbout, QStringLiteral("mnuAboutAbout"), QStringLiteral("&About..."),
                             QKeySequence(Qt::Key_F4));

    connect(mnuLoginUser, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuLoginUser_Click));
    connect(mnuMainApplication, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuMainApplication_Click));
    connect(mnuAddUser, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuAddUser_Click));
    connect(mnuChangePassword, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuChangePassword_Click));
    connect(mnuRestoreBackup, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuRestoreBackup_Click));
    connect(mnuQuit, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuQuit_Click));
    connect(mnuAboutHelp, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuAboutHelp_Click));
    connect(mnuAboutVisit, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuAboutVisit_Click));
    connect(mnuAboutAbout, &QAction::triggered, this, ui::Guarded(this, &frmMain::mnuAboutAbout_Click));

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    // The background goes under the content only: the menu bar keeps the platform's own colours,
    // whose text is readable on it.
    ui::ApplyBackground(central);
    auto *layout = new QVBoxLayout(central);
    lblDefaultPassword = ui::Label(QStringLiteral("lblDefaultPassword"),
                                   QStringLiteral("The master password is still the one every copy of Quillmark has: "
                                                  "change it in File > Options > Change Password."),
                                   central);
    lblDefaultPassword->setWordWrap(true);
    lblDefaultPassword->setAlignment(Qt::AlignCenter);
    // A banner right under the menu, dark text on the light yellow of the inputs.
    lblDefaultPassword->setStyleSheet(QStringLiteral("QLabel { background: #FFFFC0; color: #1A1A1A; padding: 6px; }"));
    lblDefaultPassword->hide();
    layout->addWidget(lblDefaultPassword, 0, Qt::AlignTop);
    lblBackupProblem = ui::Label(QStringLiteral("lblBackupProblem"), QString(), central);
    lblBackupProblem->setWordWrap(true);
    lblBackupProblem->setAlignment(Qt::AlignCenter);
    lblBackupProblem->setStyleSheet(lblDefaultPassword->styleSheet());
    lblBackupProblem->hide();
    layout->addWidget(lblBackupProblem, 0, Qt::AlignTop);
    Label2 = ui::Label(QStringLiteral("Label2"), AppTitle, central);
    Label2->setFont(consoleFont());
    Label2->setAlignment(Qt::AlignCenter);
    ui::MakeLabelWhite(Label2);
    layout->addWidget(Label2, 1);
    setCentralWidget(central);
    ui::PlaceWindow(this, QSize(800, 560));
}

frmMain *frmMain::ShowMainFrame()
{
    if (!g_mainFrame)
        g_mainFrame = new frmMain();
    g_mainFrame->show();
    g_mainFrame->raise();
    g_mainFrame->activateWindow();
    g_mainFrame->Form_Activate();
    return g_mainFrame;
}

frmMain *frmMain::Instance() { return g_mainFrame; }

bool frmMain::IsOpen() { return g_mainFrame && g_mainFrame->isVisible(); }

void frmMain::Form_Activate()
{
    const bool master = CurrentUserId == QLatin1String(kMasterUser);
    mnuMainApplication->setEnabled(!master);
    mnuAddUser->setEnabled(master);
    mnuChangePassword->setEnabled(!CurrentUserId.isEmpty());
    // Backups are the database file's; a server is backed up by whoever looks after it.
    mnuRestoreBackup->setVisible(ServerConnection.isEmpty());
    mnuRestoreBackup->setEnabled(master && ServerConnection.isEmpty());
    lblBackupProblem->setText(LastBackupProblem());
    lblBackupProblem->setVisible(ServerConnection.isEmpty() && !LastBackupProblem().isEmpty());
    // Anyone with a copy of the program knows the default master password of a file.
    lblDefaultPassword->setVisible(ServerConnection.isEmpty() && SharedConnection.IsOpen() && MasterPasswordIsDefault());
    setWindowTitle(AppTitle + QStringLiteral(" :: ") + CurrentUserId);
    Label2->setText(AppTitle);
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    Form_Activate();
}

// Each window opened from the menu is modal; when it has closed the frame is active again and
// refreshes itself for whoever is logged in now.

void frmMain::mnuLoginUser_Click()
{
    CurrentUserId.clear();
    frmLogin login(this);
    ui::ShowModal(login);
    Form_Activate();
}

void frmMain::mnuMainApplication_Click()
{
    frmMainMenu ledger(this);
    ui::ShowModal(ledger);
    Form_Activate();
}

void frmMain::mnuAddUser_Click()
{
    frmUser entry(this);
    ui::ShowModal(entry);
    Form_Activate();
}

void frmMain::mnuChangePassword_Click()
{
    frmPassword change(this);
    ui::ShowModal(change);
    Form_Activate();
}

void frmMain::mnuRestoreBackup_Click()
{
    frmRestore restore(this);
    ui::ShowModal(restore);
    Form_Activate();
}

void frmMain::mnuQuit_Click() { ui::EndProgram(); }

// The guide opens in the program's own window, whether or not the computer has a web browser.
void frmMain::mnuAboutHelp_Click()
{
    frmHelp::ShowGuide();
    Form_Activate();
}

void frmMain::mnuAboutVisit_Click() { ui::OpenWithDesktop(QString::fromLatin1(kMakerWebAddress)); }

void frmMain::mnuAboutAbout_Click()
{
    frmAbout about(this);
    ui::ShowModal(about);
    Form_Activate();
}
