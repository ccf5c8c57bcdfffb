#include "shell/CredentialFields.h"

#include "ui/Look.h"

#include <QDialog>
#include <QGridLayout>

CredentialFields MakeCredentialFields(QDialog *window, QGridLayout *grid)
{
    CredentialFields f;
    f.labels << ui::Label(QStringLiteral("lblLabels"), QStringLiteral("User Name"), window)
             << ui::Label(QStringLiteral("lblLabels"), QStringLiteral("Password"), window);
    f.userName = ui::TextBox(QStringLiteral("txtUserName"), window);
    f.password = ui::PasswordBox(QStringLiteral("txtPassword"), window);
    f.userName->setAccessibleName(QStringLiteral("User Name"));
    f.password->setAccessibleName(QStringLiteral("Password"));
    QLineEdit *const boxes[] = {f.userName, f.password};
    for (int i = 0; i < 2; ++i) {
        f.labels[i]->setProperty("index", i);
        f.labels[i]->setBuddy(boxes[i]);
        ui::MakeLabelWhite(f.labels[i]);
        grid->addWidget(f.labels[i], i, 0);
        grid->addWidget(boxes[i], i, 1);
    }
    grid->setContentsMargins(18, 18, 18, 14);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    window->setTabOrder(f.userName, f.password);
    return f;
}
