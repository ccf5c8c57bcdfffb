#include "ledger/frmImport.h"

#include "data/MyFun.h"
#include "data/RowStream.h"
#include "data/Variant.h"
#include "ledger/ImportPreview.h"
#include "shell/frmHelp.h"
#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace import;

namespace {

const char *const kRoleNames[] = {"Ignore", "Date", "Amount", "Money in", "Money out", "Debit/credit mark",
                                  "Remarks", "Bank id"};

QStringList wordsOf(const QString &text)
{
    QStringList words;
    for (const QString &w : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!w.trimmed().isEmpty())
            words << w.trimmed();
    return words;
}

QLabel *label(const QString &name, const QString &text, QWidget *buddy, QWidget *parent)
{
    QLabel *l = ui::Label(name, text, parent);
    l->setBuddy(buddy);
    return l;
}

QString delimiterName(QChar c)
{
    if (c == QLatin1Char('\t'))
        return QStringLiteral("Tab");
    return QString(c);
}

}  // namespace

QStringList frmImport::RoleNames()
{
    QStringList names;
    for (const char *n : kRoleNames)
        names << QString::fromLatin1(n);
    return names;
}

frmImport::frmImport(qint32 taskId, const QString &taskName, std::function<void()> changed, QWidget *parent)
    : QDialog(parent), m_taskId(taskId), m_taskName(taskName), m_changed(std::move(changed))
{
    ui::NameDialog(this, QStringLiteral("frmImport"), QStringLiteral("Import entries into %1").arg(taskName));
    ui::ApplyBackground(this);
    auto *layout = new QVBoxLayout(this);

    auto *fileRow = new QHBoxLayout();
    lblFile = ui::Label(QStringLiteral("lblFile"), QStringLiteral("Choose a statement file to import."), this);
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnChooseFile = ui::CaptionButton(QStringLiteral("btnChooseFile"), QStyle::SP_DialogOpenButton,
                                      QStringLiteral("Choose file..."),
                                      QStringLiteral("Choose a statement file: CSV, Excel, OFX, QFX, QIF, CAMT.053 or MT940 (Ctrl+O)"),
                                      this);
    fileRow->addWidget(lblFile, 1);
    fileRow->addWidget(btnChooseFile);
    layout->addLayout(fileRow);

    buildMapping();
    layout->addWidget(grpMapping);

    m_model = new ImportPreviewModel(this);
    gdImportPreview = new QTableView(this);
    gdImportPreview->setObjectName(QStringLiteral("gdImportPreview"));
    gdImportPreview->setAccessibleName(QStringLiteral("Statement lines"));
    gdImportPreview->setModel(m_model);
    gdImportPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    gdImportPreview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gdImportPreview->verticalHeader()->hide();
    gdImportPreview->verticalHeader()->setDefaultSectionSize(gdImportPreview->fontMetrics().height() + 6);
    gdImportPreview->horizontalHeader()->setSectionResizeMode(ImportPreviewModel::Remarks, QHeaderView::Stretch);
    gdImportPreview->horizontalHeader()->setSectionResizeMode(ImportPreviewModel::Status, QHeaderView::Interactive);
    gdImportPreview->setColumnWidth(ImportPreviewModel::Tick, 60);
    gdImportPreview->setColumnWidth(ImportPreviewModel::Line, 50);
    gdImportPreview->setColumnWidth(ImportPreviewModel::Date, 90);
    gdImportPreview->setColumnWidth(ImportPreviewModel::Head, 150);
    gdImportPreview->setColumnWidth(ImportPreviewModel::MoneyIn, 90);
    gdImportPreview->setColumnWidth(ImportPreviewModel::MoneyOut, 90);
    gdImportPreview->setColumnWidth(ImportPreviewModel::Status, 220);
    // Space ticks or unticks every selected row at once.
    auto *toggle = new QShortcut(QKeySequence(Qt::Key_Space), gdImportPreview, nullptr, nullptr, Qt::WidgetShortcut);
    connect(toggle, &QShortcut::activated, this, [this] {
        const QModelIndexList rows = gdImportPreview->selectionModel()->selectedRows();
        if (rows.isEmpty())
            return;
        const bool tick = !m_model->Rows()[size_t(rows.first().row())].ticked;
        for (const QModelIndex &r : rows)
            m_model->setData(m_model->index(r.row(), ImportPreviewModel::Tick), tick ? Qt::Checked : Qt::Unchecked,
                             Qt::CheckStateRole);
    });

    auto *headRow = new QHBoxLayout();
    cboSetHead = new QComboBox(this);
    cboSetHead->setObjectName(QStringLiteral("cboSetHead"));
    cboSetHead->setAccessibleName(QStringLiteral("Head for the selected lines"));
    ui::MakeInputYellow(cboSetHead);
    btnSetHead = ui::CaptionButton(QStringLiteral("btnSetHead"), QStyle::SP_ArrowLeft, QStringLiteral("Set head"),
                                   QStringLiteral("Give the selected lines this head"), this);
    btnRules = ui::CaptionButton(QStringLiteral("btnRules"), QStyle::SP_FileDialogListView, QStringLiteral("Rules..."),
                                 QStringLiteral("Rules that choose a head from the remarks"), this);
    headRow->addWidget(label(QStringLiteral("lblSetHead"), QStringLiteral("&Head of the selected lines:"), cboSetHead, this));
    headRow->addWidget(cboSetHead, 1);
    headRow->addWidget(btnSetHead);
    headRow->addWidget(btnRules);

    lblImportTotals = ui::Label(QStringLiteral("lblImportTotals"), QString(), this);
    lblImportResult = ui::Label(QStringLiteral("lblImportResult"), QString(), this);
    cmdImport = ui::CaptionButton(QStringLiteral("cmdImport"), QStyle::SP_DialogApplyButton,
                                  QStringLiteral("Import 0 entries"), QStringLiteral("Write the ticked lines into the project"),
                                  this);
    cmdClose = ui::CaptionButton(QStringLiteral("cmdClose"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"),
                                 QStringLiteral("Close (Esc)"), this);

    auto *imports = ui::Frame(QStringLiteral("grpImports"), QStringLiteral("Imports into this project"), this);
    auto *importsLayout = new QHBoxLayout(imports);
    gdImports = new QTableWidget(0, 4, imports);
    gdImports->setObjectName(QStringLiteral("gdImports"));
    gdImports->setAccessibleName(QStringLiteral("Imports into this project"));
    gdImports->setHorizontalHeaderLabels({QStringLiteral("Imported"), QStringLiteral("File"), QStringLiteral("Entries"),
                                          QStringLiteral("Still in the ledger")});
    gdImports->setSelectionBehavior(QAbstractItemView::SelectRows);
    gdImports->setSelectionMode(QAbstractItemView::SingleSelection);
    gdImports->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gdImports->verticalHeader()->hide();
    gdImports->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    gdImports->verticalHeader()->setDefaultSectionSize(gdImports->fontMetrics().height() + 6);
    gdImports->setColumnWidth(0, 140);
    gdImports->setColumnWidth(3, 130);
    gdImports->setMinimumHeight(70);
    btnUndoImport = ui::CaptionButton(QStringLiteral("btnUndoImport"), QStyle::SP_BrowserReload, QStringLiteral("Undo import"),
                                      QStringLiteral("Remove the entries of the chosen import from the project"), imports);
    importsLayout->addWidget(gdImports, 1);
    importsLayout->addWidget(btnUndoImport, 0, Qt::AlignTop);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("splImport"));
    auto *previewPane = new QWidget(splitter);
    auto *previewLayout = new QVBoxLayout(previewPane);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(gdImportPreview, 1);
    previewLayout->addLayout(headRow);
    splitter->addWidget(previewPane);
    splitter->addWidget(imports);
    splitter->setStretchFactor(0, 5);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({400, 90});
    layout->addWidget(splitter, 1);

    lblImportTotals->setWordWrap(true);
    layout->addWidget(lblImportTotals);
    auto *bottom = new QHBoxLayout();
    bottom->addWidget(lblImportResult, 1);
    bottom->addWidget(cmdImport);
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);

    connect(btnChooseFile, &QPushButton::clicked, this, &frmImport::ChooseFile);
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnUndoImport, &QPushButton::clicked, this, &frmImport::btnUndoImport_Click);
    connect(btnSetHead, &QPushButton::clicked, this, &frmImport::btnSetHead_Click);
    connect(btnRules, &QPushButton::clicked, this, &frmImport::btnRules_Click);
    connect(m_model, &ImportPreviewModel::TicksChanged, this, &frmImport::updateTotals);
    connect(gdImports, &QTableWidget::itemSelectionChanged, this,
            [this] { btnUndoImport->setEnabled(!gdImports->selectedItems().isEmpty()); });

    ui::BindKey(btnChooseFile, QKeySequence::Open);
    // Enter in a box of the mapping must not import: no button presses itself on Enter here.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);

    grpMapping->hide();
    loadHeads();
    loadImports();
    updateTotals();
    frmHelp::AddHelpKey(this, QStringLiteral("import"));
    ui::PlaceWindow(this, QSize(1000, 700));
}

