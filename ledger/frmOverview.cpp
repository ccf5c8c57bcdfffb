#include "ledger/frmOverview.h"

frmOverview::frmOverview(qint32, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOverview"));
}
