#pragma once
#include "data/CTemplate.h"
#include "editors/EditorParts.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
namespace ui {
class ComboBox;
class DatePicker;
class ListBox;
}  // namespace ui

// The project/task editor: lists the logged-in user's tasks, creates new ones and changes the
// name, status, start date, planned cost and remarks of existing ones. It deletes nothing and
// never changes a task's cost up to now. Below the fields, the project's plan by heads: a planned
// amount per head of the user, typed in the grid, saved with the project as a new revision of
// the plan whenever it changed.
class frmTask : public EditorWindow {
    Q_OBJECT
public:
    // loadHeads is called once when the window closes (Form_Unload), whichever way it is closed.
    explicit frmTask(std::function<void()> loadHeads = {}, QWidget *parent = nullptr);

    ui::ListBox *lstTasks;
    QGroupBox *Frame1;
    QLabel *Label2;
    QLineEdit *txtDescription;
    QLabel *Label3;
    ui::ComboBox *cboStatus;
    QLabel *Label1;
    ui::DatePicker *dtTaskDateStart;
    QLabel *Label5;
    QLineEdit *zeCostPlanned;
    QLabel *Label7;
    QLineEdit *zeCostNow;
    QLabel *Label4;
    QLineEdit *zeRemarksTask;
    QGroupBox *Frame3;
    QPushButton *cmdAdd;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;

    // The plan by heads: one row per head (Head, Baseline, Planned, Spent so far), the Planned
    // cell typed into (empty: not planned); the sum of the plan beside the planned cost, a note
    // when the two differ, and which revision of the plan is current.
    QGroupBox *FrameBudget;
    QTableWidget *gdHeadBudget;
    QLabel *lblBudgetSum;
    QLabel *lblBudgetNote;
    QLabel *lblBudgetRevision;
    enum BudgetColumn { HeadColumn, BaselineColumn, PlannedColumn, SpentColumn, BudgetColumns };

    // False: the frame holds a new task (Save inserts); true: the task of the list's current item.
    bool EditMode = false;

    void Form_Load();
    void LoadInList();
    void lstTasks_Click();
    void cmdAdd_Click();
    void cmdSave_Click();
    void cmdCancel_Click();

private:
    void ClearControls();
    // Shows one field of the chosen task; a failure or a null value leaves the control as it was.
    void ShowField(const char *column, const std::function<void(const Variant &)> &show);

    // ---- The plan by heads (TaskBudget.cpp) ----
    void buildBudget(QGridLayout *fields);
    // Shows the plan of the task (0: a new task, the user's heads all unplanned).
    void LoadBudget(std::int32_t taskId);
    void ClearBudget();
    // The sum of the Planned cells beside the planned cost, and the note when they differ; a
    // cell that is no amount is marked.
    void ShowBudgetSum();
    // The plan as typed. A cell that is no amount is said in a box and gets the focus: false.
    bool ReadPlan(std::map<std::int32_t, double> *plan);
    // Saves the plan of the task saved just now when it differs from the one shown; answers
    // false (the user told) when it could not be saved.
    bool SavePlan(std::int32_t taskId, const std::map<std::int32_t, double> &plan);

    std::unique_ptr<CTemplate> m_cls;
    std::map<std::int32_t, double> m_loadedPlan;  // the plan as read, to tell whether it changed
    bool m_marking = false;  // while cells are marked, their changes are not looked at
    std::shared_ptr<Recordset> m_task;
};
