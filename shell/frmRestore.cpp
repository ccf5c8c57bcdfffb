#include "shell/frmRestore.h"

#include "data/MyFun.h"
#include "shell/frmHelp.h"
#include "ui/Action.h"
#include "ui/Grid.h"
#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Column { colMade, colSize, colProjects, colEntries, colNote, kColumns };

QString shownSize(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString shownTime(const QDateTime &t) { return t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")); }

}  // namespace

frmRestore::frmRestore(QWidget *parent) : QDialog(parent)
{
    ui::NameDialog(this, QStringLiteral("frmRestore"), QStringLiteral("Restore from Backup"));
    ui::ApplyBackground(this);
    auto *layout = new QVBoxLayout(this);
    lblFolder = ui::Label(QStringLiteral("lblFolder"), QString(), this);
    lblFolder->setWordWrap(true);
    ui::MakeLabelWhite(lblFolder);
    layout->addWidget(lblFolder);
    gdBackups = new ui::Grid(QStringLiteral("gdBackups"), this);
    gdBackups->setAccessibleName(QStringLiteral("Backups"));
    layout->addWidget(gdBackups, 1);
    cmdRestore = ui::CaptionButton(QStringLiteral("cmdRestore"), QStyle::SP_BrowserReload, QStringLiteral("Restore"),
                                   QStringLiteral("Replace the database with the chosen backup"), this);
    cmdClose = ui::CaptionButton(QStringLiteral("cmdClose"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"),
                                 QStringLiteral("Close this window"), this);
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    connect(cmdRestore, &QPushButton::clicked, this, ui::Guarded(this, &frmRestore::cmdRestore_Click));
    connect(cmdClose, &QPushButton::clicked, this, &frmRestore::cmdClose_Click);
    frmHelp::AddHelpKey(this, QStringLiteral("backups"));
    ui::PlaceWindow(this, QSize(640, 360));
    LoadBackups();
}

QString frmRestore::databasePath() const
{
    return SharedConnection.IsOpen() ? SharedConnection.Where()
                                     : ui::AppPath() + QLatin1Char('/') + QLatin1String(kDatabaseFileName);
}

void frmRestore::LoadBackups()
{
    m_backups = ListBackups(databasePath(), true);
    lblFolder->setText(QStringLiteral("Backups in %1").arg(BackupFolderOf(databasePath())));
    ui::Grid::Fill fill(*gdBackups);
    gdBackups->Clear();
    gdBackups->SetCols(kColumns);
    gdBackups->SetRows(int(m_backups.size()) + 1);
    const char *const titles[] = {"Made", "Size", "Projects", "Entries", "Note"};
    const int widths[] = {2600, 1300, 1200, 1200, 2400};
    for (int c = 0; c < kColumns; ++c) {
        gdBackups->SetTextMatrix(0, c, QString::fromLatin1(titles[c]));
        gdBackups->SetColWidth(c, widths[c]);
    }
    for (int c : {colSize, colProjects, colEntries})
        gdBackups->SetColAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    for (int i = 0; i < m_backups.size(); ++i) {
        const BackupInfo &b = m_backups[i];
        gdBackups->SetTextMatrix(i + 1, colMade, shownTime(b.made));
        gdBackups->SetTextMatrix(i + 1, colSize, shownSize(b.size));
        if (b.problem.isEmpty()) {
            gdBackups->SetTextMatrix(i + 1, colProjects, QString::number(b.projects));
            gdBackups->SetTextMatrix(i + 1, colEntries, QString::number(b.entries));
        } else {
            gdBackups->SetTextMatrix(i + 1, colNote, QStringLiteral("Cannot be read: %1").arg(b.problem));
        }
    }
    if (!m_backups.isEmpty())
        gdBackups->SetRow(1);
    cmdRestore->setEnabled(!m_backups.isEmpty());
}

void frmRestore::cmdRestore_Click()
{
    const int row = gdBackups->Row();
    if (row < 1 || row > m_backups.size()) {
        ui::MsgBox(QStringLiteral("Choose the backup to restore."), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return;
    }
    const BackupInfo chosen = m_backups[row - 1];
    if (ui::MsgBox(QStringLiteral("Replace the database with the backup of %1? The current database is backed up first.")
                       .arg(shownTime(chosen.made)),
                   ui::Buttons::YesNo, ui::Icon::Question, AppTitle, 2) != ui::Answer::Yes)
        return;
    SharedRecordset.reset();
    const RestoreResult result = RestoreBackup(chosen.path, databasePath(), &SharedConnection);
    const ui::Icon icon = result.outcome == RestoreOutcome::Restored ? ui::Icon::Information
                          : result.outcome == RestoreOutcome::InUse  ? ui::Icon::Exclamation
                                                                     : ui::Icon::Critical;
    ui::MsgBox(result.message, ui::Buttons::OKOnly, icon, AppTitle);
    LoadBackups();
}

void frmRestore::cmdClose_Click() { reject(); }
