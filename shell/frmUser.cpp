#include "shell/frmUser.h"

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
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmUser::frmUser(QWidget *parent) : QDialog(parent)
{
    ui::NameDialog(this, QStringLiteral("frmUser"), QStringLiteral("User Entry"));
    ui::ApplyBackground(this);

    auto *grid = new QGridLayout(this);
    const CredentialFields fields = MakeCredentialFields(this, grid);
    lblLabels = fields.labels;
    txtUserName = fields.userName;
    txtPassword = fields.password;
    ui::MakeInputYellow(txtUserName);
    ui::MakeInputYellow(txtPassword);

    AddSaveAndClose(this, grid, 2, txtPassword, &cmdSave, &cmdCancel);
    frmHelp::AddHelpKey(this, QStringLiteral("users"));
    ui::PlaceWindow(this, QSize(360, 150));

    connect(cmdSave, &QPushButton::clicked, this, ui::Guarded(this, &frmUser::cmdSave_Click));
    connect(cmdCancel, &QPushButton::clicked, this, ui::Guarded(this, &frmUser::cmdCancel_Click));
    txtUserName->setFocus();
}

CTemplate &frmUser::cls()
{
    if (!m_cls)
        m_cls = std::make_unique<CTemplate>();
    return *m_cls;
}

void frmUser::cmdSave_Click()
{
    const QString userName = txtUserName->text();
    const QString password = txtPassword->text();
    if (IsBlank(userName) || IsBlank(password))
        return;

    if (!ServerConnection.isEmpty()) {
        saveOnServer(userName, password);
        return;
    }
    // When the check cannot be run or read, the name is taken as existing: nothing is written.
    bool exists = true;
    TryStep([&] {
        cls().ExecuteSql(QStringLiteral("Select * from tblUsers where UserId=") + QuoteSql(userName));
        exists = !SharedRecordset || !SharedRecordset->Eof();
    });
    if (exists) {
        ui::MsgBox(QStringLiteral("User Already Exists !"), ui::Buttons::OKOnly, ui::Icon::Critical, AppTitle);
        return;
    }
    // The password is kept as a salted hash, never as typed.
    QString hash;
    if (!Reported([&] { hash = HashPassword(password); }))
        return;
    cls().AddNew(QStringLiteral("tblUsers"), JoinList({QStringLiteral("UserID"), QStringLiteral("Passwd")}),
                 JoinList({QuoteSql(userName), QuoteSql(hash)}), QStringLiteral("Id"), kListDelimiter);
    // Another program held the file: the dialog stays open with what was typed, for Save again.
    if (cls().Busy())
        return;
    accept();
}

// On a database server a user is a login role of the server: one server function makes the role,
// its tblUsers row and its mapping together, and the password reaches it only as a verifier.
void frmUser::saveOnServer(const QString &userName, const QString &password)
{
    const QString problem = ServerNameProblem(userName);
    if (!problem.isEmpty()) {
        ui::MsgBox(problem, ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return;
    }
    AddUserOutcome outcome = AddUserOutcome::Refused;
    QString why;
    const bool asked = Reported([&] {
        auto *server = dynamic_cast<PgEngine *>(SharedConnection.Engine());
        if (!server)
            throw SqlError(QStringLiteral("The database server is not connected."));
        outcome = AddServerUser(*server, userName, password, &why);
    });
    if (!asked)
        return;  // the "Error" box has said why; what was typed stays, for Save again
    if (outcome == AddUserOutcome::Exists) {
        ui::MsgBox(QStringLiteral("User Already Exists !"), ui::Buttons::OKOnly, ui::Icon::Critical, AppTitle);
        return;
    }
    if (outcome == AddUserOutcome::Refused) {
        ui::MsgBox(why, ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return;
    }
    accept();
}

void frmUser::cmdCancel_Click() { reject(); }
