// QIF files of bank, cash, credit card and other asset or liability accounts.
//
// A QIF date may be month-first or day-first and the file does not say which, so the records
// are read first and dated after: month-first unless some date's first field is above 12 and
// no date's second field is. The records wait in memory until then; QIF files are written by
// desktop programs for one account and stay small.
#include "import/Readers.h"
#include "import/TextInput.h"

#include <QRegularExpression>

namespace import {
using namespace detail;

namespace {

struct Record {
    int line = 0;
    QString date, amount, payee, memo, number;
};

// The parts of a QIF date: first, second field and year as written.
struct DateParts {
    int first = 0, second = 0, year = -1;
    bool iso = false;
    bool ok = false;
};

DateParts SplitDate(const QString &text)
{
    static const QRegularExpression iso(QStringLiteral("^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})\\s*$"));
    static const QRegularExpression usual(
        QStringLiteral("^\\s*(\\d{1,2})\\s*[/.\\-]\\s*(\\d{1,2})\\s*(?:['/.\\-]\\s*(\\d{2}|\\d{4}))\\s*$"));
    DateParts parts;
    if (const auto m = iso.match(text); m.hasMatch()) {
        parts.year = m.captured(1).toInt();
        parts.first = m.captured(2).toInt();
        parts.second = m.captured(3).toInt();
        parts.iso = parts.ok = true;
    } else if (const auto m = usual.match(text); m.hasMatch()) {
        parts.first = m.captured(1).toInt();
        parts.second = m.captured(2).toInt();
        const QString year = m.captured(3);
        parts.year = year.toInt();
        if (year.size() == 2)
            parts.year += parts.year < 70 ? 2000 : 1900;  // '04 is 2004, 94 is 1994
        parts.ok = true;
    }
    return parts;
}

bool IsBookingSection(const QString &type)
{
    const QString t = type.trimmed().toLower();
    return t == QLatin1String("bank") || t == QLatin1String("cash") || t == QLatin1String("ccard")
           || t == QLatin1String("oth a") || t == QLatin1String("oth l");
}

bool IsInvestmentSection(const QString &type)
{
    const QString t = type.trimmed().toLower();
    return t == QLatin1String("invst") || t == QLatin1String("port");
}

// A QIF number (N) is the bank's id only when it looks like one: a long reference. Cheque
// numbers and the running numbers programs write restart in every file and would match
// unrelated bookings as "already imported".
bool LooksLikeId(const QString &number)
{
    static const QRegularExpression id(QStringLiteral("^(?=.*\\d)[A-Za-z0-9/\\-]{8,}$"));
    return id.match(number).hasMatch();
}

}  // namespace

void ReadQif(const QString &path, const LineSink &sink, const Progress &progress)
{
    LineReader reader(path, progress);
    std::vector<Record> records;
    Record current;
    bool inRecord = false, inSplit = false;
    QString section;          // the current !Type, lower case; empty before the first
    bool bookings = true;     // lines outside any !Type are read as bookings
    bool sawQif = false, sawInvestment = false, sawBookingSection = false;
    QString line;
    auto close = [&] {
        if (inRecord && bookings && (!current.date.isEmpty() || !current.amount.isEmpty()))
            records.push_back(current);
        current = Record();
        inRecord = inSplit = false;
    };
    while (reader.Next(line)) {
        if (line.trimmed().isEmpty())
            continue;
        const QChar code = line.at(0);
        const QString value = line.mid(1);
        if (code == QLatin1Char('!')) {
            close();
            sawQif = true;
            if (value.startsWith(QLatin1String("Type:"), Qt::CaseInsensitive)) {
                section = value.mid(5).trimmed();
                bookings = IsBookingSection(section);
                sawBookingSection |= bookings;
                sawInvestment |= IsInvestmentSection(section);
            } else if (value.startsWith(QLatin1String("Account"), Qt::CaseInsensitive)) {
                bookings = false;  // an account list until the next !Type
            }
            continue;
        }
        if (code == QLatin1Char('^')) {
            close();
            continue;
        }
        if (!inRecord) {
            current.line = reader.LineNumber();
            inRecord = true;
        }
        switch (code.unicode()) {
        case 'D':
            if (!inSplit && current.date.isEmpty())
                current.date = value;
            break;
        case 'T':
        case 'U':
            if (current.amount.isEmpty())
                current.amount = value.trimmed();
            break;
        case 'P': current.payee = value; break;
        case 'M': if (!inSplit) current.memo = value; break;
        case 'N': if (!inSplit) current.number = value.trimmed(); break;
        case 'S': inSplit = true; break;  // splits: the entry's total stands in T
        default: break;
        }
        sawQif |= code == QLatin1Char('D') || code == QLatin1Char('T');
    }
    close();
    if (!sawQif)
        throw ReadError(NotAStatementMessage());
    if (records.empty() && sawInvestment && !sawBookingSection)
        throw ReadError(QStringLiteral("This QIF file holds only investment accounts; Quillmark imports bank, "
                                       "cash and credit card accounts."));

    // Day-first only when the file shows it: a first field above 12 somewhere, a second nowhere.
    bool firstAbove12 = false, secondAbove12 = false;
    for (const Record &r : records) {
        const DateParts p = SplitDate(r.date);
        if (p.ok && !p.iso) {
            firstAbove12 |= p.first > 12;
            secondAbove12 |= p.second > 12;
        }
    }
    const bool dayFirst = firstAbove12 && !secondAbove12;
    // Decimal commas only when the file shows them: an amount ending in ,dd and none in .dd.
    static const QRegularExpression commaCents(QStringLiteral(",\\d{1,2}$"));
    static const QRegularExpression pointCents(QStringLiteral("\\.\\d{1,2}$"));
    bool commaDecimals = false, pointDecimals = false;
    for (const Record &r : records) {
        commaDecimals |= commaCents.match(r.amount).hasMatch();
        pointDecimals |= pointCents.match(r.amount).hasMatch();
    }
    const bool decimalComma = commaDecimals && !pointDecimals;

    for (const Record &r : records) {
        StatementLine out;
        out.line = r.line;
        out.remarks = JoinRemarks({r.payee, r.memo});
        if (LooksLikeId(r.number))
            out.bankId = r.number;
        QStringList errors;
        const DateParts p = SplitDate(r.date);
        if (p.ok)
            out.date = p.iso || !dayFirst ? QDate(p.year, p.first, p.second) : QDate(p.year, p.second, p.first);
        if (r.date.trimmed().isEmpty())
            errors << QStringLiteral("no date (D)");
        else if (!out.date.isValid())
            errors << QStringLiteral("\"%1\" is no date").arg(r.date.trimmed());
        QString amount = r.amount;
        if (decimalComma)
            amount.remove(QLatin1Char('.')).replace(QLatin1Char(','), QLatin1Char('.'));
        else
            amount.remove(QLatin1Char(','));
        if (const auto value = ParsePlainAmount(amount))
            out.amount = *value;
        else if (r.amount.isEmpty())
            errors << QStringLiteral("no amount (T)");
        else
            errors << QStringLiteral("\"%1\" is no amount").arg(r.amount);
        if (!errors.isEmpty())
            out.error = QStringLiteral("Line %1: %2.").arg(r.line).arg(errors.join(QStringLiteral("; ")));
        sink(std::move(out));
    }
}

}  // namespace import
