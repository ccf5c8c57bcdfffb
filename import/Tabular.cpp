// Tables of bookings (CSV, .xlsx, .xls): the mapping proposed from a sample of the rows, the
// rows read through a mapping, and the mapping kept as a line of text.
#include "import/TableSource.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <cmath>

namespace import {

using detail::RowSource;
using detail::TableRow;

namespace {

// ---- Header words -------------------------------------------------------------------------

// A header or cell as plain lower-case words: camel case split, umlauts spelt out, accents
// dropped, punctuation taken as space ("Auftraggeber/Empfänger" -> "auftraggeber empfaenger").
QString Words(const QString &text)
{
    QString spaced;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i > 0 && text[i].isUpper() && text[i - 1].isLower()) spaced += QLatin1Char(' ');
        spaced += text[i];
    }
    QString lower = spaced.toLower();
    lower.replace(QChar(0xE4), QLatin1String("ae")).replace(QChar(0xF6), QLatin1String("oe"))
        .replace(QChar(0xFC), QLatin1String("ue")).replace(QChar(0xDF), QLatin1String("ss"));
    QString plain;
    for (QChar c : lower.normalized(QString::NormalizationForm_D)) {
        if (c.category() == QChar::Mark_NonSpacing) continue;
        plain += c.isLetterOrNumber() ? c : QLatin1Char(' ');
    }
    return plain.simplified();
}

bool HasPhrase(const QString &words, const QString &phrase)
{
    const QString padded = QLatin1Char(' ') + words + QLatin1Char(' ');
    return padded.contains(QLatin1Char(' ') + phrase + QLatin1Char(' '));
}

enum class Kind { None, Skip, DebitCredit, ValueDate, BookingDate, Date, BankId, MoneyOut, MoneyIn, Amount, Remarks };

// What a header names, tried in this order: the more specific phrases first ("Af Bij" before
// "Af", "Date de valeur" before "Date", "Debit amount" before "Amount").
Kind KindOfHeader(const QString &header)
{
    static const std::vector<std::pair<Kind, QStringList>> table = {
        {Kind::Skip, {"saldo", "balance", "solde", "kontostand", "waehrung", "currency", "devise", "divisa", "monn",
                      "валюта", "залишок"}},
        {Kind::DebitCredit, {"af bij", "bij af", "credit debet", "debet credit", "credit debit", "debit credit", "soll haben",
                             "d c", "c d", "cr dr", "dr cr", "s h", "debit credit indicator", "sign"}},
        {Kind::ValueDate, {"valutadatum", "wertstellung", "wertstellungsdatum", "value date", "valuta", "date de valeur",
                           "fecha valor", "data valuta", "rentedatum", "valeur"}},
        {Kind::BookingDate, {"buchungstag", "buchungsdatum", "buchung", "boekdatum", "boekingsdatum", "booking date",
                             "posting date", "posted date", "date comptable", "fecha contable", "data contabile"}},
        {Kind::Date, {"datum", "date", "transactiedatum", "transaction date", "fecha", "data", "дата"}},
        {Kind::BankId, {"transaction id", "transaction number", "transaction reference", "transaktions id", "reference",
                        "referentie", "referenz", "fitid", "id", "n de transaction", "no de transaction",
                        "numero de transaction", "operation number", "numero d operation", "bank reference"}},
        {Kind::MoneyOut, {"debit", "debit amount", "soll", "withdrawal", "withdrawals", "paid out", "money out", "debet",
                          "af", "uitgaven", "ausgabe", "ausgaben", "cargo", "cargos", "debito", "addebiti", "uscite",
                          "depense", "depenses", "sortie", "sorties"}},
        {Kind::MoneyIn, {"credit", "credit amount", "haben", "deposit", "deposits", "paid in", "money in", "bij",
                         "inkomsten", "einnahme", "einnahmen", "abono", "abonos", "credito", "accrediti", "entrate",
                         "recette", "recettes", "entree", "entrees"}},
        {Kind::Amount, {"betrag", "amount", "bedrag", "montant", "importe", "importo", "umsatz", "сума"}},
        {Kind::Remarks, {"description", "desc", "payee", "memo", "name", "naam", "omschrijving", "mededelingen",
                         "verwendungszweck", "auftraggeber", "empfaenger", "beguenstigter", "begunstigter",
                         "zahlungspflichtiger", "libelle", "concepto", "descripcion", "descrizione", "causale", "details",
                         "detail", "label", "narrative", "counterparty", "tegenrekeninghouder", "beneficiary", "notes",
                         "note", "particulars", "merchant", "beschreibung", "remarks", "опис"}},
    };
    const QString words = Words(header);
    if (words.isEmpty()) return Kind::None;
    for (const auto &[kind, phrases] : table)
        for (const QString &phrase : phrases)
            if (HasPhrase(words, phrase)) return kind;
    return Kind::None;
}

