// The project ledger window as a whole: its controls and layout, how it starts, and the task
// list with its filter, refresh, selection and deletion.
#include "ledger/frmMainMenu.h"

#include "data/MyFun.h"
#include "export/GridColumns.h"
#include "ledger/Steps.h"
#include "shell/frmHelp.h"
#include "ui/Action.h"
#include "ui/DatePicker.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"
#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

// A captioned button of this window: its picture a little smaller than elsewhere.
QPushButton *captionButton(const QString &name, const QString &caption, QStyle::StandardPixmap picture,
                           const QString &toolTip, QWidget *parent)
{
    QPushButton *b = ui::CaptionButton(name, picture, caption, toolTip, parent);
    b->setIconSize(QSize(18, 18));
    return b;
}

// A frame without border or caption that only groups buttons for enabling.
QGroupBox *plainFrame(const QString &name, QWidget *parent)
{
    QGroupBox *f = ui::Frame(name, QString(), parent);
    f->setFlat(true);
    f->setStyleSheet(QStringLiteral("QGroupBox#%1 { border: 0; margin: 0; padding: 0; }").arg(name));
    return f;
}

void makeBold(QWidget *w)
{
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
}

QLabel *whiteLabel(const QString &name, const QString &text, QWidget *parent)
{
    QLabel *l = ui::Label(name, text, parent);
    ui::MakeLabelWhite(l);
    return l;
}

QLineEdit *shownTotal(const QString &name, QWidget *parent)
{
    QLineEdit *t = ui::TextBox(name, parent);
    t->setReadOnly(true);
    t->setAlignment(Qt::AlignRight);
    t->setText(QStringLiteral("0.00"));
    t->setMinimumWidth(110);
    return t;
}

const char *const kQuote =
    "Beware of little expenses; a small leak will sink a great ship.\n\n"
    "Budget: a mathematical confirmation of your suspicions.";

// The task list's columns, in TaskColumn order.
const std::vector<GridColumn> kTaskColumns = {
    {"ID", 300, "TaskID"},           {"Task Name", 1500, "TaskName"}, {"Start Date", 1000, "StartDate"},
    {"Cost", 1000, "CostUpToNow"},   {"Cost Planned", 1000, "CostPlanned"}, {"Status", 1200, "StatusID"},
    {"Ended", 1000, "EndDate"},      {"Owner", 1000, "UserId"}};

}  // namespace


frmMainMenu::frmMainMenu(QWidget *parent) : QDialog(parent)
{
    ui::NameDialog(this, QStringLiteral("frmMainMenu"), QString());
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    ui::ApplyBackground(this);
    buildWindow();
    connectHandlers();
    frmHelp::AddHelpKey(this, QStringLiteral("ledger"));
    Form_Load();
    ui::PlaceWindow(this, QSize(1280, 740));
}

frmMainMenu::~frmMainMenu() = default;

