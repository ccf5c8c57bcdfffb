// The ledger of one project as pages: everything is read from the database first, then the pages
// are laid out with a fixed row height (so the page count is known before the first is drawn) and
// drawn one at a time onto a printer, which is either a real one or a PDF file.
#include "ledger/LedgerReport.h"

#include "data/Budgets.h"
#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/RowStream.h"
#include "data/Variant.h"
#include "export/LedgerExport.h"
#include "ledger/ProjectCharts.h"
#include "ledger/ProjectFigures.h"
#include "ledger/Steps.h"
#include "ui/OutputFile.h"
#include "ui/Seams.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QtCharts/QDateTimeAxis>
#include <QGraphicsScene>
#include <QHash>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

namespace {

// A failure that ends the report, with its reason as the user reads it.
struct ReportError {
    QString reason;
};

// The first field of the first row, or an empty value when there is no row. The program's
// current result stays as it was: the ledger window may still read it.
Variant firstField(const QString &sql)
{
    const std::shared_ptr<Recordset> rs = RowsOf(sql);
    return rs->Eof() ? Variant() : rs->Fields(0);
}

double sumOf(const Variant &v)
{
    try {
        return LedgerTotal(v);
    } catch (const SqlError &) {
        throw ReportError{QStringLiteral("a total of the entries is not a number")};
    }
}

// An amount with two decimals; a field that holds no number is shown as it is.
QString amountText(const Variant &v)
{
    if (v.isNull() || v.isEmpty())
        return QString();
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? FormatFixed2(d) : v.toString();
}

// A text on one line: remarks may hold tabs and line breaks. Only its start can show in a column,
// so a long one is cut before it is measured.
QString oneLine(const QString &text)
{
    QString line = text.left(400);
    for (QChar &c : line)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return line;
}

// What the report shows, read at once so that a failing statement stops it before any page.
struct LedgerData {
    qint32 taskId = 0;
    QString name, status, start, planned;
    std::shared_ptr<RowStream> rows;  // the ledger's entries, in its order, every one stepped
    int date = -1, head = -1, remarks = -1, in = -1, out = -1;  // their columns
    QHash<QString, QString> heads;    // head names by HeadId
    QString received, spent, balance, word;
    std::vector<BalancePoint> balancePoints;
    std::vector<HeadSpending> spending;
    // The plan by heads: its planned heads (none without a plan), their totals and the forecasts.
    std::vector<HeadBudget> plannedHeads;
    ProjectForecast forecast;

