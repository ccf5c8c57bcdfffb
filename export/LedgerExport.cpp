#include "export/LedgerExport.h"

#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/RowStream.h"
#include "data/Variant.h"
#include "export/clsExcelFile.h"
#include "ui/OutputFile.h"
#include "ui/Seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>

namespace {

// The entry's fields in the order of LedgerHeaders.
enum Field { Head, Remarks, In, Out, Date, FieldCount };

constexpr int kMaxCellText = 32767;  // characters a workbook cell holds
constexpr double kMaxColumnWidth = 80;

int columnOf(const RowStream &rs, const char *name)
{
    const int at = rs.FieldIndex(QLatin1String(name));
    if (at < 0)
        throw LedgerExportError(QStringLiteral("the ledger has no column %1").arg(QLatin1String(name)));
    return at;
}

LedgerValue textValue(const QString &text)
{
    LedgerValue v;
    v.kind = LedgerValue::Kind::Text;
    v.text = text;
    return v;
}

// An amount as a number with its exact value; what holds no finite number stays text.
LedgerValue amountValue(const Variant &field)
{
    LedgerValue v;
    if (field.isNull() || field.isEmpty())
        return v;
    bool ok = false;
    const double d = field.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return textValue(field.toString());
    v.kind = LedgerValue::Kind::Number;
    v.number = d;
    return v;
}

LedgerValue dateValue(const Variant &field)
{
    LedgerValue v;
    if (field.isNull() || field.isEmpty())
        return v;
    const QDate d = field.toDate();
    if (!d.isValid())
        return textValue(field.toString());
    v.kind = LedgerValue::Kind::Date;
    v.date = d;
    return v;
}

double round2(double value) { return std::round(value * 100.0) / 100.0; }

// The totals of the amount columns, over the numbers only, as the sheet's formulas add them.
std::pair<double, double> totalsOf(const LedgerTable &table)
{
    double in = 0, out = 0;
    for (const auto &e : table.entries) {
        in += e[In].kind == LedgerValue::Kind::Number ? e[In].number : 0.0;
        out += e[Out].kind == LedgerValue::Kind::Number ? e[Out].number : 0.0;
    }
    return {in, out};
}

// A text that fits a workbook cell: a longer one is cut, its end marked with "…".
QString cellText(const QString &text)
{
    if (text.size() <= kMaxCellText)
        return text;
    QString cut = text.left(kMaxCellText - 1);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut + QChar(0x2026);
}

// A text as a workbook stores it: a run that reads as an escaped character ("_x000D_" is a carriage
// return, which the library writes so) gets its underscore escaped, so that it comes back as typed.
QString storedText(const QString &text)
{
    static const QRegularExpression escapeLike(QStringLiteral("(_x[0-9A-Fa-f]{4}_)"));
    if (!text.contains(QLatin1String("_x")))
        return text;
    return QString(text).replace(escapeLike, QStringLiteral("_x005F\\1"));
}

// The widest line of a text, in characters.
double widthOf(const QString &text)
{
    qsizetype widest = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        widest = std::max(widest, line.size());
    return double(widest);
}

QString numberText(double value) { return QString::number(value, 'f', QLocale::FloatingPointShortest); }

// ---- .xlsx ----

class Workbook {
public:
    explicit Workbook(const QString &path)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;  // rows go out as they are written; texts inline
        m_wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        if (!m_wb)
            throw LedgerExportError(QStringLiteral("the workbook could not be started"));
    }
    ~Workbook()
    {
        if (m_wb)
            workbook_close(m_wb);  // only after a failure: the partial file is removed anyway
    }
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;
    lxw_workbook *operator->() const { return m_wb; }
    lxw_workbook *get() const { return m_wb; }
    void Close(const QString &shown)
    {
        const lxw_error e = workbook_close(m_wb);
        m_wb = nullptr;
        if (e != LXW_NO_ERROR)
            throw LedgerExportError(QStringLiteral("%1 could not be written (%2).").arg(shown, QString::fromUtf8(lxw_strerror(e))));
    }

private:
    lxw_workbook *m_wb = nullptr;
};

