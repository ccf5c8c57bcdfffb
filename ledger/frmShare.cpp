#include "ledger/frmShare.h"

#include "data/MyFun.h"
#include "data/Sharing.h"
#include "ui/Action.h"
#include "ui/Look.h"
#include "ui/Seams.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

frmShare::frmShare(qint32 taskId, const QString &taskName, QWidget *parent) : QDialog(parent), m_taskId(taskId)
{
    ui::NameDialog(this, QStringLiteral("frmShare"), QStringLiteral("Share %1").arg(taskName));
    ui::ApplyBackground(this);
    auto *layout = new QVBoxLayout(this);
    lblShareOf = ui::Label(QStringLiteral("lblShareOf"),
                           QStringLiteral("Project %1, %2: a viewer reads its ledger; an editor also books, changes and "
                                          "deletes its entries.").arg(taskId).arg(taskName),
                           this);
    ui::MakeLabelWhite(lblShareOf);
    lblShareOf->setWordWrap(true);
    layout->addWidget(lblShareOf);

    gdMembers = new QTableWidget(0, 2, this);
    gdMembers->setObjectName(QStringLiteral("gdMembers"));
    gdMembers->setAccessibleName(QStringLiteral("Members"));
    gdMembers->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Role")});
    gdMembers->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    gdMembers->setColumnWidth(1, 110);
    gdMembers->setSelectionBehavior(QAbstractItemView::SelectRows);
    gdMembers->setSelectionMode(QAbstractItemView::SingleSelection);
    gdMembers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gdMembers->verticalHeader()->hide();
    layout->addWidget(gdMembers, 1);

    auto *add = new QHBoxLayout();
    lblMemberName = ui::Label(QStringLiteral("lblMemberName"), QStringLiteral("&User name :"), this);
    ui::MakeLabelWhite(lblMemberName);
    txtMemberName = ui::TextBox(QStringLiteral("txtMemberName"), this);
    txtMemberName->setAccessibleName(QStringLiteral("User name"));
    txtMemberName->setToolTip(QStringLiteral("The name a user logs in with; Enter adds them"));
    lblMemberName->setBuddy(txtMemberName);
    cboMemberRole = new QComboBox(this);
    cboMemberRole->setObjectName(QStringLiteral("cboMemberRole"));
    cboMemberRole->setAccessibleName(QStringLiteral("Role"));
    cboMemberRole->addItems({QStringLiteral("Viewer"), QStringLiteral("Editor")});
    cboMemberRole->setToolTip(QStringLiteral("Viewer: reads the ledger; Editor: also books, changes and deletes entries"));
    ui::MakeInputYellow(txtMemberName);
    ui::MakeInputYellow(cboMemberRole);
    cmdAddMember = ui::CaptionButton(QStringLiteral("cmdAddMember"), QStyle::SP_DialogApplyButton,
                                     QStringLiteral("Add"), QStringLiteral("Share the project with this user in this "
                                                                          "role; a member's role changes"), this);
    add->addWidget(lblMemberName);
    add->addWidget(txtMemberName, 1);
    add->addWidget(cboMemberRole);
    add->addWidget(cmdAddMember);
    layout->addLayout(add);

    auto *bottom = new QHBoxLayout();
    cmdRemoveMember = ui::CaptionButton(QStringLiteral("cmdRemoveMember"), QStyle::SP_TrashIcon, QStringLiteral("Remove"),
                                        QStringLiteral("Stop sharing the project with the chosen member"), this);
    cmdClose = ui::CaptionButton(QStringLiteral("cmdClose"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"),
                                 QStringLiteral("Close"), this);
    bottom->addWidget(cmdRemoveMember);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);
    for (QPushButton *b : {cmdAddMember, cmdRemoveMember, cmdClose})
        b->setAutoDefault(false);

    connect(cmdAddMember, &QPushButton::clicked, this, ui::Guarded(this, &frmShare::cmdAddMember_Click));
    connect(txtMemberName, &QLineEdit::returnPressed, this, ui::Guarded(this, &frmShare::cmdAddMember_Click));
    connect(cmdRemoveMember, &QPushButton::clicked, this, ui::Guarded(this, &frmShare::cmdRemoveMember_Click));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    // A member chosen in the grid is put in the boxes, for a change of role.
    connect(gdMembers, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = gdMembers->currentRow();
        cmdRemoveMember->setEnabled(row >= 0);
        if (row < 0 || !gdMembers->item(row, 0))
            return;
        txtMemberName->setText(gdMembers->item(row, 0)->text());
        cboMemberRole->setCurrentText(gdMembers->item(row, 1)->text());
    });
    LoadMembers();
    resize(460, 340);
}

void frmShare::LoadMembers()
{
    gdMembers->setRowCount(0);
    std::vector<Member> members;
    Reported([&] { members = MembersOf(m_taskId); });
    gdMembers->setRowCount(int(members.size()));
    for (int r = 0; r < int(members.size()); ++r) {
        gdMembers->setItem(r, 0, new QTableWidgetItem(members[size_t(r)].user));
        gdMembers->setItem(r, 1, new QTableWidgetItem(RoleName(members[size_t(r)].role)));
    }
    gdMembers->clearSelection();
    gdMembers->setCurrentCell(-1, -1);
    cmdRemoveMember->setEnabled(false);
}

void frmShare::cmdAddMember_Click()
{
    const QString name = txtMemberName->text().trimmed();
    if (name.isEmpty()) {
        ui::MsgBox(QStringLiteral("Type the name of the user to share the project with."), ui::Buttons::OKOnly,
                   ui::Icon::Exclamation, AppTitle);
        txtMemberName->setFocus();
        return;
    }
    const ProjectRole role = cboMemberRole->currentIndex() == 1 ? ProjectRole::Editor : ProjectRole::Viewer;
    try {
        ShareProject(m_taskId, name, role);
    } catch (const ConnectionLost &) {
        throw;  // said once by the action, the name as typed
    } catch (const SqlError &e) {
        // A name that is no user, the owner's own name: said as the data layer says it.
        if (!e.alreadyTold())
            ui::MsgBox(e.description(), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        txtMemberName->setFocus();
        txtMemberName->selectAll();
        return;
    } catch (const std::exception &e) {
        ReportDataError(QString::fromLocal8Bit(e.what()));
        return;
    }
    LoadMembers();
    txtMemberName->clear();
    txtMemberName->setFocus();
}

void frmShare::cmdRemoveMember_Click()
{
    const int row = gdMembers->currentRow();
    if (row < 0 || !gdMembers->item(row, 0))
        return;
    const QString name = gdMembers->item(row, 0)->text();
    if (ui::MsgBox(QStringLiteral("Stop sharing this project with %1?").arg(name), ui::Buttons::YesNo,
                   ui::Icon::Question, AppTitle, 2) != ui::Answer::Yes)
        return;
    Reported([&] { UnshareProject(m_taskId, name); });
    LoadMembers();
    txtMemberName->clear();
}
