#include "ui/Seams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

// Off unless asked for (QT_LOGGING_RULES="quillmark.trace.debug=true"), so that a program started
// from a terminal does not flood it.
Q_LOGGING_CATEGORY(lcQuillmarkTrace, "quillmark.trace", QtInfoMsg)

namespace ui {
namespace {

MessageBoxHandler g_messageBox;
ModalHandler g_modal;
OpenHandler g_open;
OpenCheckedHandler g_openChecked;
EndHandler g_end;
TraceHandler g_trace;
ClockHandler g_clock;
SaveFileHandler g_saveFile;
OpenFileHandler g_openFile;
PrintHandler g_print;
ProgressHandler g_progress;
QString g_appPath;

template <typename T>
T exchange(T &slot, T value)
{
    T old = std::move(slot);
    slot = std::move(value);
    return old;
}

Answer realMessageBox(const MessageBoxRequest &r)
{
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setWindowTitle(r.title);
    box.setText(r.prompt);
    switch (r.icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    }
    struct Choice { QMessageBox::StandardButton button; Answer answer; };
    QList<Choice> choices;
    switch (r.buttons) {
    case Buttons::OKOnly: choices = {{QMessageBox::Ok, Answer::OK}}; break;
    case Buttons::OKCancel: choices = {{QMessageBox::Ok, Answer::OK}, {QMessageBox::Cancel, Answer::Cancel}}; break;
    case Buttons::YesNo: choices = {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}}; break;
    case Buttons::YesNoCancel:
        choices = {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}, {QMessageBox::Cancel, Answer::Cancel}};
        break;
    case Buttons::RetryCancel: choices = {{QMessageBox::Retry, Answer::Retry}, {QMessageBox::Cancel, Answer::Cancel}}; break;
    }
    for (int i = 0; i < choices.size(); ++i) {
        QPushButton *b = box.addButton(choices[i].button);
        if (i + 1 == r.defaultButton)
            box.setDefaultButton(b);
    }
    const auto pressed = QMessageBox::StandardButton(box.exec());
    for (const Choice &c : choices)
        if (c.button == pressed)
            return c.answer;
    // Closed from the title bar: the box's escape answer.
    return choices.size() == 1 ? choices.front().answer
         : r.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

}  // namespace

Answer MsgBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title, int defaultButton)
{
    const MessageBoxRequest request{prompt, buttons, icon, defaultButton, title};
    return g_messageBox ? g_messageBox(request) : realMessageBox(request);
}
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler h) { return exchange(g_messageBox, std::move(h)); }

void ErrorBox::Report(const QString &description)
{
    MsgBox(description, Buttons::OKOnly, Icon::Critical, QStringLiteral("Error"));
}

int ShowModal(QDialog &dialog)
{
    if (g_modal)
        return g_modal(dialog);
    return dialog.exec();
}
ModalHandler SetModalHandler(ModalHandler h) { return exchange(g_modal, std::move(h)); }

bool OpenWithDesktop(const QString &target)
{
    if (g_openChecked)
        return g_openChecked(target);
    if (g_open) {
        g_open(target);
        return true;
    }
    const bool isAddress = target.contains(QLatin1String("://"));
    return QDesktopServices::openUrl(isAddress ? QUrl(target) : QUrl::fromLocalFile(target));
}
OpenHandler SetOpenHandler(OpenHandler h) { return exchange(g_open, std::move(h)); }
OpenCheckedHandler SetOpenCheckedHandler(OpenCheckedHandler h) { return exchange(g_openChecked, std::move(h)); }

void EndProgram()
{
    if (g_end) {
        g_end();
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // At once: no window's closing handlers run, only what was registered with at_quick_exit
    // (the database connection closes, so that its file holds every change by itself).
    std::quick_exit(0);
}
EndHandler SetEndHandler(EndHandler h) { return exchange(g_end, std::move(h)); }

void Trace(const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit();
    if (g_trace) {
        g_trace(bytes);
        return;
    }
    qCDebug(lcQuillmarkTrace).noquote() << bytes;
}
TraceHandler SetTraceHandler(TraceHandler h) { return exchange(g_trace, std::move(h)); }

QDateTime Now() { return g_clock ? g_clock() : QDateTime::currentDateTime(); }
QDate Today() { return Now().date(); }
ClockHandler SetClock(ClockHandler h) { return exchange(g_clock, std::move(h)); }

QString AppPath()
{
    if (!g_appPath.isEmpty())
        return g_appPath;
    return QCoreApplication::applicationDirPath();
}
void SetAppPath(const QString &folder) { g_appPath = folder; }

QString AskSaveFile(const SaveFileRequest &request, QWidget *parent)
{
    if (g_saveFile)
        return g_saveFile(request);
    return QFileDialog::getSaveFileName(parent, request.caption, request.suggestedPath, request.filter,
                                        request.selectedFilter, QFileDialog::DontUseNativeDialog);
}

SaveFileHandler SetSaveFileHandler(SaveFileHandler h) { return exchange(g_saveFile, std::move(h)); }

QString AskOpenFile(const OpenFileRequest &request, QWidget *parent)
{
    if (g_openFile)
        return g_openFile(request);
    return QFileDialog::getOpenFileName(parent, request.caption, request.folder, request.filter, nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

OpenFileHandler SetOpenFileHandler(OpenFileHandler h) { return exchange(g_openFile, std::move(h)); }

bool AskPrint(QPrinter &printer, QWidget *parent)
{
    if (g_print)
        return g_print(printer);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

PrintHandler SetPrintHandler(PrintHandler h) { return exchange(g_print, std::move(h)); }

Progress::Progress(const QString &label, int total, QWidget *parent) : m_total(total)
{
    if (g_progress)
        return;
    m_dialog = new QProgressDialog(label, QStringLiteral("Cancel"), 0, total, parent);
    m_dialog->setObjectName(QStringLiteral("dlgProgress"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
}

Progress::~Progress() { delete m_dialog; }

bool Progress::Step(int done)
{
    if (g_progress)
        return g_progress(done, m_total);
    m_dialog->setValue(done);
    // What runs meanwhile (a grid stepping its rows) is no step of the action that shows the progress.
    const OutsideAction outside;
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}

ProgressHandler SetProgressHandler(ProgressHandler h) { return exchange(g_progress, std::move(h)); }

}  // namespace ui
