#include "ReadHelp.h"

using namespace import;
using namespace testing_import;

namespace {

struct Shape {
    const char *what;
    const char *name;
    QByteArray content;
    Format format;
    std::vector<Expect> lines;
};

QDate D(int y, int m, int d) { return QDate(y, m, d); }

const std::vector<Shape> &Shapes()
{
    static const std::vector<Shape> shapes = {
        {"OFX 1 SGML: no end tags, 1252 text, entities, comments, name and memo, DTUSER, decimal comma",
         "a.ofx",
         "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nCHARSET:1252\r\n\r\n"
         "<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST><DTSTART>20240101\r\n"
         "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240131235959.000[-5:EST]<TRNAMT>-1,50<FITID>A1\r\n"
         "<NAME>Caf\xE9 & Bar &amp; co<MEMO>Caf\xE9 & Bar &amp; co</STMTTRN> <!-- same text once -->\r\n"
         "<STMTTRN><TRNTYPE>CREDIT<DTUSER>20240202<TRNAMT>+20.00<FITID>\r\n  B\r\n  2\r\n<NAME>=SUM(A1);x<MEMO>\"quoted\"</STMTTRN>\r\n"
         "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\r\n",
         Format::Ofx,
         {{D(2024, 1, 31), -1.5, QStringLiteral("Café & Bar & co"), QStringLiteral("A1")},
          {D(2024, 2, 2), 20, QStringLiteral("=SUM(A1);x · \"quoted\""), QStringLiteral("B2")}}},
        {"OFX 2 XML credit card with CDATA; a bad date is one error line",
         "b.qfx",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?OFX OFXHEADER=\"200\" VERSION=\"211\"?>\n<OFX><CREDITCARDMSGSRSV1><CCSTMTTRNRS><CCSTMTRS>"
         "<BANKTRANLIST>\n<STMTTRN><DTPOSTED>20230229</DTPOSTED><TRNAMT>-3.00</TRNAMT><FITID>X</FITID><NAME>Leap?</NAME></STMTTRN>\n"
         "<STMTTRN><DTPOSTED>20230301</DTPOSTED><TRNAMT>-4.25</TRNAMT><FITID>Y</FITID><NAME><![CDATA[Caf\xC3\xA9 <&amp;> \xE2\x82\xAC]]></NAME></STMTTRN>\n"
         "</BANKTRANLIST></CCSTMTRS></CCSTMTTRNRS></CREDITCARDMSGSRSV1></OFX>\n",
         Format::Ofx,
         {{QDate(), -3, QStringLiteral("Leap?"), QStringLiteral("X"), QStringLiteral("\"20230229\" is no date")},
          {D(2023, 3, 1), -4.25, QStringLiteral("Café <&amp;> €"), QStringLiteral("Y")}}},
        {"OFX without a booking", "c.ofx", "<OFX><BANKMSGSRSV1></BANKMSGSRSV1></OFX>", Format::Ofx, {}},
        {"QIF month-first, apostrophe years, splits, other sections, last record without ^",
         "a.qif",
         "!Type:Cat\nNFood\nDA category\n^\n!Type:Bank\nD1/ 2'04\nT-1,234.50\nN1001\nPShop\nMWeekly\nSFood\n$-1,000.00\nD3/3'04\nSHome\n$-234.50\n^\n"
         "D12/31/99\nU75.00\nNTRX-2024-000123\nPPay\n^\n!Type:Invst\nD1/5'04\nNBuy\nT100.00\n^\n!Type:CCard\nD2/10'2020\nT-5\nPLast",
         Format::Qif,
         {{D(2004, 1, 2), -1234.5, QStringLiteral("Shop · Weekly"), QString()},
          {D(1999, 12, 31), 75, QStringLiteral("Pay"), QStringLiteral("TRX-2024-000123")},
          {D(2020, 2, 10), -5, QStringLiteral("Last"), QString()}}},
        {"QIF day-first with dot thousands and decimal commas", "b.qif",
         "!Type:Bank\r\nD01/02/2010\r\nT-1.010,00\r\nPRent\r\n^\r\nD29/12/2010\r\nT30,5\r\nPBack\r\n^\r\nD2004-01-02\r\nTabc\r\n^\r\n",
         Format::Qif,
         {{D(2010, 2, 1), -1010, QStringLiteral("Rent"), QString()},
          {D(2010, 12, 29), 30.5, QStringLiteral("Back"), QString()},
          {D(2004, 1, 2), 0, QString(), QString(), QStringLiteral("\"abc\" is no amount")}}},
        {"CAMT.053 with a prefix: batch, reversal, structured reference, value date, NOTPROVIDED",
         "a.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<c:Document xmlns:c=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\"><c:BkToCstmrStmt><c:Stmt>\n"
         "<c:Ntry><c:Amt Ccy=\"EUR\">30.00</c:Amt><c:CdtDbtInd>DBIT</c:CdtDbtInd><c:BookgDt><c:DtTm>2024-03-01T10:00:00</c:DtTm></c:BookgDt>"
         "<c:AcctSvcrRef>BATCH</c:AcctSvcrRef><c:NtryDtls>"
         "<c:TxDtls><c:Refs><c:AcctSvcrRef>T1</c:AcctSvcrRef></c:Refs><c:AmtDtls><c:TxAmt><c:Amt Ccy=\"EUR\">10.00</c:Amt></c:TxAmt></c:AmtDtls>"
         "<c:RltdPties><c:Dbtr><c:Nm>Payer</c:Nm></c:Dbtr><c:Cdtr><c:Nm>Shop A</c:Nm></c:Cdtr></c:RltdPties>"
         "<c:RmtInf><c:Ustrd>part 1</c:Ustrd><c:Ustrd>part 2</c:Ustrd></c:RmtInf></c:TxDtls>"
         "<c:TxDtls><c:Refs><c:EndToEndId>E2E-2</c:EndToEndId></c:Refs><c:Amt Ccy=\"EUR\">20.00</c:Amt><c:CdtDbtInd>DBIT</c:CdtDbtInd>"
         "<c:RltdPties><c:Cdtr><c:Pty><c:Nm>Shop B</c:Nm></c:Pty></c:Cdtr></c:RltdPties>"
         "<c:RmtInf><c:Strd><c:CdtrRefInf><c:Ref>RF18539007547034</c:Ref></c:CdtrRefInf></c:Strd></c:RmtInf></c:TxDtls>"
         "</c:NtryDtls></c:Ntry>\n"
         "<c:Ntry><c:NtryRef>N2</c:NtryRef><c:Amt Ccy=\"EUR\">5.00</c:Amt><c:CdtDbtInd>CRDT</c:CdtDbtInd><c:RvslInd>true</c:RvslInd>"
         "<c:ValDt><c:Dt>2024-03-02</c:Dt></c:ValDt><c:NtryDtls><c:TxDtls><c:Refs><c:EndToEndId>NOTPROVIDED</c:EndToEndId></c:Refs>"
         "<c:AddtlTxInf>Returned fee</c:AddtlTxInf></c:TxDtls></c:NtryDtls><c:AddtlNtryInf>ignored</c:AddtlNtryInf></c:Ntry>\n"
         "<c:Ntry><c:Amt Ccy=\"EUR\">1.0x</c:Amt><c:CdtDbtInd>CRDT</c:CdtDbtInd><c:BookgDt><c:Dt>2024-03-03</c:Dt></c:BookgDt>"
         "<c:NtryDtls><c:TxDtls><c:Refs><c:EndToEndId>NOTPROVIDED</c:EndToEndId></c:Refs></c:TxDtls></c:NtryDtls>"
         "<c:AddtlNtryInf>Interest</c:AddtlNtryInf></c:Ntry>\n"
         "</c:Stmt></c:BkToCstmrStmt></c:Document>\n",
         Format::Camt053,
         {{D(2024, 3, 1), -10, QStringLiteral("Shop A · part 1 part 2"), QStringLiteral("T1")},
          {D(2024, 3, 1), -20, QStringLiteral("Shop B · RF18539007547034"), QStringLiteral("E2E-2")},
          {D(2024, 3, 2), 5, QStringLiteral("Returned fee"), QStringLiteral("N2")},
          {D(2024, 3, 3), 0, QStringLiteral("Interest"), QString(), QStringLiteral("\"1.0x\" is no amount")}}},
        {"MT940: block header, year turn, reversals, funds code, ?nn and /NAME/ texts, two statements",
         "a.sta",
         "{1:F01BANKDEFFXXXX0000000000}{2:O940}{4:\r\n:20:STMT1\r\n:25:DE00123\r\n:28C:1/1\r\n:60F:C231229EUR100,00\r\n"
         ":61:2401021231DR12,5NTRFNONREF//B-1\r\nsupplement\r\n:86:166?00GUTSCHRIFT?20EREF+E1?21SVWZ+Rent Ja?22nuary?32Land\r\n?33lord\r\n"
         ":61:231230RD3,00NCHGREF77\r\n:86:/TRTP/SEPA/NAME/Coffee Co/REMI/USTD//Refund 1/EREF/NOTPROVIDED/\r\n"
         ":61:2312300102RC1,N051NONREF//NONREF\r\nsupplementary only\r\n"
         ":62F:C240102EUR91,50\r\n:86:statement note, no booking\r\n-}\r\n"
         ":20:STMT2\r\n:60F:C240102EUR91,50\r\n:61:240103C7,NMSCNONREF\r\n:86:free text line one\r\nline two\r\n:61:2401XXC1,00NMSC\r\n-\r\n",
         Format::Mt940,
         {{D(2023, 12, 31), -12.5, QStringLiteral("Landlord · EREF+E1 SVWZ+Rent January"), QStringLiteral("B-1")},
          {D(2023, 12, 30), 3, QStringLiteral("Coffee Co · Refund 1"), QString()},
          {D(2024, 1, 2), -1, QStringLiteral("supplementary only"), QString()},
          {D(2024, 1, 3), 7, QStringLiteral("free text line one line two"), QString()},
          {QDate(), 0, QString(), QString(), QStringLiteral("cannot be read")}}},
    };
    return shapes;
}

}  // namespace

