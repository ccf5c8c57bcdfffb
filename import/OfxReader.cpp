// OFX 1.x (SGML), OFX 2.x (XML) and QFX statements, bank and credit card.
//
// A reader of our own rather than libofx: tried on real statements, libofx turns an impossible
// DTPOSTED (20120231, a month 20) into another valid day, gives a booking without DTPOSTED the
// date 1970-01-01 and calls it valid, reads a TRNAMT whose number starts on the next line as 0,
// shifts dates by the file's time zone, and names no line when a file is damaged. Each of those
// would import a wrong entry silently. The transaction part of OFX is small: a tolerant scan of
// its tags (end tags optional, as SGML allows) reads both versions alike.
#include "import/Readers.h"
#include "import/TextInput.h"

#include <QRegularExpression>

namespace import {
using namespace detail;

namespace {

struct Transaction {
    int ordinal = 0;
    int textLine = 0;
    QString posted, user, amount, fitid, name, memo;
};

QString DecodeEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9A-Fa-f]+|#[0-9]+|amp|lt|gt|quot|apos|nbsp);"));
    QString out;
    qsizetype from = 0;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += text.mid(from, m.capturedStart() - from);
        const QString name = m.captured(1);
        if (name == QLatin1String("amp")) out += QLatin1Char('&');
        else if (name == QLatin1String("lt")) out += QLatin1Char('<');
        else if (name == QLatin1String("gt")) out += QLatin1Char('>');
        else if (name == QLatin1String("quot")) out += QLatin1Char('"');
        else if (name == QLatin1String("apos")) out += QLatin1Char('\'');
        else if (name == QLatin1String("nbsp")) out += QChar(0xA0);
        else {
            const bool hex = name.startsWith(QLatin1String("#x"));
            const uint code = name.mid(hex ? 2 : 1).toUInt(nullptr, hex ? 16 : 10);
            out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        }
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

class OfxScanner {
public:
    OfxScanner(const LineSink &sink) : m_sink(sink) {}

    void Feed(const QString &line, int lineNumber)
    {
        m_lineNumber = lineNumber;
        qsizetype i = 0;
        while (i < line.size()) {
            if (m_inMarkup) {
                // Inside a tag, comment or CDATA section that began on an earlier line.
                const qsizetype end = line.indexOf(m_markupEnd, i);
                if (end < 0) {
                    m_markup += line.mid(i) + QLatin1Char('\n');
                    return;
                }
                m_markup += line.mid(i, end - i);
                i = end + m_markupEnd.size();
                m_inMarkup = false;
                FinishMarkup();
                continue;
            }
            const qsizetype open = line.indexOf(QLatin1Char('<'), i);
            if (open < 0) {
                m_text += line.mid(i) + QLatin1Char('\n');
                return;
            }
            m_text += line.mid(i, open - i);
            m_markupLine = lineNumber;
            m_markup.clear();
            m_inMarkup = true;
            if (line.mid(open, 4) == QLatin1String("<!--")) {
                m_kind = Kind::Comment;
                m_markupEnd = QStringLiteral("-->");
                i = open + 4;
            } else if (line.mid(open, 9) == QLatin1String("<![CDATA[")) {
                m_kind = Kind::Cdata;
                m_markupEnd = QStringLiteral("]]>");
                i = open + 9;
            } else {
                m_kind = Kind::Tag;
                m_markupEnd = QStringLiteral(">");
                i = open + 1;
            }
        }
        m_text += QLatin1Char('\n');
    }

    void Finish()
    {
        if (m_inMarkup)
            throw ReadError(QStringLiteral("Line %1: the tag <%2 is not closed; the file ends inside it.")
                                .arg(m_markupLine)
                                .arg(m_markup.left(40).trimmed()));
        if (!m_sawOfx)
            throw ReadError(NotAStatementMessage());
        if (m_inTransaction)
            Emit();
    }

private:
    enum class Kind { Tag, Comment, Cdata };