void frmMainMenu::buildWindow()
{
    auto *root = new QVBoxLayout(this);
    auto *columns = new QHBoxLayout();
    // Right column: the selected task, the entry editor, the ledger with its buttons, the totals.
    FrameActionWindow = ui::Frame(QStringLiteral("FrameActionWindow"), QString(), this);
    auto *right = new QVBoxLayout(FrameActionWindow);
    buildTaskPanel(root, columns, right);
    columns->addWidget(FrameActionWindow, 1);
    buildEntryEditor(right);
    buildLedger(right);
    buildTotals(right);

    // The look of the inputs, and buttons that Enter never presses by themselves.
    for (QWidget *w : std::initializer_list<QWidget *>{cboPreviewStatus, cboPreviewHeads, dtDateFrom, dtDateTill,
                                                       dtTransactionDate, cboTransactionHeads, txtTransactionAmount,
                                                       txtTransactionRemarks, zeMoneySpent, zeMoneyReceived,
                                                       txtCashInWallet, txtQuotes})
        ui::MakeInputYellow(w);
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);

    // The editor's keyboard order: date, head, amount, remarks, Save, Cancel, then the head button.
    setTabOrder(dtTransactionDate, cboTransactionHeads);
    setTabOrder(cboTransactionHeads, txtTransactionAmount);
    setTabOrder(txtTransactionAmount, txtTransactionRemarks);
    setTabOrder(txtTransactionRemarks, cmdSave);
    setTabOrder(cmdSave, btnActionCancel);
    setTabOrder(btnActionCancel, cmdAddHead);

    // Before the first ledger is shown.
    FrameActionManager->setEnabled(false);
    btnAddAction->setEnabled(false);
    btnPrint->setEnabled(false);
    btnSavePdf->setEnabled(false);
    btnExportAs->setEnabled(false);
    btnImport->setEnabled(false);

    // What the controls that change nothing are for.
    cboPreviewHeads->setToolTip(QStringLiteral("Your action heads, to look them up; this list filters nothing"));
    dtDateFrom->setToolTip(QStringLiteral("Date From: the start of a period to note; the list is not filtered by it"));
    dtDateTill->setToolTip(QStringLiteral("Date Till: the end of a period to note; the list is not filtered by it"));
    cmdPreview->setToolTip(QStringLiteral("Preview: lists all your projects again, as Refresh does"));
    txtQuotes->setToolTip(QStringLiteral("A saying about budgets to keep in mind; nothing reads or changes it"));
    cboPreviewStatus->setToolTip(QStringLiteral("Lists only the projects of this status; All lists every project"));
    cmdAdd->setToolTip(QStringLiteral("Add : a new entry for the project on show, as Add beside the ledger"));
    cmdDelete->setToolTip(QStringLiteral("Delete: the entry loaded with Edit, after asking"));
    btnRefresh->setToolTip(QStringLiteral("Refresh: lists all your projects again"));
    cmdCancel->setToolTip(QStringLiteral("Close (Ctrl+Q)"));
    ui::BindKey(cmdCancel, QKeySequence(Qt::CTRL | Qt::Key_Q));

    // A control that cannot be used yet says what it waits for.
    const QString chooseProject = QStringLiteral("Choose a project in the list first");
    ui::ExplainWhenDisabled(btnAddAction, chooseProject + QStringLiteral(": Add books an entry on it"));
    ui::ExplainWhenDisabled(btnPrint, chooseProject + QStringLiteral(": Print prints its ledger"));
    ui::ExplainWhenDisabled(btnSavePdf, chooseProject + QStringLiteral(": Save as PDF writes its ledger"));
    ui::ExplainWhenDisabled(btnExportAs, chooseProject + QStringLiteral(": Export as writes its ledger"));
    ui::ExplainWhenDisabled(btnImport, chooseProject + QStringLiteral(": Import books a statement's entries on it"));
    for (QPushButton *b : {cmdSave, btnActionCancel})
        ui::ExplainWhenDisabled(b, QStringLiteral("Press Add (or NEW) to book an entry, or Edit to change one"));
    ui::ExplainWhenDisabled(cmdAddHead, QStringLiteral("Press Add (or NEW) first; the heads are made here while an entry is open"));
    ui::ExplainWhenDisabled(cmdAdd, QStringLiteral("NEW waits for the list to be loaded again (Refresh) or for Edit; "
                                                   "without any project, make one first with New / Edit"));
    ui::ExplainWhenDisabled(cmdDelete, QStringLiteral("Load an entry with Edit first; DELETE removes the entry loaded"));
    ui::ExplainWhenDisabled(btnShare, QStringLiteral("Choose one of your own projects first: only its owner shares a project"));
    ownAccess();
    applyAccess();
}

