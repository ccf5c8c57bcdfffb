#pragma once
// Reading a statement for a test: the file's kind told from its content, every line gathered.
#include "import/Readers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace testing_import {

inline std::vector<import::StatementLine> ReadFile(const QString &path, import::Format expected)
{
    EXPECT_EQ(import::FormatName(import::DetectFormat(path)), import::FormatName(expected)) << path.toStdString();
    std::vector<import::StatementLine> lines;
    import::ReadStatement(path, expected, nullptr, [&](import::StatementLine &&line) { lines.push_back(std::move(line)); });
    return lines;
}

// Writes the bytes to a file of that name in a fresh folder.
class Scratch {
public:
    QString Write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
private:
    QTemporaryDir m_dir;
};

// One expected line: date, amount, a part of the remarks, the bank id, a part of the error.
struct Expect {
    QDate date;
    double amount;
    QString remarks;
    QString bankId;
    QString error = {};
};

// exact: the remarks must be the expected text, not only hold it.
inline void Check(const std::vector<import::StatementLine> &got, const std::vector<Expect> &want, const std::string &what,
                  bool exact = false)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i) {
        const auto &g = got[i];
        const auto &w = want[i];
        SCOPED_TRACE(what + " line " + std::to_string(i + 1));
        EXPECT_EQ(g.date, w.date);
        EXPECT_NEAR(g.amount, w.amount, 1e-9);
        EXPECT_TRUE(exact ? g.remarks == w.remarks : g.remarks.contains(w.remarks)) << g.remarks.toStdString();
        EXPECT_EQ(g.bankId, w.bankId);
        if (w.error.isEmpty())
            EXPECT_TRUE(g.error.isEmpty()) << g.error.toStdString();
        else
            EXPECT_TRUE(g.error.contains(w.error)) << g.error.toStdString();
    }
}

}  // namespace testing_import
