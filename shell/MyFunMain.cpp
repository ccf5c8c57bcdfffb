#include "shell/MyFunMain.h"

#include "data/MyFun.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "ui/Seams.h"

#include <QApplication>

#include "version.h"

void Main()
{
    static ui::ErrorBox errorBox;
    SetErrorReporter(&errorBox);
    Reported([] {
        const QString folder = ui::AppPath();
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
    Main();
    if (!frmMain::IsOpen())
        return 0;  // the login dialog was closed without a login
    return app.exec();
}
