#include "ledger/frmMainMenu.h"

#include "ui/Look.h"

#include <QVBoxLayout>

frmMainMenu::frmMainMenu(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMainMenu"));
    setWindowTitle(QString());
    ui::ApplyBackground(this);
    resize(900, 620);
    auto *layout = new QVBoxLayout(this);
    QLabel *wait = ui::Label(QStringLiteral("lblComingSoon"), tr("The project ledger opens here."), this);
    ui::MakeLabelWhite(wait);
    wait->setAlignment(Qt::AlignCenter);
    layout->addWidget(wait);
}