// A row of a trailing summary: a cell that begins with a word of totals or balances.
bool IsSummaryRow(const QStringList &cells)
{
    static const QStringList starts = {"saldo", "total", "totaal", "totale", "totals", "subtotal", "summe", "gesamt",
                                       "zwischensumme", "kontostand", "endsaldo", "anfangssaldo", "balance", "solde",
                                       "opening", "closing", "sum", "итого", "залишок"};
    for (const QString &cell : cells) {
        const QString words = Words(cell);
        const QString first = words.section(QLatin1Char(' '), 0, 0);
        if (starts.contains(first)) return true;
    }
    return false;
}

bool ReadsAsDate(const QString &text) { return !text.trimmed().isEmpty() && !DateFormatsFor({text}).isEmpty(); }
bool ReadsAsAmount(const QString &text)
{
    return ParseAmount(text, QLatin1Char('.')) || ParseAmount(text, QLatin1Char(','));
}

// A row that looks like a booking: a date in one cell and an amount in another.
bool IsDataRow(const QStringList &cells)
{
    for (qsizetype d = 0; d < cells.size(); ++d) {
        if (!ReadsAsDate(cells[d])) continue;
        for (qsizetype a = 0; a < cells.size(); ++a)
            if (a != d && ReadsAsAmount(cells[a])) return true;
    }
    return false;
}

struct DebitCreditWords {
    QString in, out;
};
const QList<DebitCreditWords> &KnownDebitCreditWords()
{
    static const QList<DebitCreditWords> pairs = {
        {"Bij", "Af"}, {"Credit", "Debit"}, {"C", "D"}, {"H", "S"}, {"CR", "DR"}, {"Haben", "Soll"}, {"CRDT", "DBIT"}, {"+", "-"},
    };
    return pairs;
}

QString WordKey(const QString &word) { return word.toLower().remove(QRegularExpression(QStringLiteral("\\s"))); }

// The pair of words every non-empty value of a column is one of.
std::optional<DebitCreditWords> DebitCreditOf(const QStringList &values)
{
    for (const auto &pair : KnownDebitCreditWords()) {
        bool all = true, any = false;
        for (const QString &value : values) {
            const QString key = WordKey(value);
            if (key.isEmpty()) continue;
            any = true;
            if (key != WordKey(pair.in) && key != WordKey(pair.out)) all = false;
        }
        if (all && any) return pair;
    }
    return std::nullopt;
}

bool ReadsTheSameBothWays(const QStringList &texts)
{
    for (const QString &text : texts) {
        if (text.trimmed().isEmpty()) continue;
        const auto dot = ParseAmount(text, QLatin1Char('.')), comma = ParseAmount(text, QLatin1Char(','));
        if (!dot || !comma || *dot != *comma) return false;
    }
    return true;
}

QString Cell(const QStringList &cells, int index) { return index >= 0 && index < cells.size() ? cells[index].trimmed() : QString(); }

QString Joined(const QStringList &parts, const QString &separator)
{
    QStringList kept;
    for (const QString &part : parts)
        if (!part.trimmed().isEmpty()) kept << part.trimmed();
    return kept.join(separator);
}

std::unique_ptr<RowSource> OpenSource(const QString &path, Format format, QString encoding, QChar delimiter,
                                      const QString &sheet, const Progress &progress, TabularSample *sample)
{
    if (format == Format::Xlsx || format == Format::Xls)
        return detail::OpenWorkbook(path, format, sheet, sample ? &sample->sheets : nullptr,
                                    sample ? &sample->sheet : nullptr, progress);
    if (format != Format::Csv) throw ReadError(NotAStatementMessage());
    if (encoding.isEmpty() || delimiter.isNull()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) throw ReadError(QStringLiteral("The file cannot be opened: %1").arg(file.errorString()));
        const QByteArray head = file.read(1 << 16);
        if (encoding.isEmpty()) encoding = detail::DetectEncoding(head);
        if (delimiter.isNull()) {
            QString text = detail::TextDecoder(encoding).Decode(head);
            if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
            delimiter = detail::DetectDelimiter(text);
        }
    }
    if (sample) sample->encoding = encoding, sample->delimiter = delimiter;
    return std::make_unique<detail::CsvSource>(path, encoding, delimiter, progress);
}