// Each shape of statement gives exactly its lines, in the file's order.
TEST(Readers, ShapesGiveTheirLines)
{
    Scratch scratch;
    for (const Shape &shape : Shapes()) {
        const QString path = scratch.Write(QString::fromLatin1(shape.name), shape.content);
        try {
            Check(ReadFile(path, shape.format), shape.lines, shape.what, true);
        } catch (const ReadError &error) {
            ADD_FAILURE() << shape.what << ": " << error.message().toStdString();
        }
    }
}

// A damaged file stops with a reason that names where; a file of no known kind is refused.
TEST(Readers, DamagedFilesNameWhere)
{
    Scratch scratch;
    struct Case { const char *name; QByteArray content; Format format; const char *reason; };
    const Case cases[] = {
        {"cut.ofx", "OFXHEADER:100\n\n<OFX><BANKTRANLIST>\n<STMTTRN><TRNAMT>1\n<NAME", Format::Ofx, "Line 5"},
        {"bad.xml", "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.02\"><BkToCstmrStmt><Stmt>\n<Ntry><Amt>1</Amt>\n<CdtDbtInd>CRDT</Amt>",
         Format::Camt053, "line 3"},
        {"inv.qif", "!Type:Invst\nD1/5'04\nNBuy\nT100.00\n^\n", Format::Qif, "investment"},
        {"none.sta", ":25:123\n:62F:C240102EUR91,50\n", Format::Mt940, "not a statement"},
    };
    for (const Case &c : cases) {
        const QString path = scratch.Write(QString::fromLatin1(c.name), c.content);
        try {
            ReadStatement(path, c.format, nullptr, [](StatementLine &&) {});
            ADD_FAILURE() << c.name << " was read";
        } catch (const ReadError &error) {
            EXPECT_TRUE(error.message().contains(QLatin1String(c.reason))) << error.message().toStdString();
        }
    }
    const QString bad = scratch.Write(QStringLiteral("bad.xml"),
                                      "<Document><BkToCstmrStmt><Stmt>\n<Ntry><Amt>1</Amt>\n<CdtDbtInd>CRDT</Amt>");
    try {
        ReadCamt053(bad, [](StatementLine &&) {}, {});
    } catch (const ReadError &error) {
        EXPECT_TRUE(error.message().contains(QLatin1String("<Ntry/CdtDbtInd>"))) << error.message().toStdString();
    }
}

