#pragma once
// Everything the windows do through the platform goes through one replaceable function here,
// so that tests can script message boxes, modal windows, the desktop, the clock and the end of
// the program. An empty handler restores the real behaviour.
#include "data/Failure.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>

class QDialog;
class QPrinter;
class QProgressDialog;
class QWidget;

namespace ui {

enum class Buttons { OKOnly, OKCancel, YesNo, YesNoCancel, RetryCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { OK, Cancel, Yes, No, Retry };

struct MessageBoxRequest {
    QString prompt;
    Buttons buttons = Buttons::OKOnly;
    Icon icon = Icon::None;
    int defaultButton = 1;  // 1 = first button, 2 = second, ...
    QString title;
};

using MessageBoxHandler = std::function<Answer(const MessageBoxRequest &)>;
using ModalHandler = std::function<int(QDialog &)>;
using OpenHandler = std::function<void(const QString &)>;
using OpenCheckedHandler = std::function<bool(const QString &)>;
using EndHandler = std::function<void()>;
using TraceHandler = std::function<void(const QByteArray &)>;
using ClockHandler = std::function<QDateTime()>;

// The modal message box; answers the button pressed.
Answer MsgBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
              int defaultButton = 1);
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The data layer's failures as the user is told them: the description in a box titled "Error",
// with the critical icon and an OK button. Start-up installs one (SetErrorReporter).
class ErrorBox : public IErrorReporter {
public:
    void Report(const QString &description) override;
};

// Shows a window modally and waits until it has closed; answers its result code.
int ShowModal(QDialog &dialog);
ModalHandler SetModalHandler(ModalHandler handler);

// Asks the desktop to open a file or an address; answers whether a program took it. A handler set
// with SetOpenHandler counts as opening everything; one set with SetOpenCheckedHandler answers for
// itself and comes first.
bool OpenWithDesktop(const QString &pathOrAddress);
OpenHandler SetOpenHandler(OpenHandler handler);
OpenCheckedHandler SetOpenCheckedHandler(OpenCheckedHandler handler);

// Ends the program at once: no window's closing handler runs.
void EndProgram();
EndHandler SetEndHandler(EndHandler handler);

// One trace line on the debugger channel (standard error, category "quillmark.trace"),
// in the system's 8-bit character set and without a line end of its own.
void Trace(const QString &line);
TraceHandler SetTraceHandler(TraceHandler handler);

// The clock.
QDate Today();
QDateTime Now();
ClockHandler SetClock(ClockHandler handler);

// A file to save to, asked with Qt's own save dialog (not the desktop's); empty when cancelled.
struct SaveFileRequest {
    QString caption;
    QString suggestedPath;  // the folder and file name the dialog starts with
    QString filter;         // e.g. "PDF files (*.pdf)", or several joined by ";;"
    QString *selectedFilter = nullptr;  // when given: the filter shown first, and the one chosen
};
using SaveFileHandler = std::function<QString(const SaveFileRequest &)>;
QString AskSaveFile(const SaveFileRequest &request, QWidget *parent = nullptr);
SaveFileHandler SetSaveFileHandler(SaveFileHandler handler);

// A file to read, asked with Qt's own open dialog (not the desktop's); empty when cancelled.
struct OpenFileRequest {
    QString caption;
    QString folder;   // the folder the dialog starts in
    QString filter;   // e.g. "All statements (*.csv *.ofx);;CSV files (*.csv)"
};
using OpenFileHandler = std::function<QString(const OpenFileRequest &)>;
QString AskOpenFile(const OpenFileRequest &request, QWidget *parent = nullptr);
OpenFileHandler SetOpenFileHandler(OpenFileHandler handler);

// The platform's print dialog for printer: answers whether the user chose to print (the printer
// is then set up as chosen).
using PrintHandler = std::function<bool(QPrinter &)>;
bool AskPrint(QPrinter &printer, QWidget *parent = nullptr);
PrintHandler SetPrintHandler(PrintHandler handler);

// Long work's progress, in a dialog with a Cancel button that shows itself when the work lasts.
// Step answers false once the user has cancelled; the work then stops and undoes what it began.
using ProgressHandler = std::function<bool(int done, int total)>;
class Progress {
public:
    Progress(const QString &label, int total, QWidget *parent = nullptr);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;
    bool Step(int done);

private:
    QProgressDialog *m_dialog = nullptr;
    int m_total;
};
ProgressHandler SetProgressHandler(ProgressHandler handler);

// The program's folder (the folder of the executable, unless a test has set another).
QString AppPath();
void SetAppPath(const QString &folder);

}  // namespace ui
