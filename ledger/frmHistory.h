#pragma once
// The changes of the project on show, newest first: when, who, what, from which value to which.
// Edit on an entry then History shows that entry's changes; with no project on show, the changes
// of all the user's projects, so that a deleted project can be brought back. Restore puts back a
// deleted entry, an entry's values before a change, or a deleted project.
#include "data/Sharing.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QDialog>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

// The history's rows over a vector: a table of 100,000 changes is one model, not a widget a cell.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { When, Who, What, From, To, ColumnCount };

    explicit HistoryModel(QObject *parent = nullptr);
    // Replaces every row; numbered: whether What names the project's number (several projects).
    void SetRows(std::vector<HistoryRow> rows, bool numbered);
    const std::vector<HistoryRow> &Rows() const { return m_rows; }

    // What a row changed, in words: "Changed Entry 12: AmountOut", "Deleted Project: TaskName",
    // "Added Member ann: Role".
    QString WhatOf(const HistoryRow &row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<HistoryRow> m_rows;
    QHash<qint64, QString> m_members;  // a membership event: the member it is about
    bool m_numbered = false;
};

class frmHistory : public QDialog {
    Q_OBJECT
public:
    // taskId 0: the changes of all the user's projects. entryId: an entry loaded with Edit, whose
    // changes are shown first. role: the user's role in the project (a viewer restores nothing).
    frmHistory(qint32 taskId, qint32 entryId, ProjectRole role, QWidget *parent = nullptr);

    QLabel *lblHistoryOf;
    QTableView *gdHistory;
    QCheckBox *chkAllChanges;  // "All changes of the project", while one entry's are shown
    QPushButton *cmdRestore;
    QPushButton *cmdClose;
    HistoryModel *Model() const { return m_model; }

    // Reads the changes again.
    void Load();
    // Restores what the chosen row's event changed, and says what came back.
    void cmdRestore_Click();
    // Whether the chosen row is one Restore can put back.
    bool Restorable(int row) const;

    // Whether anything was restored, and whether it was a project.
    bool Restored() const { return m_restored; }
    bool RestoredProject() const { return m_restoredProject; }

private:
    void chosenChanged();

    qint32 m_taskId;
    qint32 m_entryId;
    ProjectRole m_role;
    HistoryModel *m_model;
    bool m_restored = false;
    bool m_restoredProject = false;
};
