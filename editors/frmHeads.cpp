#include "editors/frmHeads.h"

#include "data/MyFun.h"
#include "editors/EditorParts.h"
#include "editors/PickList.h"
#include "shell/frmHelp.h"
#include "ui/Action.h"
#include "ui/ListItems.h"
#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws a head's type at the right of its row, so that two heads of one name can be told apart.
class KindDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QString kind = index.data(frmHeads::KindRole).toString();
        QStyleOptionViewItem left(option);
        const int room = option.fontMetrics.horizontalAdvance(QStringLiteral("Expense")) + 12;
        if (!kind.isEmpty())
            left.rect.setRight(option.rect.right() - room);
        QStyledItemDelegate::paint(painter, left, index);
        if (kind.isEmpty())
            return;
        QRect mark(option.rect);
        mark.setLeft(option.rect.right() - room + 1);
        painter->save();
        painter->fillRect(mark, option.state & QStyle::State_Selected ? option.palette.highlight() : option.palette.base());
        QFont f = option.font;
        f.setItalic(true);
        painter->setFont(f);
        painter->setPen(option.state & QStyle::State_Selected ? option.palette.highlightedText().color()
                        : kind == QLatin1String("Income") ? ui::kCreditBackground : ui::kDebitBackground);
        painter->drawText(mark.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, kind);
        painter->restore();
    }
};

}  // namespace