void check(lxw_error e)
{
    if (e != LXW_NO_ERROR)
        throw LedgerExportError(QString::fromUtf8(lxw_strerror(e)));
}

QString cellName(int row, int col) { return QChar(u'A' + col) + QString::number(row + 1); }

// The sheet "Budget": a row a planned head with its plan and spending as numbers, what is left and
// the share used as formulas, their totals as formulas, then the two forecasts as values. Every
// formula carries its value for readers that do not calculate.
void writeBudgetSheet(lxw_workbook *wb, const LedgerTable &t, lxw_format *bold, lxw_format *amount,
                      lxw_format *boldAmount)
{
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Budget");
    if (!ws)
        throw LedgerExportError(QStringLiteral("the budget's worksheet could not be added"));
    lxw_format *percent = workbook_add_format(wb);
    format_set_num_format(percent, "0.0%");
    lxw_format *boldPercent = workbook_add_format(wb);
    format_set_num_format(boldPercent, "0.0%");
    format_set_bold(boldPercent);

    std::vector<const HeadBudget *> heads;
    double headWidth = 16;
    for (const HeadBudget &h : t.budget.heads)
        if (h.planned) {
            heads.push_back(&h);
            headWidth = std::max(headWidth, std::min(widthOf(h.head), kMaxColumnWidth));
        }
    check(worksheet_set_column(ws, 0, 0, headWidth + 2, nullptr));
    check(worksheet_set_column(ws, 1, 4, 14, nullptr));

    const auto text = [&](int r, int c, const QString &s, lxw_format *f = nullptr) {
        check(worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), storedText(cellText(s)).toUtf8().constData(), f));
    };
    const auto formula = [&](int r, int c, const QString &f, double value, lxw_format *format) {
        check(worksheet_write_formula_num(ws, lxw_row_t(r), lxw_col_t(c), f.toUtf8().constData(), format, value));
    };
    // The share used, or an empty text where nothing is planned.
    const auto share = [&](int r, double planned, double spent, lxw_format *format) {
        const QString f = QStringLiteral("=IF(%1=0,\"\",%2/%1)").arg(cellName(r, 1), cellName(r, 2));
        if (planned == 0)
            check(worksheet_write_formula_str(ws, lxw_row_t(r), 4, f.toUtf8().constData(), format, ""));
        else
            formula(r, 4, f, spent / planned, format);
    };
    const QStringList headers{QStringLiteral("Head"), QStringLiteral("Planned"), QStringLiteral("Spent"),
                              QStringLiteral("Left"), QStringLiteral("% used")};
    for (int c = 0; c < headers.size(); ++c)
        text(0, c, headers[c], bold);
    worksheet_freeze_panes(ws, 1, 0);
    double planned = 0, spent = 0;
    const int first = 1, n = int(heads.size());
    for (int i = 0; i < n; ++i) {
        const HeadBudget &h = *heads[size_t(i)];
        const int r = first + i;
        text(r, 0, h.head);
        check(worksheet_write_number(ws, lxw_row_t(r), 1, *h.planned, amount));
        check(worksheet_write_number(ws, lxw_row_t(r), 2, h.spent, amount));
        formula(r, 3, QStringLiteral("=%1-%2").arg(cellName(r, 1), cellName(r, 2)), *h.planned - h.spent, amount);
        share(r, *h.planned, h.spent, percent);
        planned += *h.planned;
        spent += h.spent;
    }
    const int totals = first + n, last = first + std::max(n, 1) - 1;
    const auto sum = [&](int col) { return QStringLiteral("=SUM(%1:%2)").arg(cellName(first, col), cellName(last, col)); };
    text(totals, 0, QStringLiteral("Total"), bold);
    formula(totals, 1, sum(1), planned, boldAmount);
    formula(totals, 2, sum(2), spent, boldAmount);
    formula(totals, 3, sum(3), planned - spent, boldAmount);
    share(totals, planned, spent, boldPercent);
    text(totals + 2, 0, QStringLiteral("Forecast on plan"), bold);
    check(worksheet_write_number(ws, lxw_row_t(totals + 2), 1, t.forecast.onPlan, amount));
    text(totals + 3, 0, QStringLiteral("Forecast at rate"), bold);
    if (t.forecast.atRate)
        check(worksheet_write_number(ws, lxw_row_t(totals + 3), 1, *t.forecast.atRate, amount));
    else
        text(totals + 3, 1, QStringLiteral("not known"));
}

