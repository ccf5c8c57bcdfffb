#include "ui/Seams.h"

#include <QApplication>
#include <cstdio>
#include <gtest/gtest.h>

namespace {
// The offscreen platform says what it cannot do on every window; that is not news in a test.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")) ||
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}
}  // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The data layer tells its failures in the "Error" box, as the program's start-up installs it.
    ui::ErrorBox errorBox;
    SetErrorReporter(&errorBox);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
