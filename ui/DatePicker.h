#pragma once
// A date picker holding one date, shown day first as DD/MM/YYYY, with a calendar pop-up that has
// a Today button. Tab leaves the picker; Left and Right move between day, month and year.
#include <QDateEdit>

namespace ui {

class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(const QString &name, QWidget *parent = nullptr);
    QDate Value() const { return date(); }
    void SetValue(const QDate &value);

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// Whether a date is so far from today (more than 50 years either way) that it is likelier a
// slip of the keyboard than meant; such a date is asked about before it is saved.
bool IsFarDate(const QDate &date, const QDate &today);
// Asks "Is the date DD/MM/YYYY right?"; answers whether the user said Yes.
bool ConfirmFarDate(const QDate &date);

}  // namespace ui