void writeXlsx(const LedgerTable &t, const QString &path, const QString &shown)
{
    Workbook wb(path);
    QByteArray user = t.userName.toUtf8(), project = t.projectName.toUtf8();
    QByteArray title = QStringLiteral("Ledger of project %1").arg(t.taskId).toUtf8();
    lxw_doc_properties properties{};
    properties.title = title.data();
    properties.subject = project.data();
    properties.author = user.data();
    properties.created = ui::Now().toSecsSinceEpoch();
    check(workbook_set_properties(wb.get(), &properties));
    const bool budget = t.budget.HasPlan();
    // Sheet names are unique in any letter case: beside the budget's, the ledger's cannot be "Budget".
    QString sheet = SheetNameFor(t.projectName);
    if (budget && sheet.compare(QLatin1String("Budget"), Qt::CaseInsensitive) == 0)
        sheet = QStringLiteral("Ledger");
    lxw_worksheet *ws = workbook_add_worksheet(wb.get(), sheet.toUtf8().constData());
    if (!ws)
        throw LedgerExportError(QStringLiteral("the worksheet could not be added"));
    lxw_format *bold = workbook_add_format(wb.get());
    format_set_bold(bold);
    lxw_format *date = workbook_add_format(wb.get());
    format_set_num_format(date, "dd/mm/yyyy");
    lxw_format *amount = workbook_add_format(wb.get());
    format_set_num_format(amount, "0.00");
    lxw_format *boldAmount = workbook_add_format(wb.get());
    format_set_num_format(boldAmount, "0.00");
    format_set_bold(boldAmount);

    const int first = 2, n = int(t.entries.size());
    const int blank = first + n, totals = blank + 1, balanceRow = totals + 1;
    const auto [in, out] = totalsOf(t);
    const double balance = in - out;

    // Column widths first: this library has no fitting of its own.
    std::vector<double> widths(FieldCount, 0);
    for (int c = 0; c < FieldCount; ++c)
        widths[size_t(c)] = widthOf(LedgerHeaders()[c]);
    for (const auto &e : t.entries)
        for (int c = 0; c < FieldCount; ++c) {
            const LedgerValue &v = e[size_t(c)];
            const double w = v.kind == LedgerValue::Kind::Number ? numberText(round2(v.number)).size() + 3
                             : v.kind == LedgerValue::Kind::Date ? 10
                                                                  : widthOf(v.text);
            widths[size_t(c)] = std::max(widths[size_t(c)], std::min(w, kMaxColumnWidth));
        }
    for (double total : {in, out, balance})
        widths[In] = std::max(widths[In], double(numberText(round2(total)).size() + 3));
    widths[Remarks] = std::max(widths[Remarks], 9.0);  // the word of the balance
    for (int c = 0; c < FieldCount; ++c)
        check(worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), widths[size_t(c)] + 2, nullptr));

    const auto text = [&](int r, int c, const QString &s, lxw_format *f = nullptr) {
        check(worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), storedText(cellText(s)).toUtf8().constData(), f));
    };
    text(0, 0, QStringLiteral("Project %1").arg(t.taskId), bold);
    text(0, 1, t.projectName, bold);
    for (int c = 0; c < FieldCount; ++c)
        text(1, c, LedgerHeaders()[c], bold);
    worksheet_freeze_panes(ws, lxw_row_t(first), 0);
    for (int j = 0; j < n; ++j)
        for (int c = 0; c < FieldCount; ++c) {
            const LedgerValue &v = t.entries[size_t(j)][size_t(c)];
            const int r = first + j;
            if (v.kind == LedgerValue::Kind::Number) {
                check(worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), v.number, amount));
            } else if (v.kind == LedgerValue::Kind::Date) {
                lxw_datetime d{v.date.year(), v.date.month(), v.date.day(), 0, 0, 0};
                if (v.date.year() >= 1900 && v.date.year() <= 9999)
                    check(worksheet_write_datetime(ws, lxw_row_t(r), lxw_col_t(c), &d, date));
                else
                    text(r, c, FormatDate(v.date));
            } else if (v.kind == LedgerValue::Kind::Text) {
                text(r, c, v.text);
            }
        }
    // The totals and the balance as formulas over the amount columns, so that the sheet stays
    // right when someone edits it; each carries its value for readers that do not calculate.
    const int last = first + std::max(n, 1) - 1;  // an empty ledger adds up its empty row
    const auto sum = [&](int col) {
        return QStringLiteral("=SUM(%1:%2)").arg(cellName(first, col), cellName(last, col)).toUtf8();
    };
    text(totals, Remarks, QStringLiteral("Total"), bold);
    check(worksheet_write_formula_num(ws, lxw_row_t(totals), In, sum(In).constData(), boldAmount, in));
    check(worksheet_write_formula_num(ws, lxw_row_t(totals), Out, sum(Out).constData(), boldAmount, out));
    const QByteArray balanceFormula = QStringLiteral("=%1-%2").arg(cellName(totals, In), cellName(totals, Out)).toUtf8();
    const QByteArray wordFormula = BalanceWordFormula(cellName(totals, In), cellName(totals, Out)).toUtf8();
    check(worksheet_write_formula_str(ws, lxw_row_t(balanceRow), Remarks, wordFormula.constData(), bold,
                                      BalanceWord(in, out).trimmed().toUtf8().constData()));
    check(worksheet_write_formula_num(ws, lxw_row_t(balanceRow), In, balanceFormula.constData(), boldAmount, balance));
    if (budget)
        writeBudgetSheet(wb.get(), t, bold, amount, boldAmount);
    wb.Close(shown);
}