    void FinishMarkup()
    {
        if (m_kind == Kind::Comment)
            return;
        if (m_kind == Kind::Cdata) {
            m_cdata += m_markup;  // kept apart: entities in it are not decoded
            return;
        }
        const QString tag = m_markup.trimmed();
        if (tag.startsWith(QLatin1Char('?')) || tag.startsWith(QLatin1Char('!')))
            return;  // <?xml …?>, <?OFX …?>, <!DOCTYPE …>
        const bool closing = tag.startsWith(QLatin1Char('/'));
        QString name = (closing ? tag.mid(1) : tag).section(QRegularExpression(QStringLiteral("[\\s/]")), 0, 0).toUpper();
        TakeValue();
        if (name == QLatin1String("OFX"))
            m_sawOfx = true;
        if (name == QLatin1String("STMTTRN")) {
            if (m_inTransaction)
                Emit();
            if (!closing) {
                m_transaction = Transaction();
                m_transaction.ordinal = ++m_ordinal;
                m_transaction.textLine = m_markupLine;
                m_inTransaction = true;
            }
            m_leaf.clear();
            return;
        }
        if (name == QLatin1String("BANKTRANLIST") && m_inTransaction)
            Emit();
        m_leaf = closing ? QString() : name;
    }

    // The text gathered since the last tag belongs to the element opened by that tag.
    void TakeValue()
    {
        const QString value = (DecodeEntities(m_text) + m_cdata).trimmed();
        m_text.clear();
        m_cdata.clear();
        if (!m_inTransaction || m_leaf.isEmpty())
            return;
        Transaction &t = m_transaction;
        auto setOnce = [](QString &field, const QString &v) { if (field.isEmpty()) field = v; };
        if (m_leaf == QLatin1String("DTPOSTED")) t.posted = value;
        else if (m_leaf == QLatin1String("DTUSER")) setOnce(t.user, value);
        else if (m_leaf == QLatin1String("TRNAMT")) t.amount = value;
        else if (m_leaf == QLatin1String("FITID")) setOnce(t.fitid, QString(value).remove(QRegularExpression(QStringLiteral("\\s"))));
        else if (m_leaf == QLatin1String("NAME")) setOnce(t.name, value);
        else if (m_leaf == QLatin1String("MEMO")) setOnce(t.memo, value);
    }

    void Emit()
    {
        m_inTransaction = false;
        const Transaction &t = m_transaction;
        StatementLine line;
        line.line = t.ordinal;
        line.remarks = JoinRemarks({t.name, t.memo});
        line.bankId = t.fitid;
        QStringList errors;
        const QString dateText = !t.posted.isEmpty() ? t.posted : t.user;
        line.date = ParseCompactDate(dateText);
        if (dateText.isEmpty())
            errors << QStringLiteral("the transaction has no date (DTPOSTED)");
        else if (!line.date.isValid())
            errors << QStringLiteral("\"%1\" is no date").arg(dateText);
        if (const auto amount = ParsePlainAmount(t.amount))
            line.amount = *amount;
        else if (t.amount.isEmpty())
            errors << QStringLiteral("the transaction has no amount (TRNAMT)");
        else
            errors << QStringLiteral("\"%1\" is no amount").arg(t.amount);
        if (!errors.isEmpty())
            line.error = QStringLiteral("Transaction %1 (line %2): %3.").arg(t.ordinal).arg(t.textLine).arg(errors.join(QStringLiteral("; ")));
        m_sink(std::move(line));
    }

    const LineSink &m_sink;
    int m_lineNumber = 0;
    bool m_inMarkup = false;
    Kind m_kind = Kind::Tag;
    QString m_markupEnd, m_markup, m_text, m_cdata, m_leaf;
    int m_markupLine = 0;
    bool m_sawOfx = false;
    bool m_inTransaction = false;
    Transaction m_transaction;
    int m_ordinal = 0;
};

}  // namespace

void ReadOfx(const QString &path, const LineSink &sink, const Progress &progress)
{
    LineReader reader(path, progress);
    OfxScanner scanner(sink);
    QString line;
    bool inHeader = true;
    while (reader.Next(line)) {
        if (inHeader) {
            // The OFX 1 header: KEY:VALUE lines before the first tag. Only the charset matters.
            const QString trimmed = line.trimmed();
            if (!trimmed.startsWith(QLatin1Char('<'))) {
                if (trimmed.startsWith(QLatin1String("CHARSET:"), Qt::CaseInsensitive)) {
                    const QString charset = trimmed.mid(8).trimmed();
                    reader.SetFallback(charset.contains(QLatin1String("8859")) ? QStringLiteral("ISO-8859-1")
                                                                               : QStringLiteral("Windows-1252"));
                }
                continue;
            }
            inHeader = false;
        }
        scanner.Feed(line, reader.LineNumber());
    }
    scanner.Finish();
}

}  // namespace import
