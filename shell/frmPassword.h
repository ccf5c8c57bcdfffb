#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Change Password: the logged-in user (the master login included) replaces their password,
// typing the old one once and the new one twice.
class frmPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmPassword(QWidget *parent = nullptr);

    QLineEdit *txtOldPassword;
    QLineEdit *txtNewPassword;
    QLineEdit *txtRepeatPassword;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;

    void cmdSave_Click();
    void cmdCancel_Click();

private:
    bool oldPasswordMatches(const QString &old);
    bool store(const QString &password);
    void refuse(const QString &why, QLineEdit *focus);
};
