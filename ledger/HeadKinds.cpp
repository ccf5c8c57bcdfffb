// The kind of each action head on the ledger window: whether booking under it records money
// received or money spent, shown beside the amount and in the head lists' tool tips, so that an
// entry is not booked under a head of the wrong kind unnoticed.
#include "data/MyFun.h"
#include "ledger/Steps.h"
#include "ledger/frmMainMenu.h"
#include "ui/ListItems.h"
#include "ui/Look.h"

#include <QLabel>

void frmMainMenu::loadHeadKinds()
{
    m_headIncome.clear();
    // The heads of the ledger on show, and the user's own for the look-up list when those differ.
    QStringList owners{m_headsOf};
    if (m_headsOf.compare(CurrentUserId, Qt::CaseInsensitive) != 0)
        owners << CurrentUserId;
    for (const QString &owner : owners)
        TryStep([&] {
            const std::shared_ptr<Recordset> rows = cls().GetResults(
                QStringLiteral("Select Id,PlusMinus from defHeads Where UserId=") + QuoteSql(owner));
            if (!rows)
                return;
            for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
                const Variant type = rows->Fields(1);
                // As Save books it: a type of 0 is money received, any other money spent.
                m_headIncome.insert(qint32(rows->Fields(0).toInt64()), !type.isNull() && type.toDouble() == 0.0);
            }
        });
    for (ui::ComboBox *list : {cboTransactionHeads, cboPreviewHeads})
        for (int i = 0; i < list->ListCount(); ++i) {
            const auto kind = m_headIncome.constFind(list->ItemData(i));
            list->setItemData(i, kind == m_headIncome.constEnd() ? QVariant()
                                 : *kind ? QVariant(QStringLiteral("Income: an entry under this head is money received"))
                                         : QVariant(QStringLiteral("Expense: an entry under this head is money spent")),
                              Qt::ToolTipRole);
        }
    ShowHeadKind();
}

void frmMainMenu::ShowHeadKind()
{
    const int chosen = cboTransactionHeads->ListIndex();
    const auto kind = chosen < 0 ? m_headIncome.constEnd() : m_headIncome.constFind(cboTransactionHeads->ItemData(chosen));
    if (kind == m_headIncome.constEnd()) {
        lblHeadKind->clear();
        lblHeadKind->setToolTip(QString());
        lblHeadKind->setStyleSheet(QString());
        return;
    }
    const QColor background = *kind ? ui::kCreditBackground : ui::kDebitBackground;
    lblHeadKind->setText(*kind ? QStringLiteral("received") : QStringLiteral("spent"));
    lblHeadKind->setToolTip(*kind ? QStringLiteral("The chosen head is an income: the amount is booked as received")
                                  : QStringLiteral("The chosen head is an expense: the amount is booked as spent"));
    lblHeadKind->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 3px; padding: 2px 6px; }")
                                   .arg(ui::kLabelText.name(), background.name()));
}