// The top strip, the task list with its filter on the left and the selected task's number and
// name at the head of the right column.
void frmMainMenu::buildTaskPanel(QVBoxLayout *root, QHBoxLayout *columns, QVBoxLayout *right)
{
    // Top: who is logged in, Refresh and Quit.
    auto *top = new QHBoxLayout();
    Label9 = whiteLabel(QStringLiteral("Label9"), QStringLiteral("User Name :"), this);
    lblUserName = new ui::NameLabel(QStringLiteral("lblUserName"), this);
    lblUserName->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    ui::MakeLabelWhite(lblUserName);
    makeBold(lblUserName);
    btnRefresh = captionButton(QStringLiteral("btnRefresh"), QStringLiteral("Refresh"), QStyle::SP_BrowserReload,
                               QStringLiteral("Refresh"), this);
    cmdCancel = captionButton(QStringLiteral("cmdCancel"), QStringLiteral("Quit"), QStyle::SP_DialogCloseButton,
                              QStringLiteral("Close"), this);
    btnOverview = ui::PictureButton(QStringLiteral("btnOverview"), QStyle::SP_FileDialogInfoView,
                                    QStringLiteral("Overview"), this);
    ui::BindKey(btnOverview, QKeySequence(Qt::CTRL | Qt::Key_O));
    auto *shape = new QFrame(this);  // a decorative rule under the user's name
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setFrameShape(QFrame::HLine);
    top->addWidget(Label9);
    top->addWidget(lblUserName);
    top->addWidget(shape, 1);
    top->addWidget(btnOverview);
    top->addWidget(btnRefresh);
    top->addWidget(cmdCancel);
    root->addLayout(top);
    root->addLayout(columns, 1);

    // Left column: the task list with its filter strip, and below it the quote and "NEW"/"DELETE".
    auto *left = new QVBoxLayout();
    columns->addLayout(left, 1);
    Frame1 = ui::Frame(QStringLiteral("Frame1"), QString(), this);
    auto *f1 = new QVBoxLayout(Frame1);
    Frame2 = ui::Frame(QStringLiteral("Frame2"), QString(), Frame1);
    auto *f2 = new QGridLayout(Frame2);
    Label8 = whiteLabel(QStringLiteral("Label8"), QStringLiteral("Sort by Status"), Frame2);
    cboPreviewStatus = new ui::ComboBox(QStringLiteral("cboPreviewStatus"), Frame2);
    cboPreviewHeads = new ui::ComboBox(QStringLiteral("cboPreviewHeads"), Frame2);
    Label7 = whiteLabel(QStringLiteral("Label7"), QStringLiteral("Date From"), Frame2);
    dtDateFrom = new ui::DatePicker(QStringLiteral("dtDateFrom"), Frame2);
    Label5 = whiteLabel(QStringLiteral("Label5"), QStringLiteral("Date Till"), Frame2);
    dtDateTill = new ui::DatePicker(QStringLiteral("dtDateTill"), Frame2);
    Label8->setBuddy(cboPreviewStatus);
    f2->addWidget(Label8, 0, 0);
    f2->addWidget(cboPreviewStatus, 0, 1);
    f2->addWidget(cboPreviewHeads, 0, 2, 1, 2);
    f2->addWidget(Label7, 1, 0);
    f2->addWidget(dtDateFrom, 1, 1);
    f2->addWidget(Label5, 1, 2);
    f2->addWidget(dtDateTill, 1, 3);
    f2->setColumnStretch(1, 1);
    f2->setColumnStretch(3, 1);
    f1->addWidget(Frame2);

    auto *taskButtons = new QHBoxLayout();
    lblQuickView = whiteLabel(QStringLiteral("lblQuickView"), QStringLiteral("Projects / Tasks "), Frame1);
    makeBold(lblQuickView);
    btnEditTask = captionButton(QStringLiteral("btnEditTask"), QStringLiteral("New / Edit"),
                                QStyle::SP_FileDialogDetailedView, QStringLiteral("New / Edit"), Frame1);
    btnDelTask = captionButton(QStringLiteral("btnDelTask"), QStringLiteral("Delete"), QStyle::SP_TrashIcon,
                               QStringLiteral("Delete"), Frame1);
    taskButtons->addWidget(lblQuickView);
    taskButtons->addStretch(1);
    taskButtons->addWidget(btnEditTask);
    taskButtons->addWidget(btnDelTask);
    f1->addLayout(taskButtons);
    txtFindTask = ui::TextBox(QStringLiteral("txtFindTask"), Frame1);
    txtFindTask->setPlaceholderText(QStringLiteral("Find project…"));
    txtFindTask->setClearButtonEnabled(true);
    txtFindTask->setToolTip(QStringLiteral("Find project (Ctrl+F): shows only the projects whose number or name "
                                           "contains what you type; empty shows them all"));
    txtFindTask->setAccessibleName(QStringLiteral("Find project"));
    f1->addWidget(txtFindTask);
    gdPreviewList = new ui::Grid(QStringLiteral("gdPreviewList"), Frame1);
    // A click on a column title sorts the list by it; the next load shows the list's own order.
    gdPreviewList->SetSortable(true);
    gdPreviewList->SetCols(TaskColumn::Count);
    for (const int amount : {TaskColumn::Cost, TaskColumn::CostPlanned})
        gdPreviewList->SetColAlignment(amount, Qt::AlignRight);
    gdPreviewList->setAccessibleName(QStringLiteral("Projects / Tasks"));
    f1->addWidget(gdPreviewList, 1);
    left->addWidget(Frame1, 1);

    auto *bottom = new QHBoxLayout();
    txtQuotes = new QPlainTextEdit(this);
    txtQuotes->setObjectName(QStringLiteral("txtQuotes"));
    txtQuotes->setPlainText(QString::fromUtf8(kQuote));
    txtQuotes->setReadOnly(true);
    txtQuotes->setFocusPolicy(Qt::NoFocus);
    txtQuotes->setMaximumHeight(80);
    cmdPreview = ui::PictureButton(QStringLiteral("cmdPreview"), QStyle::SP_FileDialogContentsView,
                                   QStringLiteral("Preview"), this);
    Frame3 = plainFrame(QStringLiteral("Frame3"), this);
    auto *f3 = new QHBoxLayout(Frame3);
    f3->setContentsMargins(0, 0, 0, 0);
    cmdAdd = captionButton(QStringLiteral("cmdAdd"), QStringLiteral("NEW"), QStyle::SP_FileIcon, QStringLiteral("Add "),
                           Frame3);
    cmdDelete = captionButton(QStringLiteral("cmdDelete"), QStringLiteral("DELETE"), QStyle::SP_DialogDiscardButton,
                              QStringLiteral("Delete"), Frame3);
    f3->addWidget(cmdAdd);
    f3->addWidget(cmdDelete);
    FrameHide1 = ui::Frame(QStringLiteral("FrameHide1"), QString(), this);
    FrameHide1->hide();
    bottom->addWidget(txtQuotes, 1);
    bottom->addWidget(cmdPreview);
    bottom->addWidget(Frame3);
    bottom->addWidget(FrameHide1);
    left->addLayout(bottom);

    auto *task = new QHBoxLayout();
    Label11 = whiteLabel(QStringLiteral("Label11"), QStringLiteral("Project/Task No:"), FrameActionWindow);
    lblTaskNo = whiteLabel(QStringLiteral("lblTaskNo"), QString(), FrameActionWindow);
    makeBold(lblTaskNo);
    lblTaskNo->setMinimumWidth(50);
    Label12 = whiteLabel(QStringLiteral("Label12"), QStringLiteral("Name :"), FrameActionWindow);
    lblTaskName = new ui::NameLabel(QStringLiteral("lblTaskName"), FrameActionWindow);
    ui::MakeLabelWhite(lblTaskName);
    makeBold(lblTaskName);
    task->addWidget(Label11);
    task->addWidget(lblTaskNo);
    task->addWidget(Label12);
    task->addWidget(lblTaskName, 1);
    // Who shares the project on show, and what was changed in it.
    btnShare = ui::PictureButton(QStringLiteral("btnShare"), QStyle::SP_DirLinkIcon, QStringLiteral("Share project\u2026"),
                                 FrameActionWindow);
    btnHistory = ui::PictureButton(QStringLiteral("btnHistory"), QStyle::SP_MediaSeekBackward,
                                   QStringLiteral("History"), FrameActionWindow);
    ui::BindKey(btnHistory, QKeySequence(Qt::CTRL | Qt::Key_H));
    task->addWidget(btnShare);
    task->addWidget(btnHistory);
    right->addLayout(task);
}

