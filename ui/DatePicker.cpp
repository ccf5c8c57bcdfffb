#include "ui/DatePicker.h"

namespace ui {

DatePicker::DatePicker(const QString &name, QWidget *parent) : QDateEdit(parent)
{
    setObjectName(name);
    setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    setCalendarPopup(true);
    setMinimumDate(QDate(100, 1, 1));
    setMaximumDate(QDate(9999, 12, 31));
}

void DatePicker::SetValue(const QDate &value)
{
    // A date that cannot be held leaves the picker as it was.
    if (value.isValid() && value >= minimumDate() && value <= maximumDate())
        setDate(value);
}

}  // namespace ui
