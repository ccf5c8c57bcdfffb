#pragma once
#include "data/Backups.h"

#include <QDialog>

class QLabel;
class QPushButton;
namespace ui {
class Grid;
}

// Restore from Backup (master login, database file only): the backups kept beside the file,
// newest first, with what each holds; Restore puts the chosen one in place of the file.
class frmRestore : public QDialog {
    Q_OBJECT
public:
    explicit frmRestore(QWidget *parent = nullptr);

    ui::Grid *gdBackups;
    QLabel *lblFolder;
    QPushButton *cmdRestore;
    QPushButton *cmdClose;

    void cmdRestore_Click();
    void cmdClose_Click();
    // Reads the backups again and shows them.
    void LoadBackups();

private:
    QString databasePath() const;
    QList<BackupInfo> m_backups;
};