// The "Edit Actions" frame: date, head, amount, remarks, Cancel and Save.
void frmMainMenu::buildEntryEditor(QVBoxLayout *right)
{
    FrameActionManager = ui::Frame(QStringLiteral("FrameActionManager"), QStringLiteral("Edit Actions"),
                                   FrameActionWindow);
    {
        QPalette p = FrameActionManager->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        FrameActionManager->setPalette(p);
    }
    auto *ed = new QGridLayout(FrameActionManager);
    Label1 = whiteLabel(QStringLiteral("Label1"), QStringLiteral("Date"), FrameActionManager);
    dtTransactionDate = new ui::DatePicker(QStringLiteral("dtTransactionDate"), FrameActionManager);
    Label2 = whiteLabel(QStringLiteral("Label2"), QStringLiteral("Action Name"), FrameActionManager);
    cboTransactionHeads = new ui::ComboBox(QStringLiteral("cboTransactionHeads"), FrameActionManager);
    cboTransactionHeads->setMinimumWidth(160);
    cmdAddHead = ui::PictureButton(QStringLiteral("cmdAddHead"), QStyle::SP_FileDialogNewFolder,
                                   QStringLiteral("Add /Remove Action Head"), FrameActionManager);
    cmdAddHead->setMinimumSize(QSize(30, 26));
    cmdAddHead->setIconSize(QSize(16, 16));
    Label4 = whiteLabel(QStringLiteral("Label4"), QStringLiteral("Amount"), FrameActionManager);
    txtTransactionAmount = ui::TextBox(QStringLiteral("txtTransactionAmount"), FrameActionManager);
    txtTransactionAmount->setAlignment(Qt::AlignRight);
    lblHeadKind = ui::Label(QStringLiteral("lblHeadKind"), QString(), FrameActionManager);
    lblHeadKind->setAlignment(Qt::AlignCenter);
    lblHeadKind->setMinimumWidth(lblHeadKind->fontMetrics().horizontalAdvance(QStringLiteral("received")) + 16);
    Label3 = whiteLabel(QStringLiteral("Label3"), QStringLiteral("Remarks"), FrameActionManager);
    lblHeadBudget = whiteLabel(QStringLiteral("lblHeadBudget"), QString(), FrameActionManager);
    lblHeadBudget->setToolTip(QStringLiteral("The chosen head's plan in this project: planned, spent so far and left"));
    txtTransactionRemarks = ui::TextBox(QStringLiteral("txtTransactionRemarks"), FrameActionManager);
    Label1->setBuddy(dtTransactionDate);
    Label2->setBuddy(cboTransactionHeads);
    Label3->setBuddy(txtTransactionRemarks);
    Label4->setBuddy(txtTransactionAmount);
    Frame4 = plainFrame(QStringLiteral("Frame4"), FrameActionManager);
    auto *f4 = new QHBoxLayout(Frame4);
    f4->setContentsMargins(0, 0, 0, 0);
    btnActionCancel = captionButton(QStringLiteral("btnActionCancel"), QStringLiteral("Cancel"),
                                    QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"), Frame4);
    cmdSave = captionButton(QStringLiteral("cmdSave"), QStringLiteral("Save"), QStyle::SP_DialogSaveButton,
                            QStringLiteral("Save"), Frame4);
    f4->addWidget(btnActionCancel);
    f4->addWidget(cmdSave);
    auto *head = new QHBoxLayout();
    head->setSpacing(2);
    head->addWidget(cboTransactionHeads, 1);
    head->addWidget(cmdAddHead);
    ed->addWidget(Label1, 0, 0);
    ed->addWidget(Label2, 0, 1);
    ed->addWidget(Label4, 0, 2);
    ed->addWidget(dtTransactionDate, 1, 0);
    ed->addLayout(head, 1, 1);
    ed->addWidget(txtTransactionAmount, 1, 2);
    ed->addWidget(lblHeadKind, 1, 3);
    ed->addWidget(Label3, 2, 0);
    // The plan's line takes the room there is and never widens the frame: the ledger's columns keep theirs.
    lblHeadBudget->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblHeadBudget->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ed->addWidget(lblHeadBudget, 2, 1, 1, 3);
    ed->addWidget(txtTransactionRemarks, 3, 0, 1, 2);
    ed->addWidget(Frame4, 3, 2, 1, 2);
    ed->setColumnStretch(1, 2);
    ed->setColumnStretch(2, 1);
    right->addWidget(FrameActionManager);
}

// The ledger grid with its Add, Edit, Delete and Export buttons.
void frmMainMenu::buildLedger(QVBoxLayout *right)
{
    auto *ledger = new QHBoxLayout();
    gdTansactionsList = new ui::Grid(QStringLiteral("gdTansactionsList"), FrameActionWindow);
    gdTansactionsList->SetCols(LedgerColumn::Count);
    for (const int amount : {LedgerColumn::AmountIn, LedgerColumn::AmountOut})
        gdTansactionsList->SetColAlignment(amount, Qt::AlignRight);
    gdTansactionsList->setAccessibleName(QStringLiteral("Ledger"));
    ledger->addWidget(gdTansactionsList, 1);
    auto *ledgerButtons = new QVBoxLayout();
    btnAddAction = captionButton(QStringLiteral("btnAddAction"), QStringLiteral("Add"), QStyle::SP_FileIcon,
                                 QStringLiteral("Add"), FrameActionWindow);
    btnEditAction = captionButton(QStringLiteral("btnEditAction"), QStringLiteral("Edit"),
                                  QStyle::SP_FileDialogDetailedView, QStringLiteral("Edit"), FrameActionWindow);
    btnDeleteAction = captionButton(QStringLiteral("btnDeleteAction"), QStringLiteral("Delete"), QStyle::SP_TrashIcon,
                                    QStringLiteral("Delete"), FrameActionWindow);
    btnExportXSL = captionButton(QStringLiteral("btnExportXSL"), QStringLiteral("Export"), QStyle::SP_DriveFDIcon,
                                 QStringLiteral("Export to Excel"), FrameActionWindow);
    btnPrint = ui::PictureButton(QStringLiteral("btnPrint"), QStyle::SP_DialogApplyButton, QStringLiteral("Print"),
                                 FrameActionWindow);
    btnPrint->setIcon(ui::DrawnPicture(ui::Drawn::Printer));
    ui::BindKey(btnPrint, QKeySequence(Qt::CTRL | Qt::Key_P));
    btnSavePdf = ui::PictureButton(QStringLiteral("btnSavePdf"), QStyle::SP_DialogSaveButton,
                                   QStringLiteral("Save as PDF"), FrameActionWindow);
    btnSavePdf->setIcon(ui::DrawnPicture(ui::Drawn::PdfPage));
    btnExportAs = ui::PictureButton(QStringLiteral("btnExportAs"), QStyle::SP_DialogSaveButton,
                                    QStringLiteral("Export as..."), FrameActionWindow);
    btnExportAs->setIcon(ui::DrawnPicture(ui::Drawn::Sheet));
    ui::BindKey(btnExportAs, QKeySequence(Qt::CTRL | Qt::Key_E));
    btnImport = ui::PictureButton(QStringLiteral("btnImport"), QStyle::SP_DialogOpenButton,
                                  QStringLiteral("Import entries\u2026"), FrameActionWindow);
    ui::BindKey(btnImport, QKeySequence(Qt::CTRL | Qt::Key_I));
    for (QPushButton *b : {btnAddAction, btnEditAction, btnDeleteAction})
        ledgerButtons->addWidget(b);
    // Export under Delete; Export as with Import beside it, then Print and Save as PDF, two pictures a row.
    ledgerButtons->addWidget(btnExportXSL);
    auto *exportButtons = new QHBoxLayout();
    exportButtons->addWidget(btnExportAs);
    exportButtons->addWidget(btnImport);
    ledgerButtons->addLayout(exportButtons);
    auto *reportButtons = new QHBoxLayout();
    reportButtons->addWidget(btnPrint);
    reportButtons->addWidget(btnSavePdf);
    ledgerButtons->addLayout(reportButtons);
    ledgerButtons->addStretch(1);
    ledger->addLayout(ledgerButtons);
    right->addLayout(ledger, 1);
}

// The totals received and spent, and the balance with its word.
void frmMainMenu::buildTotals(QVBoxLayout *right)
{
    auto *totals = new QHBoxLayout();
    Label14 = whiteLabel(QStringLiteral("Label14"), QStringLiteral("Received :"), FrameActionWindow);
    zeMoneyReceived = shownTotal(QStringLiteral("zeMoneyReceived"), FrameActionWindow);
    Label13 = whiteLabel(QStringLiteral("Label13"), QStringLiteral("Spent :"), FrameActionWindow);
    zeMoneySpent = shownTotal(QStringLiteral("zeMoneySpent"), FrameActionWindow);
    lblCost = whiteLabel(QStringLiteral("lblCost"), QStringLiteral("Cost :"), FrameActionWindow);
    makeBold(lblCost);
    lblCost->setMinimumWidth(70);
    lblCost->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtCashInWallet = shownTotal(QStringLiteral("txtCashInWallet"), FrameActionWindow);
    Label14->setBuddy(zeMoneyReceived);
    Label13->setBuddy(zeMoneySpent);
    totals->addWidget(Label14);
    totals->addWidget(zeMoneyReceived);
    totals->addWidget(Label13);
    totals->addWidget(zeMoneySpent);
    totals->addStretch(1);
    totals->addWidget(lblCost);
    totals->addWidget(txtCashInWallet);
    right->addLayout(totals);
}

void frmMainMenu::connectHandlers()
{
    connect(cmdCancel, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::cmdCancel_Click));
    connect(btnRefresh, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnRefresh_Click));
    connect(cmdPreview, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::cmdPreview_Click));
    connect(cboPreviewStatus, QOverload<int>::of(&QComboBox::activated), this, ui::Guarded(this, &frmMainMenu::cboPreviewStatus_Click));
    connect(gdPreviewList, &ui::Grid::Click, this, ui::Guarded(this, &frmMainMenu::gdPreviewList_Click));
    connect(txtFindTask, &QLineEdit::textChanged, this, ui::Guarded(this, &frmMainMenu::txtFindTask_Change));
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFindTask->setFocus(Qt::ShortcutFocusReason);
        txtFindTask->selectAll();
    });
    connect(btnDelTask, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnDelTask_Click));
    connect(btnEditTask, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnEditTask_Click));
    connect(cmdAddHead, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::cmdAddHead_Click));
    connect(btnExportXSL, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnExportXSL_Click));
    connect(btnExportAs, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnExportAs_Click));
    connect(btnImport, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnImport_Click));
    connect(btnOverview, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnOverview_Click));
    connect(btnPrint, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnPrint_Click));
    connect(btnSavePdf, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnSavePdf_Click));
    connect(btnShare, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnShare_Click));
    connect(btnHistory, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnHistory_Click));
    connect(btnAddAction, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnAddAction_Click));
    connect(cmdAdd, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::cmdAdd_Click));
    connect(btnEditAction, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnEditAction_Click));
    connect(gdTansactionsList, &ui::Grid::DblClick, this, ui::Guarded(this, &frmMainMenu::gdTansactionsList_DblClick));
    connect(cmdSave, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::cmdSave_Click));
    connect(btnActionCancel, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnActionCancel_Click));
    connect(btnDeleteAction, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::btnDeleteAction_Click));
    connect(cmdDelete, &QPushButton::clicked, this, ui::Guarded(this, &frmMainMenu::cmdDelete_Click));
    connect(cboTransactionHeads, QOverload<int>::of(&QComboBox::currentIndexChanged), this, ui::Guarded(this, &frmMainMenu::ShowHeadKind));
    connect(cboTransactionHeads, QOverload<int>::of(&QComboBox::currentIndexChanged), this, ui::Guarded(this, &frmMainMenu::ShowHeadBudget));
    // The two dates filter nothing, but a period that ends before it starts is said at once.
    for (ui::DatePicker *d : {dtDateFrom, dtDateTill})
        connect(d, &QDateEdit::editingFinished, this, ui::Guarded(this, &frmMainMenu::CheckPeriod));
    // Enter in the amount or the remarks saves, as the Save button would.
    for (QLineEdit *box : {txtTransactionAmount, txtTransactionRemarks})
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (cmdSave->isEnabled())
                cmdSave->click();  // runs Save as its own action
        });
}

