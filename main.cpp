#include "shell/MyFunMain.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return RunQuillmark(app);
}
