#pragma once
#include "data/CTemplate.h"
#include "editors/EditorParts.h"

#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace ui {
class ComboBox;
class DatePicker;
class ListBox;
}  // namespace ui

// The project/task editor: lists the logged-in user's tasks, creates new ones and changes the
// name, status, start date, planned cost and remarks of existing ones. It deletes nothing and
// never changes a task's cost up to now.
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

    std::unique_ptr<CTemplate> m_cls;
    std::shared_ptr<Recordset> m_task;
};