// Escape ends an add or edit in progress; with the editor closed it closes the window.
void frmMainMenu::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && btnActionCancel->isEnabled()) {
        btnActionCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

// A date column is at least as wide as a whole date in the grid's font, so that the year is never cut.
void frmMainMenu::fitDateColumns()
{
    const auto fit = [](ui::Grid &g, int col) {
        const double dpi = g.screen() ? g.screen()->logicalDotsPerInchX() : 96.0;
        const int pixels = g.fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) + 14;
        g.SetColWidth(col, std::max(g.ColWidth(col), int(pixels * 1440.0 / dpi + 0.5)));
    };
    fit(*gdPreviewList, TaskColumn::StartDate);
    fit(*gdTansactionsList, LedgerColumn::Date);
}

void frmMainMenu::freshCls() { m_cls = std::make_unique<CTemplate>(); }

Variant frmMainMenu::decode(const Variant &value, const QString &codeField, const QString &table,
                            const QString &field)
{
    const QString code = value.toString();
    if (!code.isEmpty() && !IsWholeNumber(value))
        return {};
    // One load decodes one kind of name, so the table and the code make the key.
    const QString key = table + QLatin1Char('=') + code;
    const auto found = m_memo.constFind(key);
    if (found != m_memo.constEnd())
        return *found;
    const Variant answer = cls().CodeDecode(code, codeField, table, field);
    m_memo.insert(key, answer);
    return answer;
}

