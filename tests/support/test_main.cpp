#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The offscreen platform says what it cannot do on every window; that is not news in a test.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (!message.startsWith(QLatin1String("This plugin does not support")) &&
            !message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
            fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