const QList<std::pair<ColumnRole, QString>> &RoleNames()
{
    static const QList<std::pair<ColumnRole, QString>> names = {
        {ColumnRole::Ignore, "ignore"},     {ColumnRole::Date, "date"},       {ColumnRole::Amount, "amount"},
        {ColumnRole::MoneyIn, "in"},        {ColumnRole::MoneyOut, "out"},    {ColumnRole::DebitCredit, "dc"},
        {ColumnRole::Remarks, "remarks"},   {ColumnRole::BankId, "bankid"},
    };
    return names;
}

QString Encoded(const QString &value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); }
QString EncodedList(const QStringList &values)
{
    QStringList encoded;
    for (const QString &value : values) encoded << Encoded(value);
    return encoded.join(QLatin1Char(','));
}
QString Decoded(const QString &value) { return QUrl::fromPercentEncoding(value.toLatin1()); }
QStringList DecodedList(const QString &value)
{
    QStringList decoded;
    for (const QString &item : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) decoded << Decoded(item);
    return decoded;
}

const QString kMappingVersion = QStringLiteral("qmtab1");

}  // namespace

// ---- The mapping as text ----------------------------------------------------------------------

QString TabularMapping::ToText() const
{
    QStringList roleNames;
    for (ColumnRole role : roles)
        for (const auto &[r, name] : RoleNames())
            if (r == role) roleNames << name;
    return QStringList{kMappingVersion,
                       QStringLiteral("encoding=") + Encoded(encoding),
                       QStringLiteral("delimiter=") + Encoded(QString(delimiter)),
                       QStringLiteral("sheet=") + Encoded(sheet),
                       QStringLiteral("skip=") + QString::number(skipRows),
                       QStringLiteral("header=") + (headerRow ? QStringLiteral("1") : QStringLiteral("0")),
                       QStringLiteral("roles=") + roleNames.join(QLatin1Char(',')),
                       QStringLiteral("date=") + Encoded(dateFormat),
                       QStringLiteral("mark=") + Encoded(QString(decimalMark)),
                       QStringLiteral("in=") + EncodedList(inWords),
                       QStringLiteral("out=") + EncodedList(outWords)}
        .join(QLatin1Char(';'));
}

std::optional<TabularMapping> TabularMapping::FromText(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(';'));
    if (parts.isEmpty() || parts.front() != kMappingVersion) return std::nullopt;
    QHash<QString, QString> values;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype equals = parts[i].indexOf(QLatin1Char('='));
        if (equals <= 0 || values.contains(parts[i].left(equals))) return std::nullopt;
        values.insert(parts[i].left(equals), parts[i].mid(equals + 1));
    }
    static const QStringList keys = {"encoding", "delimiter", "sheet", "skip", "header", "roles", "date", "mark", "in", "out"};
    if (values.size() != keys.size()) return std::nullopt;
    for (const QString &key : keys)
        if (!values.contains(key)) return std::nullopt;

    TabularMapping mapping;
    mapping.encoding = Decoded(values["encoding"]);
    static const QStringList encodings = {"UTF-8", "UTF-16LE", "UTF-16BE", "Windows-1252", "ISO-8859-1"};
    if (!encodings.contains(mapping.encoding)) return std::nullopt;
    const QString delimiter = Decoded(values["delimiter"]);
    if (delimiter.size() != 1 || delimiter == QLatin1String("\"") || delimiter == QLatin1String("\n")
        || delimiter == QLatin1String("\r"))
        return std::nullopt;
    mapping.delimiter = delimiter[0];
    mapping.sheet = Decoded(values["sheet"]);
    bool ok = false;
    mapping.skipRows = values["skip"].toInt(&ok);
    if (!ok || mapping.skipRows < 0 || mapping.skipRows > 1000000) return std::nullopt;
    if (values["header"] != QLatin1String("0") && values["header"] != QLatin1String("1")) return std::nullopt;
    mapping.headerRow = values["header"] == QLatin1String("1");
    mapping.roles.clear();
    for (const QString &name : values["roles"].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        std::optional<ColumnRole> role;
        for (const auto &[r, n] : RoleNames())
            if (n == name) role = r;
        if (!role || mapping.roles.size() >= 16384) return std::nullopt;
        mapping.roles.push_back(*role);
    }
    mapping.dateFormat = Decoded(values["date"]);
    static const QRegularExpression dateFormat(QStringLiteral("^[dMyHmsT .,/\\-:]{1,40}$"));
    if (!dateFormat.match(mapping.dateFormat).hasMatch()) return std::nullopt;
    const QString mark = Decoded(values["mark"]);
    if (mark != QLatin1String(".") && mark != QLatin1String(",")) return std::nullopt;
    mapping.decimalMark = mark[0];
    mapping.inWords = DecodedList(values["in"]);
    mapping.outWords = DecodedList(values["out"]);
    return mapping;
}