void frmMainMenu::trace(const QString &text)
{
    ui::Trace(AppTitle + QStringLiteral(">>frmMainMenu>") + text);
}

// ---- Start ----

void frmMainMenu::Form_Load()
{
    freshCls();
    LoadHeads();
    LoadGridHead();
    LoadGridHeadTransactions();
    fitDateColumns();
    const QDate today = ui::Today();
    dtDateFrom->SetValue(today);
    dtDateTill->SetValue(today);
    dtTransactionDate->SetValue(today);
    lookForShared();
    LoadInGrid(0);
    lblUserName->setText(CurrentUserId);
    gdPreviewList->SetCols(TaskColumn::Count);
}

void frmMainMenu::LoadHeads()
{
    freshCls();
    // The entry editor books with the heads of the ledger on show; the look-up list is the user's own.
    m_headsOf = LedgerUser();
    TryStep([&] { cls().LoadList(*cboTransactionHeads, QStringLiteral("defHeads"), QStringLiteral("Heads"),
                                 QStringLiteral("Id"), QStringLiteral("UserId"), QuoteSql(m_headsOf)); });
    TryStep([&] { cls().LoadList(*cboPreviewHeads, QStringLiteral("defHeads"), QStringLiteral("Heads"),
                                 QStringLiteral("Id"), QStringLiteral("UserId"), QuoteSql(CurrentUserId)); });
    loadHeadKinds();
    // The status filter keeps its choice when refilled; at first it shows "All", as the list does.
    const int status = qMax(0, cboPreviewStatus->ListIndex());
    TryStep([&] { cls().LoadList(*cboPreviewStatus, QStringLiteral("tblStatus"), QStringLiteral("StatusName"),
                                 QStringLiteral("StatusID"), QString(), QString()); });
    if (status < cboPreviewStatus->ListCount())
        cboPreviewStatus->SetListIndex(status);
}

