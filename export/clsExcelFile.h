#pragma once
// Writes a single-sheet BIFF2 worksheet (the binary format of Excel 2.x) holding text cells only:
// the beginning-of-file record, one LABEL record per cell in call order, the end-of-file record.
// No other record is ever written. Multi-byte fields are little-endian; rows and columns are
// passed 1-based and stored 0-based.
//
// Texts are written in Windows-1252, one byte per Unicode code point; a code point that code page
// does not hold becomes one "?". A text holds at most 247 bytes, a column is 1 to 255 and a row
// 1 to 65536 (the whole two-byte row field).
//
// The file is opened without following a symbolic link, and only a new file or a regular file of
// the current user with no other link to it is written over (it is emptied first), so that an
// export folder shared by several users cannot be used to make one user overwrite another file.
//
// Every failure throws clsExcelFile::Error with a readable reason. A failure after the file was
// opened closes it (the file keeps what was written, without an end-of-file record); Discard then
// removes it. The file is never left open: the destructor closes it too.
#include <QByteArray>
#include <QString>
#include <stdexcept>

class clsExcelFile {
public:
    class Error : public std::runtime_error {
    public:
        explicit Error(const QString &reason)
            : std::runtime_error(reason.toStdString()), m_reason(reason) {}
        QString Reason() const { return m_reason; }

    private:
        QString m_reason;
    };

    static constexpr int kMaxTextBytes = 247;
    static constexpr int kMaxColumn = 255;
    static constexpr int kMaxRow = 65536;

    clsExcelFile();
    ~clsExcelFile();
    clsExcelFile(const clsExcelFile &) = delete;
    clsExcelFile &operator=(const clsExcelFile &) = delete;

    // Creates or empties FileName and writes the beginning-of-file record. Returns true.
    bool OpenFile(QString FileName);
    // Appends a text cell at row r, column c (1-based).
    void EWriteString(int r, int c, const QString &t);
    // Appends the end-of-file record and closes the file.
    void CloseFile();

    bool IsOpen() const { return m_fd >= 0; }
    // Closes the file if it is open and removes the file this instance last opened, if any;
    // for an export that failed half way. Never throws.
    void Discard() noexcept;

    // A text in Windows-1252, one byte per code point, "?" for what the code page lacks.
    static QByteArray ToWindows1252(const QString &text);

private:
    void writeAll(const QByteArray &bytes);
    [[noreturn]] void fail(const QString &reason);
    void closeQuietly() noexcept;

    QByteArray m_bof;
    QByteArray m_label;
    QByteArray m_eof;
    int m_fd = -1;
    QString m_fileName;   // the file this instance opened (and so may remove)
};
