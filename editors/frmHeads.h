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
class ListBox;
}  // namespace ui

// The action heads editor: the logged-in user's heads, each income or expense. Heads are added,
// renamed, switched between income and expense, and deleted unless a ledger entry uses them.
class frmHeads : public EditorWindow {
    Q_OBJECT
public:
    // loadHeads is called once when the window closes (Form_Unload), whichever way it is closed.
    explicit frmHeads(std::function<void()> loadHeads = {}, QWidget *parent = nullptr);

    ui::ListBox *lstHeads;
    QGroupBox *Frame3;
    QPushButton *cmdAdd;
    QPushButton *cmdDel;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;
    QGroupBox *Frame1;
    QLabel *Label2;
    QLineEdit *txtDescription;
    QLabel *Label3;
    ui::ComboBox *cboType;

    // False: the frame holds a new head (Save inserts); true: the head of the list's current item.
    bool EditMode = false;

    void Form_Load();
    void LoadInList();
    void lstHeads_Click();
    void cmdAdd_Click();
    void cmdDel_Click();
    void cmdSave_Click();
    void cmdCancel_Click();

    // The item data role of lstHeads that holds a head's type as the list shows it: "Income" or
    // "Expense" (empty when it cannot be read).
    static constexpr int KindRole = Qt::UserRole + 1;

private:
    // Marks each head of the list with its type.
    void showKinds();
    // Whether another of the user's heads has this name (letter case aside) and this type.
    bool isDuplicate(const QString &name, int type);

    std::unique_ptr<CTemplate> m_cls;
};