    int count() const { return rows->Fetched(); }
    // The budget's lines after the totals: a gap, its title, its header, a line a planned head, its
    // totals and the two forecasts; none without a plan.
    int budgetLines() const { return plannedHeads.empty() ? 0 : int(plannedHeads.size()) + 6; }
    int lines() const { return count() + 2 + budgetLines(); }
    QString headOf(int row) const { return heads.value(rows->FieldAt(row, head).toString()); }
};

int columnOf(const RowStream &rs, const char *name)
{
    const int at = rs.FieldIndex(QLatin1String(name));
    if (at < 0)
        throw ReportError{QStringLiteral("the ledger has no column %1").arg(QLatin1String(name))};
    return at;
}

LedgerData loadLedger(qint32 taskId)
{
    LedgerData d;
    d.taskId = taskId;
    const QString task = QString::number(taskId);
    const std::shared_ptr<Recordset> project = RowsOf(QStringLiteral("Select * from tblTasks where TaskID=") + task);
    if (project->Eof())
        throw ReportError{QStringLiteral("project %1 is no longer in the database").arg(taskId)};
    d.name = project->Fields(QStringLiteral("TaskName")).toString();
    const QDate start = project->Fields(QStringLiteral("StartDate")).toDate();
    const QDate end = project->Fields(QStringLiteral("EndDate")).toDate();
    d.start = FormatDate(start);
    d.planned = amountText(project->Fields(QStringLiteral("CostPlanned")));
    // Codes read from the file go into a statement only when they are numbers.
    const Variant status = project->Fields(QStringLiteral("StatusID"));
    if (IsWholeNumber(status))
        d.status = firstField(QStringLiteral("Select StatusName from tblStatus where StatusID=") + status.toString())
                       .toString();

    // A project shared with the user reports its owner's ledger.
    const QString owner = LedgerOwner(project->Fields(QStringLiteral("UserId")));
    d.rows = OpenLedger(owner, taskId);
    d.rows->FetchAll();
    const RowStream &rs = *d.rows;
    d.date = columnOf(rs, "TransactionDate");
    d.head = columnOf(rs, "HeadId");
    d.remarks = columnOf(rs, "Remarks");
    d.in = columnOf(rs, "AmountIn");
    d.out = columnOf(rs, "AmountOut");
    // Each head's name is looked up once, however many entries use it; a head that is gone has none.
    for (int row = 0; row < rs.Fetched(); ++row) {
        const Variant id = rs.FieldAt(row, d.head);
        const QString key = id.toString();
        if (!d.heads.contains(key))
            d.heads.insert(key, IsWholeNumber(id)
                                    ? firstField(QStringLiteral("Select Heads From defHeads Where Id=") + key).toString()
                                    : QString());
    }

    // The totals and the balance's word as the ledger window works them out: the word compares the
    // totals as shown there, after their 15-digit form.
    const std::shared_ptr<Recordset> sums = RowsOf(LedgerSumsStatement(owner, taskId));
    const double received = sums->Eof() ? 0.0 : sumOf(sums->Fields(0));
    const double spent = sums->Eof() ? 0.0 : sumOf(sums->Fields(1));
    d.received = FormatFixed2(received);
    d.spent = FormatFixed2(spent);
    d.balance = FormatFixed2(received - spent);
    d.word = BalanceWord(received, spent);

    d.balancePoints = LoadRunningBalance(owner, taskId);
    d.spending = LoadSpendingByHead(owner, taskId);

    const ProjectBudget budget = BudgetOf(taskId);
    if (budget.HasPlan()) {
        for (const HeadBudget &h : budget.heads)
            if (h.planned)
                d.plannedHeads.push_back(h);
        d.forecast = ForecastOf(budget, start, end, ui::Today());
    }
    return d;
}

// The pages of one ledger on one printer. Lengths are given in points and turned into the
// printer's pixels; fonts have point sizes, which the printer turns into its pixels itself.
class LedgerPages {
public:
    LedgerPages(const LedgerData &data, QPrinter &printer)
        : d(data), k(printer.resolution() / 72.0), m_text(face(8.5)), m_bold(face(8.5, true)), m_title(face(12, true)),
          m_small(face(7.5)), m_textMetrics(m_text, &printer), m_boldMetrics(m_bold, &printer),
          m_titleMetrics(m_title, &printer), m_smallMetrics(m_small, &printer)
    {
        const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
        m_width = area.width();
        m_height = area.height();
        m_bodyTop = pt(26);
        m_bodyBottom = m_height - pt(20);
        // The columns: date and amounts as wide as their longest usual text, the head and remarks share the rest.
        const double amount = pt(84), date = pt(60), rest = std::max(m_width - date - 2 * amount, pt(60));
        m_columns = {0, date, date + rest * 0.32, date + rest, date + rest + amount, m_width};
        // Rows on the first page come below the summary and the charts; every page has the table's header.
        const double rowsHeight = m_bodyBottom - m_bodyTop - pt(kHeaderRow);
        m_perFirst = std::max(0, int((rowsHeight - pt(kSummary + kCharts)) / pt(kRow)));
        m_perOther = std::max(1, int(rowsHeight / pt(kRow)));
        const int lines = d.lines();  // the entries, the totals and the balance, then the budget
        m_pages = lines <= m_perFirst ? 1 : 1 + (lines - m_perFirst + m_perOther - 1) / m_perOther;
    }

    int count() const { return m_pages; }

    void draw(QPainter &p, int page)
    {
        drawFrame(p, page);
        double y = m_bodyTop;
        int first = 0, last = std::min(m_perFirst, d.lines());
        if (page == 0) {
            drawSummary(p, y);
            y += pt(kSummary);
            drawCharts(p, y);
            y += pt(kCharts);
        } else {
            first = m_perFirst + (page - 1) * m_perOther;
            last = std::min(first + m_perOther, d.lines());
        }
        if (first >= last)
            return;
        // The entries' header over a page that holds entries or their totals; the budget has its own.
        if (first < d.count() + 2)
            drawTableHeader(p, y);
        y += pt(kHeaderRow);
        for (int line = first; line < last; ++line, y += pt(kRow)) {
            if (line < d.count() + 2)
                drawLine(p, line, y);
            else
                drawBudgetLine(p, line - d.count() - 2, y);
        }
    }

private:
    // Heights in points.
    static constexpr double kRow = 13, kHeaderRow = 16, kSummary = 92, kCharts = 206;

