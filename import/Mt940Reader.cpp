// MT940 customer statements: one booking per :61: field, described by the :86: field after it.
#include "import/Readers.h"
#include "import/TextInput.h"

#include <QRegularExpression>

namespace import {
using namespace detail;

namespace {

// The year of an MMDD entry date: the one that puts it nearest to the value date, so an entry
// booked on 30 December for a value date of 2 January falls in the year before.
QDate EntryDate(const QDate &value, int month, int day)
{
    QDate best;
    for (int year = value.year() - 1; year <= value.year() + 1; ++year) {
        const QDate d(year, month, day);
        if (d.isValid() && (!best.isValid() || qAbs(d.daysTo(value)) < qAbs(best.daysTo(value))))
            best = d;
    }
    return best;
}

// SEPA keywords begin a new part of the remittance text; the other subfields continue the
// text of the one before, cut at 27 characters wherever it fell.
bool StartsSepaKeyword(const QString &text)
{
    static const QRegularExpression keyword(QStringLiteral("^(EREF|KREF|MREF|CRED|DEBT|SVWZ|ABWA|ABWE|IBAN|BIC)\\+"));
    return keyword.match(text).hasMatch();
}

struct Description {
    QString name, text;
};

// :86: with ?nn subfields (the German layout): ?00 posting text, ?20-?29 and ?60-?63 the
// remittance text, ?32-?33 the counterparty's name.
Description Structured(const QString &field)
{
    static const QRegularExpression subfield(QStringLiteral("\\?(\\d\\d)"));
    Description d;
    QString posting, remittance;
    QList<QPair<int, QString>> parts;
    auto it = subfield.globalMatch(field);
    QRegularExpressionMatch previous;
    while (it.hasNext()) {
        const auto m = it.next();
        if (previous.hasMatch())
            parts.append({previous.captured(1).toInt(), field.mid(previous.capturedEnd(), m.capturedStart() - previous.capturedEnd())});
        previous = m;
    }
    if (previous.hasMatch())
        parts.append({previous.captured(1).toInt(), field.mid(previous.capturedEnd())});
    for (const auto &[code, value] : parts) {
        if (code == 0)
            posting = value;
        else if ((code >= 20 && code <= 29) || (code >= 60 && code <= 63)) {
            if (!remittance.isEmpty() && StartsSepaKeyword(value) && !remittance.endsWith(QLatin1Char(' ')))
                remittance += QLatin1Char(' ');
            remittance += value;
        } else if (code == 32 || code == 33)
            d.name += value;
    }
    d.name = d.name.simplified();
    d.text = remittance.trimmed().isEmpty() ? posting.trimmed() : remittance.trimmed();
    return d;
}

// :86: in the /KEY/value/ layout of Dutch banks: /NAME/ or /CNTP/…/…/name/ for the
// counterparty, /REMI/ (with /USTD// or /STRD/CUR/) for the remittance text.
Description Keyed(const QString &field)
{
    static const QString keys = QStringLiteral(
        "TRTP|IBAN|BIC|NAME|REMI|EREF|MARF|CSID|ORDP|BENM|ID|ADDR|CNTP|ISDT|RTRN|ULTC|ULTD|PURP|SVCL|BUSP|CDTRREF|CDTRREFTP|PREF|SWOC|FX|CD|ISSR");
    static const QRegularExpression tokens(QStringLiteral("/(%1)/").arg(keys));
    QHash<QString, QString> values;
    auto it = tokens.globalMatch(field);
    QString key;
    qsizetype from = -1;
    auto take = [&](qsizetype end) {
        if (!key.isEmpty() && !values.contains(key))
            values.insert(key, field.mid(from, end - from));
    };
    while (it.hasNext()) {
        const auto m = it.next();
        if (!key.isEmpty() && m.capturedStart() < from)
            continue;
        take(m.capturedStart());
        key = m.captured(1);
        from = m.capturedEnd();
    }
    take(field.size());
    Description d;
    d.name = values.value(QStringLiteral("NAME"));
    if (d.name.isEmpty() && values.contains(QStringLiteral("CNTP")))
        d.name = values.value(QStringLiteral("CNTP")).section(QLatin1Char('/'), 2, 2);
    QString remi = values.value(QStringLiteral("REMI"));
    if (remi.startsWith(QLatin1String("USTD//")))
        remi = remi.mid(6);
    else if (remi.startsWith(QLatin1String("STRD/CUR/")))
        remi = remi.mid(9);
    while (remi.endsWith(QLatin1Char('/')))
        remi.chop(1);
    d.name = d.name.trimmed();
    d.text = remi.trimmed();
    return d;
}

class Mt940Reader {
public:
    explicit Mt940Reader(const LineSink &sink) : m_sink(sink) {}

    void Line(QString line, int lineNumber)
    {
        // Control characters (a start-of-text or end-of-text byte around a message) are noise.
        line.remove(QRegularExpression(QStringLiteral("[\\x00-\\x08\\x0B-\\x1F\\x7F]")));
        if (line.startsWith(QLatin1Char('{'))) {
            const qsizetype text = line.indexOf(QLatin1String("{4:"));
            if (text < 0)
                return;
            line = line.mid(text + 3);
        }
        static const QRegularExpression tag(QStringLiteral("^:(\\d\\d[A-Z]?):"));
        const auto m = tag.match(line);
        if (m.hasMatch()) {
            EndField();
            m_tag = m.captured(1);
            m_field = QStringList{line.mid(m.capturedEnd())};
            m_fieldLine = lineNumber;
            m_sawTag = true;
            return;
        }
        static const QRegularExpression messageEnd(QStringLiteral("^-(\\}|[A-Z]*\\s*$)"));
        if (messageEnd.match(line).hasMatch() || line.startsWith(QLatin1Char('}'))) {
            EndField();
            Emit();
            return;
        }
        if (!m_tag.isEmpty() && !line.trimmed().isEmpty())
            m_field << line;  // a field goes on over several lines
    }

