#include "shell/frmLogin.h"

#include "data/Accounts.h"
#include "data/Backups.h"
#include "data/Failure.h"
#include "data/MyFun.h"
#include "data/PgEngine.h"
#include "data/ServerDatabase.h"
#include "shell/CredentialFields.h"
#include "shell/frmMain.h"
#include "shell/frmHelp.h"
#include "ui/Window.h"
#include "ui/Look.h"
#include "ui/Seams.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {
bool isEnter(const QKeyEvent *e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }
}  // namespace

frmLogin::frmLogin(QWidget *parent) : QDialog(parent)
{
    ui::NameDialog(this, QStringLiteral("frmLogin"), QStringLiteral("Login"));
    ui::ApplyBackground(this);

    auto *grid = new QGridLayout(this);
    const CredentialFields fields = MakeCredentialFields(this, grid);
    lblLabels = fields.labels;
    txtUserName = fields.userName;
    txtPassword = fields.password;

    grid->setRowStretch(2, 1);
    frmHelp::AddHelpKey(this, QStringLiteral("login"));
    ui::PlaceWindow(this, QSize(340, 120));

    txtUserName->installEventFilter(this);
    txtPassword->installEventFilter(this);
    txtUserName->setFocus();
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == txtUserName || watched == txtPassword)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (Form_KeyDown(key, static_cast<QWidget *>(watched)))
            return true;
        if (watched == txtPassword && isEnter(key)) {
            // A database that cannot be reached is said once, not taken for a wrong password.
            RunAction([this] { txtPassword_KeyPress(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmLogin::keyPressEvent(QKeyEvent *event)
{
    if (!Form_KeyDown(event, focusWidget()))
        QDialog::keyPressEvent(event);
}

bool frmLogin::Form_KeyDown(QKeyEvent *event, QWidget *source)
{
    if (event->key() == Qt::Key_Escape) {
        ui::EndProgram();
        return true;
    }
    // Enter moves on to the next box; in the password box it is a login attempt instead, after
    // which the focus stays where the attempt leaves it.
    if (isEnter(event) && source != txtPassword) {
        if (source == txtUserName)
            txtPassword->setFocus(Qt::TabFocusReason);
        else
            focusNextChild();
        return true;
    }
    return false;
}

void frmLogin::txtPassword_KeyPress()
{
    const QString userName = txtUserName->text();
    const QString password = txtPassword->text();
    if (IsBlank(userName) || IsBlank(password))
        return;

    if (!ServerConnection.isEmpty()) {
        serverLogin(userName, password);
        return;
    }
    if (userName == QLatin1String(kMasterUser) && MasterPasswordMatches(password)) {
        LoginSucceeded(QString::fromLatin1(kMasterUser));
        return;
    }

    // The user's row is read by name and the password checked here, against its hash.
    const FileLogin login = CheckFileLogin(userName, password);
    if (login.ok) {
        LoginSucceeded(login.userId);
        return;
    }

    refused();
}

void frmLogin::refused()
{
    ui::MsgBox(QStringLiteral("Invalid Password, try again!"), ui::Buttons::OKOnly, ui::Icon::Exclamation,
               QStringLiteral("Login"));
    txtPassword->setFocus();
    txtPassword->selectAll();
}

// On a database server the server checks the password: the dialog logs in as the user's own role
// (the master login as "sysop"). A role must also have its row in tblUsers, which it alone can
// read. The connection of the user logged in so far stays until another login has succeeded.
void frmLogin::serverLogin(const QString &userName, const QString &password)
{
    const bool master = userName == QLatin1String(kMasterUser);
    std::unique_ptr<PgEngine> engine;
    QString storedName = userName;
    try {
        engine = std::make_unique<PgEngine>(ServerConnection, ServerRoleOf(userName), password);
        // A database of another version is not worked on: the box names the command that upgrades it.
        const QString problem = ServerSchemaProblem(*engine, ServerConnection);
        if (!problem.isEmpty()) {
            ReportDataError(problem);
            return;
        }
        if (!master) {
            const QString lookup = QStringLiteral("Select * from tblUsers Where UserId=") + QuoteSql(userName);
            StatementLog::Add(lookup);
            const auto rs = engine->Execute(lookup);
            if (rs->Eof()) {
                refused();
                return;
            }
            storedName = rs->Fields(QStringLiteral("UserId")).toString();
        }
    } catch (const LoginRefused &) {
        refused();
        return;
    } catch (const SqlError &e) {
        // The server could not be reached, or failed: its reason, once; the dialog stays as it is.
        ReportDataError(e.description());
        return;
    }
    SharedConnection.Use(std::move(engine));
    LoginSucceeded(storedName);
}

void frmLogin::LoginSucceeded(const QString &userId)
{
    CurrentUserId = userId;
    accept();
    // The first login of a day keeps a copy of the file as it stands; one that cannot be made is
    // said in the main frame and never keeps anyone from working.
    if (ServerConnection.isEmpty())
        BackupIfNoneToday(SharedConnection);
    frmMain::ShowMainFrame();
}