// ---- CSV ----

void writeCsv(const LedgerTable &t, const QString &path, const QString &shown)
{
    QString out;
    out.reserve(int(t.entries.size()) * 64 + 64);
    out += QChar(0xFEFF);
    out += LedgerHeaders().join(QLatin1Char(','));
    out += QLatin1String("\r\n");
    for (const auto &e : t.entries) {
        for (int c = 0; c < FieldCount; ++c) {
            const LedgerValue &v = e[size_t(c)];
            if (c)
                out += QLatin1Char(',');
            if (v.kind == LedgerValue::Kind::Number)
                out += numberText(v.number);
            else if (v.kind == LedgerValue::Kind::Date)
                out += v.date.toString(Qt::ISODate);
            else if (v.kind == LedgerValue::Kind::Text)
                out += CsvText(v.text);
        }
        out += QLatin1String("\r\n");
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out.toUtf8()) < 0 || !file.flush())
        throw LedgerExportError(QStringLiteral("%1 could not be written (%2).").arg(shown, file.errorString()));
}

// ---- .xls, in the layout of the Export button ----

void writeXls(const LedgerTable &t, const QString &path)
{
    const auto shownText = [](const LedgerValue &v) {
        return v.kind == LedgerValue::Kind::Number ? FormatNumber(v.number)
               : v.kind == LedgerValue::Kind::Date ? FormatDate(v.date)
                                                    : v.text;
    };
    const auto [in, out] = totalsOf(t);
    const int rows = int(t.entries.size()) + 1;  // as the ledger grid counts them, its header included
    clsExcelFile xl;
    try {
        xl.OpenFile(path);
        xl.EWriteString(1, 1, t.projectName);
        for (int c = 0; c < FieldCount; ++c)
            xl.EWriteString(2, c + 2, LedgerHeaders()[c]);
        for (int j = 1; j < rows; ++j)
            for (int c = 0; c < FieldCount; ++c)
                xl.EWriteString(j + 3, c + 2, shownText(t.entries[size_t(j - 1)][size_t(c)]));
        xl.EWriteString(rows + 4, Remarks + 2, QStringLiteral("Sub Total :"));
        xl.EWriteString(rows + 4, In + 2, FormatNumber(in));
        xl.EWriteString(rows + 4, Out + 2, FormatNumber(out));
        xl.EWriteString(rows + 6, Remarks + 2, QStringLiteral("Final Total :"));
        xl.EWriteString(rows + 6, Out + 2, FormatNumber(round2(in - out)));
        xl.CloseFile();
    } catch (const clsExcelFile::Error &e) {
        throw LedgerExportError(e.Reason());
    }
}