    void Finish()
    {
        EndField();
        Emit();
        if (!m_sawTag || !m_sawStatement)
            throw ReadError(NotAStatementMessage());
    }

private:
    void EndField()
    {
        if (m_tag.isEmpty())
            return;
        if (m_tag == QLatin1String("61")) {
            Emit();
            m_booking = m_field;
            m_bookingLine = m_fieldLine;
            m_hasBooking = true;
        } else if (m_tag == QLatin1String("86")) {
            if (m_hasBooking)
                m_description << m_field;  // several :86: fields in a row are one text
        } else {
            Emit();
            if (m_tag == QLatin1String("20") || m_tag.startsWith(QLatin1String("60")))
                m_sawStatement = true;
        }
        m_tag.clear();
        m_field.clear();
    }

    void Emit()
    {
        if (!m_hasBooking)
            return;
        m_hasBooking = false;
        StatementLine out;
        out.line = m_bookingLine;
        static const QRegularExpression booking(QStringLiteral(
            "^(\\d{6})(\\d{4})?(RC|RD|C|D)([A-Z])?(\\d[\\d,]*)([NFS][A-Z0-9]{3})(.*)$"));
        const QString first = m_booking.value(0).trimmed();
        const auto m = booking.match(first);
        QString extra;  // text past the references, and the supplementary line
        QStringList errors;
        if (m.hasMatch()) {
            const QString v = m.captured(1);
            const int yy = v.left(2).toInt();
            const QDate value(yy < 80 ? 2000 + yy : 1900 + yy, v.mid(2, 2).toInt(), v.mid(4, 2).toInt());
            out.date = value;
            if (value.isValid() && !m.captured(2).isEmpty())
                out.date = EntryDate(value, m.captured(2).left(2).toInt(), m.captured(2).mid(2).toInt());
            if (!out.date.isValid())
                errors << QStringLiteral("\"%1%2\" is no date").arg(v, m.captured(2));
            const QString mark = m.captured(3);
            if (const auto amount = ParsePlainAmount(m.captured(5), true)) {
                // RC is the reversal of a credit, so money out; RD of a debit, so money in.
                const bool out_ = mark == QLatin1String("D") || mark == QLatin1String("RC");
                out.amount = out_ ? -*amount : *amount;
            } else {
                errors << QStringLiteral("\"%1\" is no amount").arg(m.captured(5));
            }
            const QString rest = m.captured(7);
            const qsizetype slashes = rest.indexOf(QLatin1String("//"));
            QString bankRef;
            if (slashes >= 0) {
                bankRef = rest.mid(slashes + 2, 16);
                extra = rest.mid(slashes + 2 + 16);
            } else {
                extra = rest.mid(16);
            }
            bankRef = bankRef.trimmed();
            if (!bankRef.isEmpty() && bankRef.compare(QLatin1String("NONREF"), Qt::CaseInsensitive) != 0)
                out.bankId = bankRef;
        } else {
            errors << QStringLiteral("the booking \"%1\" cannot be read").arg(first.left(40));
        }
        const QString supplementary = m_booking.mid(1).join(QLatin1Char(' ')).trimmed();
        const Description d = Describe();
        const QString name = d.name.isEmpty() ? extra.trimmed() : d.name;
        out.remarks = JoinRemarks({name, d.text.isEmpty() ? supplementary : d.text});
        if (!errors.isEmpty())
            out.error = QStringLiteral("Line %1: %2.").arg(m_bookingLine).arg(errors.join(QStringLiteral("; ")));
        m_description.clear();
        m_sink(std::move(out));
    }

    Description Describe() const
    {
        if (m_description.isEmpty())
            return {};
        static const QRegularExpression structured(QStringLiteral("^\\d{3}\\?\\d\\d"));
        const QString joined = m_description.join(QString());
        if (structured.match(joined).hasMatch())
            return Structured(joined);
        if (joined.startsWith(QLatin1Char('/')) && joined.contains(QRegularExpression(QStringLiteral("/(NAME|REMI|EREF|TRTP|CNTP)/"))))
            return Keyed(joined);
        // Free text: a line filled to 65 characters was cut there and goes on in the next one;
        // a shorter line ended where its writer ended it.
        QString text;
        bool cut = false;
        for (const QString &part : m_description) {
            if (!text.isEmpty() && !cut)
                text = text.trimmed() + QLatin1Char(' ');
            text += part;
            cut = part.size() >= 65;
        }
        return {QString(), text.trimmed()};
    }

    const LineSink &m_sink;
    QString m_tag;
    QStringList m_field;
    int m_fieldLine = 0;
    bool m_sawTag = false, m_sawStatement = false;
    QStringList m_booking, m_description;
    int m_bookingLine = 0;
    bool m_hasBooking = false;
};

}  // namespace

void ReadMt940(const QString &path, const LineSink &sink, const Progress &progress)
{
    LineReader reader(path, progress);
    Mt940Reader mt940(sink);
    QString line;
    while (reader.Next(line))
        mt940.Line(line, reader.LineNumber());
    mt940.Finish();
}

}  // namespace import
