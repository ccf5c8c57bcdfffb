#pragma once
// The list box of the editors: it tells its window when the user moves its current item, by
// mouse or by keys, and never when the program fills, clears or moves it.
#include "ui/ListItems.h"

#include <functional>

class QKeyEvent;
class QMouseEvent;

class PickList : public ui::ListBox {
public:
    PickList(const QString &name, QWidget *parent, std::function<void()> userPicked);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    std::function<void()> m_userPicked;
    int m_rowAtPress = -1;
    bool m_pressed = false;
};