    double pt(double points) const { return points * k; }
    static QFont face(double points, bool bold = false)
    {
        // A family with Latin, Greek and Cyrillic letters, so remarks in any of them print as typed.
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }
    double baseline(const QFontMetricsF &fm, double top, double height) const
    {
        return top + (height + fm.ascent() - fm.descent()) / 2;
    }
    // A text from x on, cut with an ellipsis where it would pass width.
    void left(QPainter &p, const QFontMetricsF &fm, double x, double y, double width, const QString &text)
    {
        if (!text.isEmpty())
            p.drawText(QPointF(x, y), fm.elidedText(text, Qt::ElideRight, width));
    }
    // A text ending at right; a number too wide for its column is narrowed rather than cut.
    void right(QPainter &p, const QFontMetricsF &fm, double right, double y, double width, const QString &text)
    {
        if (text.isEmpty())
            return;
        const double w = fm.horizontalAdvance(text);
        if (w <= width) {
            p.drawText(QPointF(right - w, y), text);
            return;
        }
        p.save();
        p.translate(right - width, y);
        p.scale(width / w, 1);
        p.drawText(QPointF(0, 0), text);
        p.restore();
    }

    // The title above and the user, the date and the page number below, on every page.
    void drawFrame(QPainter &p, int page)
    {
        p.setPen(Qt::black);
        p.setFont(m_title);
        const QString app = AppTitle;
        const double appWidth = m_smallMetrics.horizontalAdvance(app) + pt(12);
        left(p, m_titleMetrics, 0, baseline(m_titleMetrics, 0, pt(18)), m_width - appWidth,
             QStringLiteral("Ledger of project %1: %2").arg(d.taskId).arg(oneLine(d.name)));
        p.setFont(m_small);
        right(p, m_smallMetrics, m_width, baseline(m_smallMetrics, 0, pt(18)), appWidth, app);
        p.setPen(QPen(Qt::darkGray, pt(0.75)));
        p.drawLine(QPointF(0, pt(20)), QPointF(m_width, pt(20)));
        p.drawLine(QPointF(0, m_height - pt(14)), QPointF(m_width, m_height - pt(14)));
        p.setPen(Qt::black);
        const double y = baseline(m_smallMetrics, m_height - pt(14), pt(14));
        left(p, m_smallMetrics, 0, y, m_width / 2,
             QStringLiteral("Printed by %1 on %2").arg(CurrentUserId, FormatDate(ui::Today())));
        right(p, m_smallMetrics, m_width, y, m_width / 2, QStringLiteral("page %1 of %2").arg(page + 1).arg(m_pages));
    }

    // The project in two columns: what it is on the left, where its money stands on the right.
    // Numbers stand right-aligned in their field, names and dates from its left.
    void drawSummary(QPainter &p, double top)
    {
        const double line = pt(14), label = pt(80), value = pt(100), half = m_width / 2;
        const auto field = [&](int row, double x, const QString &name, const QString &text, bool number) {
            const double y = baseline(m_textMetrics, top + pt(4) + row * line, line);
            p.setFont(m_bold);
            left(p, m_boldMetrics, x, y, label, name);
            p.setFont(m_text);
            if (number)
                right(p, m_textMetrics, x + label + value, y, value, text);
            else
                left(p, m_textMetrics, x + label, y, half - label - pt(8), text);
        };
        field(0, 0, QStringLiteral("Project"), QString::number(d.taskId), false);
        field(1, 0, QStringLiteral("Name"), oneLine(d.name), false);
        field(2, 0, QStringLiteral("Status"), d.status, false);
        field(3, 0, QStringLiteral("Start date"), d.start, false);
        field(4, 0, QStringLiteral("Planned cost"), d.planned, true);
        field(0, half, QStringLiteral("Received"), d.received, true);
        field(1, half, QStringLiteral("Spent"), d.spent, true);
        field(2, half, QStringLiteral("Balance"), d.balance, true);
        // The balance's word has a field of its own under the amount, so that an amount of any
        // length never runs into it.
        field(3, half, QString(), d.word.trimmed(), false);
    }

