// qmk-test-writer FOLDER [COUNT]: opens FOLDER/qmk.dat as start-up does and saves ledger entries
// through the record writer, printing each saved entry's key once its save has returned. The
// crash test kills it at random moments; with COUNT it saves that many and ends as Quit does
// (with a third argument, as the program does when its last window closes).
#include "data/MyFun.h"
#include "ui/Seams.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    // A box here is a failure: say it and stop.
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(r.title), qPrintable(r.prompt));
        std::_Exit(3);
        return ui::Answer::OK;
    });
    const long count = argc > 2 && *argv[2] ? std::atol(argv[2]) : -1;
    DataAccess.dataIntialize(QString::fromLocal8Bit(argc > 1 ? argv[1] : ".") + "/qmk.dat", {}, kDatabasePassword);
    CurrentUserId = "ann";
    for (long i = 1; count < 0 || i <= count; ++i) {
        DataAccess.AddNew("tblTransaction",
                          "UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>Remarks<<>>TaskID",
                          QString("'ann'<<>>#1/2/2024#<<>>1<<>>%1<<>>0<<>>'entry'<<>>1").arg(i), "Id", "<<>>");
        DataAccess.ExecuteSql("Select max(Id) From tblTransaction");
        std::printf("%lld\n", static_cast<long long>(SharedRecordset->Fields(0).toInt64()));
        std::fflush(stdout);
    }
    // "return" ends as the program does when its last window closes; otherwise as Quit does.
    if (argc > 3)
        return 0;
    ui::EndProgram();
}
