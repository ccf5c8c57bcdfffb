#pragma once
#include <QList>
#include <QPair>
#include <QString>

class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The "User Name" and "Password" rows that the login and user entry windows share: two white
// labels (both named lblLabels, told apart by their "index" property), txtUserName and
// txtPassword, laid out in the first two rows of a grid.
struct CredentialFields {
    QList<QLabel *> labels;
    QLineEdit *userName = nullptr;
    QLineEdit *password = nullptr;
};
CredentialFields MakeCredentialFields(QDialog *window, QGridLayout *grid);

// Password boxes in the rows of a grid from its top, each under a white label (all named
// lblLabels, told apart by "index") and with the label's text as its accessible name.
QList<QLineEdit *> MakePasswordRows(QDialog *window, QGridLayout *grid, const QList<QPair<QString, QString>> &namesAndLabels);

// The Save and Close picture buttons (cmdSave, cmdCancel) at the right of a grid's row, after the
// last box in tab order; Enter saves, Escape closes like Close. The grid's next row takes the rest.
void AddSaveAndClose(QDialog *window, QGridLayout *grid, int row, QWidget *last, QPushButton **save,
                     QPushButton **cancel);