frmHeads::frmHeads(std::function<void()> loadHeads, QWidget *parent)
    : EditorWindow(QStringLiteral("frmHeads"), QStringLiteral("Transaction Heads"), std::move(loadHeads), parent)
{
    lstHeads = new PickList(QStringLiteral("lstHeads"), this, [this] { lstHeads_Click(); });
    lstHeads->setAccessibleName(QStringLiteral("Transaction Heads"));
    lstHeads->setItemDelegate(new KindDelegate(lstHeads));

    Frame3 = ui::Frame(QStringLiteral("Frame3"), QString(), this);
    auto *buttons = new QHBoxLayout(Frame3);
    cmdAdd = ui::PictureButton(QStringLiteral("cmdAdd"), QStyle::SP_FileIcon, QStringLiteral("Add "), Frame3);
    cmdDel = ui::PictureButton(QStringLiteral("cmdDel"), QStyle::SP_TrashIcon, QStringLiteral("Delete"), Frame3);
    cmdSave = ui::PictureButton(QStringLiteral("cmdSave"), QStyle::SP_DialogSaveButton, QStringLiteral("Save"), Frame3);
    cmdCancel = ui::PictureButton(QStringLiteral("cmdCancel"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"), Frame3);
    for (QPushButton *b : {cmdAdd, cmdDel, cmdSave, cmdCancel})
        buttons->addWidget(b);
    buttons->addStretch(1);
    cmdSave->setDefault(true);  // Enter saves; Escape closes like the Close button

    Frame1 = ui::Frame(QStringLiteral("Frame1"), QString(), this);
    auto *fields = new QGridLayout(Frame1);
    txtDescription = ui::TextBox(QStringLiteral("txtDescription"), Frame1);
    cboType = new ui::ComboBox(QStringLiteral("cboType"), Frame1);
    Label2 = AddField(fields, 0, QStringLiteral("Label2"), QStringLiteral("Description"), txtDescription);
    Label3 = AddField(fields, 1, QStringLiteral("Label3"), QStringLiteral("Type"), cboType);
    fields->setColumnStretch(1, 1);
    // The type is stored as the entry's position: 0 income, 1 expense.
    for (const char *type : {"Income", "Expense"}) {
        cboType->AddItem(QString::fromLatin1(type));
        cboType->SetItemData(cboType->NewIndex(), cboType->NewIndex());
    }

    auto *grid = new QGridLayout(this);
    grid->addWidget(lstHeads, 0, 0, 3, 1);
    grid->addWidget(Frame3, 0, 1);
    grid->addWidget(Frame1, 1, 1);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    grid->setContentsMargins(12, 12, 12, 12);

    const QList<QWidget *> order{lstHeads, cmdAdd, cmdDel, cmdSave, cmdCancel, txtDescription, cboType};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    frmHelp::AddHelpKey(this, QStringLiteral("heads"));
    ui::PlaceWindow(this, QSize(520, 300));

    connect(cmdAdd, &QPushButton::clicked, this, ui::Guarded(this, &frmHeads::cmdAdd_Click));
    connect(cmdDel, &QPushButton::clicked, this, ui::Guarded(this, &frmHeads::cmdDel_Click));
    connect(cmdSave, &QPushButton::clicked, this, ui::Guarded(this, &frmHeads::cmdSave_Click));
    connect(cmdCancel, &QPushButton::clicked, this, ui::Guarded(this, &frmHeads::cmdCancel_Click));
    Form_Load();
}

void frmHeads::Form_Load()
{
    TryStep([&] { LoadInList(); });
    cboType->SetListIndex(0);
    Frame1->setEnabled(false);
    EditMode = false;
}

void frmHeads::LoadInList()
{
    m_cls = std::make_unique<CTemplate>();
    m_cls->LoadList(*lstHeads, QStringLiteral("defHeads"), QStringLiteral("Heads"), QStringLiteral("Id"),
                    QStringLiteral("UserId"), QuoteSql(CurrentUserId));
    showKinds();
}

void frmHeads::showKinds()
{
    QHash<qint32, bool> income;
    TryStep([&] {
        const std::shared_ptr<Recordset> rows =
            m_cls->GetResults(QStringLiteral("Select Id,PlusMinus from defHeads Where UserId=") + QuoteSql(CurrentUserId));
        if (rows)
            for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
                const Variant type = rows->Fields(1);
                income.insert(qint32(rows->Fields(0).toInt64()), !type.isNull() && type.toDouble() == 0.0);
            }
    });
    for (int i = 0; i < lstHeads->count(); ++i) {
        QListWidgetItem *it = lstHeads->item(i);
        const auto kind = income.constFind(lstHeads->ItemData(i));
        const QString text = kind == income.constEnd() ? QString() : *kind ? QStringLiteral("Income") : QStringLiteral("Expense");
        it->setData(KindRole, text);
        it->setToolTip(text.isEmpty() ? it->text() : it->text() + QStringLiteral(" (") + text + QLatin1Char(')'));
    }
}

bool frmHeads::isDuplicate(const QString &name, int type)
{
    // The list holds every head of the user with its type, as last read.
    const int self = EditMode ? lstHeads->ListIndex() : -1;
    const QString kind = type == 0 ? QStringLiteral("Income") : QStringLiteral("Expense");
    for (int i = 0; i < lstHeads->count(); ++i)
        if (i != self && lstHeads->item(i)->data(KindRole).toString() == kind &&
            lstHeads->List(i).trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void frmHeads::lstHeads_Click()
{
    if (!AskYesNo(QStringLiteral("Want to modify this action name ?"), QStringLiteral("Edit?"))) {
        Frame1->setEnabled(false);
        txtDescription->clear();
        EditMode = false;
        return;
    }
    const int current = lstHeads->ListIndex();
    txtDescription->setText(lstHeads->List(current));
    TryStep([&] {
        m_cls->ExecuteSql(QStringLiteral("Select * from defHeads where id=") + QString::number(lstHeads->ItemData(current)));
        const Variant type = SharedRecordset->Fields(QStringLiteral("plusminus"));
        bool ok = false;
        const std::int64_t position = type.toInt64(&ok);
        // A type that names no entry leaves the list as it was.
        if (ok && position >= 0 && position < cboType->ListCount())
            cboType->SetListIndex(int(position));
    });
    EditMode = true;
    Frame1->setEnabled(true);
    txtDescription->setFocus();
}

void frmHeads::cmdAdd_Click()
{
    txtDescription->clear();
    Frame1->setEnabled(true);
    txtDescription->setFocus();
    EditMode = false;
}

void frmHeads::cmdSave_Click()
{
    if (!Frame1->isEnabled() || IsBlank(txtDescription->text()))
        return;
    // Two heads of one name and one type could not be told apart in the ledger's list.
    if (isDuplicate(txtDescription->text(), cboType->ListIndex() == 0 ? 0 : 1)) {
        ui::MsgBox(QStringLiteral("An action head with this name and type exists already."), ui::Buttons::OKOnly,
                   ui::Icon::Exclamation, AppTitle);
        txtDescription->setFocus();
        return;
    }
    const QString fields = QStringLiteral("Heads<<>>PlusMinus<<>>UserId");
    const QString values =
        JoinList({QuoteSql(txtDescription->text()), QString::number(cboType->ListIndex()), QuoteSql(CurrentUserId)});
    TryStep([&] {
        // A head deleted while it was being edited leaves no current item, and nothing to update.
        if (EditMode && lstHeads->ListIndex() >= 0)
            m_cls->UpdateData(QStringLiteral("defHeads"), fields, values, QStringLiteral("Id"),
                              Variant(lstHeads->ItemData(lstHeads->ListIndex())), kListDelimiter);
        else if (!EditMode)
            m_cls->AddNew(QStringLiteral("defHeads"), fields, values, QStringLiteral("Id"), kListDelimiter);
    });
    // Another program held the file: the name stays, for Save again.
    if (m_cls->Busy())
        return;
    Frame1->setEnabled(false);
    txtDescription->clear();
    TryStep([&] { LoadInList(); });
}

void frmHeads::cmdDel_Click()
{
    int selected = -1;
    for (int i = 0; i < lstHeads->ListCount() && selected < 0; ++i)
        if (lstHeads->Selected(i))
            selected = i;
    if (selected >= 0 && AskYesNo(QStringLiteral("Want to delete this action name ?"), QStringLiteral("Delete?"))) {
        const QString id = QString::number(lstHeads->ItemData(selected));
        const std::shared_ptr<Recordset> users = m_cls->GetResults(
            QStringLiteral("SELECT DISTINCT (tblTasks.TaskName) FROM tblTransaction INNER JOIN tblTasks ON "
                           "tblTasks.TaskID=tblTransaction.TaskID WHERE tblTransaction.HeadId=") + id);
        if (!users)
            return;  // the in-use check could not be run (the data layer has said why): delete nothing
        QString names;
        const bool read = TryStep([&] {
            for (users->MoveFirst(); !users->Eof(); users->MoveNext())
                names += QLatin1Char('\'') + users->Fields(0).toString() + QStringLiteral("'\r\n");
        });
        if (!read)
            return;  // rows that cannot be read may name users: delete nothing
        if (!names.isEmpty()) {
            ui::MsgBox(QStringLiteral("The action is used in the project(s) : \r\n") + names +
                           QStringLiteral("\r\nFirst remove this action from the projects then delete it."),
                       ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        } else {
            TryWrite([&] { m_cls->ExecuteSql(QStringLiteral("Delete from defHeads where id=") + id); });
            lstHeads->RemoveItem(selected);
            txtDescription->clear();
            TryStep([&] { LoadInList(); });
        }
    }
    txtDescription->clear();
}

void frmHeads::cmdCancel_Click() { reject(); }