void frmImport::buildMapping()
{
    grpMapping = ui::Frame(QStringLiteral("grpMapping"), QStringLiteral("Columns of the table"), this);
    auto *grid = new QGridLayout(grpMapping);
    auto combo = [this](const QString &name, const QString &accessible) {
        auto *c = new QComboBox(grpMapping);
        c->setObjectName(name);
        c->setAccessibleName(accessible);
        ui::MakeInputYellow(c);
        return c;
    };
    cboProfile = combo(QStringLiteral("cboProfile"), QStringLiteral("Saved mapping"));
    cboEncoding = combo(QStringLiteral("cboEncoding"), QStringLiteral("Encoding"));
    cboEncoding->addItems({QStringLiteral("UTF-8"), QStringLiteral("UTF-16LE"), QStringLiteral("UTF-16BE"),
                           QStringLiteral("Windows-1252"), QStringLiteral("ISO-8859-1")});
    cboDelimiter = combo(QStringLiteral("cboDelimiter"), QStringLiteral("Delimiter"));
    cboDelimiter->addItems({QStringLiteral(";"), QStringLiteral(","), QStringLiteral("Tab"), QStringLiteral("|")});
    cboSheet = combo(QStringLiteral("cboSheet"), QStringLiteral("Sheet"));
    spnSkipRows = new QSpinBox(grpMapping);
    spnSkipRows->setObjectName(QStringLiteral("spnSkipRows"));
    spnSkipRows->setRange(0, 1000);
    ui::MakeInputYellow(spnSkipRows);
    chkHeaderRow = new QCheckBox(QStringLiteral("First row names the columns"), grpMapping);
    chkHeaderRow->setObjectName(QStringLiteral("chkHeaderRow"));
    cboDateFormat = combo(QStringLiteral("cboDateFormat"), QStringLiteral("Date format"));
    cboDateFormat->setEditable(true);
    cboDecimalMark = combo(QStringLiteral("cboDecimalMark"), QStringLiteral("Decimal mark"));
    cboDecimalMark->addItems({QStringLiteral("."), QStringLiteral(",")});
    txtInWords = ui::TextBox(QStringLiteral("txtInWords"), grpMapping);
    txtInWords->setToolTip(QStringLiteral("Words of the debit/credit column that mean money in, separated by commas"));
    txtOutWords = ui::TextBox(QStringLiteral("txtOutWords"), grpMapping);
    txtOutWords->setToolTip(QStringLiteral("Words of the debit/credit column that mean money out, separated by commas"));
    btnSaveProfile = ui::CaptionButton(QStringLiteral("btnSaveProfile"), QStyle::SP_DialogSaveButton,
                                       QStringLiteral("Save mapping..."),
                                       QStringLiteral("Keep this mapping under a name; it is proposed again for files of this shape"),
                                       grpMapping);
    lblMappingNote = ui::Label(QStringLiteral("lblMappingNote"), QString(), grpMapping);
    lblMappingNote->setWordWrap(true);

    gdMapping = new QTableWidget(grpMapping);
    gdMapping->setObjectName(QStringLiteral("gdMapping"));
    gdMapping->setAccessibleName(QStringLiteral("First rows of the table"));
    gdMapping->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gdMapping->verticalHeader()->hide();
    gdMapping->verticalHeader()->setDefaultSectionSize(gdMapping->fontMetrics().height() + 8);
    gdMapping->setMinimumHeight(100);
    gdMapping->setMaximumHeight(140);

    int c = 0;
    grid->addWidget(label(QStringLiteral("lblProfile"), QStringLiteral("&Mapping:"), cboProfile, grpMapping), 0, c++);
    grid->addWidget(cboProfile, 0, c++);
    grid->addWidget(label(QStringLiteral("lblEncoding"), QStringLiteral("E&ncoding:"), cboEncoding, grpMapping), 0, c++);
    grid->addWidget(cboEncoding, 0, c++);
    grid->addWidget(label(QStringLiteral("lblDelimiter"), QStringLiteral("De&limiter:"), cboDelimiter, grpMapping), 0, c++);
    grid->addWidget(cboDelimiter, 0, c++);
    grid->addWidget(label(QStringLiteral("lblSheet"), QStringLiteral("S&heet:"), cboSheet, grpMapping), 0, c++);
    grid->addWidget(cboSheet, 0, c++);
    grid->addWidget(btnSaveProfile, 0, c++);
    c = 0;
    grid->addWidget(label(QStringLiteral("lblSkipRows"), QStringLiteral("S&kip rows:"), spnSkipRows, grpMapping), 1, c++);
    grid->addWidget(spnSkipRows, 1, c++);
    grid->addWidget(chkHeaderRow, 1, c++, 1, 2);
    ++c;
    grid->addWidget(label(QStringLiteral("lblDateFormat"), QStringLiteral("&Dates:"), cboDateFormat, grpMapping), 1, c++);
    grid->addWidget(cboDateFormat, 1, c++);
    grid->addWidget(label(QStringLiteral("lblDecimalMark"), QStringLiteral("Decimal &mark:"), cboDecimalMark, grpMapping), 1, c++);
    grid->addWidget(cboDecimalMark, 1, c++);
    c = 0;
    grid->addWidget(label(QStringLiteral("lblInWords"), QStringLiteral("Money &in marked:"), txtInWords, grpMapping), 2, c++);
    grid->addWidget(txtInWords, 2, c++, 1, 2);
    ++c;
    grid->addWidget(label(QStringLiteral("lblOutWords"), QStringLiteral("Money &out marked:"), txtOutWords, grpMapping), 2, c++);
    grid->addWidget(txtOutWords, 2, c++, 1, 2);
    ++c;
    grid->addWidget(lblMappingNote, 3, 0, 1, 9);
    grid->addWidget(gdMapping, 4, 0, 1, 9);

    // A change of how the text is split or decoded samples the file again; any other change reads it.
    for (QComboBox *box : {cboEncoding, cboDelimiter, cboSheet})
        connect(box, QOverload<int>::of(&QComboBox::activated), this, [this] {
            if (!m_filling && sampleTable(false))
                readAll();
        });
    // Choosing between two readings, even the one proposed, settles it.
    connect(cboDateFormat, QOverload<int>::of(&QComboBox::activated), this, [this] {
        m_chooseDate = false;
        showNotes();
        updateTotals();
        mappingEdited();
    });
    connect(cboDecimalMark, QOverload<int>::of(&QComboBox::activated), this, [this] {
        m_chooseMark = false;
        showNotes();
        updateTotals();
        mappingEdited();
    });
    connect(cboDateFormat->lineEdit(), &QLineEdit::editingFinished, this, [this] { mappingEdited(); });
    connect(spnSkipRows, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] { mappingEdited(); });
    connect(chkHeaderRow, &QCheckBox::toggled, this, [this] { mappingEdited(); });
    for (QLineEdit *words : {txtInWords, txtOutWords})
        connect(words, &QLineEdit::editingFinished, this, [this] { mappingEdited(); });
    connect(cboProfile, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (m_filling || index <= 0 || index > int(m_profiles.size()))
            return;
        if (auto mapping = TabularMapping::FromText(m_profiles[size_t(index - 1)].mapping)) {
            m_mapping = *mapping;
            m_chooseDate = m_chooseMark = false;
            if (sampleTable(false))
                readAll();
        }
    });
    connect(btnSaveProfile, &QPushButton::clicked, this, &frmImport::btnSaveProfile_Click);
}

