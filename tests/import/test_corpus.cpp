// The real statements beside the project: each is read as its content says, with the lines
// checked here by reading the files by hand. Skipped where the folder is not there.
#include "ReadHelp.h"

#include <QDir>
#include <QFileInfo>

using namespace import;
using namespace testing_import;

namespace {

struct Line {
    int index;  // 0-based place among the file's lines
    Expect expect;
};

struct Statement {
    const char *file;  // a file's name, or a pattern that names one file
    Format format;
    int count;
    int errors;
    std::vector<Line> lines;
};

QDate D(int y, int m, int d) { return QDate(y, m, d); }
QString S(const char *text) { return QString::fromUtf8(text); }

const std::vector<Statement> kCorpus = {
    {"ofx1-ofxparse-bank-medium.ofx", Format::Ofx, 3, 0,
     {{1, {D(2009, 4, 2), -316.67, S("Joe's Bald Hairstyles · MISCELLANEOUS PAYMENTS;Joe's"), S("0000123456782009040200004")}}}},
    {"ofx2-ofxparse-suncorp-cdata.ofx", Format::Ofx, 1, 0,
     {{0, {D(2013, 12, 15), -16.85, S("ALDI STORE · EFTPOS WDL HANDYWAY ALDI STORE   GEELONG"), S("1")}}}},
    {"ofx2-ofxparse-anz-creditcard.ofx", Format::Ofx, 1, 0, {{0, {D(2017, 5, 8), -5.5, S("SOME MEMO"), S("201705080001")}}}},
    {"qfx-ofxparse-chase-creditcard.qfx", Format::Ofx, 1, 0,
     {{0, {D(2020, 1, 1), -10, S("SQ *ECCO UN POCO ¦ NATURA"), S("2020010112341234123412341234123")}}}},
    {"ofx1-ofxparse-v102-empty-tags.ofx", Format::Ofx, 1, 0, {{0, {D(2018, 5, 7), 12.34, S("CBA:Transfer"), S("")}}}},
    // No DTPOSTED, an empty one, and 31 February: three error lines.
    {"ofx-ofxparse-fail-date-missing.ofx", Format::Ofx, 3, 3,
     {{0, {QDate(), -80, S("TestFail1"), S("184997056"), S("no date")}},
      {2, {QDate(), 200, S("TestFail2"), S("2000957249"), S("\"20120231\" is no date")}}}},
    // Month 20 and an amount "$120": one error line.
    {"ofx-ofxparse-fail-decimal-error.ofx", Format::Ofx, 1, 1,
     {{0, {QDate(), 0, S("Fail1"), S("2000957249"), S("\"201120000000\" is no date; \"$120\" is no amount")}}}},
    // Only the balances are empty; the booking is sound.
    {"ofx-ofxparse-fail-empty-balance.ofx", Format::Ofx, 1, 0, {{0, {D(2011, 3, 8), 120, S("Foobar"), S("2000957249")}}}},
    {"ofx1-jgnash-accents-latin1.ofx", Format::Ofx, 3, 0,
     {{1, {D(2009, 12, 2), -45, S("Second Transaction (ÀàÉéÈèÊêËëÏïÙù) · RA"), S("asdf23f")}}}},
    {"ofx1-jgnash-decimal-commas.ofx", Format::Ofx, 4, 0,
     {{2, {D(2007, 12, 7), 300.01, S("Pay Check · Deposit ACH"), S("16106520071207DE")}}}},
    {"ofx1-jgnash-ugly-format.ofx", Format::Ofx, 5, 0,
     {{0, {D(2017, 3, 31), 123.45, S("Interest Paid"), S("123456123456323")}},
      {4, {D(2017, 3, 15), 1234.56, S("PAYROLL~ Future & & \" ' Am'ount"), S("123456123456312")}}}},
    {"ofx2-jgnash-no-header-ampersand.ofx", Format::Ofx, 2, 0,
     {{1, {D(2018, 9, 7), -200, S("Second & Name · Second Memo"), S("9999999999999")}}}},
    {"ofx1-libofx-*160-example.ofx", Format::Ofx, 2, 0, {{1, {D(1996, 10, 20), -300, S(""), S("00003")}}}},
    {"qif-oca-bank-mdyy.qif", Format::Qif, 5, 0, {{0, {D(2013, 8, 12), -1000, S("Delta PC"), S("")}}}},
    {"qif-quiffen-apostrophe-dates.qif", Format::Qif, 6, 0,
     {{1, {D(2020, 2, 14), 67.5, S("T-Mobile"), S("")}}, {5, {D(2020, 2, 10), -100, S("Amazon.com · test order 1"), S("")}}}},
    {"qif-qifgem-*-example.qif", Format::Qif, 3, 0,
     {{0, {D(1994, 6, 1), -1000, S("Bank Of Mortgage · Memo"), S("")}}, {2, {D(1994, 6, 3), -10, S("Anthony Hopkins · Film"), S("")}}}},
    {"qif-qifgem-ddmmyyyy-thousands.qif", Format::Qif, 3, 0,
     {{1, {D(2010, 6, 1), -30020, S("Description · Reference"), S("")}}, {2, {D(2010, 12, 29), 30, S("Description"), S("")}}}},
    {"qif-jgnash-ccard-padded.qif", Format::Qif, 6, 0,
     {{0, {D(2011, 2, 22), 30, S("PAYMENT"), S("")}}, {5, {D(2011, 3, 15), 2, S("SNACK BAR"), S("")}}}},
    {"camt053-camtparser-de-dk-v02.xml", Format::Camt053, 5, 0,
     {{3, {D(2013, 12, 27), -3.5, S("Testkonto Nummer 1 · Sammelueberwseisung 2. Zahlung"), S("STZV-EtE27122013-11:02-1")}}}},
    // Two reversals are booked as debits, as the balances show (opening 322152.16, closing 322689.77).
    {"camt053-camtparser-ch-six-v04.xml", Format::Camt053, 32, 0,
     {{0, {D(2016, 4, 30), -24, S("UEBRIGE: 25-9034-2 FÜR KONTOAUSZUG PAPIER TÄGLICH"), S("20160401001027080060699001000107")}},
      {6, {D(2016, 5, 27), 100, S("Hans Kaufmann · CreditorReference"), S("160527CH00T3L0GE")}},
      {31, {D(2016, 4, 10), -15.53, S("Mitteilung 134-"), S("TST_205-28529-1")}}}},
    {"camt053-camtparser-ubs-v08.xml", Format::Camt053, 3, 0,
     {{2, {D(2023, 6, 20), -20.97, S("DHL Express (Schweiz) AG · 000000270148751802165444888"), S("0123171DN6095310")}}}},
    {"camt053-oca-nl-batch-v02.xml", Format::Camt053, 4, 0,
     {{1, {D(2014, 1, 5), -564.05, S("Test Customer · Direct Debit S14 0410"), S("TESTBANK/NL/20141229/01206408")}},
      {3, {D(2014, 1, 5), 1405.31, S("3rd party Media"), S("115")}}}},
    {"camt053-oca-ch-batch-v04.xml", Format::Camt053, 2, 0,
     {{1, {D(2017, 3, 22), 1296, S("Banque Cantonale Vaudoise · 302388292000022222222222222"), S("123456CHCAFEBABE#2")}}}},
    {"camt053-ofxstatement-raiffeisen-ch-v04.xml", Format::Camt053, 16, 0,
     {{12, {D(2017, 4, 11), 368, S("Accredito"), S("211067161010000000024556150000")}}}},
    {"mt940-wolph-abnamro.sta", Format::Mt940, 10, 0,
     {{0, {D(2011, 5, 24), -9, S("KPN - DIGITENNE    BETALINGSKENM.  000000042188659 5314606715"), S("")}},
      {9, {D(2011, 5, 24), -15, S("MYCOM DEN HAAG"), S("")}}}},
    {"mt940-wolph-rabobank.sta", Format::Mt940, 5, 0,
     {{0, {D(2011, 5, 27), -1213.28, S("W.P. Jansen · Terugboeking NIET AKKOORD"), S("")}},
      {4, {D(2012, 8, 29), -6.2, S("NS-Utrecht C. 117 UTRECHT · Betaalautomaat"), S("")}}}},
    {"mt940-wolph-ing-nl.sta", Format::Mt940, 7, 0,
     {{6, {D(2010, 7, 23), 1, S("Hr S Marechal ROSMALEN Hr S Marechal ROSMALEN Betaling transactiedatum: 22-07-2010"), S("")}}}},
    {"mt940-wolph-de-sepa-structured86.sta", Format::Mt940, 11, 0,
     {{0, {D(2007, 9, 4), 50990.05, S("KARL KAUFMANN · EREF+EndToEndId TFNR 22 004 00001 SVWZ+Verw"), S("0724710333343453")}},
      {3, {D(2007, 9, 4), -1500, S("KREF+TFNr 01022"), S("536D80EFEC56ACF8")}},
      {10, {D(2007, 9, 4), -3572569.03, S("0904059001"), S("")}}}},
    {"mt940-wolph-mbank-ctrlchars.sta", Format::Mt940, 3, 0,
     {{2, {D(2017, 1, 19), 0.01, S("ID IPH: XX000000000003"), S("MB170119012121")}}}},
};

}  // namespace

TEST(Corpus, EveryStatementReadsAsItsContentSays)
{
    const QString folder = QStringLiteral(QM_IMPORT_CORPUS);
    if (!QFileInfo::exists(folder))
        GTEST_SKIP() << "no statement corpus at " << folder.toStdString();
    for (const Statement &s : kCorpus) {
        SCOPED_TRACE(s.file);
        std::vector<StatementLine> lines;
        try {
            const QStringList named = QDir(folder).entryList({QString::fromLatin1(s.file)}, QDir::Files);
            ASSERT_EQ(named.size(), 1);
            lines = ReadFile(folder + QLatin1Char('/') + named.front(), s.format);
        } catch (const ReadError &error) {
            ADD_FAILURE() << error.message().toStdString();
            continue;
        }
        ASSERT_EQ(int(lines.size()), s.count);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const StatementLine &l) { return !l.error.isEmpty(); }), s.errors);
        for (const Line &l : s.lines)
            Check({lines[size_t(l.index)]}, {l.expect}, s.file);
    }
}