    // The running balance and the spending by head, side by side, each under its caption.
    void drawCharts(QPainter &p, double top)
    {
        const double gap = pt(12), width = (m_width - gap) / 2, caption = pt(14), height = pt(kCharts - 24);
        const struct {
            QString caption;
            QChart *chart;
        } charts[] = {{QStringLiteral("Running balance"), MakeBalanceChart(d.balancePoints)},
                      {QStringLiteral("Spending by head"), MakeSpendingChart(d.spending)}};
        for (int i = 0; i < 2; ++i) {
            const double x = i * (width + gap);
            p.setFont(m_bold);
            p.setPen(Qt::black);
            left(p, m_boldMetrics, x, baseline(m_boldMetrics, top, caption), width, charts[i].caption);
            drawChart(p, charts[i].chart, QRectF(x, top + caption, width, height));
        }
    }

    // A chart laid out a little larger than a screen would show the same points, then drawn into
    // the target: its fonts come out slightly smaller on paper, where the page's captions name it.
    void drawChart(QPainter &p, QChart *chart, const QRectF &target)
    {
        QGraphicsScene scene;
        scene.addItem(chart);  // the scene owns it from here
        chart->setAnimationOptions(QChart::NoAnimation);
        chart->setTitle(QString());
        // Dates without their year fit under the half page's narrower axis.
        for (QAbstractAxis *axis : chart->axes())
            if (auto *dates = qobject_cast<QDateTimeAxis *>(axis))
                dates->setFormat(QStringLiteral("dd/MM"));
        const double screenPixels = 1.25 * 96 / 72 / k;
        const QRectF screen(0, 0, target.width() * screenPixels, target.height() * screenPixels);
        chart->setGeometry(screen);
        if (chart->layout())
            chart->layout()->activate();
        scene.setSceneRect(screen);
        scene.render(&p, target, screen);
    }

    void drawTableHeader(QPainter &p, double top)
    {
        p.fillRect(QRectF(0, top, m_width, pt(kHeaderRow)), QColor(0xe4, 0xe4, 0xe4));
        p.setPen(Qt::black);
        p.setFont(m_bold);
        const double y = baseline(m_boldMetrics, top, pt(kHeaderRow)), pad = pt(3);
        const double *c = m_columns.data();
        left(p, m_boldMetrics, c[0] + pad, y, c[1] - c[0] - 2 * pad, QStringLiteral("Date"));
        left(p, m_boldMetrics, c[1] + pad, y, c[2] - c[1] - 2 * pad, QStringLiteral("Head"));
        left(p, m_boldMetrics, c[2] + pad, y, c[3] - c[2] - 2 * pad, QStringLiteral("Remarks"));
        right(p, m_boldMetrics, c[4] - pad, y, c[4] - c[3] - 2 * pad, QStringLiteral("Received"));
        right(p, m_boldMetrics, c[5] - pad, y, c[5] - c[4] - 2 * pad, QStringLiteral("Spent"));
    }

    // One line of the table: an entry, or after the last one the totals and then the balance.
    void drawLine(QPainter &p, int line, double top)
    {
        const int n = d.count();
        const double pad = pt(3);
        const double *c = m_columns.data();
        if (line < n && line % 2 == 1)
            p.fillRect(QRectF(0, top, m_width, pt(kRow)), QColor(0xf4, 0xf4, 0xf4));
        QString cells[5];
        if (line < n) {
            const RowStream &rs = *d.rows;
            cells[0] = FormatDate(rs.FieldAt(line, d.date).toDate());
            cells[1] = oneLine(d.headOf(line));
            cells[2] = oneLine(rs.FieldAt(line, d.remarks).toString());
            cells[3] = amountText(rs.FieldAt(line, d.in));
            cells[4] = amountText(rs.FieldAt(line, d.out));
            p.setFont(m_text);
        } else {
            if (line == n) {
                p.setPen(QPen(Qt::darkGray, pt(0.75)));
                p.drawLine(QPointF(0, top), QPointF(m_width, top));
                cells[2] = QStringLiteral("Total");
                cells[3] = d.received;
                cells[4] = d.spent;
            } else {
                cells[2] = QStringLiteral("Balance: ") + d.word.trimmed();
                cells[4] = d.balance;
            }
            p.setFont(m_bold);
        }
        p.setPen(Qt::black);
        const QFontMetricsF &fm = line < n ? m_textMetrics : m_boldMetrics;
        const double y = baseline(fm, top, pt(kRow));
        for (int i = 0; i < 3; ++i)
            left(p, fm, c[i] + pad, y, c[i + 1] - c[i] - 2 * pad, cells[i]);
        for (int i = 3; i < 5; ++i)
            right(p, fm, c[i + 1] - pad, y, c[i + 1] - c[i] - 2 * pad, cells[i]);
    }