// The kind comes from the content in any of the usual encodings, whatever the name says.
TEST(Readers, FormatFromContent)
{
    Scratch scratch;
    auto utf16 = [](const QString &text) {
        QByteArray bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        return bytes;
    };
    struct Case { const char *name; QByteArray content; Format format; };
    const Case cases[] = {
        {"x.txt", "\n\n<OFX>\n<STMTTRN>", Format::Ofx},
        {"x.dat", utf16(QStringLiteral("!Type:Bank\r\nD1/2/04\r\nT1\r\n^\r\n")), Format::Qif},
        {"x.txt", "D1/2/04\nT-1.00\nPShop\n^\nD1/3/04\nT2.00\n^\n", Format::Qif},
        {"x.csv", "\xEF\xBB\xBF\x01\r\n:20:REF\r\n:25:1\r\n:60F:C240101EUR1,00\r\n", Format::Mt940},
        {"x.bin", "<Document><BkToCstmrStmt>", Format::Camt053},
        {"x.ofx", "Datum;Betrag;Empf\xE4nger\n01.02.2024;-1,50;Caf\xE9\n02.02.2024;3,00;B\xE4" "cker\n", Format::Csv},
        {"x.qif", utf16(QStringLiteral("Date\tAmount\n2024-01-01\t1\n2024-01-02\t2\n")), Format::Csv},
        {"x.csv", QByteArray("PK\x03\x04\x14\x00", 6), Format::Xlsx},
        {"x.csv", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), Format::Xls},
        {"x.csv", "Dear customer,\nthank you for banking with us.\n", Format::Unknown},
        {"x.csv", QByteArray("\x00\x01\x02\x03 binary", 11), Format::Unknown},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatName(DetectFormat(scratch.Write(QString::fromLatin1(c.name), c.content))), FormatName(c.format))
            << c.content.left(30).toStdString();
}

// Reading reports its progress and stops when told to.
TEST(Readers, ProgressCancels)
{
    Scratch scratch;
    QByteArray qif("!Type:Bank\n");
    for (int i = 0; i < 20000; ++i)
        qif += "D1/2/04\nT-1.00\nPShop\n^\n";
    const QString path = scratch.Write(QStringLiteral("big.qif"), qif);
    qint64 last = 0;
    int calls = 0;
    EXPECT_THROW(ReadQif(path, [](StatementLine &&) {}, [&](qint64 done, qint64 total) {
        EXPECT_EQ(total, qif.size());
        last = done;
        return ++calls < 3;
    }), Cancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_GT(last, 0);
    EXPECT_LT(last, qif.size());
}
