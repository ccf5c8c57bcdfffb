#pragma once
// Another program with a folder's qmk.dat open: the test writer, holding it until it is ended.
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>

class FileHolder {
public:
    FileHolder(const QString &program, const QString &folder)
    {
        m_process.start(program, {folder, QStringLiteral("hold")});
        const bool ready = m_process.waitForReadyRead(30000);
        EXPECT_TRUE(ready && m_process.readLine().trimmed() == "open") << m_process.readAllStandardError().toStdString();
    }
    ~FileHolder() { End(); }
    FileHolder(const FileHolder &) = delete;
    FileHolder &operator=(const FileHolder &) = delete;
    void End()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        EXPECT_TRUE(m_process.waitForFinished(30000));
    }

private:
    QProcess m_process;
};