const char *suffixOf(LedgerFormat f) { return f == LedgerFormat::Xlsx ? "xlsx" : f == LedgerFormat::Csv ? "csv" : "xls"; }

const QStringList &filters()
{
    static const QStringList list{QStringLiteral("Excel workbook (*.xlsx)"), QStringLiteral("CSV (*.csv)"),
                                  QStringLiteral("Excel 2.1 worksheet (*.xls)")};
    return list;
}

// The settings of the current user's exports: the last folder and format.
QString settingsKey(const char *what)
{
    return QStringLiteral("export/") + QString::fromLatin1(QUrl::toPercentEncoding(CurrentUserId)) + QLatin1Char('/') +
           QLatin1String(what);
}

QString defaultFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = ui::AppPath() + QStringLiteral("/xsl");
    return folder;
}

void tell(const QString &reason)
{
    ui::MsgBox(QStringLiteral("The ledger could not be exported: ") + reason, ui::Buttons::OKOnly, ui::Icon::Exclamation,
               AppTitle);
}

}  // namespace

const QStringList &LedgerHeaders()
{
    static const QStringList headers{QStringLiteral("Action Name"), QStringLiteral("Description"),
                                     QStringLiteral("Amount In"), QStringLiteral("Amount Out"), QStringLiteral("Date")};
    return headers;
}

QString LedgerOwner(const Variant &projectUserId)
{
    const QString owner = projectUserId.toString();
    return owner.isEmpty() || owner.compare(CurrentUserId, Qt::CaseInsensitive) == 0 ? CurrentUserId : owner;
}

LedgerTable LoadLedgerTable(qint32 taskId)
{
    LedgerTable t;
    t.taskId = taskId;
    t.userName = CurrentUserId;
    const QString task = QString::number(taskId);
    const std::shared_ptr<Recordset> project = RowsOf(QStringLiteral("Select * from tblTasks where TaskID=") + task);
    if (project->Eof())
        throw LedgerExportError(QStringLiteral("project %1 is no longer in the database").arg(taskId));
    t.projectName = project->Fields(QStringLiteral("TaskName")).toString();
    t.budget = BudgetOf(taskId);
    if (t.budget.HasPlan())
        t.forecast = ForecastOf(t.budget, project->Fields(QStringLiteral("StartDate")).toDate(),
                                project->Fields(QStringLiteral("EndDate")).toDate(), ui::Today());

    // A project shared with the user exports its owner's ledger.
    const std::shared_ptr<RowStream> rows = OpenLedger(LedgerOwner(project->Fields(QStringLiteral("UserId"))), taskId);
    rows->FetchMore(1);  // the columns are known once a row is asked for
    const RowStream &rs = *rows;
    const int date = columnOf(rs, "TransactionDate"), head = columnOf(rs, "HeadId"), remarks = columnOf(rs, "Remarks"),
              in = columnOf(rs, "AmountIn"), out = columnOf(rs, "AmountOut");
    // Each head's name is looked up once; a code that is no whole number never goes into a statement.
    QHash<QString, QString> heads;
    // The rows are stepped as they are taken.
    for (int row = 0; row < rs.Fetched() || rows->FetchMore(2048) > 0; ++row) {
        const Variant id = rs.FieldAt(row, head);
        const QString key = id.toString();
        auto known = heads.find(key);
        if (known == heads.end())
            known = heads.insert(key, IsWholeNumber(id) ? [&] {
                const auto name = RowsOf(QStringLiteral("Select Heads From defHeads Where Id=") + key);
                return name->Eof() ? QString() : name->Fields(0).toString();
            }() : QString());
        std::vector<LedgerValue> e(FieldCount);
        e[Head] = textValue(*known);
        e[Remarks] = textValue(rs.FieldAt(row, remarks).toString());
        e[In] = amountValue(rs.FieldAt(row, in));
        e[Out] = amountValue(rs.FieldAt(row, out));
        e[Date] = dateValue(rs.FieldAt(row, date));
        t.entries.push_back(std::move(e));
    }
    return t;
}

