// The published bank CSV files and workbooks beside the project, read through the mapping the
// importer proposes with no choice made by the user: the count of lines and a few lines checked
// against the files by hand. Runs only where that folder exists.
#include "import/Tabular.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace import;

TEST(CorpusTables, ProposedMappingReadsEveryBankFile)
{
    const QDir corpus(QStringLiteral(QM_IMPORT_CORPUS));
    if (!corpus.exists()) GTEST_SKIP() << "no statement corpus beside the project";
    struct Line {
        int line;
        const char *date;
        double amount;
        const char *remarks;  // a fragment of the remarks
        const char *bankId;
    };
    struct Case {
        const char *file;
        int count;
        QStringList dateFormats;  // the readings the proposal offers; the first is the one a user takes
        std::vector<Line> lines;
    };
    const Case cases[] = {
        {"csv-csv2ofx-ing-es-crlf.csv", 10, {"dd/MM/yyyy"},
         {{2, "2022-03-24", 2.83, "Abono por campaña", ""}, {8, "2022-07-29", -1000.00, "Reintegro efectivo", ""},
          {11, "2022-11-13", 500.00, "Traspaso recibido Cuenta Nómina", ""}}},
        {"csv-csv2ofx-schwab-withdrawal-deposit.csv", 4, {"MM/dd/yyyy"},
         {{2, "2022-08-17", 20.00, "Deposit Mobile Banking", ""}, {3, "2022-08-14", -103.00, "BMO HARRIS BANK", ""}}},
        {"csv-csv2ofx-ubs-ch-debit-credit.csv", 3, {"dd.MM.yyyy"},
         {{2, "2019-03-31", -10.00, "Solde prix prestations", "A01234BC01234567"},
          {3, "2019-02-28", 240.00, "ASSOCIATION FOO-BAR", "3456789ZT1234567"}}},
        {"csv-ofxstatement-de-ing-latin1.csv", 9, {"dd.MM.yyyy"},
         {{16, "2018-12-28", -5.50, "PayDude (Europe)", ""}, {17, "2018-12-28", 50.00, "Karl Karlsen · Monatliche", ""},
          {21, "2018-12-10", -150.00, "Übernachtung in Neuenhausen", ""}}},
        {"csv-ofxstatement-dutch-asn-noheader.csv", 11, {"dd-MM-yyyy"},
         {{1, "2022-06-17", 223.77, "XXXXXXXXX Z Z Z Z", ""}, {4, "2022-06-27", 503.15, "Optimal BV · 'DIVIDEND", ""},
          {11, "2022-07-11", -560.00, "M XXXXXXXXX ET MME", ""}}},
        {"csv-ofxstatement-dutch-ing-afbij.csv", 6, {"yyyyMMdd"},
         {{2, "2020-02-13", -1.25, "Kosten OranjePakket met korting", ""}, {5, "2019-12-13", 20.00, "PAULISSEN G J L M", ""}}},
        {"csv-ofxstatement-dutch-knab-semicolon.csv", 28, {"dd-MM-yyyy"},
         {{3, "2019-06-21", -827.75, "Gert Janssen (FR) · Tresorie", "B9F21PGYA068V2KD"},
          {9, "2019-06-10", -1000.00, "JANSSEN G J L M", "B9F10IP1XU000004"},  // booked the day after the transaction
          {27, "2019-01-07", -0.01, "G. Janssen", "B9A07PGYUH3GKGXD"}, {30, "2019-01-07", 7.02, "Knab · Rente", "B9F28INNFQ2MUC3X"}}},
        {"csv-ofxstatement-lloyds-debit-credit.csv", 12, {"dd/MM/yyyy"},
         {{2, "2024-01-15", -8.99, "ACME STORE", ""}, {4, "2024-01-12", -5975.12, "OUiog dollaros", ""},
          {5, "2023-12-01", 2000.00, "HHHHH LTD", ""}}},
        {"csv-ofxstatement-sparkasse-latin1.csv", 18, {"dd.MM.yy"},
         {{2, "2018-04-03", -22.59, "1u1 Telecom GmbH", ""}, {5, "2018-04-03", -60.00, "Bücher · Wigald Boning", ""},
          {15, "2018-03-27", 1060.22, "LOHN / GEHALT 03/18", ""}}},
        {"xlsx-oca-metadata-debit-credit.xlsx", 4, {"dd/MM/yy", "MM/dd/yy"},
         {{6, "2020-04-01", -50.00, "LABEL 1 · DETAILS 1", "UNIQUE OP 1"}, {9, "2020-04-02", 1300.00, "LABEL 4 · DETAILS 3", "UNIQUE OP 4"}}},
        {"xlsx-uabean-privatbank.xlsx", 3, {"dd.MM.yyyy HH:mm:ss"},
         {{3, "2025-07-24", -805.88, "Namecheap", ""}, {5, "2025-07-23", -45.38, "DOLLARAMA # 380", ""}}},
    };
    QStringList covered;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = corpus.filePath(QString::fromUtf8(c.file));
        const Format format = path.endsWith(QLatin1String(".xlsx")) ? Format::Xlsx : Format::Csv;
        const MappingProposal proposal = ProposeMapping(SampleTable(path, format));
        EXPECT_EQ(proposal.dateFormats, c.dateFormats);
        EXPECT_EQ(proposal.missing, QString());
        std::vector<StatementLine> lines;
        ReadTable(path, format, proposal.mapping, [&](StatementLine &&l) { lines.push_back(std::move(l)); });
        EXPECT_EQ(int(lines.size()), c.count);
        for (const StatementLine &l : lines) EXPECT_EQ(l.error, QString()) << "line " << l.line;
        for (const Line &want : c.lines) {
            const auto found = std::find_if(lines.begin(), lines.end(), [&](const StatementLine &l) { return l.line == want.line; });
            ASSERT_NE(found, lines.end()) << "line " << want.line;
            EXPECT_EQ(found->date.toString(Qt::ISODate), QString::fromUtf8(want.date)) << "line " << want.line;
            EXPECT_NEAR(found->amount, want.amount, 0.001) << "line " << want.line;
            EXPECT_TRUE(found->remarks.contains(QString::fromUtf8(want.remarks))) << found->remarks.toStdString();
            EXPECT_EQ(found->bankId, QString::fromUtf8(want.bankId)) << "line " << want.line;
        }
        covered << QString::fromUtf8(c.file);
    }
    // Every table file of the corpus is in the table above.
    for (const QFileInfo &file : corpus.entryInfoList({QStringLiteral("csv-*"), QStringLiteral("xlsx-*")}, QDir::Files))
        EXPECT_TRUE(covered.contains(file.fileName())) << file.fileName().toStdString();
}
