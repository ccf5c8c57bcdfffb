#pragma once
#include "data/CTemplate.h"

#include <QDialog>
#include <QList>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

// The user entry window: the master user adds a user with a name and a password.
class frmUser : public QDialog {
    Q_OBJECT
public:
    explicit frmUser(QWidget *parent = nullptr);

    QList<QLabel *> lblLabels;
    QLineEdit *txtUserName;
    QLineEdit *txtPassword;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;

    void cmdSave_Click();
    void cmdCancel_Click();
    void saveOnServer(const QString &userName, const QString &password);

private:
    CTemplate &cls();
    std::unique_ptr<CTemplate> m_cls;
};
