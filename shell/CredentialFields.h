#pragma once
#include <QList>
#include <QString>

class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;

// The "User Name" and "Password" rows that the login and user entry windows share: two white
// labels (both named lblLabels, told apart by their "index" property), txtUserName and
// txtPassword, laid out in the first two rows of a grid.
struct CredentialFields {
    QList<QLabel *> labels;
    QLineEdit *userName = nullptr;
    QLineEdit *password = nullptr;
};
CredentialFields MakeCredentialFields(QDialog *window, QGridLayout *grid);