void frmMainMenu::LoadGridHead() { WriteHeader(*gdPreviewList, kTaskColumns); }

void frmMainMenu::LoadInGrid(qint32 StatusID)
{
    freshCls();
    m_memo.clear();
    // The user's own projects, and those shared with them when there are any; the status filter
    // applies to both.
    const QString own = QStringLiteral("UserId=") + QuoteSql(CurrentUserId);
    QString sql = QStringLiteral("Select * from tblTasks Where ") +
                  (m_sharedWithMe ? QLatin1Char('(') + own + QStringLiteral(" Or ") + SharedWithCondition(CurrentUserId) +
                                        QLatin1Char(')')
                                  : own);
    if (StatusID > 1)
        sql += QStringLiteral(" And StatusID=") + QString::number(StatusID);
    sql += QStringLiteral(" Order by StartDate,CostUpToNow");

    // A query that cannot be run leaves the list with its header row only.
    std::shared_ptr<RowStream> rows;
    TryStep([&] { rows = std::make_shared<RowStream>(sql); });
    m_loadedStatus = StatusID;
    const bool loaded = FillRows(*gdPreviewList, rows,
                                 kTaskColumns, [this](int c, const Variant &v) {
                                     if (c == TaskColumn::Owner) {
                                         const QString owner = v.toString();
                                         return owner.compare(CurrentUserId, Qt::CaseInsensitive) == 0 ? QString()
                                                                                                       : owner;
                                     }
                                     if (c != TaskColumn::Status)
                                         return v.toString();
                                     return decode(v, QStringLiteral("StatusID"), QStringLiteral("tblStatus"),
                                                   QStringLiteral("StatusName"))
                                         .toString();
                                 }, TaskColumn::Status);
    // A reload keeps the list narrowed to what the search box holds.
    if (!txtFindTask->text().isEmpty())
        txtFindTask_Change();
    if (loaded) {
        BlockControls(true);
    } else {
        EmptyControls();
        BlockControls(false);
    }
}

void frmMainMenu::EmptyControls()
{
    gdTansactionsList->Clear();
    lblTaskNo->setText(QString());
    lblTaskName->setText(QString());
    btnPrint->setEnabled(false);
    btnSavePdf->setEnabled(false);
    btnExportAs->setEnabled(false);
    btnImport->setEnabled(false);
    lblHeadBudget->clear();
    // Nothing is on show: what the user may do is what they may do with their own.
    ownAccess();
    applyAccess();
}

void frmMainMenu::BlockControls(bool bStatus)
{
    Frame4->setEnabled(bStatus);
    Frame3->setEnabled(bStatus);
}

// Refresh and Preview also find the projects shared with the user since the list was loaded.
void frmMainMenu::btnRefresh_Click()
{
    lookForShared();
    LoadInGrid(0);
}

void frmMainMenu::cmdPreview_Click()
{
    lookForShared();
    LoadInGrid(0);
}

void frmMainMenu::txtFindTask_Change()
{
    gdPreviewList->Narrow(txtFindTask->text(), {TaskColumn::Id, TaskColumn::Name});
}

void frmMainMenu::cboPreviewStatus_Click()
{
    const int chosen = cboPreviewStatus->ListIndex();
    if (chosen < 0)
        return;
    try {
        LoadInGrid(cboPreviewStatus->ItemData(chosen));
    } catch (const ConnectionLost &) {
        // The list still shows the status it was loaded with: so does the filter.
        for (int i = 0; i < cboPreviewStatus->ListCount(); ++i)
            if (cboPreviewStatus->ItemData(i) == m_loadedStatus)
                cboPreviewStatus->SetListIndex(i);
        throw;
    }
}

// What a click on a project changes before and while its ledger is read: put back as it was when
// the database cannot be reached, so that no ledger shows under another project's number.
struct frmMainMenu::ShownProject {
    QString taskNo, taskName;
    ProjectAccess access;
    QString headsOf;
    std::vector<std::pair<QWidget *, bool>> enabled;
    std::vector<std::pair<QLineEdit *, QString>> totals;
    QString balanceWord;
};

