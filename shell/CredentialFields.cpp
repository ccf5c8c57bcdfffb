#include "shell/CredentialFields.h"

#include "ui/Look.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPair>
#include <QPushButton>

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

QList<QLineEdit *> MakePasswordRows(QDialog *window, QGridLayout *grid, const QList<QPair<QString, QString>> &namesAndLabels)
{
    QList<QLineEdit *> boxes;
    for (const auto &[name, text] : namesAndLabels) {
        const int i = int(boxes.size());
        QLineEdit *box = ui::PasswordBox(name, window);
        box->setAccessibleName(text);
        ui::MakeInputYellow(box);
        QLabel *label = ui::Label(QStringLiteral("lblLabels"), text, window);
        label->setProperty("index", i);
        label->setBuddy(box);
        ui::MakeLabelWhite(label);
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
        if (i > 0)
            window->setTabOrder(boxes.back(), box);
        boxes << box;
    }
    grid->setContentsMargins(18, 18, 18, 14);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    return boxes;
}

void AddSaveAndClose(QDialog *window, QGridLayout *grid, int row, QWidget *last, QPushButton **save,
                     QPushButton **cancel)
{
    *save = ui::PictureButton(QStringLiteral("cmdSave"), QStyle::SP_DialogSaveButton, QStringLiteral("Save"), window);
    *cancel = ui::PictureButton(QStringLiteral("cmdCancel"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"), window);
    (*save)->setDefault(true);  // Enter saves; Escape closes like the Close button
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(*save);
    buttons->addWidget(*cancel);
    grid->addLayout(buttons, row, 0, 1, 2);
    grid->setRowStretch(row + 1, 1);
    window->setTabOrder(last, *save);
    window->setTabOrder(*save, *cancel);
}
