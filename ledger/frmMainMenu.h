#pragma once
// The project ledger window: the user's projects (tasks) with a status filter on the left, the
// ledger of the selected project with its totals and balance on the right, and the editor of
// ledger entries above the ledger. The window is split by panel: frmMainMenu.cpp (the window and
// the task list), LedgerPanel.cpp (the ledger and its totals), ActionEditor.cpp (adding, editing
// and deleting entries) and SharedLedger.cpp (whose ledger is on show, what the user may do with
// it, and the Share and History windows).
#include "data/CTemplate.h"
#include "data/Sharing.h"
#include "ui/Window.h"

#include <QDialog>
#include <QHash>
#include <memory>

class QGroupBox;
class QHBoxLayout;
class QVBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QKeySequence;
class QPushButton;

namespace ui {
class ComboBox;
class DatePicker;
class Grid;
}  // namespace ui

class frmMainMenu : public QDialog {
    Q_OBJECT
public:
    explicit frmMainMenu(QWidget *parent = nullptr);
    ~frmMainMenu() override;

    // ---- Window and task list ----
    QLabel *Label9;
    ui::NameLabel *lblUserName;
    QPushButton *cmdCancel;
    QPushButton *btnRefresh;
    QPushButton *cmdPreview;
    QGroupBox *Frame1;
    QGroupBox *Frame2;
    QLabel *Label8;
    ui::ComboBox *cboPreviewStatus;
    ui::ComboBox *cboPreviewHeads;
    QLabel *Label7;
    ui::DatePicker *dtDateFrom;
    QLabel *Label5;
    ui::DatePicker *dtDateTill;
    QPushButton *btnDelTask;
    QPushButton *btnEditTask;
    QLineEdit *txtFindTask;  // narrows the task list to projects whose number or name holds the text
    ui::Grid *gdPreviewList;
    QLabel *lblQuickView;
    QPlainTextEdit *txtQuotes;
    QGroupBox *FrameHide1;

    // ---- Ledger ----
    QGroupBox *FrameActionWindow;
    QLabel *Label11;
    QLabel *lblTaskNo;
    QLabel *Label12;
    ui::NameLabel *lblTaskName;
    ui::Grid *gdTansactionsList;
    QLabel *Label13;
    QLineEdit *zeMoneySpent;
    QLabel *Label14;
    QLineEdit *zeMoneyReceived;
    QLabel *lblCost;
    QLineEdit *txtCashInWallet;
    QPushButton *btnExportXSL;
    QPushButton *btnExportAs;  // the ledger on show as .xlsx, CSV or .xls, to a file the user chooses
    QPushButton *btnImport;    // entries from a bank statement into the project on show
    QPushButton *btnPrint;     // prints the ledger on show
    QPushButton *btnSavePdf;   // writes it to a PDF file
    QPushButton *btnOverview;  // the projects overview
    QPushButton *btnShare;     // the members of the project on show (its owner only)
    QPushButton *btnHistory;   // the changes of the project on show (Ctrl+H)

    // ---- Entry editor ----
    QGroupBox *FrameActionManager;
    QLabel *Label1;
    ui::DatePicker *dtTransactionDate;
    QLabel *Label2;
    ui::ComboBox *cboTransactionHeads;
    QLabel *Label3;
    QLineEdit *txtTransactionRemarks;
    QLabel *Label4;
    QLineEdit *txtTransactionAmount;
    QLabel *lblHeadKind;  // whether the chosen head books money received or money spent
    QLabel *lblHeadBudget;  // the chosen head's plan in the project on show: planned, spent, left
    QPushButton *cmdAddHead;
    QGroupBox *Frame4;
    QPushButton *cmdSave;
    QPushButton *btnActionCancel;
    QPushButton *btnAddAction;
    QPushButton *btnEditAction;
    QPushButton *btnDeleteAction;
    QGroupBox *Frame3;
    QPushButton *cmdAdd;
    QPushButton *cmdDelete;

    // The editor's state: whether the next Save inserts, and the entry loaded last.
    bool bNewAction = false;
    qint32 ActionId = 0;

    // ---- Task list procedures and handlers ----
    void Form_Load();
    void LoadHeads();
    void LoadGridHead();
    void LoadInGrid(qint32 StatusID = 0);
    void EmptyControls();
    void BlockControls(bool bStatus);
    void btnRefresh_Click();
    void cmdPreview_Click();
    void cboPreviewStatus_Click();
    void gdPreviewList_Click();
    void btnDelTask_Click();
    void btnEditTask_Click();
    void cmdAddHead_Click();
    void cmdCancel_Click();
    // Shows only the projects whose number or name contains the text of txtFindTask.
    void txtFindTask_Change();

