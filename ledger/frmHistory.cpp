#include "ledger/frmHistory.h"

#include "data/MyFun.h"
#include "ui/Action.h"
#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString kEntries = QStringLiteral("tblTransaction");
const QString kProjects = QStringLiteral("tblTasks");
const QString kMembers = QStringLiteral("tblMembers");
const QString kHeads = QStringLiteral("defHeads");
const QString kDeleted = QStringLiteral("Deleted");
const QString kChanged = QStringLiteral("Changed");

// Names as the engines give them back: a server may fold them to lower case.
bool same(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

// ---- The model ----

HistoryModel::HistoryModel(QObject *parent) : QAbstractTableModel(parent) {}

void HistoryModel::SetRows(std::vector<HistoryRow> rows, bool numbered)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_numbered = numbered;
    m_members.clear();
    for (const HistoryRow &r : m_rows)
        if (same(r.table, kMembers) && same(r.column, QStringLiteral("UserId")))
            m_members.insert(r.event, r.newValue.isEmpty() ? r.oldValue : r.newValue);
    endResetModel();
}

QString HistoryModel::WhatOf(const HistoryRow &row) const
{
    QString what;
    if (same(row.table, kEntries))
        what = QStringLiteral("Entry %1: %2").arg(row.rowKey).arg(row.column);
    else if (same(row.table, kProjects))
        what = (m_numbered ? QStringLiteral("Project %1: %2").arg(row.taskId) : QStringLiteral("Project: %1"))
                   .arg(row.column);
    else if (same(row.table, kMembers))
        what = QStringLiteral("Member %1").arg(m_members.value(row.event)) +
               (same(row.column, QStringLiteral("UserId")) ? QString() : QStringLiteral(": ") + row.column);
    else if (same(row.table, kHeads))
        what = QStringLiteral("Head %1: %2").arg(row.rowKey).arg(row.column);
    else
        what = QStringLiteral("%1 %2: %3").arg(row.table).arg(row.rowKey).arg(row.column);
    return row.kind + QLatin1Char(' ') + what;
}

int HistoryModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int HistoryModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()) || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const HistoryRow &r = m_rows[size_t(index.row())];
    switch (index.column()) {
    case When: return r.changedAt.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case Who: return r.changedBy;
    case What: return WhatOf(r);
    case From: return r.oldValue;
    case To: return r.newValue;
    default: return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const titles[] = {"When", "Who", "What", "From", "To"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(titles[section]);
    return {};
}

// ---- The window ----

frmHistory::frmHistory(qint32 taskId, qint32 entryId, ProjectRole role, QWidget *parent)
    : QDialog(parent), m_taskId(taskId), m_entryId(entryId), m_role(role)
{
    ui::NameDialog(this, QStringLiteral("frmHistory"),
                   taskId != 0 ? QStringLiteral("History of project %1").arg(taskId) : QStringLiteral("History of your projects"));
    ui::ApplyBackground(this);
    auto *layout = new QVBoxLayout(this);
    lblHistoryOf = ui::Label(QStringLiteral("lblHistoryOf"), QString(), this);
    ui::MakeLabelWhite(lblHistoryOf);
    layout->addWidget(lblHistoryOf);

    m_model = new HistoryModel(this);
    gdHistory = new QTableView(this);
    gdHistory->setObjectName(QStringLiteral("gdHistory"));
    gdHistory->setAccessibleName(QStringLiteral("Changes"));
    gdHistory->setModel(m_model);
    gdHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    gdHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    gdHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gdHistory->setWordWrap(false);
    // Fixed row heights and column widths: nothing measures a hundred thousand rows.
    gdHistory->verticalHeader()->hide();
    gdHistory->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gdHistory->verticalHeader()->setDefaultSectionSize(gdHistory->fontMetrics().height() + 6);
    gdHistory->setColumnWidth(HistoryModel::When, gdHistory->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16);
    gdHistory->setColumnWidth(HistoryModel::Who, 90);
    gdHistory->setColumnWidth(HistoryModel::What, 220);
    gdHistory->setColumnWidth(HistoryModel::From, 140);
    gdHistory->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(gdHistory, 1);

    auto *bottom = new QHBoxLayout();
    chkAllChanges = new QCheckBox(QStringLiteral("&All changes of the project"), this);
    chkAllChanges->setObjectName(QStringLiteral("chkAllChanges"));
    {
        QPalette p = chkAllChanges->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        chkAllChanges->setPalette(p);
    }
    chkAllChanges->setVisible(entryId != 0);
    cmdRestore = ui::CaptionButton(QStringLiteral("cmdRestore"), QStyle::SP_BrowserReload, QStringLiteral("Restore"),
                                   QStringLiteral("Put back the deleted entry or project, or the entry's values before "
                                                  "the change"), this);
    cmdClose = ui::CaptionButton(QStringLiteral("cmdClose"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"),
                                 QStringLiteral("Close"), this);
    bottom->addWidget(chkAllChanges);
    bottom->addStretch(1);
    bottom->addWidget(cmdRestore);
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);
    for (QPushButton *b : {cmdRestore, cmdClose})
        b->setAutoDefault(false);
    ui::ExplainWhenDisabled(cmdRestore, m_role == ProjectRole::Viewer
                                            ? QStringLiteral("You can view this project only: a viewer restores nothing")
                                            : QStringLiteral("Choose a deleted entry, a changed entry or a deleted "
                                                             "project first"));

    connect(chkAllChanges, &QCheckBox::toggled, this, ui::Guarded(this, &frmHistory::Load));
    connect(cmdRestore, &QPushButton::clicked, this, ui::Guarded(this, &frmHistory::cmdRestore_Click));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(gdHistory->selectionModel(), &QItemSelectionModel::currentRowChanged, this, ui::Guarded(this, &frmHistory::chosenChanged));
    Load();
    resize(820, 480);
}

void frmHistory::Load()
{
    const qint32 entry = chkAllChanges->isChecked() ? 0 : m_entryId;
    std::vector<HistoryRow> rows;
    if (m_taskId != 0)
        Reported([&] { rows = HistoryOf(m_taskId, entry); });
    else
        Reported([&] { rows = HistoryOfOwnProjects(); });
    const int count = int(rows.size());
    m_model->SetRows(std::move(rows), m_taskId == 0);
    lblHistoryOf->setText(
        (m_taskId == 0 ? QStringLiteral("The changes of all your projects")
         : entry != 0  ? QStringLiteral("The changes of entry %1 of project %2").arg(entry).arg(m_taskId)
                       : QStringLiteral("The changes of project %1").arg(m_taskId)) +
        QStringLiteral(", newest first: %1").arg(count));
    chosenChanged();
}

bool frmHistory::Restorable(int row) const
{
    const std::vector<HistoryRow> &rows = m_model->Rows();
    if (m_role == ProjectRole::Viewer || row < 0 || row >= int(rows.size()))
        return false;
    const HistoryRow &r = rows[size_t(row)];
    if (same(r.table, kEntries))
        return same(r.kind, kDeleted) || same(r.kind, kChanged);
    // A project is its owner's to bring back.
    return same(r.table, kProjects) && same(r.kind, kDeleted) && m_role == ProjectRole::Owner;
}

void frmHistory::chosenChanged()
{
    cmdRestore->setEnabled(Restorable(gdHistory->currentIndex().row()));
}

void frmHistory::cmdRestore_Click()
{
    const int row = gdHistory->currentIndex().row();
    if (!Restorable(row))
        return;
    const HistoryRow r = m_model->Rows()[size_t(row)];
    std::int64_t key = 0;
    if (!Reported([&] { key = Restore(r.event); }))
        return;
    m_restored = true;
    QString said;
    if (same(r.table, kProjects)) {
        m_restoredProject = true;
        said = QStringLiteral("Project %1 is back.").arg(key);
    } else if (same(r.kind, kChanged)) {
        said = QStringLiteral("Entry %1 has its values from before the change again.").arg(r.rowKey);
    } else if (key == r.rowKey) {
        said = QStringLiteral("Entry %1 is back in the ledger.").arg(r.rowKey);
    } else {
        said = QStringLiteral("Entry %1 is back in the ledger as entry %2: its number had been taken.")
                   .arg(r.rowKey).arg(key);
    }
    ui::MsgBox(said, ui::Buttons::OKOnly, ui::Icon::Information, AppTitle);
    Load();
}
