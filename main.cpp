#include "shell/MyFunMain.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Lets the desktop match the windows with the menu entry quillmark.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmark"));
    return RunQuillmark(app);
}
