#pragma once
// Shared by the benchmarks that time a window until it has painted.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSet>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

// Processes events until each watched widget has painted once more after an action; one that has
// not painted within timeoutMs ends the benchmark program with a failure.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *w, int timeoutMs = 60000) : PaintWatch({w}, timeoutMs) {}
    PaintWatch(std::initializer_list<QWidget *> widgets, int timeoutMs = 60000) : m_timeoutMs(timeoutMs)
    {
        for (QWidget *w : widgets) {
            w->installEventFilter(this);
            m_watched << w;
            m_waiting.insert(w);
        }
    }
    ~PaintWatch() override
    {
        for (QWidget *w : m_watched)
            w->removeEventFilter(this);
    }
    void Wait()
    {
        QElapsedTimer waited;
        waited.start();
        while (!m_waiting.isEmpty()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (waited.elapsed() > m_timeoutMs) {
                std::fprintf(stderr, "%s: paint: the window never painted\n",
                             qPrintable(QCoreApplication::applicationName()));
                std::exit(1);
            }
        }
    }

private:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            m_waiting.remove(o);
        return false;
    }
    QList<QWidget *> m_watched;
    QSet<QObject *> m_waiting;
    int m_timeoutMs;
};