    // One line of the budget: 0 a gap, 1 its title, 2 its header, then a line a planned head, the
    // totals of the planned heads, and the forecasts on plan and at the current rate.
    void drawBudgetLine(QPainter &p, int line, double top)
    {
        if (line == 0)
            return;
        const double pad = pt(3), amount = pt(84), share = pt(60);
        const double edges[] = {0, m_width - 3 * amount - share, m_width - 2 * amount - share, m_width - amount - share,
                                m_width - share, m_width};
        const int heads = int(d.plannedHeads.size());
        QString cells[5];
        bool bold = true;
        const auto percent = [](double spent, double planned) {
            return planned == 0 ? QString() : QString::number(spent / planned * 100, 'f', 1) + QStringLiteral(" %");
        };
        if (line == 1) {
            p.setFont(m_title);
            p.setPen(Qt::black);
            left(p, m_titleMetrics, 0, baseline(m_titleMetrics, top, pt(kRow)), m_width, QStringLiteral("Budget"));
            return;
        }
        if (line == 2) {
            p.fillRect(QRectF(0, top, m_width, pt(kRow)), QColor(0xe4, 0xe4, 0xe4));
            cells[0] = QStringLiteral("Head");
            cells[1] = QStringLiteral("Planned");
            cells[2] = QStringLiteral("Spent");
            cells[3] = QStringLiteral("Left");
            cells[4] = QStringLiteral("% used");
        } else if (line - 3 < heads) {
            const HeadBudget &h = d.plannedHeads[size_t(line - 3)];
            if ((line - 3) % 2 == 1)
                p.fillRect(QRectF(0, top, m_width, pt(kRow)), QColor(0xf4, 0xf4, 0xf4));
            cells[0] = oneLine(h.head);
            cells[1] = FormatFixed2(*h.planned);
            cells[2] = FormatFixed2(h.spent);
            cells[3] = FormatFixed2(*h.left());
            cells[4] = percent(h.spent, *h.planned);
            bold = false;
        } else if (line - 3 == heads) {
            double planned = 0, spent = 0;
            for (const HeadBudget &h : d.plannedHeads)
                planned += *h.planned, spent += h.spent;
            p.setPen(QPen(Qt::darkGray, pt(0.75)));
            p.drawLine(QPointF(0, top), QPointF(m_width, top));
            cells[0] = QStringLiteral("Total");
            cells[1] = FormatFixed2(planned);
            cells[2] = FormatFixed2(spent);
            cells[3] = FormatFixed2(planned - spent);
            cells[4] = percent(spent, planned);
        } else if (line - 3 == heads + 1) {
            cells[0] = QStringLiteral("Forecast at completion, on plan");
            cells[1] = FormatFixed2(d.forecast.onPlan);
        } else {
            cells[0] = QStringLiteral("Forecast at completion, at the current rate");
            cells[1] = d.forecast.atRate ? FormatFixed2(*d.forecast.atRate) : QStringLiteral("not known");
        }
        p.setPen(Qt::black);
        p.setFont(bold ? m_bold : m_text);
        const QFontMetricsF &fm = bold ? m_boldMetrics : m_textMetrics;
        const double y = baseline(fm, top, pt(kRow));
        // A forecast's label may run across the columns it leaves empty.
        const bool forecast = line - 3 > heads;
        left(p, fm, pad, y, (forecast ? edges[1] + amount : edges[1]) - 2 * pad, cells[0]);
        for (int i = 1; i < 5; ++i)
            right(p, fm, edges[i + 1] - pad, y, edges[i + 1] - edges[i] - 2 * pad, cells[i]);
    }