frmMainMenu::ShownProject frmMainMenu::keepShownProject() const
{
    ShownProject kept{lblTaskNo->text(), lblTaskName->text(), m_access, m_headsOf, {}, {}, lblCost->text()};
    for (QWidget *w : std::initializer_list<QWidget *>{btnAddAction, btnEditAction, btnDeleteAction, cmdAdd, cmdDelete,
                                                       cmdSave, btnPrint, btnSavePdf, btnExportAs, btnImport, Frame3,
                                                       Frame4, FrameActionManager})
        kept.enabled.emplace_back(w, w->isEnabled());
    for (QLineEdit *box : {txtCashInWallet, zeMoneySpent, zeMoneyReceived})
        kept.totals.emplace_back(box, box->text());
    return kept;
}

void frmMainMenu::showProjectAgain(const ShownProject &kept)
{
    lblTaskNo->setText(kept.taskNo);
    lblTaskName->setText(kept.taskName);
    m_access = kept.access;
    m_headsOf = kept.headsOf;
    applyAccess();
    for (const auto &[w, on] : kept.enabled)
        w->setEnabled(on);
    for (const auto &[box, text] : kept.totals)
        box->setText(text);
    lblCost->setText(kept.balanceWord);
    // The project on show is the current row of the list again.
    ui::Grid &g = *gdPreviewList;
    for (int row = 1; !kept.taskNo.isEmpty() && row < g.Rows(); ++row)
        if (g.TextMatrix(row, TaskColumn::Id) == kept.taskNo) {
            g.SetRow(row);
            break;
        }
}

void frmMainMenu::gdPreviewList_Click()
{
    const ShownProject kept = keepShownProject();
    try {
        showClickedProject();
    } catch (const ConnectionLost &) {
        showProjectAgain(kept);
        throw;
    }
}

void frmMainMenu::showClickedProject()
{
    ui::Grid &g = *gdPreviewList;
    if (g.Row() >= 1) {
        QString taskNo;
        TryStep([&] {
            g.SetCol(TaskColumn::Id);
            taskNo = g.Text();
            lblTaskNo->setText(taskNo);
        });
        qint32 taskId = 0;
        TryStep([&] { taskId = ToLong(taskNo); });
        if (!takeAccess(taskId, g.TextMatrix(g.Row(), TaskColumn::Owner))) {
            trace(QStringLiteral("gdPreviewList_Click() "));
            return;
        }
        // A shared project books with its owner's heads; the user's own again with theirs.
        if (m_headsOf.compare(LedgerUser(), Qt::CaseSensitive) != 0)
            loadLedgerHeads();
        TryStep([&] { LoadGridHeadTransactions(); });
        fitDateColumns();
        TryStep([&] { LoadInGridTransactions(ToLong(taskNo)); });
        TryStep([&] {
            g.SetCol(TaskColumn::Name);
            lblTaskName->setText(g.Text());
        });
        btnAddAction->setEnabled(true);
        applyAccess();
    }
    trace(QStringLiteral("gdPreviewList_Click() "));
}

void frmMainMenu::btnDelTask_Click()
{
    trace(QStringLiteral("btnDelTask_Click()- Entering "));
    QString sql;
    ui::Grid &g = *gdPreviewList;
    if (g.Row() >= 1) {
        const int row = g.Row();
        qint32 taskId = 0;
        TryStep([&] { taskId = ToLong(g.TextMatrix(row, TaskColumn::Id)); });
        const QString taskName = g.TextMatrix(row, TaskColumn::Name);
        // A project shared with the user is its owner's to delete.
        const QString owner = g.TextMatrix(row, TaskColumn::Owner);
        if (!owner.isEmpty()) {
            ui::MsgBox(QStringLiteral("Only the owner, %1, can delete this project.").arg(owner), ui::Buttons::OKOnly,
                       ui::Icon::Exclamation, AppTitle);
            trace(QStringLiteral("btnDelTask_Click()- OUT- sql=)"));
            return;
        }
        const ui::Answer answer = ui::MsgBox(QStringLiteral("Want to delete this action '") + taskName + QStringLiteral("' ?"),
                                             ui::Buttons::YesNo, ui::Icon::Question, AppTitle, 2);
        if (answer == ui::Answer::Yes) {
            sql = QStringLiteral("Delete from tblTasks Where TaskID=") + QString::number(taskId);
            // The ledger of a task that is gone can take no more entries: nothing is on show.
            if (TryWrite([&] { cls().ExecuteSql(sql); }) && ShowsTask(taskId)) {
                ClearControls();
                EmptyControls();
                btnAddAction->setEnabled(false);
            }
        }
        LoadInGrid(0);
    }
    trace(QStringLiteral("btnDelTask_Click()- OUT- sql=") + sql + QLatin1Char(')'));
}

bool frmMainMenu::ShowsTask(qint32 taskId) const
{
    qint32 shown = 0;
    return TryStep([&] { shown = ToLong(lblTaskNo->text()); }) && shown == taskId;
}

void frmMainMenu::cmdCancel_Click() { accept(); }

void frmMainMenu::CheckPeriod()
{
    if (dtDateTill->Value() >= dtDateFrom->Value())
        return;
    dtDateTill->SetValue(dtDateFrom->Value());
    ui::MsgBox(QStringLiteral("Date Till is before Date From: it is set to Date From."), ui::Buttons::OKOnly,
               ui::Icon::Exclamation, AppTitle);
}
