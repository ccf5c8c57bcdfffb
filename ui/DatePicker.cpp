#include "ui/DatePicker.h"

#include "data/MyFun.h"
#include "ui/Seams.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QToolButton>

namespace ui {

DatePicker::DatePicker(const QString &name, QWidget *parent) : QDateEdit(parent)
{
    setObjectName(name);
    setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    setCalendarPopup(true);
    setMinimumDate(QDate(100, 1, 1));
    setMaximumDate(QDate(9999, 12, 31));
    // The calendar's own bar gets a Today button, which picks today and closes the calendar.
    QCalendarWidget *calendar = calendarWidget();
    if (QWidget *bar = calendar->findChild<QWidget *>(QStringLiteral("qt_calendar_navigationbar"))) {
        auto *today = new QToolButton(bar);
        today->setObjectName(QStringLiteral("btnToday"));
        today->setText(QStringLiteral("Today"));
        today->setToolTip(QStringLiteral("Go to today's date"));
        today->setAutoRaise(true);
        if (auto *row = qobject_cast<QHBoxLayout *>(bar->layout()))
            row->insertWidget(row->count() - 1, today);
        connect(today, &QToolButton::clicked, this, [this, calendar] {
            const QDate now = Today();
            calendar->setSelectedDate(now);
            SetValue(now);
            if (QWidget *popup = calendar->window(); popup != window())
                popup->hide();
        });
    }
}

void DatePicker::SetValue(const QDate &value)
{
    // A date that cannot be held leaves the picker as it was.
    if (value.isValid() && value >= minimumDate() && value <= maximumDate())
        setDate(value);
}

// Tab goes on to the next control, as in every other box; the parts are reached with the arrows.
bool DatePicker::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    const bool left = event->key() == Qt::Key_Left, right = event->key() == Qt::Key_Right;
    if ((left || right) && event->modifiers() == Qt::NoModifier) {
        const int at = currentSectionIndex() + (right ? 1 : -1);
        if (at >= 0 && at < sectionCount())
            setCurrentSectionIndex(at);
        setSelectedSection(currentSection());
        return;
    }
    QDateEdit::keyPressEvent(event);
}

bool IsFarDate(const QDate &date, const QDate &today)
{
    return date.isValid() && (date < today.addYears(-50) || date > today.addYears(50));
}

bool ConfirmFarDate(const QDate &date)
{
    return MsgBox(QStringLiteral("Is the date ") + date.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" right?"),
                  Buttons::YesNo, Icon::Question, AppTitle, 2) == Answer::Yes;
}

}  // namespace ui
