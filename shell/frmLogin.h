#pragma once
#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;

// The login dialog: keyboard-driven, no buttons. Enter moves on, Enter in the password box
// logs in, Escape ends the program.
class frmLogin : public QDialog {
    Q_OBJECT
public:
    explicit frmLogin(QWidget *parent = nullptr);

    QList<QLabel *> lblLabels;
    QLineEdit *txtUserName;
    QLineEdit *txtPassword;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The dialog's own key handling, which sees every key before the boxes do.
    bool Form_KeyDown(QKeyEvent *event, QWidget *source);
    void txtPassword_KeyPress();
    void LoginSucceeded(const QString &userId);
    void serverLogin(const QString &userName, const QString &password);
    void refused();
};
