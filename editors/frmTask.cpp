#include "editors/frmTask.h"

#include "data/MyFun.h"
#include "data/Budgets.h"
#include "editors/EditorParts.h"
#include "editors/PickList.h"
#include "shell/frmHelp.h"
#include "ui/Action.h"
#include "ui/DatePicker.h"
#include "ui/ListItems.h"
#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QGridLayout>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

frmTask::frmTask(std::function<void()> loadHeads, QWidget *parent)
    : EditorWindow(QStringLiteral("frmTask"), QStringLiteral("Projects / Tasks"), std::move(loadHeads), parent)
{
    lstTasks = new PickList(QStringLiteral("lstTasks"), this, [this] { lstTasks_Click(); });
    lstTasks->setAccessibleName(QStringLiteral("Projects / Tasks"));

    Frame1 = ui::Frame(QStringLiteral("Frame1"), QString(), this);
    auto *fields = new QGridLayout(Frame1);
    txtDescription = ui::TextBox(QStringLiteral("txtDescription"), Frame1);
    cboStatus = new ui::ComboBox(QStringLiteral("cboStatus"), Frame1);
    dtTaskDateStart = new ui::DatePicker(QStringLiteral("dtTaskDateStart"), Frame1);
    zeCostPlanned = ui::TextBox(QStringLiteral("zeCostPlanned"), Frame1);
    zeCostNow = ui::TextBox(QStringLiteral("zeCostNow"), Frame1);
    zeRemarksTask = ui::TextBox(QStringLiteral("zeRemarksTask"), Frame1);
    Label2 = AddField(fields, 0, QStringLiteral("Label2"), QStringLiteral("Project / Task Name"), txtDescription);
    Label3 = AddField(fields, 1, QStringLiteral("Label3"), QStringLiteral("Status"), cboStatus);
    Label1 = AddField(fields, 2, QStringLiteral("Label1"), QStringLiteral("Start Date"), dtTaskDateStart);
    Label5 = AddField(fields, 3, QStringLiteral("Label5"), QStringLiteral("Cost Planned"), zeCostPlanned);
    Label7 = AddField(fields, 4, QStringLiteral("Label7"), QStringLiteral("Cost Up to Now"), zeCostNow);
    Label4 = AddField(fields, 5, QStringLiteral("Label4"), QStringLiteral("Remarks"), zeRemarksTask);
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(6, 1);
    buildBudget(fields);
    zeCostNow->setEnabled(false);
    cboStatus->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    Frame3 = ui::Frame(QStringLiteral("Frame3"), QString(), this);
    auto *buttons = new QVBoxLayout(Frame3);
    cmdAdd = ui::CaptionButton(QStringLiteral("cmdAdd"), QStyle::SP_FileIcon, QStringLiteral("New"),
                             QStringLiteral("Add "), Frame3);
    cmdSave = ui::CaptionButton(QStringLiteral("cmdSave"), QStyle::SP_DialogSaveButton, QStringLiteral("Save"),
                              QStringLiteral("Save"), Frame3);
    cmdCancel = ui::CaptionButton(QStringLiteral("cmdCancel"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"),
                                QStringLiteral("Close"), Frame3);
    for (QPushButton *b : {cmdAdd, cmdSave, cmdCancel})
        buttons->addWidget(b);
    buttons->addStretch(1);
    cmdSave->setDefault(true);  // Enter saves; Escape closes like the Close button

    auto *grid = new QGridLayout(this);
    grid->addWidget(lstTasks, 0, 0, 1, 2);
    grid->addWidget(Frame1, 1, 0);
    grid->addWidget(Frame3, 1, 1);
    grid->addWidget(FrameBudget, 2, 0, 1, 2);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(2, 2);
    grid->setColumnStretch(0, 1);
    grid->setContentsMargins(12, 12, 12, 12);

    const QList<QWidget *> order{lstTasks, txtDescription, cboStatus, dtTaskDateStart, zeCostPlanned,
                                 zeRemarksTask, gdHeadBudget, cmdAdd, cmdSave, cmdCancel};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    frmHelp::AddHelpKey(this, QStringLiteral("projects"));
    ui::PlaceWindow(this, QSize(620, 680));

    connect(cmdAdd, &QPushButton::clicked, this, ui::Guarded(this, &frmTask::cmdAdd_Click));
    connect(cmdSave, &QPushButton::clicked, this, ui::Guarded(this, &frmTask::cmdSave_Click));
    connect(cmdCancel, &QPushButton::clicked, this, ui::Guarded(this, &frmTask::cmdCancel_Click));
    Form_Load();
}

void frmTask::Form_Load()
{
    TryStep([&] { LoadInList(); });
    cboStatus->SetListIndex(0);
    Frame1->setEnabled(false);
    EditMode = false;
}

void frmTask::LoadInList()
{
    m_cls = std::make_unique<CTemplate>();
    m_cls->LoadList(*lstTasks, QStringLiteral("tblTasks"), QStringLiteral("TaskName"), QStringLiteral("TaskID"),
                    QStringLiteral("UserId"), QuoteSql(CurrentUserId));
    m_cls->LoadList(*cboStatus, QStringLiteral("tblStatus"), QStringLiteral("StatusName"), QStringLiteral("StatusID"));
}

void frmTask::ShowField(const char *column, const std::function<void(const Variant &)> &show)
{
    TryStep([&] {
        if (!m_task || m_task->Eof())
            return;
        const Variant value = m_task->Fields(QString::fromLatin1(column));
        if (!value.isNull())
            show(value);
    });
}

void frmTask::lstTasks_Click()
{
    if (!AskYesNo(QStringLiteral("Want to modify this Project/Task ?"), QStringLiteral("Edit?"))) {
        Frame1->setEnabled(false);
        FrameBudget->setEnabled(false);
        txtDescription->clear();
        EditMode = false;
        return;
    }
    const int current = lstTasks->ListIndex();
    txtDescription->setText(lstTasks->List(current));
    m_task.reset();
    TryStep([&] {
        m_cls->ExecuteSql(QStringLiteral("Select * from tblTasks where TaskID=") +
                          QString::number(lstTasks->ItemData(current)));
        m_task = SharedRecordset;
    });
    ShowField("StatusID", [&](const Variant &v) {
        if (!v.isNull() && !v.toString().isEmpty() && !IsWholeNumber(v))
            return;  // not a status number: no status is chosen, and nothing runs
        const Variant status = m_cls->CodeDecode(v.toString(), QStringLiteral("StatusID"), QStringLiteral("tblStatus"),
                                                 QStringLiteral("StatusID"));
        cboStatus->SetListIndex(int(status.toInt64()) - 1);
    });
    ShowField("CostPlanned", [&](const Variant &v) { zeCostPlanned->setText(v.toString()); });
    ShowField("Notes", [&](const Variant &v) { zeRemarksTask->setText(v.toString()); });
    ShowField("StartDate", [&](const Variant &v) { dtTaskDateStart->SetValue(v.toDate()); });
    ShowField("CostUpToNow", [&](const Variant &v) { zeCostNow->setText(v.toString()); });
    m_task.reset();
    LoadBudget(lstTasks->ItemData(current));
    EditMode = true;
    Frame1->setEnabled(true);
    FrameBudget->setEnabled(true);
    txtDescription->setFocus();
}

void frmTask::cmdAdd_Click()
{
    dtTaskDateStart->SetValue(ui::Today());
    // The first status means "all" to the ledger's filter, so a new task starts as the second.
    cboStatus->SetListIndex(cboStatus->ListCount() >= 2 ? 1 : 0);
    ClearControls();
    LoadBudget(0);
    Frame1->setEnabled(true);
    FrameBudget->setEnabled(true);
    txtDescription->setFocus();
    EditMode = false;
}

void frmTask::cmdSave_Click()
{
    // Save says what it lacks: a project to work on, or the name of the one in the frame.
    if (!Frame1->isEnabled()) {
        ui::MsgBox(QStringLiteral("Choose a project in the list, or press New, before Save."), ui::Buttons::OKOnly,
                   ui::Icon::Exclamation, AppTitle);
        return;
    }
    if (IsBlank(txtDescription->text())) {
        ui::MsgBox(QStringLiteral("Enter a name for the project."), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        txtDescription->setFocus();
        return;
    }
    // Only a finite decimal number with a point is written (no grouping, no words), so that
    // typed text never becomes part of a statement.
    double cost = 0;
    if (!ReadNumber(zeCostPlanned->text(), &cost, true) || !std::isfinite(cost)) {
        ui::MsgBox(QStringLiteral("Cost Planned must be a number."), ui::Buttons::OKOnly, ui::Icon::Exclamation,
                   AppTitle);
        zeCostPlanned->setFocus();
        zeCostPlanned->selectAll();
        return;
    }
    if (ui::IsFarDate(dtTaskDateStart->Value(), ui::Today()) && !ui::ConfirmFarDate(dtTaskDateStart->Value())) {
        dtTaskDateStart->setFocus();
        return;
    }
    // A planned amount that is no amount is said before anything is written.
    std::map<std::int32_t, double> plan;
    if (!ReadPlan(&plan))
        return;
    const QString status = QString::number(cboStatus->ListIndex() + 1);
    // A new task's cost up to now starts at 0; an update leaves it as the ledger wrote it.
    QStringList rest{QuoteSql(txtDescription->text()), DateLiteral(dtTaskDateStart->Value())};
    if (!EditMode)
        rest << QStringLiteral("0");
    rest << FormatNumber(cost) << QuoteSql(zeRemarksTask->text());
    TryStep([&] {
        if (!EditMode) {
            m_cls->AddNewTask(QStringLiteral("tblTasks"),
                              QStringLiteral("UserId<<>>StatusID<<>>TaskName<<>>StartDate<<>>CostUpToNow<<>>"
                                             "CostPlanned<<>>Notes"),
                              JoinList(QStringList{QuoteSql(CurrentUserId), status} + rest), QStringLiteral("TaskID"),
                              kListDelimiter);
        } else if (lstTasks->ListIndex() >= 0) {
            m_cls->UpdateDataTask(QStringLiteral("tblTasks"), QStringLiteral("TaskName<<>>StartDate<<>>CostPlanned<<>>Notes"),
                                  JoinList(rest), QStringLiteral("StatusID"), Variant(status.toInt()), kListDelimiter,
                                  lstTasks->ItemData(lstTasks->ListIndex()));
        }
    });
    // Another program held the file: what was typed stays, for Save again.
    if (m_cls->Busy())
        return;
    // The plan goes with the project it belongs to: a new one by the key it was given. When it
    // cannot be saved, everything typed stays, for Save again.
    const std::int32_t taskId = EditMode ? (lstTasks->ListIndex() >= 0 ? lstTasks->ItemData(lstTasks->ListIndex()) : 0)
                                         : m_cls->LastKey();
    if (!SavePlan(taskId, plan))
        return;
    Frame1->setEnabled(false);
    FrameBudget->setEnabled(false);
    ClearBudget();
    ClearControls();
    TryStep([&] { LoadInList(); });
}

void frmTask::ClearControls()
{
    for (QLineEdit *box : {zeCostNow, zeCostPlanned, zeRemarksTask, txtDescription})
        box->clear();
}

void frmTask::cmdCancel_Click() { reject(); }
