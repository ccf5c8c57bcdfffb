#pragma once
#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;

// The main frame: the menu bar from which the logged-in user opens the project ledger, logs in
// as someone else, adds users (master user only), reads the help and quits.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);

    // The one main frame of the run: shown (made first if need be) after a login.
    static frmMain *ShowMainFrame();
    static frmMain *Instance();
    static bool IsOpen();

    // Sets the menus and the caption for the logged-in user; runs at every activation.
    void Form_Activate();

    QMenu *mnuFile;
    QAction *mnuLoginUser;
    QAction *mnuMainApplication;
    QAction *f1;
    QMenu *mnuOptions;
    QAction *mnuAddUser;
    QAction *mnuChangePassword;
    QAction *mnuRestoreBackup;
    QAction *f2;
    QAction *mnuQuit;
    QMenu *mnuAbout;
    QAction *mnuAboutHelp;
    QAction *mnuAboutVisit;
    QAction *mnuAboutsep2;
    QAction *mnuAboutAbout;
    QLabel *Label2;
    // Shown while the master login of the database file has the password every copy has.
    QLabel *lblDefaultPassword;
    // Says why the last backup of the database file could not be made.
    QLabel *lblBackupProblem;

    void mnuLoginUser_Click();
    void mnuMainApplication_Click();
    void mnuAddUser_Click();
    void mnuChangePassword_Click();
    void mnuRestoreBackup_Click();
    void mnuQuit_Click();
    void mnuAboutHelp_Click();
    void mnuAboutVisit_Click();
    void mnuAboutAbout_Click();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
};

// The maker's web site, offered in the About menu.
inline const char *const kMakerWebAddress = "https://www.quillmark.example/";
inline const char *const kMakerWebCaption = "&Visit www.quillmark.example";
