// CAMT.053 bank-to-customer statements (ISO 20022), versions 001.02 to 001.08.
//
// Elements are matched by local name, so every version and prefix reads alike. The sign of a
// booking is its credit/debit indicator alone: for a reversal the indicator already gives the
// direction of the reversing booking (a reversed debit is booked as CRDT), as the statement's
// opening and closing balances confirm, so the reversal indicator does not flip it again.
#include "import/Readers.h"
#include "import/TextInput.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

namespace import {
using namespace detail;

namespace {

struct Details {
    QString amount, amountElement, creditDebit;
    QString serviceRef, endToEnd, debtor, creditor, additional;
    QStringList unstructured, references;
};

struct Entry {
    int ordinal = 0;
    int textLine = 0;
    QString amount, creditDebit, bookingDate, valueDate, serviceRef, entryRef, additional;
    std::vector<Details> details;
};

class CamtReader {
public:
    CamtReader(QIODevice *device, const LineSink &sink, const Progress &progress)
        : m_xml(device), m_device(device), m_sink(sink), m_progress(progress) {}

    void Read()
    {
        bool sawStatement = false;
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement()) {
                const auto name = m_xml.name();
                if (name == QLatin1String("BkToCstmrStmt") || name == QLatin1String("Stmt"))
                    sawStatement = true;
                else if (name == QLatin1String("Ntry"))
                    ReadEntry();
            }
        }
        if (m_xml.hasError())
            Fail();
        if (!sawStatement)
            throw ReadError(NotAStatementMessage());
    }

private:
    [[noreturn]] void Fail()
    {
        const QString where = m_path.isEmpty() ? QStringLiteral("the document") : QStringLiteral("<%1>").arg(m_path.join(QLatin1Char('/')));
        throw ReadError(QStringLiteral("The statement is damaged at line %1, column %2, in %3: %4")
                            .arg(m_xml.lineNumber())
                            .arg(m_xml.columnNumber())
                            .arg(where, m_xml.errorString()));
    }

    void Tell()
    {
        if (!m_progress)
            return;
        if (!m_progress(m_device->pos(), m_device->size()))
            throw Cancelled();
    }