// ---- Sampling and proposing -------------------------------------------------------------------

TabularSample SampleTable(const QString &path, Format format, int rows, const QString &encoding, QChar delimiter,
                          const QString &sheet)
{
    TabularSample sample;
    sample.format = format;
    auto source = OpenSource(path, format, encoding, delimiter, sheet, {}, &sample);
    TableRow row;
    while (int(sample.rows.size()) < rows && source->Next(row)) sample.rows.push_back(row.cells);
    return sample;
}

QString TableShape(const TabularSample &sample, const TabularMapping &mapping)
{
    const auto index = std::size_t(mapping.skipRows);
    if (index >= sample.rows.size()) return QStringLiteral("0 columns, no header");
    const QStringList &first = sample.rows[index];
    if (!mapping.headerRow) return QStringLiteral("%1 columns, no header").arg(first.size());
    QStringList names;
    for (const QString &cell : first) names << cell.simplified().toLower();
    return QStringLiteral("%1 columns: %2").arg(first.size()).arg(names.join(QStringLiteral(" | ")));
}

MappingProposal ProposeMapping(const TabularSample &sample)
{
    MappingProposal proposal;
    TabularMapping &mapping = proposal.mapping;
    if (!sample.encoding.isEmpty()) mapping.encoding = sample.encoding;
    if (!sample.delimiter.isNull()) mapping.delimiter = sample.delimiter;
    mapping.sheet = sample.sheet;
    const auto &rows = sample.rows;
    const int count = int(rows.size());

    // The table starts at the first of two rows that look like bookings; the row above it is the
    // header when it holds only texts. Lines above are the bank's preamble.
    int firstData = -1;
    for (int r = 0; r < count && firstData < 0; ++r)
        if (IsDataRow(rows[r]) && (r + 1 == count || IsDataRow(rows[r + 1]))) firstData = r;
    int header = -1;
    if (firstData > 0) {
        const QStringList &above = rows[firstData - 1];
        int texts = 0;
        bool numbers = false;
        for (const QString &cell : above) {
            if (cell.trimmed().isEmpty()) continue;
            if (ReadsAsDate(cell) || ReadsAsAmount(cell)) numbers = true;
            ++texts;
        }
        if (texts >= 2 && !numbers) header = firstData - 1;
    }
    if (firstData < 0) {
        // No booking recognised: take the first row that names two columns as the header.
        for (int r = 0; r < count && header < 0; ++r) {
            int named = 0;
            for (const QString &cell : rows[r]) named += KindOfHeader(cell) != Kind::None;
            if (named >= 2) header = r;
        }
        firstData = header + 1;
    }
    mapping.headerRow = header >= 0;
    mapping.skipRows = header >= 0 ? header : std::max(firstData, 0);

    std::vector<QStringList> data;  // the rows that look like bookings, below the header
    int columns = header >= 0 ? int(rows[header].size()) : 0;
    for (int r = std::max(firstData, 0); r < count; ++r) {
        if (!IsDataRow(rows[r])) continue;
        data.push_back(rows[r]);
        columns = std::max(columns, int(rows[r].size()));
    }
    for (int r = mapping.skipRows; r < count && columns == 0; ++r) columns = std::max(columns, int(rows[r].size()));
    auto values = [&](int column) {
        QStringList list;
        for (const QStringList &row : data) list << Cell(row, column);
        return list;
    };
    std::vector<Kind> kinds(columns, Kind::None);
    if (header >= 0)
        for (int c = 0; c < int(rows[header].size()); ++c) kinds[c] = KindOfHeader(rows[header][c]);
    mapping.roles.assign(columns, ColumnRole::Ignore);
    auto firstOf = [&](Kind kind) {
        for (int c = 0; c < columns; ++c)
            if (kinds[c] == kind) return c;
        return -1;
    };

    // The date: the booking date before any other date, the value date only when there is no other.
    int dateColumn = -1;
    for (Kind kind : {Kind::BookingDate, Kind::Date, Kind::ValueDate}) {
        for (int c = 0; c < columns && dateColumn < 0; ++c)
            if (kinds[c] == kind && !DateFormatsFor(values(c)).isEmpty()) dateColumn = c;
    }
    for (Kind kind : {Kind::BookingDate, Kind::Date, Kind::ValueDate})
        if (dateColumn < 0) dateColumn = firstOf(kind);
    for (int c = 0; c < columns && dateColumn < 0; ++c) {
        const QStringList list = values(c);
        if (kinds[c] == Kind::None && Joined(list, {}).size() > 0 && !DateFormatsFor(list).isEmpty()) dateColumn = c;
    }
    if (dateColumn >= 0) {
        mapping.roles[dateColumn] = ColumnRole::Date;
        proposal.dateFormats = DateFormatsFor(values(dateColumn));
        if (!proposal.dateFormats.isEmpty()) mapping.dateFormat = proposal.dateFormats.front();
    }

    // The amount: one signed column, or money in and money out, or, from the content, the column
    // of numbers likeliest to be the amount (one with signs and decimals).
    QList<int> amountColumns;
    int amountColumn = firstOf(Kind::Amount);
    const int inColumn = firstOf(Kind::MoneyIn), outColumn = firstOf(Kind::MoneyOut);
    if (amountColumn < 0 && inColumn < 0 && outColumn < 0) {
        int bestScore = 0;
        for (int c = 0; c < columns; ++c) {
            if (kinds[c] != Kind::None || c == dateColumn) continue;
            const QStringList list = values(c);
            if (Joined(list, {}).isEmpty() || DecimalMarksFor(list).isEmpty()) continue;
            bool negative = false, fraction = false;
            for (const QString &value : list) {
                const auto amount = ParseAmount(value, DecimalMarksFor(list).front());
                if (amount && *amount < 0) negative = true;
                if (amount && *amount != std::floor(*amount)) fraction = true;
            }
            const int score = 1 + (negative ? 4 : 0) + (fraction ? 2 : 0);
            if (score > bestScore) bestScore = score, amountColumn = c;
        }
    }
    if (amountColumn >= 0) {
        mapping.roles[amountColumn] = ColumnRole::Amount;
        amountColumns << amountColumn;
        // Unsigned amounts take their direction from a column of debit/credit words.
        int dcColumn = firstOf(Kind::DebitCredit);
        bool signedAmounts = false;
        for (const QString &value : values(amountColumn))
            if (const auto a = ParseAmount(value, QLatin1Char(',')); a && *a < 0) signedAmounts = true;
        for (int c = 0; c < columns && dcColumn < 0 && !signedAmounts; ++c)
            if (kinds[c] == Kind::None && c != dateColumn && c != amountColumn && DebitCreditOf(values(c))) dcColumn = c;
        if (dcColumn >= 0) {
            mapping.roles[dcColumn] = ColumnRole::DebitCredit;
            if (const auto words = DebitCreditOf(values(dcColumn))) {
                mapping.inWords = QStringList{words->in};
                mapping.outWords = QStringList{words->out};
            }
        }
    } else {
        if (inColumn >= 0) mapping.roles[inColumn] = ColumnRole::MoneyIn, amountColumns << inColumn;
        if (outColumn >= 0) mapping.roles[outColumn] = ColumnRole::MoneyOut, amountColumns << outColumn;
    }

    // The decimal mark: from the amounts; where they read the same either way (whole numbers),
    // from the other numbers of the table, else from the delimiter (a semicolon goes with commas).
    QStringList amounts;
    for (int c : amountColumns) amounts << values(c);
    proposal.decimalMarks = DecimalMarksFor(amounts);
    if (!amounts.isEmpty() && !proposal.decimalMarks.isEmpty() && ReadsTheSameBothWays(amounts)) {
        QStringList others;
        for (int c = 0; c < columns; ++c)
            if (c != dateColumn && !amountColumns.contains(c))
                for (const QString &value : values(c))
                    if (ReadsAsAmount(value) && !ReadsAsDate(value)) others << value;
        const QList<QChar> hinted = ReadsTheSameBothWays(others) ? QList<QChar>{} : DecimalMarksFor(others);
        if (hinted.size() == 1) proposal.decimalMarks = hinted;
        else proposal.decimalMarks = {mapping.delimiter == QLatin1Char(';') ? QLatin1Char(',') : QLatin1Char('.')};
    }
    if (!proposal.decimalMarks.isEmpty()) mapping.decimalMark = proposal.decimalMarks.front();

    // Remarks: the columns the header names so; without one, the columns of free text. A column
    // that says the same in every row says nothing about the booking and is left out.
    auto constant = [&](int c) {
        const QStringList list = values(c);
        return data.size() >= 3 && QSet<QString>(list.begin(), list.end()).size() <= 1;
    };
    QList<int> remarks;
    for (int c = 0; c < columns; ++c)
        if (kinds[c] == Kind::Remarks && mapping.roles[c] == ColumnRole::Ignore) remarks << c;
    if (remarks.isEmpty()) {
        static const QRegularExpression iban(QStringLiteral("^[A-Z]{2}\\d{2}[A-Z0-9 ]{8,30}$"));
        for (int c = 0; c < columns; ++c) {
            if (kinds[c] != Kind::None || mapping.roles[c] != ColumnRole::Ignore) continue;
            const QStringList list = values(c);
            qsizetype length = 0, filled = 0;
            bool text = true;
            for (const QString &value : list) {
                if (value.isEmpty()) continue;
                ++filled, length += value.size();
                if (ReadsAsAmount(value) || ReadsAsDate(value) || iban.match(value).hasMatch()) text = false;
            }
            if (text && filled > 0 && length >= 4 * filled) remarks << c;
        }
    }
    QList<int> kept;
    for (int c : remarks)
        if (!constant(c)) kept << c;
    for (int c : kept.isEmpty() ? remarks : kept) mapping.roles[c] = ColumnRole::Remarks;

    // The bank's id: a column named so whose values are all there and all different.
    for (int c = 0; c < columns; ++c) {
        if (kinds[c] != Kind::BankId || mapping.roles[c] != ColumnRole::Ignore || data.empty()) continue;
        const QStringList list = values(c);
        if (list.contains(QString()) || QSet<QString>(list.begin(), list.end()).size() != list.size()) continue;
        mapping.roles[c] = ColumnRole::BankId;
        break;
    }

    QStringList missing;
    if (dateColumn < 0) missing << QStringLiteral("the date column");
    else if (proposal.dateFormats.isEmpty()) missing << QStringLiteral("a date format that reads every date");
    if (amountColumns.isEmpty()) missing << QStringLiteral("the amount column (or money in and money out)");
    else if (proposal.decimalMarks.isEmpty()) missing << QStringLiteral("a decimal mark that reads every amount");
    if (std::find(mapping.roles.begin(), mapping.roles.end(), ColumnRole::DebitCredit) != mapping.roles.end()
        && mapping.inWords.isEmpty())
        missing << QStringLiteral("the words of the debit/credit column");
    proposal.missing = missing.join(QStringLiteral("; "));
    proposal.shape = TableShape(sample, mapping);
    return proposal;
}