    const LedgerData &d;
    const double k;  // printer pixels per point
    const QFont m_text, m_bold, m_title, m_small;
    const QFontMetricsF m_textMetrics, m_boldMetrics, m_titleMetrics, m_smallMetrics;
    double m_width = 0, m_height = 0, m_bodyTop = 0, m_bodyBottom = 0;
    std::vector<double> m_columns;  // the columns' edges, from the left margin
    int m_perFirst = 0, m_perOther = 1, m_pages = 1;
};

// Draws every page onto the printer behind the progress dialog. Answers false when the user
// cancelled; the caller then discards what was written.
bool drawLedger(const LedgerData &data, QPrinter &printer, QWidget *parent)
{
    QPainter painter;
    if (!painter.begin(&printer))
        throw ReportError{QStringLiteral("the output could not be started")};
    painter.setRenderHint(QPainter::Antialiasing);
    LedgerPages pages(data, printer);
    ui::Progress progress(QStringLiteral("Preparing the ledger's pages..."), pages.count(), parent);
    for (int page = 0; page < pages.count(); ++page) {
        if (page > 0 && !printer.newPage())
            throw ReportError{QStringLiteral("a new page could not be started")};
        pages.draw(painter, page);
        if (!progress.Step(page + 1)) {
            printer.abort();
            painter.end();
            return false;
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw ReportError{QStringLiteral("the output could not be finished")};
    return true;
}

void setUp(QPrinter &printer, qint32 taskId)
{
    printer.setDocName(QStringLiteral("Project %1").arg(taskId));
    printer.setCreator(AppTitle);
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}

// The file offered first: the project's number and name in the user's documents folder, or in the
// program's export folder where there is none.
QString suggestedPdf(qint32 taskId, const QString &taskName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = ui::AppPath() + QStringLiteral("/xsl");
    return folder + QLatin1Char('/') + ui::ProjectFileName(taskId, taskName) + QStringLiteral(".pdf");
}

void tell(const QString &prompt)
{
    ui::MsgBox(prompt, ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
}

}  // namespace

bool PrintLedger(qint32 taskId, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer, taskId);
    if (!ui::AskPrint(printer, parent))
        return false;
    try {
        return drawLedger(loadLedger(taskId), printer, parent);
    } catch (const ReportError &e) {
        tell(QStringLiteral("The ledger could not be printed: ") + e.reason);
    } catch (const SqlError &e) {
        tell(QStringLiteral("The ledger could not be printed: ") + e.description());
    }
    return false;
}

bool SaveLedgerPdf(qint32 taskId, QWidget *parent, const QString &taskName)
{
    QString target = ui::AskSaveFile(
        {QStringLiteral("Save as PDF"), suggestedPdf(taskId, taskName), QStringLiteral("PDF files (*.pdf)")}, parent);
    if (target.isEmpty())
        return false;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".pdf");
    const QString shown = QDir::toNativeSeparators(target);
    try {
        const LedgerData data = loadLedger(taskId);
        // Written beside the target and put in its place only when complete: a cancelled or failed
        // writing leaves an existing file as it was.
        ui::OutputFile out(target);
        QString why;
        if (!out.Open(&why))
            throw ReportError{QStringLiteral("%1 cannot be written (%2).").arg(shown, why)};
        const QString partialName = out.PartialPath();
        QPrinter printer(QPrinter::HighResolution);
        setUp(printer, taskId);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(partialName);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        if (!drawLedger(data, printer, parent))
            return false;
        if (QFileInfo(partialName).size() == 0)
            throw ReportError{QStringLiteral("%1 could not be written.").arg(shown)};
        if (!out.Commit(&why))
            throw ReportError{QStringLiteral("%1 could not be replaced (%2).").arg(shown, why)};
        return true;
    } catch (const ReportError &e) {
        tell(QStringLiteral("The ledger could not be saved as PDF: ") + e.reason);
    } catch (const SqlError &e) {
        tell(QStringLiteral("The ledger could not be saved as PDF: ") + e.description());
    }
    return false;
}
