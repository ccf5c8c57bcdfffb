// qmk-initdb FILE [--demo | --large]: makes a new Quillmark database file.
#include "data/Engine.h"
#include "data/NewDatabase.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    const bool large = args.removeAll(QStringLiteral("--large")) > 0;
    if (args.size() != 1 || args[0].startsWith(QLatin1String("-")) || (demo && large)) {
        std::fprintf(stderr, "usage: qmk-initdb FILE [--demo | --large]\n"
                             "Makes a new, encrypted Quillmark database file. An existing file is never touched.\n");
        return 2;
    }
    const QString path = args[0];
    if (QFileInfo::exists(path)) {
        std::fprintf(stderr, "qmk-initdb: %s already exists; it was left as it is.\n", qPrintable(path));
        return 1;
    }
    try {
        CreateDatabaseFile(path, large ? Sample::Large : demo ? Sample::Demo : Sample::None);
    } catch (const SqlError &e) {
        std::fprintf(stderr, "qmk-initdb: could not make %s: %s\n", qPrintable(path), qPrintable(e.description()));
        return 1;
    }
    std::printf("qmk-initdb: made %s%s\n", qPrintable(path),
                demo ? " with the demo user \"demo\"" : large ? " with the user \"large\" and 32,767 projects" : "");
    return 0;
}