void frmImport::loadHeads()
{
    m_headNames.clear();
    cboSetHead->clear();
    Reported([&] {
        auto rows = RowsOf(QStringLiteral("Select Id,Heads,PlusMinus From defHeads Where UserId=") + QuoteSql(CurrentUserId) +
                           QStringLiteral(" Order By Heads"));
        for (int r = 0; r < rows->RecordCount(); ++r) {
            const qint32 id = qint32(rows->FieldAt(r, 0).toInt64());
            const QString name = rows->FieldAt(r, 1).toString();
            const bool income = rows->FieldAt(r, 2).toInt64() == 0;
            m_headNames.insert(id, name);
            cboSetHead->addItem(name + (income ? QStringLiteral(" (income)") : QStringLiteral(" (expense)")), id);
        }
    });
    btnSetHead->setEnabled(cboSetHead->count() > 0);
}

void frmImport::loadImports()
{
    gdImports->setRowCount(0);
    std::vector<BatchInfo> batches;
    Reported([&] { batches = ListBatches(m_taskId); });
    gdImports->setRowCount(int(batches.size()));
    for (int r = 0; r < int(batches.size()); ++r) {
        const BatchInfo &b = batches[size_t(r)];
        auto *when = new QTableWidgetItem(b.importedAt.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm")));
        when->setData(Qt::UserRole, b.id);
        gdImports->setItem(r, 0, when);
        gdImports->setItem(r, 1, new QTableWidgetItem(b.fileName));
        gdImports->setItem(r, 2, new QTableWidgetItem(QString::number(b.count)));
        gdImports->setItem(r, 3, new QTableWidgetItem(QString::number(b.remaining)));
    }
    btnUndoImport->setEnabled(false);
    if (!batches.empty())
        gdImports->selectRow(0);
    // The balance the preview adds the ticked lines to.
    m_received = m_spent = 0;
    TryStep([&] {
        auto sums = RowsOf(LedgerSumsStatement(CurrentUserId, m_taskId));
        m_received = LedgerTotal(sums->FieldAt(0, 0));
        m_spent = LedgerTotal(sums->FieldAt(0, 1));
    });
}

void frmImport::ChooseFile()
{
    ui::OpenFileRequest request;
    request.caption = QStringLiteral("Import entries from a statement");
    request.folder = m_path.isEmpty() ? QString() : QFileInfo(m_path).absolutePath();
    request.filter = QStringLiteral("All statements (*.csv *.txt *.xlsx *.xls *.ofx *.qfx *.qif *.xml *.sta *.940 *.mt940);;"
                                    "CSV files (*.csv *.txt);;Excel workbooks (*.xlsx *.xls);;OFX and QFX files (*.ofx *.qfx);;"
                                    "QIF files (*.qif);;CAMT.053 files (*.xml);;MT940 files (*.sta *.940 *.mt940 *.txt);;"
                                    "All files (*)");
    const QString path = ui::AskOpenFile(request, this);
    if (!path.isEmpty())
        OpenFile(path);
}

bool frmImport::OpenFile(const QString &path)
{
    Format format = Format::Unknown;
    try {
        format = DetectFormat(path);
    } catch (const ReadError &e) {
        ui::MsgBox(e.message(), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return false;
    }
    if (format == Format::Unknown) {
        ui::MsgBox(NotAStatementMessage(), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return false;
    }
    m_path = path;
    m_format = format;
    m_sha256 = FileSha256(path);
    lblFile->setText(QStringLiteral("%1 (%2)").arg(QFileInfo(path).fileName(), FormatName(format)));
    lblFile->setToolTip(QFileInfo(path).absoluteFilePath());
    lblImportResult->clear();
    const bool table = format == Format::Csv || format == Format::Xlsx || format == Format::Xls;
    grpMapping->setVisible(table);
    if (table) {
        m_sample = {};
        if (!sampleTable(true)) {
            m_model->SetRows({}, m_headNames);
            return false;
        }
    }
    return readAll();
}

bool frmImport::sampleTable(bool propose)
{
    QString encoding;
    QChar delimiter;
    QString sheet;
    if (!propose) {
        encoding = cboEncoding->currentText();
        delimiter = cboDelimiter->currentText() == QLatin1String("Tab") ? QLatin1Char('\t') : cboDelimiter->currentText().at(0);
        sheet = cboSheet->currentText();
    }
    try {
        m_sample = SampleTable(m_path, m_format, 50, encoding, delimiter, sheet);
    } catch (const ReadError &e) {
        ui::MsgBox(e.message(), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return false;
    }
    if (propose) {
        m_proposal = ProposeMapping(m_sample);
        m_mapping = m_proposal.mapping;
        // Where the content reads two ways, the user says which before anything is imported.
        m_chooseDate = m_proposal.dateFormats.size() > 1;
        m_chooseMark = m_proposal.decimalMarks.size() > 1;
        // A mapping the user saved for tables of this shape wins over the proposal.
        Reported([&] { m_profiles = LoadProfiles(); });
        if (auto saved = MappingForShape(m_profiles, m_proposal.shape)) {
            m_mapping = *saved;
            m_chooseDate = m_chooseMark = false;  // chosen when the mapping was saved
        }
    } else {
        m_mapping.encoding = m_sample.encoding;
        m_mapping.delimiter = m_sample.delimiter;
        m_mapping.sheet = m_sample.sheet;
        if (m_mapping.roles.size() < size_t(m_sample.rows.empty() ? 0 : m_sample.rows.front().size()))
            m_mapping.roles.resize(m_sample.rows.front().size(), ColumnRole::Ignore);
    }
    showMapping();
    return true;
}

void frmImport::showNotes()
{
    QStringList notes;
    if (m_chooseDate)
        notes << QStringLiteral("The dates read more than one way (%1): choose the right date format.")
                     .arg(m_proposal.dateFormats.join(QStringLiteral(" or ")));
    if (m_chooseMark)
        notes << QStringLiteral("The amounts read with either decimal mark (1.000 is one, or one thousand): choose the decimal mark.");
    if (!m_proposal.missing.isEmpty())
        notes << m_proposal.missing;
    lblMappingNote->setText(notes.join(QLatin1Char(' ')));
    lblMappingNote->setVisible(!notes.isEmpty());
}

void frmImport::showMapping()
{
    m_filling = true;
    const bool csv = m_format == Format::Csv;
    cboEncoding->setEnabled(csv);
    cboDelimiter->setEnabled(csv);
    cboSheet->setEnabled(!csv);
    if (csv) {
        cboEncoding->setCurrentText(m_mapping.encoding);
        cboDelimiter->setCurrentText(delimiterName(m_mapping.delimiter));
    }
    cboSheet->clear();
    cboSheet->addItems(m_sample.sheets);
    cboSheet->setCurrentText(m_sample.sheet);
    spnSkipRows->setValue(m_mapping.skipRows);
    chkHeaderRow->setChecked(m_mapping.headerRow);
    cboDateFormat->clear();
    cboDateFormat->addItems(m_proposal.dateFormats);
    if (cboDateFormat->findText(m_mapping.dateFormat) < 0)
        cboDateFormat->addItem(m_mapping.dateFormat);
    cboDateFormat->setCurrentText(m_mapping.dateFormat);
    cboDecimalMark->setCurrentText(QString(m_mapping.decimalMark));
    txtInWords->setText(m_mapping.inWords.join(QStringLiteral(", ")));
    txtOutWords->setText(m_mapping.outWords.join(QStringLiteral(", ")));

    cboProfile->clear();
    cboProfile->addItem(QStringLiteral("(proposed)"));
    int chosen = 0;
    for (size_t i = 0; i < m_profiles.size(); ++i) {
        cboProfile->addItem(m_profiles[i].name);
        if (TabularMapping::FromText(m_profiles[i].mapping).value_or(TabularMapping{}).ToText() == m_mapping.ToText())
            chosen = int(i) + 1;
    }
    cboProfile->setCurrentIndex(chosen);

    showNotes();

    // Row 0 holds a role list per column; the file's first rows follow.
    int columns = 0;
    for (const QStringList &row : m_sample.rows)
        columns = std::max(columns, int(row.size()));
    gdMapping->clear();
    gdMapping->setColumnCount(columns);
    gdMapping->setRowCount(int(m_sample.rows.size()) + 1);
    gdMapping->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    for (int c = 0; c < columns; ++c) {
        auto *role = new QComboBox(gdMapping);
        role->setObjectName(QStringLiteral("cboRole%1").arg(c + 1));
        role->setAccessibleName(QStringLiteral("Column %1").arg(c + 1));
        role->addItems(RoleNames());
        const ColumnRole r = size_t(c) < m_mapping.roles.size() ? m_mapping.roles[size_t(c)] : ColumnRole::Ignore;
        role->setCurrentIndex(int(r));
        connect(role, QOverload<int>::of(&QComboBox::activated), this, [this] { mappingEdited(); });
        gdMapping->setCellWidget(0, c, role);
        gdMapping->setColumnWidth(c, 130);
    }
    for (int r = 0; r < int(m_sample.rows.size()); ++r)
        for (int c = 0; c < int(m_sample.rows[size_t(r)].size()); ++c)
            gdMapping->setItem(r + 1, c, new QTableWidgetItem(m_sample.rows[size_t(r)][c]));
    m_filling = false;
}

TabularMapping frmImport::mappingShown() const
{
    TabularMapping m = m_mapping;
    m.skipRows = spnSkipRows->value();
    m.headerRow = chkHeaderRow->isChecked();
    m.dateFormat = cboDateFormat->currentText().trimmed();
    m.decimalMark = cboDecimalMark->currentText().isEmpty() ? QLatin1Char('.') : cboDecimalMark->currentText().at(0);
    m.inWords = wordsOf(txtInWords->text());
    m.outWords = wordsOf(txtOutWords->text());
    m.roles.clear();
    for (int c = 0; c < gdMapping->columnCount(); ++c)
        if (auto *role = qobject_cast<QComboBox *>(gdMapping->cellWidget(0, c)))
            m.roles.push_back(ColumnRole(role->currentIndex()));
    return m;
}

void frmImport::mappingEdited()
{
    if (m_filling || m_path.isEmpty())
        return;
    const TabularMapping shown = mappingShown();
    if (shown.ToText() == m_mapping.ToText())
        return;
    m_mapping = shown;
    readAll();
}

bool frmImport::readAll()
{
    std::vector<PreviewRow> rows;
    const qint64 size = QFileInfo(m_path).size();
    bool ok = false;
    {
        ui::Progress progress(QStringLiteral("Reading %1...").arg(QFileInfo(m_path).fileName()), 1000, this);
        const import::Progress step = [&](qint64 done, qint64 total) {
            const qint64 whole = total > 0 ? total : size;
            return progress.Step(whole > 0 ? int(std::min<qint64>(1000, done * 1000 / whole)) : 0);
        };
        try {
            const bool table = m_format == Format::Csv || m_format == Format::Xlsx || m_format == Format::Xls;
            rows = ReadRows(m_path, m_format, table ? &m_mapping : nullptr, step);
            ok = true;
        } catch (const Cancelled &) {
            lblImportResult->setText(QStringLiteral("Reading was cancelled; nothing is shown."));
        } catch (const ReadError &e) {
            ui::MsgBox(e.message(), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        }
    }
    if (!ok) {
        m_model->SetRows({}, m_headNames);
        return false;
    }
    m_model->SetRows(std::move(rows), m_headNames);
    reclassify();
    return true;
}

void frmImport::reclassify()
{
    std::vector<PreviewRow> &rows = m_model->Rows();
    for (PreviewRow &row : rows) {
        row.status = LineStatus::New;
        row.duplicateOf = 0;
    }
    Reported([&] { Classify(rows, m_taskId); });
    // Heads chosen by hand stay; the rules and suggestions set the others.
    for (size_t i = 0; i < rows.size(); ++i)
        if (!m_model->HeadByHand(int(i))) {
            rows[i].headId = 0;
            rows[i].headSuggested = false;
        }
    Reported([&] { ApplyHeads(rows, LoadRules()); });
    m_model->Refresh();
}

void frmImport::updateTotals()
{
    const ImportPreviewModel::Totals t = m_model->Tally();
    cmdImport->setText(QStringLiteral("Import %1 entries").arg(t.ticked));
    const double after = m_received + t.in - m_spent - t.out;
    if (m_model->Rows().empty()) {
        lblImportTotals->setText(QStringLiteral("Balance of the project: %1 %2")
                                     .arg(BalanceWord(m_received, m_spent).trimmed(), FormatFixed2(m_received - m_spent)));
    } else {
        lblImportTotals->setText(QStringLiteral("%1 of %2 lines ticked: money in %3, money out %4. Balance after the import: %5 %6")
                                     .arg(t.ticked)
                                     .arg(m_model->Rows().size())
                                     .arg(FormatFixed2(t.in), FormatFixed2(t.out),
                                          BalanceWord(m_received + t.in, m_spent + t.out).trimmed(), FormatFixed2(after)));
        if (t.tickedWithoutHead > 0)
            lblImportTotals->setText(lblImportTotals->text() +
                                     QStringLiteral(". %1 ticked lines have no head yet.").arg(t.tickedWithoutHead));
    }
    const bool toChoose = m_chooseDate || m_chooseMark;
    cmdImport->setEnabled(t.ticked > 0 && t.tickedWithoutHead == 0 && !toChoose);
    if (toChoose)
        cmdImport->setToolTip(m_chooseDate ? QStringLiteral("The dates read two ways: choose the date format first")
                                           : QStringLiteral("The amounts read two ways: choose the decimal mark first"));
    else if (t.tickedWithoutHead > 0)
        cmdImport->setToolTip(QStringLiteral("%1 ticked lines have no head yet: give them one, or untick them").arg(t.tickedWithoutHead));
    else if (t.ticked == 0)
        cmdImport->setToolTip(QStringLiteral("Tick the lines to import"));
    else
        cmdImport->setToolTip(QStringLiteral("Write the ticked lines into the project"));
}

void frmImport::cmdImport_Click()
{
    const ImportPreviewModel::Totals t = m_model->Tally();
    if (t.ticked == 0 || t.tickedWithoutHead > 0)
        return;
    try {
        WriteBatch(m_taskId, QFileInfo(m_path).fileName(), m_sha256, m_model->Rows());
    } catch (const SqlError &e) {
        if (!e.alreadyTold())
            ui::MsgBox(QStringLiteral("Nothing was imported: %1").arg(e.description()), ui::Buttons::OKOnly,
                       ui::Icon::Exclamation, AppTitle);
        return;
    }
    lblImportResult->setText(QStringLiteral("%1 entries imported.").arg(t.ticked));
    if (m_changed)
        m_changed();
    loadImports();
    reclassify();
}

void frmImport::btnUndoImport_Click()
{
    const QList<QTableWidgetItem *> chosen = gdImports->selectedItems();
    if (chosen.isEmpty())
        return;
    const int row = chosen.first()->row();
    const qint32 batch = gdImports->item(row, 0)->data(Qt::UserRole).toInt();
    const QString file = gdImports->item(row, 1)->text();
    const int remaining = gdImports->item(row, 3)->text().toInt();
    int edited = 0;
    if (!Reported([&] { edited = EditedSince(batch); }))
        return;
    const QString question =
        edited > 0 ? QStringLiteral("%1 of the entries imported from %2 were changed since the import.\r\n"
                                    "Undo the import and remove all %3 entries, the changed ones too?")
                         .arg(edited)
                         .arg(file)
                         .arg(remaining)
                   : QStringLiteral("Undo the import of %1 and remove its %2 entries from the project?").arg(file).arg(remaining);
    if (ui::MsgBox(question, ui::Buttons::YesNo, ui::Icon::Question, AppTitle, 2) != ui::Answer::Yes)
        return;
    if (!Reported([&] { UndoBatch(batch); }))
        return;
    lblImportResult->setText(QStringLiteral("The import of %1 was undone: %2 entries removed.").arg(file).arg(remaining));
    if (m_changed)
        m_changed();
    loadImports();
    if (!m_model->Rows().empty())
        reclassify();
}

void frmImport::btnSetHead_Click()
{
    if (cboSetHead->currentIndex() < 0)
        return;
    QList<int> rows;
    for (const QModelIndex &r : gdImportPreview->selectionModel()->selectedRows())
        rows << r.row();
    if (rows.isEmpty()) {
        ui::MsgBox(QStringLiteral("Select the lines to give this head first."), ui::Buttons::OKOnly, ui::Icon::Exclamation,
                   AppTitle);
        return;
    }
    m_model->SetHead(rows, cboSetHead->currentData().toInt());
}

void frmImport::btnRules_Click()
{
    frmImportRules rules(m_headNames, this);
    if (ui::ShowModal(rules) == QDialog::Accepted && !m_model->Rows().empty())
        reclassify();
}

void frmImport::btnSaveProfile_Click()
{
    bool ok = false;
    const QString suggested = cboProfile->currentIndex() > 0 ? cboProfile->currentText() : QFileInfo(m_path).completeBaseName();
    const QString name = QInputDialog::getText(this, QStringLiteral("Save mapping"), QStringLiteral("Name of the mapping:"),
                                               QLineEdit::Normal, suggested, &ok).trimmed();
    if (!ok)
        return;
    if (name.isEmpty()) {
        ui::MsgBox(QStringLiteral("A mapping needs a name."), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return;
    }
    m_mapping = mappingShown();
    Profile profile{name, TableShape(m_sample, m_mapping), m_mapping.ToText()};
    if (Reported([&] { SaveProfile(profile); m_profiles = LoadProfiles(); })) {
        showMapping();
        lblImportResult->setText(QStringLiteral("The mapping \"%1\" was saved.").arg(name));
    }
}

// The rules window.

frmImportRules::frmImportRules(const QHash<qint32, QString> &heads, QWidget *parent) : QDialog(parent), m_heads(heads)
{
    ui::NameDialog(this, QStringLiteral("frmImportRules"), QStringLiteral("Rules for heads"));
    ui::ApplyBackground(this);
    auto *layout = new QVBoxLayout(this);
    auto *intro = ui::Label(QStringLiteral("lblRules"),
                            QStringLiteral("A line whose remarks contain the text gets the head. The first rule that matches wins."),
                            this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto *middle = new QHBoxLayout();
    gdRules = new QTableWidget(0, 2, this);
    gdRules->setObjectName(QStringLiteral("gdRules"));
    gdRules->setAccessibleName(QStringLiteral("Rules"));
    gdRules->setHorizontalHeaderLabels({QStringLiteral("Remarks contain"), QStringLiteral("Head")});
    gdRules->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    gdRules->setColumnWidth(1, 200);
    gdRules->setSelectionBehavior(QAbstractItemView::SelectRows);
    gdRules->setSelectionMode(QAbstractItemView::SingleSelection);
    gdRules->verticalHeader()->hide();
    middle->addWidget(gdRules, 1);
    auto *side = new QVBoxLayout();
    btnAddRule = ui::CaptionButton(QStringLiteral("btnAddRule"), QStyle::SP_FileIcon, QStringLiteral("Add"),
                                   QStringLiteral("A new rule at the end"), this);
    btnRemoveRule = ui::CaptionButton(QStringLiteral("btnRemoveRule"), QStyle::SP_TrashIcon, QStringLiteral("Remove"),
                                      QStringLiteral("Remove the chosen rule"), this);
    btnRuleUp = ui::CaptionButton(QStringLiteral("btnRuleUp"), QStyle::SP_ArrowUp, QStringLiteral("Up"),
                                  QStringLiteral("Try the chosen rule earlier"), this);
    btnRuleDown = ui::CaptionButton(QStringLiteral("btnRuleDown"), QStyle::SP_ArrowDown, QStringLiteral("Down"),
                                    QStringLiteral("Try the chosen rule later"), this);
    for (QPushButton *b : {btnAddRule, btnRemoveRule, btnRuleUp, btnRuleDown})
        side->addWidget(b);
    side->addStretch(1);
    middle->addLayout(side);
    layout->addLayout(middle, 1);
    auto *bottom = new QHBoxLayout();
    bottom->addStretch(1);
    cmdSave = ui::CaptionButton(QStringLiteral("cmdSave"), QStyle::SP_DialogSaveButton, QStringLiteral("Save"),
                                QStringLiteral("Keep the rules and apply them"), this);
    cmdCancel = ui::CaptionButton(QStringLiteral("cmdCancel"), QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"),
                                  QStringLiteral("Close without saving"), this);
    bottom->addWidget(cmdSave);
    bottom->addWidget(cmdCancel);
    layout->addLayout(bottom);

    connect(btnAddRule, &QPushButton::clicked, this, [this] {
        AddRule(QString(), 0);
        gdRules->setCurrentCell(gdRules->rowCount() - 1, 0);
        gdRules->editItem(gdRules->item(gdRules->rowCount() - 1, 0));
    });
    connect(btnRemoveRule, &QPushButton::clicked, this, [this] {
        if (gdRules->currentRow() >= 0)
            gdRules->removeRow(gdRules->currentRow());
    });
    connect(btnRuleUp, &QPushButton::clicked, this, [this] { move(-1); });
    connect(btnRuleDown, &QPushButton::clicked, this, [this] { move(1); });
    connect(cmdSave, &QPushButton::clicked, this, [this] {
        if (Save())
            accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    std::vector<HeadRule> rules;
    Reported([&] { rules = LoadRules(); });
    for (const HeadRule &r : rules)
        AddRule(r.contains, r.headId);
    ui::PlaceWindow(this, QSize(560, 380));
}

void frmImportRules::AddRule(const QString &contains, qint32 headId)
{
    const int row = gdRules->rowCount();
    gdRules->insertRow(row);
    gdRules->setItem(row, 0, new QTableWidgetItem(contains));
    auto *head = new QComboBox(gdRules);
    head->setObjectName(QStringLiteral("cboRuleHead%1").arg(row + 1));
    head->addItem(QString(), 0);
    QList<qint32> ids = m_heads.keys();
    std::sort(ids.begin(), ids.end(), [this](qint32 a, qint32 b) { return m_heads[a].compare(m_heads[b], Qt::CaseInsensitive) < 0; });
    for (qint32 id : ids)
        head->addItem(m_heads[id], id);
    head->setCurrentIndex(std::max(0, head->findData(headId)));
    gdRules->setCellWidget(row, 1, head);
}

std::vector<HeadRule> frmImportRules::Rules() const
{
    std::vector<HeadRule> rules;
    for (int r = 0; r < gdRules->rowCount(); ++r) {
        HeadRule rule;
        rule.contains = gdRules->item(r, 0) ? gdRules->item(r, 0)->text().trimmed() : QString();
        if (auto *head = qobject_cast<QComboBox *>(gdRules->cellWidget(r, 1)))
            rule.headId = head->currentData().toInt();
        rules.push_back(rule);
    }
    return rules;
}

bool frmImportRules::Save()
{
    const std::vector<HeadRule> rules = Rules();
    for (size_t i = 0; i < rules.size(); ++i)
        if (rules[i].contains.isEmpty() || rules[i].headId == 0) {
            gdRules->setCurrentCell(int(i), rules[i].contains.isEmpty() ? 0 : 1);
            ui::MsgBox(QStringLiteral("Rule %1 needs both a text the remarks contain and a head.").arg(i + 1),
                       ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
            return false;
        }
    return Reported([&] { SaveRules(rules); });
}

void frmImportRules::move(int by)
{
    const int from = gdRules->currentRow();
    const int to = from + by;
    if (from < 0 || to < 0 || to >= gdRules->rowCount())
        return;
    const std::vector<HeadRule> rules = Rules();
    // Rebuild the two rows swapped (the head lists are widgets and do not move with takeItem).
    auto *a = qobject_cast<QComboBox *>(gdRules->cellWidget(from, 1));
    auto *b = qobject_cast<QComboBox *>(gdRules->cellWidget(to, 1));
    gdRules->item(from, 0)->setText(rules[size_t(to)].contains);
    gdRules->item(to, 0)->setText(rules[size_t(from)].contains);
    a->setCurrentIndex(std::max(0, a->findData(rules[size_t(to)].headId)));
    b->setCurrentIndex(std::max(0, b->findData(rules[size_t(from)].headId)));
    gdRules->setCurrentCell(to, gdRules->currentColumn());
}
