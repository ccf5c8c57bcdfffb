// qmk-test-writer FOLDER [COUNT [return]]: saves ledger entries in FOLDER/qmk.dat through the record
// writer, printing 1, 2, ... as each save returns, until killed; or COUNT of them, then ends as Quit
// does, or with "return" as the program does when its last window closes. A box is a failure.
// With QMK_SERVER set (a connection text), it saves on that server instead, logged in as the role
// "ann" with the password in QMK_SERVER_PASSWORD.
// qmk-test-writer FOLDER hold: opens FOLDER/qmk.dat, prints "open" and keeps it open until its
// standard input ends.
#include "data/MyFun.h"
#include "data/PgEngine.h"
#include "ui/Seams.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(r.title), qPrintable(r.prompt));
        std::_Exit(3);
        return ui::Answer::OK;
    });
    ui::ErrorBox errorBox;  // a failure of the data layer is a box too
    SetErrorReporter(&errorBox);
    const QString server = qEnvironmentVariable("QMK_SERVER");
    if (server.isEmpty())
        DataAccess.dataIntialize(QString::fromLocal8Bit(argv[1]) + "/qmk.dat", {}, kDatabasePassword);
    else
        SharedConnection.Use(std::make_unique<PgEngine>(server, "ann", qEnvironmentVariable("QMK_SERVER_PASSWORD")));
    // Saving in a tight loop beside other writers, on a machine busy with other tests, a save may
    // wait far longer for the write lock than a user's would: what is tested is that every save
    // is stored once under a key of its own, so the writer waits as long as it takes.
    SharedConnection.SetBusyTimeout(120000);
    if (argc > 2 && std::strcmp(argv[2], "hold") == 0) {
        std::printf("open\n");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    const long count = argc > 2 && *argv[2] ? std::atol(argv[2]) : -1;
    for (long i = 1; count < 0 || i <= count; ++i) {
        DataAccess.AddNew("tblTransaction", "UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>TaskID",
                          QString("'ann'<<>>#1/2/2024#<<>>1<<>>%1<<>>1").arg(i), "Id", "<<>>");
        std::printf("%ld\n", i);  // the entry's key, when the table started empty
        std::fflush(stdout);
    }
    if (argc > 3 && *argv[3])
        return 0;
    ui::EndProgram();
}
