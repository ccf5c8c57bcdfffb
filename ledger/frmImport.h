#pragma once
// Importing a bank statement into the project on show: the file is read, a table's columns are
// mapped, every line is previewed with what it will become (a head, money in or out, new or
// already there), and the ticked lines are written as one batch that can be undone.
#include "data/Imports.h"
#include "import/Readers.h"

#include <QDialog>
#include <QHash>
#include <functional>
#include <vector>

class ImportPreviewModel;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;

class frmImport : public QDialog {
    Q_OBJECT
public:
    // changed is called after every import and undo, for the ledger window to show the project anew.
    frmImport(qint32 taskId, const QString &taskName, std::function<void()> changed, QWidget *parent = nullptr);

    // Asks for a statement file (Qt's open dialog) and reads it; nothing happens when cancelled.
    void ChooseFile();
    // Reads a statement file into the preview; answers false (after telling the user) when it
    // cannot be read.
    bool OpenFile(const QString &path);

    QLabel *lblFile;
    QPushButton *btnChooseFile;

    // A table's mapping: shown for CSV files and workbooks only.
    QGroupBox *grpMapping;
    QComboBox *cboProfile;
    QComboBox *cboEncoding;
    QComboBox *cboDelimiter;
    QComboBox *cboSheet;
    QSpinBox *spnSkipRows;
    QCheckBox *chkHeaderRow;
    QComboBox *cboDateFormat;
    QComboBox *cboDecimalMark;
    QLineEdit *txtInWords;
    QLineEdit *txtOutWords;
    QLabel *lblMappingNote;
    QTableWidget *gdMapping;  // row 0: a role per column; below it the file's first rows
    QPushButton *btnSaveProfile;

    QTableView *gdImportPreview;
    ImportPreviewModel *Preview() const { return m_model; }
    QComboBox *cboSetHead;
    QPushButton *btnSetHead;
    QPushButton *btnRules;
    QLabel *lblImportTotals;
    QLabel *lblImportResult;
    QPushButton *cmdImport;
    QPushButton *cmdClose;

    QTableWidget *gdImports;  // the project's imports, newest first
    QPushButton *btnUndoImport;

    void cmdImport_Click();
    void btnUndoImport_Click();
    void btnSetHead_Click();
    void btnRules_Click();
    void btnSaveProfile_Click();

    // The texts of the roles a column can take, in the order of import::ColumnRole.
    static QStringList RoleNames();

private:
    void buildMapping();
    void loadHeads();
    void loadImports();
    // Reads the whole file with the mapping on show, then classifies and heads the lines.
    bool readAll();
    // Sample, proposal and controls for a table; then the profile saved for its shape, if any.
    bool sampleTable(bool propose);
    void showMapping();
    // What the user must still choose or set for the table, above its first rows.
    void showNotes();
    import::TabularMapping mappingShown() const;
    void mappingEdited();
    void reclassify();
    void updateTotals();

    qint32 m_taskId;
    QString m_taskName;
    std::function<void()> m_changed;
    ImportPreviewModel *m_model;

    QString m_path;
    QByteArray m_sha256;
    import::Format m_format = import::Format::Unknown;
    import::TabularSample m_sample;
    import::MappingProposal m_proposal;
    import::TabularMapping m_mapping;
    std::vector<import::Profile> m_profiles;
    bool m_filling = false;  // the mapping controls are being filled, not edited
    bool m_chooseDate = false;  // the dates read two ways and the user has not said which yet
    bool m_chooseMark = false;  // the same for the decimal mark
    QHash<qint32, QString> m_headNames;
    double m_received = 0;   // the project's totals before the import
    double m_spent = 0;
};

// The user's rules that choose a head from an entry's remarks, first match first.
class frmImportRules : public QDialog {
    Q_OBJECT
public:
    frmImportRules(const QHash<qint32, QString> &heads, QWidget *parent = nullptr);

    QTableWidget *gdRules;  // "Remarks contain", "Head"
    QPushButton *btnAddRule;
    QPushButton *btnRemoveRule;
    QPushButton *btnRuleUp;
    QPushButton *btnRuleDown;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;

    void AddRule(const QString &contains, qint32 headId);
    std::vector<import::HeadRule> Rules() const;
    // Saves the rules; answers false (after telling the user) when one is incomplete.
    bool Save();

private:
    void move(int by);
    QHash<qint32, QString> m_heads;
};
