// A statement imported into the project on show through the ledger window's Import button: the
// preview, heads set by hand and by rule, the write into the ledger, an overlapping second
// statement, and the undo of the batch; on both engines.
#include "TestSupport.h"

#include "data/Imports.h"
#include "import/Statement.h"
#include "ledger/ImportPreview.h"
#include "ledger/frmImport.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTableWidget>

namespace {

class ImportTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        OnBothEngines::SetUp();
        // ann has a coffee typed by hand in project 7 the day before the statement's.
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' ')",
                      "tblTransaction VALUES (1,'ann','2024-03-14',1,0,4.5,'Coffee House',7)"});
        m_prevOpenFile = ui::SetOpenFileHandler([this](const ui::OpenFileRequest &) { return next; });
        w = std::make_unique<frmMainMenu>();
        w->show();
        const QPoint at = w->gdPreviewList->visualRect(w->gdPreviewList->model()->index(1, 1)).center();
        QTest::mouseClick(w->gdPreviewList->viewport(), Qt::LeftButton, {}, at);
        ASSERT_EQ(w->lblTaskNo->text(), "7");
        ASSERT_TRUE(w->btnImport->isEnabled());
    }
    void TearDown() override
    {
        ui::SetOpenFileHandler(m_prevOpenFile);
        w.reset();
        OnBothEngines::TearDown();
    }
    QString Write(const QString &name, const QByteArray &bytes)
    {
        const QString path = Folder() + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QStringList Statuses(frmImport &d)
    {
        QStringList out;
        for (const import::PreviewRow &r : d.Preview()->Rows())
            out << ImportPreviewModel::StatusText(r).section(':', 0, 0) + (r.ticked ? "+" : "");
        return out;
    }
    static void Select(frmImport &d, std::initializer_list<int> rows)
    {
        d.gdImportPreview->clearSelection();
        for (int r : rows)
            d.gdImportPreview->selectionModel()->select(d.Preview()->index(r, 0),
                                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static void SetHead(frmImport &d, std::initializer_list<int> rows, const QString &head)
    {
        Select(d, rows);
        d.cboSetHead->setCurrentIndex(d.cboSetHead->findText(head, Qt::MatchStartsWith));
        QTest::mouseClick(d.btnSetHead, Qt::LeftButton);
    }
    QStringList Ledger()
    {
        return Joined("Select HeadId, AmountIn, AmountOut, Remarks From tblTransaction Where TaskID=7 Order By Id");
    }

    std::unique_ptr<frmMainMenu> w;
    QString next;  // what the open-file dialog answers
    ScriptedModals modals;

private:
    ui::OpenFileHandler m_prevOpenFile;
};
QMK_ON_BOTH_ENGINES(ImportTest);

const QByteArray kMarch = "!Type:Bank\n"
                          "D3/15/2024\nT-4.50\nPCoffee House\n^\n"
                          "D3/16/2024\nT1,200.00\nPClient Ltd\nMInvoice 7\n^\n"
                          "D3/17/2024\nT-30.00\nPBuilders; \"Yard\"\n^\n"
                          "D3/19/2024\nT25.00\nPBuilders refund =SUM(A1)\n^\n"
                          "Dsoon\nT-1.00\nPNo date\n^\n";

TEST_P(ImportTest, AStatementIsPreviewedImportedRecognisedAgainAndUndone)
{
    next = Write("march.qif", kMarch);
    modals.Then([&](QDialog &dialog) {
        auto &d = static_cast<frmImport &>(dialog);
        // The coffee looks like the typed one; the undated line cannot be imported.
        EXPECT_EQ(Statuses(d), QStringList({"possible duplicate of entry 1", "new+", "new+", "new+", "error"}));
        EXPECT_EQ(d.cmdImport->text(), "Import 3 entries");
        EXPECT_FALSE(d.cmdImport->isEnabled());  // ticked lines without a head
        SetHead(d, {1}, "Client");
        SetHead(d, {2, 3}, "Cement");
        ASSERT_TRUE(d.cmdImport->isEnabled());
        EXPECT_TRUE(d.lblImportTotals->text().contains("money in 1225.00, money out 30.00"));
        QTest::mouseClick(d.cmdImport, Qt::LeftButton);
        EXPECT_EQ(d.lblImportResult->text(), "3 entries imported.");
        // Imported lines are recognised at once; the batch is listed.
        EXPECT_EQ(Statuses(d), QStringList({"possible duplicate of entry 1", "already imported", "already imported",
                                            "already imported", "error"}));
        EXPECT_EQ(d.gdImports->rowCount(), 1);
    });
    QTest::mouseClick(w->btnImport, Qt::LeftButton);
    // Money follows the head: money in under an expense head lessens what was spent.
    EXPECT_EQ(Ledger(), QStringList({"1|0|4.5|Coffee House", "2|1200|0|Client Ltd · Invoice 7",
                                     "1|0|30|Builders; \"Yard\"", "1|0|-25|Builders refund =SUM(A1)"}));
    EXPECT_EQ(w->gdTansactionsList->Rows(), 5);  // the ledger on show was reloaded

    // A second statement overlapping the first: what it repeats is unticked, a genuine new line stays.
    next = Write("april.qif", "!Type:Bank\nD3/17/2024\nT-30.00\nPBuilders; \"Yard\"\n^\n"
                              "D4/02/2024\nT-30.00\nPBuilders; \"Yard\"\n^\n");
    modals.Then([&](QDialog &dialog) {
        auto &d = static_cast<frmImport &>(dialog);
        EXPECT_EQ(Statuses(d), QStringList({"already imported", "new+"}));
        // Undo the first import; its entries leave the ledger, the typed one stays.
        d.gdImports->selectRow(0);
        boxes.Expect(ui::Answer::Yes);
        QTest::mouseClick(d.btnUndoImport, Qt::LeftButton);
        EXPECT_TRUE(boxes.Last().startsWith("Undo the import of march.qif and remove its 3 entries"));
        EXPECT_EQ(d.gdImports->rowCount(), 0);
        EXPECT_EQ(Statuses(d), QStringList({"new+", "new+"}));
    });
    QTest::mouseClick(w->btnImport, Qt::LeftButton);
    EXPECT_EQ(Ledger(), QStringList({"1|0|4.5|Coffee House"}));
}

TEST_P(ImportTest, RulesSetHeadsAndAFileOfNoKnownKindIsRefused)
{
    next = Write("notes.bin", QByteArray("\x00\x01\x02 not a statement", 20));
    modals.Then([&](QDialog &dialog) {
        auto &d = static_cast<frmImport &>(dialog);
        EXPECT_TRUE(boxes.Last().startsWith(import::NotAStatementMessage()));
        EXPECT_TRUE(d.Preview()->Rows().empty());
        // A rule made in the rules window heads the lines of the next file.
        modals.Then([&](QDialog &rulesDialog) {
            auto &r = static_cast<frmImportRules &>(rulesDialog);
            QTest::mouseClick(r.btnAddRule, Qt::LeftButton);
            r.gdRules->item(0, 0)->setText("builders");
            auto *head = qobject_cast<QComboBox *>(r.gdRules->cellWidget(0, 1));
            head->setCurrentIndex(head->findText("Cement"));
            QTest::mouseClick(r.cmdSave, Qt::LeftButton);
        });
        next = Write("march.qif", kMarch);
        QTest::mouseClick(d.btnChooseFile, Qt::LeftButton);
        QTest::mouseClick(d.btnRules, Qt::LeftButton);
        const auto &rows = d.Preview()->Rows();
        ASSERT_EQ(rows.size(), 5u);
        EXPECT_EQ(rows[2].headId, 1);
        EXPECT_FALSE(rows[2].headSuggested);
        EXPECT_EQ(rows[1].headId, 0);
    });
    boxes.Expect();
    QTest::mouseClick(w->btnImport, Qt::LeftButton);
    EXPECT_EQ(Joined("Select Contains From tblImportRules"), QStringList({"builders"}));
}

}  // namespace

namespace {

// qmk-import from a terminal: the rows it reads, an import into ann's project with her rules and a
// head for the rest, the same file again skipped, and the refusals.
class ImportCommandTest : public ProgramFolderTest {};

QString Tool(const QStringList &args, int *status, QString *errors = nullptr)
{
    QProcess p;
    p.start(QMK_IMPORT_TOOL, args);
    p.waitForFinished(60000);
    *status = p.exitCode();
    if (errors)
        *errors = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST_F(ImportCommandTest, ReadsImportsAndSkipsWhatIsThere)
{
    Scene("ann", {"tblUsers (Id,UserId,Passwd) VALUES (5,'ann','secret12')",
                  "defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann')",
                  "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' ')"});
    import::SaveRules({{"builders", 1}});
    const QString qif = Folder() + "/march.qif";
    QFile f(qif);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kMarch);
    f.close();
    const QString pw = Folder() + "/pw";
    QFile p(pw);
    ASSERT_TRUE(p.open(QIODevice::WriteOnly));
    p.write("secret12\n");
    p.close();

    int status = 0;
    QString errors;
    EXPECT_EQ(Tool({"--dry-run", qif}, &status, &errors),
              "date,amount,remarks,bank_id\n2024-03-15,-4.50,Coffee House,\n2024-03-16,1200.00,Client Ltd · Invoice 7,\n"
              "2024-03-17,-30.00,\"Builders; \"\"Yard\"\"\",\n2024-03-19,25.00,Builders refund =SUM(A1),\n");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(errors.contains("not imported")) << errors.toStdString();

    const QStringList import = {"--user", "ann", "--project", "7", "--database", DatabasePath(), "--password-file", pw};
    QString out = Tool(import + QStringList{qif}, &status, &errors);
    EXPECT_EQ(status, 0) << errors.toStdString();
    EXPECT_TRUE(out.contains("Imported 2 entries into project 7")) << out.toStdString();
    EXPECT_TRUE(out.contains("Skipped 2 without a head")) << out.toStdString();
    out = Tool(import + QStringList{"--head", "Client", qif}, &status);
    EXPECT_TRUE(out.contains("Imported 2 entries")) << out.toStdString();
    EXPECT_TRUE(out.contains("Skipped 2 already imported")) << out.toStdString();
    EXPECT_EQ(Joined("Select HeadId, AmountIn, AmountOut From tblTransaction Where TaskID=7 Order By Id"),
              QStringList({"1|0|30", "1|0|-25", "2|-4.5|0", "2|1200|0"}));

    Tool(import.mid(0, 2) + QStringList{"--project", "8", "--database", DatabasePath(), "--password-file", pw, qif}, &status,
        &errors);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(errors.contains("ann has no project 8")) << errors.toStdString();
    const QString junk = Folder() + "/junk.bin";
    QFile j(junk);
    ASSERT_TRUE(j.open(QIODevice::WriteOnly));
    j.write(QByteArray("\x00\x01\x02\x03", 4));
    j.close();
    Tool({"--dry-run", junk}, &status, &errors);
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(errors.contains(import::NotAStatementMessage())) << errors.toStdString();
}

}  // namespace

namespace {

// A CSV whose dates read both day first and month first: nothing is imported until the user has
// said which; the choice reads the file again.
TEST_P(ImportTest, DatesThatReadTwoWaysWaitForTheUsersChoice)
{
    next = Write("two-ways.csv", "Date;Payee;Amount\n01/02/2024;Builders Yard;-10,00\n05/03/2024;Client Ltd;250,00\n");
    modals.Then([&](QDialog &dialog) {
        auto &d = static_cast<frmImport &>(dialog);
        ASSERT_TRUE(d.grpMapping->isVisible());
        SetHead(d, {0}, "Cement");
        SetHead(d, {1}, "Client");
        EXPECT_FALSE(d.cmdImport->isEnabled());
        EXPECT_TRUE(d.lblMappingNote->text().contains("choose the right date format"));
        const int monthFirst = d.cboDateFormat->findText("MM/dd/yyyy");
        ASSERT_GE(monthFirst, 0);
        d.cboDateFormat->setCurrentIndex(monthFirst);
        Q_EMIT d.cboDateFormat->activated(monthFirst);
        EXPECT_TRUE(d.lblMappingNote->text().isEmpty());
        ASSERT_EQ(d.Preview()->Rows().size(), 2u);
        EXPECT_EQ(d.Preview()->Rows()[0].line.date, QDate(2024, 1, 2));
        SetHead(d, {0}, "Cement");
        SetHead(d, {1}, "Client");
        EXPECT_TRUE(d.cmdImport->isEnabled());
    });
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->gdPreviewList->setFocus();
    QTest::keyClick(w->gdPreviewList, Qt::Key_I, Qt::ControlModifier);
}

}  // namespace