QString SheetNameFor(const QString &projectName)
{
    QString name = projectName;
    for (QChar &c : name)
        if (QStringLiteral("[]:*?/\\").contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    if (name.size() > 31) {
        name.truncate(31);
        if (name.back().isHighSurrogate())
            name.chop(1);
    }
    if (name.trimmed().isEmpty() || name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')) ||
        name.compare(QLatin1String("History"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Ledger");
    return name;
}

QString CsvText(const QString &text)
{
    QString field = text;
    if (!field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front()))
        field.prepend(QLatin1Char('\''));
    // Quoted whenever a reader could split it: spreadsheets set to other languages split on ';'
    // (or a tab) instead of ','; the line breaks and the quote itself split every reader.
    static const QString splitters = QStringLiteral(",;\t\"\n\r");
    if (std::any_of(field.cbegin(), field.cend(), [](QChar c) { return splitters.contains(c); }))
        field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    return field;
}

void WriteLedgerFile(const LedgerTable &table, LedgerFormat format, const QString &target)
{
    const QString shown = QDir::toNativeSeparators(target);
    ui::OutputFile out(target);
    QString why;
    if (!out.Open(&why))
        throw LedgerExportError(QStringLiteral("%1 cannot be written (%2).").arg(shown, why));
    const QString path = out.PartialPath();
    if (format == LedgerFormat::Xlsx)
        writeXlsx(table, path, shown);
    else if (format == LedgerFormat::Csv)
        writeCsv(table, path, shown);
    else
        writeXls(table, path);
    if (!out.Commit(&why))
        throw LedgerExportError(QStringLiteral("%1 could not be written (%2).").arg(shown, why));
}

bool ExportLedgerAs(qint32 taskId, QWidget *parent, const QString &taskName)
{
    QSettings settings(QStringLiteral("Quillmark"), QStringLiteral("Quillmark"));
    QString folder = settings.value(settingsKey("folder")).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = defaultFolder();
    const int remembered = std::clamp(settings.value(settingsKey("format"), 0).toInt(), 0, 2);
    QString filter = filters()[remembered];
    QString target = ui::AskSaveFile({QStringLiteral("Export as"),
                                      QDir(folder).filePath(QStringLiteral("%1.%2").arg(ui::ProjectFileName(taskId, taskName)).arg(
                                          QLatin1String(suffixOf(LedgerFormat(remembered))))),
                                      filters().join(QStringLiteral(";;")), &filter},
                                     parent);
    if (target.isEmpty())
        return false;
    // The name's own suffix decides the format; without one, the filter chosen does and gives it.
    int chosen = std::max(0, int(filters().indexOf(filter)));
    const QString suffix = QFileInfo(target).suffix().toLower();
    if (suffix.isEmpty())
        target += QLatin1Char('.') + QLatin1String(suffixOf(LedgerFormat(chosen)));
    for (int f = 0; f < 3; ++f)
        if (suffix == QLatin1String(suffixOf(LedgerFormat(f))))
            chosen = f;
    try {
        WriteLedgerFile(LoadLedgerTable(taskId), LedgerFormat(chosen), target);
    } catch (const LedgerExportError &e) {
        tell(e.Reason());
        return false;
    } catch (const SqlError &e) {
        if (!e.alreadyTold())
            tell(e.description());
        return false;
    }
    settings.setValue(settingsKey("folder"), QFileInfo(target).absolutePath());
    settings.setValue(settingsKey("format"), chosen);
    if (ui::MsgBox(QStringLiteral("Do you want to open it now? "), ui::Buttons::YesNo, ui::Icon::Information, AppTitle) ==
            ui::Answer::Yes &&
        !ui::OpenWithDesktop(target))
        // Without a program for the file the user still learns where it was saved.
        ui::MsgBox(QStringLiteral("No program could open the file. It was saved as:\n") +
                       QDir::toNativeSeparators(QFileInfo(target).absoluteFilePath()),
                   ui::Buttons::OKOnly, ui::Icon::Information, AppTitle);
    return true;
}
