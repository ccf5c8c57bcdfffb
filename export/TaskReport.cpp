#include "export/TaskReport.h"

#include "data/MyFun.h"
#include "data/Variant.h"
#include "export/GridColumns.h"
#include "export/clsExcelFile.h"
#include "ui/Grid.h"
#include "ui/OutputFile.h"
#include "ui/Seams.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

bool isAmountColumn(int col) { return col == LedgerColumn::AmountIn || col == LedgerColumn::AmountOut; }

// A shown number in its plain form: read with a point, or failing that in the user's own
// number form, then written without grouping or trailing zeros.
QString plainNumber(const QString &shownText, const QString &what, const QString &where = QString())
{
    double value = 0;
    if (!ReadNumber(shownText, &value))
        throw clsExcelFile::Error(QStringLiteral("%1 \"%2\"%3 is not a number").arg(what, shownText, where));
    return FormatNumber(value);
}

void writeSheet(clsExcelFile &xl, const ui::Grid &grid, const QString &taskName, const QString &received,
                const QString &spent, const QString &balance)
{
    const int rows = grid.Rows();
    const int cols = grid.Cols();
    xl.EWriteString(1, 1, taskName);
    // Every column but the entry's Id, from column B on.
    for (int i = LedgerColumn::Head; i < cols; ++i)
        xl.EWriteString(2, i + 1, grid.TextMatrix(0, i));
    for (int j = 1; j < rows; ++j)
        for (int i = LedgerColumn::Head; i < cols; ++i) {
            const QString text = grid.TextMatrix(j, i);
            xl.EWriteString(j + 3, i + 1,
                            isAmountColumn(i)
                                ? plainNumber(text, QStringLiteral("the amount"), QStringLiteral(" in ledger row %1").arg(j))
                                : text);
        }
    // The totals stand under the amount columns, their captions under the remarks.
    const int caption = LedgerColumn::Remarks + 1, in = LedgerColumn::AmountIn + 1, out = LedgerColumn::AmountOut + 1;
    xl.EWriteString(rows + 4, caption, QStringLiteral("Sub Total :"));
    xl.EWriteString(rows + 4, in, plainNumber(received, QStringLiteral("the total received")));
    xl.EWriteString(rows + 4, out, plainNumber(spent, QStringLiteral("the total spent")));
    xl.EWriteString(rows + 6, caption, QStringLiteral("Final Total :"));
    xl.EWriteString(rows + 6, out, plainNumber(balance, QStringLiteral("the balance")));
}

// The file of an export started at the given moment.
QString reportPath(const QDateTime &when)
{
    return ui::AppPath() + QStringLiteral("/xsl/") + when.toString(QStringLiteral("dd-MM-yyyy")) +
           QStringLiteral(" - TASK details - (") + when.toString(QStringLiteral("HH-mm-ss")) + QStringLiteral(").xls");
}

}  // namespace

void ExportTaskReport(const ui::Grid &grid, const QString &taskNo, const QString &taskName,
                      const QString &received, const QString &spent, const QString &balance)
{
    if (taskNo.trimmed().isEmpty())
        return;
    const QString path = reportPath(ui::Now());
    QString why;
    {
        ui::OutputFile out(path);
        clsExcelFile xl;
        try {
            const QString shown = QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
            const QString folder = QFileInfo(path).absolutePath();
            if (!QFileInfo(folder).isDir())
                throw clsExcelFile::Error(QStringLiteral("the folder \"%1\" does not exist").arg(QDir::toNativeSeparators(folder)));
            if (!out.Open(&why))
                throw clsExcelFile::Error(QStringLiteral("%1 cannot be written (%2)").arg(shown, why));
            xl.OpenFile(out.PartialPath());
            writeSheet(xl, grid, taskName, received, spent, balance);
            xl.CloseFile();
            if (!out.Commit(&why))
                throw clsExcelFile::Error(QStringLiteral("%1 could not be written (%2)").arg(shown, why));
        } catch (const clsExcelFile::Error &e) {
            xl.Discard();
            ui::MsgBox(QStringLiteral("The ledger could not be exported: ") + e.Reason(), ui::Buttons::OKOnly,
                       ui::Icon::Exclamation, AppTitle);
            return;
        }
    }
    if (ui::MsgBox(QStringLiteral("Do you want to open it now in Microsoft Excel? "), ui::Buttons::YesNo,
                   ui::Icon::Information, AppTitle) != ui::Answer::Yes)
        ui::MsgBox(QStringLiteral("Data has been written in Excel file."), ui::Buttons::OKOnly,
                   ui::Icon::Information, AppTitle);
    else if (!ui::OpenWithDesktop(path))
        // Without a program for the file the user still learns where it was saved.
        ui::MsgBox(QStringLiteral("No program could open the file. It was saved as:\n") +
                       QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                   ui::Buttons::OKOnly, ui::Icon::Information, AppTitle);
}
