#include "export/TaskReport.h"

#include "data/MyFun.h"
#include "data/Variant.h"
#include "export/clsExcelFile.h"
#include "ui/Grid.h"
#include "ui/Seams.h"

#include <QDateTime>
#include <QLocale>

namespace {

// Grid columns 3 and 4 hold the amounts in and out.
bool isAmountColumn(int col) { return col == 3 || col == 4; }

// A shown number in its plain form: read with a point, or failing that in the user's own
// number form, then written without grouping or trailing zeros.
QString plainNumber(const QString &shownText, const QString &what, const QString &where = QString())
{
    const QString text = shownText.trimmed();
    bool ok = false;
    double value = text.toDouble(&ok);
    if (!ok)
        value = QLocale().toDouble(text, &ok);
    if (!ok)
        throw clsExcelFile::Error(QStringLiteral("%1 \"%2\"%3 is not a number").arg(what, shownText, where));
    return FormatNumber(value);
}

void writeSheet(clsExcelFile &xl, const ui::Grid &grid, const QString &taskName, const QString &received,
                const QString &spent, const QString &balance)
{
    const int rows = grid.Rows();
    const int cols = grid.Cols();
    xl.EWriteString(1, 1, taskName);
    for (int i = 1; i < cols; ++i)
        xl.EWriteString(2, i + 1, grid.TextMatrix(0, i));
    for (int j = 1; j < rows; ++j)
        for (int i = 1; i < cols; ++i) {
            const QString text = grid.TextMatrix(j, i);
            xl.EWriteString(j + 3, i + 1,
                            isAmountColumn(i)
                                ? plainNumber(text, QStringLiteral("the amount"), QStringLiteral(" in ledger row %1").arg(j))
                                : text);
        }
    xl.EWriteString(rows + 4, 3, QStringLiteral("Sub Total :"));
    xl.EWriteString(rows + 4, 4, plainNumber(received, QStringLiteral("the total received")));
    xl.EWriteString(rows + 4, 5, plainNumber(spent, QStringLiteral("the total spent")));
    xl.EWriteString(rows + 6, 3, QStringLiteral("Final Total :"));
    xl.EWriteString(rows + 6, 5, plainNumber(balance, QStringLiteral("the balance")));
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
    {
        clsExcelFile xl;
        try {
            xl.OpenFile(path);
            writeSheet(xl, grid, taskName, received, spent, balance);
            xl.CloseFile();
        } catch (const clsExcelFile::Error &e) {
            xl.Discard();
            ui::MsgBox(QStringLiteral("The ledger could not be exported: ") + e.Reason(), ui::Buttons::OKOnly,
                       ui::Icon::Exclamation, AppTitle);
            return;
        }
    }
    if (ui::MsgBox(QStringLiteral("Do you want to open it now in Microsoft Excel? "), ui::Buttons::YesNo,
                   ui::Icon::Information, AppTitle) == ui::Answer::Yes)
        ui::OpenWithDesktop(path);
    else
        ui::MsgBox(QStringLiteral("Data has been written in Excel file."), ui::Buttons::OKOnly,
                   ui::Icon::Information, AppTitle);
}
