#pragma once
// The members of one project and their roles, changed by its owner: a viewer reads the project's
// ledger, an editor also books, changes and deletes its entries.
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class frmShare : public QDialog {
    Q_OBJECT
public:
    frmShare(qint32 taskId, const QString &taskName, QWidget *parent = nullptr);

    QLabel *lblShareOf;
    QTableWidget *gdMembers;  // name, role
    QLabel *lblMemberName;
    QLineEdit *txtMemberName;
    QComboBox *cboMemberRole;  // "Viewer", "Editor"
    QPushButton *cmdAddMember;
    QPushButton *cmdRemoveMember;
    QPushButton *cmdClose;

    // Shares the project with the user named in txtMemberName in the chosen role (a member's role
    // changes); a name that is no user is refused with a box.
    void cmdAddMember_Click();
    // Ends the membership chosen in the grid, after asking.
    void cmdRemoveMember_Click();
    // Reads the members again.
    void LoadMembers();

private:
    qint32 m_taskId;
};