    // ---- Ledger procedures ----
    void LoadGridHeadTransactions();
    void LoadInGridTransactions(qint32 TaskDisplayByID);
    void btnExportXSL_Click();
    void btnExportAs_Click();
    void btnImport_Click();
    void btnOverview_Click();
    void btnPrint_Click();
    void btnSavePdf_Click();
    void btnShare_Click();
    void btnHistory_Click();

    // ---- Whose ledger is on show ----
    // The name the ledger's statements use: the owner's for a project shared with the user, the
    // user's own otherwise. A member's ledger is the owner's ledger.
    QString LedgerUser() const { return m_access.owner; }
    // What the user may do with the project on show (the user's own access when none is).
    const ProjectAccess &Access() const { return m_access; }

    // ---- Editor procedures and handlers ----
    void ClearControls();
    void EditAction(bool ask);
    void btnAddAction_Click();
    void cmdAdd_Click();
    void btnEditAction_Click();
    void gdTansactionsList_DblClick();
    void cmdSave_Click();
    void btnActionCancel_Click();
    void btnDeleteAction_Click();
    void cmdDelete_Click();
    // Shows in lblHeadKind whether the chosen head is an income or an expense.
    void ShowHeadKind();
    // Shows in lblHeadBudget the chosen head's plan in the project on show (the owner's plan for
    // a shared project); empty when no project or no head is chosen.
    void ShowHeadBudget();
    // Date Till before Date From: says so, and sets Date Till to Date From.
    void CheckPeriod();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    void buildTaskPanel(QVBoxLayout *root, QHBoxLayout *columns, QVBoxLayout *right);
    void buildEntryEditor(QVBoxLayout *right);
    void buildLedger(QVBoxLayout *right);
    void buildTotals(QVBoxLayout *right);
    // Whether the ledger on show is the given task's.
    bool ShowsTask(qint32 taskId) const;
    // Whether the ledger on show lists the entry with the given Id.
    bool ListsEntry(qint32 entryId) const;
    void startAdd();
    void fitDateColumns();
    void showSaved(qint32 entryId);
    void connectHandlers();
    // A click on a project: the project's ledger, totals and buttons, and what can put them back.
    struct ShownProject;
    ShownProject keepShownProject() const;
    void showProjectAgain(const ShownProject &kept);
    void showClickedProject();
    // The window's data access object, replaced by a fresh one before each main load.
    CTemplate &cls() { return *m_cls; }
    void freshCls();
    // A name look-up as the grids make it row after row. Within one load the same statement has
    // the same answer, so repeats are answered from a memo that the next load forgets; a missing
    // name is then reported once per load, not once per row.
    // The name of a code read from the file; an empty name, with no statement run, when the code
    // is not a whole number.
    Variant decode(const Variant &code, const QString &codeField, const QString &table, const QString &field);
    // One line on the debugger channel: AppTitle>>frmMainMenu>text.
    void trace(const QString &text);

    // Reads the type of each of the user's heads, for lblHeadKind and the head lists' tool tips.
    void loadHeadKinds();
    // Fills the entry editor's head list with the heads of the ledger's user (the owner's while a
    // shared project is on show).
    void loadLedgerHeads();

    // Takes the access to the task whose row was clicked (ownerCell: the list's Owner cell, empty
    // for the user's own); answers false when the project is shared with the user no longer.
    bool takeAccess(qint32 taskId, const QString &ownerCell);
    // The user's access to their own projects (and when no project is on show).
    void ownAccess();
    // Whether the user may book, change and delete entries of the project on show.
    bool mayBook() const;
    // Enables the controls that change the project on show as the user's role allows, each
    // disabled one saying why.
    void applyAccess();
    // Looks whether any project is shared with the user (the task list then lists those too).
    void lookForShared();

    std::unique_ptr<CTemplate> m_cls;
    QHash<qint32, bool> m_headIncome;  // head Id -> whether it is an income head
    qint32 m_loadedStatus = 0;  // the status the task list was last loaded with
    ProjectAccess m_access;     // the user's access to the project on show
    QString m_headsOf;          // whose heads the entry editor's list holds
    bool m_sharedWithMe = false;  // whether the last look found projects shared with the user
    QHash<QString, Variant> m_memo;
};