    // Reads the elements below the current one; calls visit with the path below it (names
    // joined by '/') for every element that holds text.
    template <typename Visit>
    void Walk(Visit &&visit)
    {
        QStringList below;
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement()) {
                below << m_xml.name().toString();
                m_path << below.back();
                m_text.clear();
                if (!visit(below)) {  // the visitor read the element whole (its end is consumed)
                    below.removeLast();
                    m_path.removeLast();
                }
            } else if (m_xml.isCharacters() && !m_xml.isWhitespace() && !below.isEmpty()) {
                m_text += m_xml.text();
            } else if (m_xml.isEndElement()) {
                if (below.isEmpty())
                    return;
                visit.Text(below, m_text.trimmed());
                m_text.clear();
                below.removeLast();
                m_path.removeLast();
            }
        }
        if (m_xml.hasError())
            Fail();
    }

    void ReadEntry()
    {
        Entry entry;
        entry.ordinal = ++m_ordinal;
        entry.textLine = int(m_xml.lineNumber());
        m_path = QStringList{QStringLiteral("Ntry")};
        struct EntryVisit {
            CamtReader &r;
            Entry &e;
            bool operator()(const QStringList &below)
            {
                if (below.size() == 2 && below[0] == QLatin1String("NtryDtls") && below[1] == QLatin1String("TxDtls")) {
                    e.details.push_back(r.ReadDetails());
                    return false;
                }
                return true;
            }
            void Text(const QStringList &below, const QString &text)
            {
                const QString path = below.join(QLatin1Char('/'));
                if (path == QLatin1String("Amt")) e.amount = text;
                else if (path == QLatin1String("CdtDbtInd")) e.creditDebit = text;
                else if (path == QLatin1String("BookgDt/Dt") || path == QLatin1String("BookgDt/DtTm")) e.bookingDate = text;
                else if (path == QLatin1String("ValDt/Dt") || path == QLatin1String("ValDt/DtTm")) e.valueDate = text;
                else if (path == QLatin1String("AcctSvcrRef")) e.serviceRef = text;
                else if (path == QLatin1String("NtryRef")) e.entryRef = text;
                else if (path == QLatin1String("AddtlNtryInf")) e.additional = text;
            }
        } visit{*this, entry};
        Walk(visit);
        m_path.clear();
        Emit(entry);
        Tell();
    }

    Details ReadDetails()
    {
        Details d;
        struct DetailVisit {
            Details &d;
            bool operator()(const QStringList &) { return true; }
            void Text(const QStringList &below, const QString &text)
            {
                const QString path = below.join(QLatin1Char('/'));
                if (path == QLatin1String("AmtDtls/TxAmt/Amt")) { d.amount = text; d.amountElement = path; }
                else if (path == QLatin1String("Amt") && d.amountElement.isEmpty()) { d.amount = text; d.amountElement = path; }
                else if (path == QLatin1String("CdtDbtInd")) d.creditDebit = text;
                else if (path == QLatin1String("Refs/AcctSvcrRef")) d.serviceRef = text;
                else if (path == QLatin1String("Refs/EndToEndId")) d.endToEnd = text;
                else if (path == QLatin1String("RltdPties/Dbtr/Nm") || path == QLatin1String("RltdPties/Dbtr/Pty/Nm")) d.debtor = text;
                else if (path == QLatin1String("RltdPties/Cdtr/Nm") || path == QLatin1String("RltdPties/Cdtr/Pty/Nm")) d.creditor = text;
                else if (path == QLatin1String("RmtInf/Ustrd")) d.unstructured << text;
                else if (path.startsWith(QLatin1String("RmtInf/Strd/")) && path.endsWith(QLatin1String("CdtrRefInf/Ref"))) d.references << text;
                else if (path == QLatin1String("AddtlTxInf")) d.additional = text;
            }
        } visit{d};
        Walk(visit);
        return d;
    }

    static double Signed(double amount, const QString &creditDebit)
    {
        return creditDebit.trimmed() == QLatin1String("DBIT") ? -amount : amount;
    }

    void Emit(const Entry &e)
    {
        const QString dateText = !e.bookingDate.isEmpty() ? e.bookingDate : e.valueDate;
        const QDate date = QDate::fromString(dateText.left(10), Qt::ISODate);
        const bool batched = e.details.size() > 1;
        const std::vector<Details> one(1);
        const std::vector<Details> &parts = e.details.empty() ? one : e.details;
        // A reference that several parts of a batch share tells them apart by their place in it.
        QHash<QString, int> refCount;
        for (const Details &d : parts)
            ++refCount[d.serviceRef];
        int place = 0;
        for (const Details &d : parts) {
            ++place;
            StatementLine line;
            line.line = e.ordinal;
            line.date = date;
            const QString creditDebit = !d.creditDebit.isEmpty() ? d.creditDebit : e.creditDebit;
            // A batch's parts carry their own amounts; a single part's amount is the entry's.
            const QString amountText = batched && !d.amount.isEmpty() ? d.amount : e.amount;
            const auto amount = ParsePlainAmount(amountText);
            if (amount)
                line.amount = Signed(*amount, creditDebit);
            const QString name = creditDebit.trimmed() == QLatin1String("DBIT") ? d.creditor : d.debtor;
            QString remittance = d.unstructured.join(QLatin1Char(' '));
            if (remittance.isEmpty())
                remittance = d.references.join(QLatin1Char(' '));
            line.remarks = JoinRemarks({name, remittance});
            if (line.remarks.isEmpty())
                line.remarks = !d.additional.isEmpty() ? d.additional : e.additional;
            if (!d.serviceRef.isEmpty())
                line.bankId = refCount.value(d.serviceRef) > 1 ? QStringLiteral("%1#%2").arg(d.serviceRef).arg(place) : d.serviceRef;
            else if (!e.serviceRef.isEmpty() && !batched)
                line.bankId = e.serviceRef;
            else if (!e.entryRef.isEmpty() && !batched)
                line.bankId = e.entryRef;
            else if (!d.endToEnd.isEmpty() && d.endToEnd != QLatin1String("NOTPROVIDED"))
                line.bankId = d.endToEnd;
            QStringList errors;
            if (dateText.isEmpty())
                errors << QStringLiteral("no booking date");
            else if (!date.isValid())
                errors << QStringLiteral("\"%1\" is no date").arg(dateText);
            if (!amount)
                errors << (amountText.isEmpty() ? QStringLiteral("no amount") : QStringLiteral("\"%1\" is no amount").arg(amountText));
            if (creditDebit.trimmed() != QLatin1String("DBIT") && creditDebit.trimmed() != QLatin1String("CRDT"))
                errors << QStringLiteral("no credit or debit mark");
            if (!errors.isEmpty())
                line.error = QStringLiteral("Entry %1 (line %2): %3.").arg(e.ordinal).arg(e.textLine).arg(errors.join(QStringLiteral("; ")));
            m_sink(std::move(line));
        }
    }

    QXmlStreamReader m_xml;
    QIODevice *m_device;
    const LineSink &m_sink;
    const Progress &m_progress;
    QStringList m_path;
    QString m_text;
    int m_ordinal = 0;
};

}  // namespace

void ReadCamt053(const QString &path, const LineSink &sink, const Progress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(QStringLiteral("The file %1 cannot be opened: %2").arg(path, file.errorString()));
    CamtReader(&file, sink, progress).Read();
}

}  // namespace import
