#include "ui/Seams.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // What the offscreen platform cannot do is no news in a test.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (!message.startsWith("This plugin does not support") && !message.startsWith("QStandardPaths: XDG_RUNTIME"))
            fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    });
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // What windows remember (their size and place) stays inside this run.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    // The data layer tells its failures in the "Error" box, as the program's start-up installs it.
    ui::ErrorBox errorBox;
    SetErrorReporter(&errorBox);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