// ---- Reading ----------------------------------------------------------------------------------

namespace {

struct Columns {
    int date = -1, amount = -1, in = -1, out = -1, dc = -1, bankId = -1;
    QList<int> remarks;
    explicit Columns(const TabularMapping &mapping)
    {
        for (int c = 0; c < int(mapping.roles.size()); ++c) {
            auto take = [c](int &slot) { if (slot < 0) slot = c; };
            switch (mapping.roles[c]) {
            case ColumnRole::Date: take(date); break;
            case ColumnRole::Amount: take(amount); break;
            case ColumnRole::MoneyIn: take(in); break;
            case ColumnRole::MoneyOut: take(out); break;
            case ColumnRole::DebitCredit: take(dc); break;
            case ColumnRole::BankId: take(bankId); break;
            case ColumnRole::Remarks: remarks << c; break;
            case ColumnRole::Ignore: break;
            }
        }
    }
};

QString Quoted(const QString &text) { return QStringLiteral("“%1”").arg(text); }

// One row as a statement line, or nothing for a row that holds no booking: one with neither a
// date nor an amount (a note between the bookings), or a summary row ("Saldo", "Total", an
// opening or closing balance) without a date.
std::optional<StatementLine> RowToLine(const TableRow &row, const TabularMapping &mapping, const Columns &columns,
                                       bool workbook)
{
    const QStringList &cells = row.cells;
    const QString dateText = Cell(cells, columns.date);
    const QString amountText = Cell(cells, columns.amount), inText = Cell(cells, columns.in), outText = Cell(cells, columns.out);
    if (dateText.isEmpty() && amountText.isEmpty() && inText.isEmpty() && outText.isEmpty()) return std::nullopt;
    std::optional<QDate> date;
    if (!dateText.isEmpty()) {
        date = ParseDate(dateText, mapping.dateFormat);
        if (!date && workbook) date = ParseDate(dateText, QStringLiteral("yyyy-MM-dd"));
    }
    if (!date && IsSummaryRow(cells)) return std::nullopt;

    StatementLine line;
    line.line = row.line;
    QStringList remarks, errors;
    for (int c : columns.remarks) remarks << Cell(cells, c);
    line.remarks = Joined(remarks, QStringLiteral(" · "));
    line.bankId = Cell(cells, columns.bankId);
    if (date) line.date = *date;
    else if (columns.date < 0) errors << QStringLiteral("no column is chosen for the date");
    else if (dateText.isEmpty()) errors << QStringLiteral("the date is missing");
    else errors << QStringLiteral("the date %1 does not read as %2").arg(Quoted(dateText), mapping.dateFormat);

    auto number = [&](const QString &text) {
        const auto value = ParseAmount(text, mapping.decimalMark);
        if (!value && !text.isEmpty()) errors << QStringLiteral("the amount %1 is no number").arg(Quoted(text));
        return value;
    };
    if (columns.amount >= 0) {
        const auto value = number(amountText);
        if (amountText.isEmpty()) errors << QStringLiteral("the amount is missing");
        if (value) line.amount = *value;
        if (value && columns.dc >= 0) {
            const QString word = WordKey(Cell(cells, columns.dc));
            auto among = [&](const QStringList &words) {
                for (const QString &w : words)
                    if (WordKey(w) == word) return true;
                return false;
            };
            if (among(mapping.inWords)) line.amount = std::fabs(*value);
            else if (among(mapping.outWords)) line.amount = -std::fabs(*value);
            else errors << QStringLiteral("%1 says neither money in nor money out").arg(Quoted(Cell(cells, columns.dc)));
        }
    } else if (columns.in >= 0 || columns.out >= 0) {
        const auto in = number(inText), out = number(outText);
        if (in && out && *in != 0 && *out != 0) errors << QStringLiteral("both money in and money out are filled");
        if (inText.isEmpty() && outText.isEmpty()) errors << QStringLiteral("the amount is missing");
        // Money out is out whatever its sign; money in keeps its sign.
        if (out && *out != 0) line.amount = -std::fabs(*out);
        else if (in) line.amount = *in;
    } else {
        errors << QStringLiteral("no column is chosen for the amount");
    }
    if (line.amount == 0) line.amount = 0;  // no negative zero
    line.error = errors.join(QStringLiteral("; "));
    return line;
}

}  // namespace

void ReadTable(const QString &path, Format format, const TabularMapping &mapping, const LineSink &sink,
               const Progress &progress)
{
    auto source = OpenSource(path, format, mapping.encoding, mapping.delimiter, mapping.sheet, progress, nullptr);
    const Columns columns(mapping);
    const bool workbook = format != Format::Csv;
    const int skip = mapping.skipRows + (mapping.headerRow ? 1 : 0);
    TableRow row;
    for (int index = 0; source->Next(row); ++index) {
        if (index < skip) continue;
        if (auto line = RowToLine(row, mapping, columns, workbook)) sink(std::move(*line));
    }
}

}  // namespace import
