#pragma once
// A date picker holding one date, shown day first as DD/MM/YYYY, with a calendar pop-up.
#include <QDateEdit>

namespace ui {

class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(const QString &name, QWidget *parent = nullptr);
    QDate Value() const { return date(); }
    void SetValue(const QDate &value);
};

}  // namespace ui
