// qmk-initdb FILE [--demo | --large]: makes a new Quillmark database file.
// qmk-initdb --server CONNINFO [--demo | --large] [--sysop-password-file FILE]
//            [--user-password-file FILE]: lays Quillmark out in an empty server database.
#include "data/Engine.h"
#include "data/NewDatabase.h"
#include "data/ServerDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: qmk-initdb FILE [--demo | --large]\n"
                 "       qmk-initdb --server CONNINFO [--demo | --large] [--sysop-password-file FILE]\n"
                 "                  [--user-password-file FILE]\n"
                 "Makes a new, encrypted Quillmark database file (an existing file is never touched), or lays\n"
                 "Quillmark out in an empty database of a PostgreSQL server, connected as its superuser.\n");
    return 2;
}

// A value that follows an option, taken out of the arguments; empty when the option is absent.
bool takeOption(QStringList &args, const QString &name, QString *value)
{
    const int at = args.indexOf(name);
    if (at < 0)
        return true;
    if (at + 1 >= args.size())
        return false;
    *value = args[at + 1];
    args.remove(at, 2);
    return true;
}

QString readLineHidden(const char *prompt)
{
    std::fprintf(stderr, "%s", prompt);
    std::fflush(stderr);
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= tcflag_t(~ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::fprintf(stderr, "\n");
    }
    return QString::fromStdString(line);
}

// A password from its file (the first line), or asked twice on the terminal.
bool passwordFor(const QString &who, const QString &file, QString *password)
{
    if (!file.isEmpty()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "qmk-initdb: cannot read %s: %s\n", qPrintable(file), qPrintable(f.errorString()));
            return false;
        }
        *password = QString::fromUtf8(f.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    } else {
        const QByteArray prompt = QStringLiteral("Password for %1: ").arg(who).toUtf8();
        *password = readLineHidden(prompt.constData());
        if (readLineHidden("Again: ") != *password) {
            std::fprintf(stderr, "qmk-initdb: the two passwords differ; nothing was made.\n");
            return false;
        }
    }
    if (password->trimmed().isEmpty()) {
        std::fprintf(stderr, "qmk-initdb: the password of %s is empty; nothing was made.\n", qPrintable(who));
        return false;
    }
    return true;
}

int makeServerDatabase(const QString &conninfo, Sample sample, const QString &sysopFile, const QString &userFile)
{
    QString sysopPassword, userPassword;
    if (!passwordFor(QStringLiteral("sysop"), sysopFile, &sysopPassword))
        return 1;
    const QString user = sample == Sample::Demo ? QStringLiteral("demo") : QStringLiteral("large");
    if (sample != Sample::None && !passwordFor(user, userFile, &userPassword))
        return 1;
    QString where;
    try {
        where = CreateServerDatabase(conninfo, QString(), QString(), sysopPassword, sample, userPassword);
    } catch (const SqlError &e) {
        std::fprintf(stderr, "qmk-initdb: could not lay out the database: %s\n", qPrintable(e.description()));
        return 1;
    }
    // Where, and whether the passwords travelled encrypted.
    std::printf("qmk-initdb: laid out Quillmark in %s%s\n", qPrintable(where),
                sample == Sample::Demo ? ", with the demo user \"demo\""
                : sample == Sample::Large ? ", with the user \"large\" and 32,767 projects" : "");
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    const bool large = args.removeAll(QStringLiteral("--large")) > 0;
    QString server, sysopFile, userFile;
    if (!takeOption(args, QStringLiteral("--server"), &server) ||
        !takeOption(args, QStringLiteral("--sysop-password-file"), &sysopFile) ||
        !takeOption(args, QStringLiteral("--user-password-file"), &userFile) || (demo && large))
        return usage();
    const Sample sample = large ? Sample::Large : demo ? Sample::Demo : Sample::None;
    if (!server.isEmpty()) {
        if (!args.isEmpty())
            return usage();
        return makeServerDatabase(server, sample, sysopFile, userFile);
    }
    if (args.size() != 1 || args[0].startsWith(QLatin1String("-")) || !sysopFile.isEmpty() || !userFile.isEmpty())
        return usage();
    const QString path = args[0];
    if (QFileInfo::exists(path)) {
        std::fprintf(stderr, "qmk-initdb: %s already exists; it was left as it is.\n", qPrintable(path));
        return 1;
    }
    try {
        CreateDatabaseFile(path, sample);
    } catch (const SqlError &e) {
        std::fprintf(stderr, "qmk-initdb: could not make %s: %s\n", qPrintable(path), qPrintable(e.description()));
        return 1;
    }
    std::printf("qmk-initdb: made %s%s\n", qPrintable(path),
                demo ? " with the demo user \"demo\"" : large ? " with the user \"large\" and 32,767 projects" : "");
    return 0;
}
