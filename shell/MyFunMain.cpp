#include "shell/MyFunMain.h"

#include "data/Backups.h"
#include "data/MyFun.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QFile>
#include <cstdlib>

#include "version.h"

namespace {

// The database server to use: "--server CONNINFO" for this run, else the first line of
// qmk.server in the program's folder; empty for the database file.
QString chosenServer(const QString &folder)
{
    const QStringList args = QCoreApplication::arguments();
    const int at = args.indexOf(QStringLiteral("--server"));
    if (at >= 0) {
        if (at + 1 < args.size() && !args[at + 1].trimmed().isEmpty())
            return args[at + 1].trimmed();
        throw SqlError(QStringLiteral("The option --server needs the database server's connection text."));
    }
    QFile file(folder + QLatin1Char('/') + QLatin1String(kServerFileName));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw SqlError(QStringLiteral("The file '%1' could not be read: %2").arg(file.fileName(), file.errorString()));
    const QString line = QString::fromUtf8(file.readLine(64 * 1024)).trimmed();
    if (line.isEmpty())
        throw SqlError(QStringLiteral("The file '%1' names no database server.").arg(file.fileName()));
    return line;
}

}  // namespace

void Main()
{
    static ui::ErrorBox errorBox;
    SetErrorReporter(&errorBox);
    Reported([] {
        const QString folder = ui::AppPath();
        QString server;
        // A server that cannot be named is said once; the login dialog still opens.
        Reported([&] { server = chosenServer(folder); });
        if (!server.isEmpty())
            ServerConnection = server;  // the login connects, as the user's own role
        else
            DataAccess.dataIntialize(folder + QLatin1Char('/') + QLatin1String(kDatabaseFileName), QString(),
                                     QString::fromLatin1(kDatabasePassword), QString());
        AppTitle = QString::fromLatin1(kAppTitle);
        frmLogin login;
        ui::ShowModal(login);
    });
}

int RunQuillmark(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(QM_VERSION_MAJOR).arg(QM_VERSION_MINOR).arg(QM_VERSION_REVISION));
    QApplication::setQuitOnLastWindowClosed(true);
    // A run that saved something leaves a backup of the file when it ends, by Quit (which ends
    // the program at once, before the connection closes) or by its last window closing.
    static const bool backsUpAtQuit = std::at_quick_exit([] { BackupIfSaved(SharedConnection); }) == 0;
    Q_UNUSED(backsUpAtQuit);
    Main();
    if (!frmMain::IsOpen())
        return 0;  // the login dialog was closed without a login
    const int status = app.exec();
    BackupIfSaved(SharedConnection);
    return status;
}
