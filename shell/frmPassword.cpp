#include "shell/frmPassword.h"

#include "data/Accounts.h"
#include "data/MyFun.h"
#include "data/Passwords.h"
#include "data/PgEngine.h"
#include "data/ServerDatabase.h"
#include "shell/CredentialFields.h"
#include "shell/frmHelp.h"
#include "ui/Action.h"
#include "ui/Window.h"
#include "ui/Look.h"
#include "ui/Seams.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

frmPassword::frmPassword(QWidget *parent) : QDialog(parent)
{
    ui::NameDialog(this, QStringLiteral("frmPassword"), QStringLiteral("Change Password"));
    ui::ApplyBackground(this);

    auto *grid = new QGridLayout(this);
    const QList<QLineEdit *> boxes =
        MakePasswordRows(this, grid, {{QStringLiteral("txtOldPassword"), QStringLiteral("Old password")},
                                      {QStringLiteral("txtNewPassword"), QStringLiteral("New password")},
                                      {QStringLiteral("txtRepeatPassword"), QStringLiteral("New password again")}});
    txtOldPassword = boxes[0];
    txtNewPassword = boxes[1];
    txtRepeatPassword = boxes[2];
    AddSaveAndClose(this, grid, 3, txtRepeatPassword, &cmdSave, &cmdCancel);
    frmHelp::AddHelpKey(this, QStringLiteral("password"));
    ui::PlaceWindow(this, QSize(420, 180));

    connect(cmdSave, &QPushButton::clicked, this, ui::Guarded(this, &frmPassword::cmdSave_Click));
    connect(cmdCancel, &QPushButton::clicked, this, ui::Guarded(this, &frmPassword::cmdCancel_Click));
    txtOldPassword->setFocus();
}

void frmPassword::refuse(const QString &why, QLineEdit *focus)
{
    ui::MsgBox(why, ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
    focus->setFocus();
    focus->selectAll();
}

void frmPassword::cmdSave_Click()
{
    const QString old = txtOldPassword->text();
    const QString fresh = txtNewPassword->text();
    if (fresh != txtRepeatPassword->text())
        return refuse(QStringLiteral("The two new passwords differ: type the same new password twice."),
                      txtRepeatPassword);
    if (fresh.toUcs4().size() < kMinPasswordLength)
        return refuse(QStringLiteral("The new password is too short: it needs at least %1 characters.")
                          .arg(kMinPasswordLength),
                      txtNewPassword);
    if (!oldPasswordMatches(old))
        return refuse(QStringLiteral("The old password is not right."), txtOldPassword);
    // A failure has been said in its own box; what was typed stays, for Save again.
    if (!store(fresh))
        return;
    ui::MsgBox(QStringLiteral("The password has been changed."), ui::Buttons::OKOnly, ui::Icon::Information, AppTitle);
    accept();
}

bool frmPassword::oldPasswordMatches(const QString &old)
{
    const bool master = CurrentUserId == QLatin1String(kMasterUser);
    if (ServerConnection.isEmpty())
        return master ? MasterPasswordMatches(old) : CheckFileLogin(CurrentUserId, old).ok;
    // On a server the server checks it: a login with the old password must succeed.
    try {
        PgEngine check(ServerConnection, ServerRoleOf(CurrentUserId), old);
        return true;
    } catch (const LoginRefused &) {
        return false;
    } catch (const SqlError &e) {
        ReportDataError(e.description());
        return false;
    }
}

bool frmPassword::store(const QString &password)
{
    if (ServerConnection.isEmpty())
        return StoreFilePassword(CurrentUserId, password);
    // On a server the user's own role gets a new verifier, made here: the password itself never
    // travels to the server.
    return Reported([&] {
        auto *server = dynamic_cast<PgEngine *>(SharedConnection.Engine());
        if (!server)
            throw SqlError(QStringLiteral("The database server is not connected."));
        ChangeServerPassword(*server, password);
    });
}

void frmPassword::cmdCancel_Click() { reject(); }
