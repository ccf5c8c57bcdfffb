#include "editors/PickList.h"

#include <QKeyEvent>
#include <QMouseEvent>

PickList::PickList(const QString &name, QWidget *parent, std::function<void()> userPicked)
    : ui::ListBox(name, parent), m_userPicked(std::move(userPicked))
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void PickList::keyPressEvent(QKeyEvent *event)
{
    const int before = currentRow();
    ui::ListBox::keyPressEvent(event);
    if (currentRow() >= 0 && currentRow() != before)
        m_userPicked();
}

void PickList::mousePressEvent(QMouseEvent *event)
{
    m_rowAtPress = currentRow();
    m_pressed = true;
    ui::ListBox::mousePressEvent(event);
}

// The window hears of a mouse choice once the button is up, so that its question does not
// interrupt a press. A click on the current item asks again; a drag that ends elsewhere, or
// any button that moved the current item, counts as a choice too.
void PickList::mouseReleaseEvent(QMouseEvent *event)
{
    ui::ListBox::mouseReleaseEvent(event);
    if (!m_pressed)
        return;
    m_pressed = false;
    const QListWidgetItem *under = itemAt(event->position().toPoint());
    const bool moved = currentRow() != m_rowAtPress;
    const bool clickedCurrent = event->button() == Qt::LeftButton && under && under == currentItem();
    if (currentRow() >= 0 && (moved || clickedCurrent))
        m_userPicked();
}

// The second click of a double click has been answered by the first.
void PickList::mouseDoubleClickEvent(QMouseEvent *event)
{
    ui::ListBox::mouseDoubleClickEvent(event);
    m_pressed = false;
}
