#include "ui/ListItems.h"

namespace ui {
namespace {

// Where a sorted list puts a new text: after every item that sorts before or equal to it.
template <typename Texts>
int sortedPosition(const Texts &textAt, int count, const QString &text)
{
    int lo = 0, hi = count;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (QString::compare(textAt(mid), text, Qt::CaseInsensitive) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace

ComboBox::ComboBox(const QString &name, QWidget *parent, bool sorted)
    : QComboBox(parent), m_sorted(sorted)
{
    setObjectName(name);
    setEditable(false);
    // A long item makes the list no wider than a few words: the pop-up shows it whole.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
}

void ComboBox::Clear()
{
    clear();
    m_newIndex = -1;
}

void ComboBox::AddItem(const QString &text)
{
    const int pos = m_sorted
        ? sortedPosition([this](int i) { return itemText(i); }, count(), text)
        : count();
    // A drop-down list chooses its first item by itself; a list filled by the program has no
    // choice until the user or the program makes one.
    const bool noChoice = currentIndex() < 0;
    insertItem(pos, text, QVariant(qint32(0)));
    if (noChoice)
        setCurrentIndex(-1);
    m_newIndex = pos;
}

qint32 ComboBox::ItemData(int index) const { return itemData(index).toInt(); }
void ComboBox::SetItemData(int index, qint32 value) { setItemData(index, QVariant(value)); }

ListBox::ListBox(const QString &name, QWidget *parent, bool sorted)
    : QListWidget(parent), m_sorted(sorted)
{
    setObjectName(name);
}

void ListBox::Clear()
{
    clear();
    m_newIndex = -1;
}

void ListBox::AddItem(const QString &text)
{
    const int pos = m_sorted
        ? sortedPosition([this](int i) { return item(i)->text(); }, count(), text)
        : count();
    auto *it = new QListWidgetItem(text);
    it->setData(Qt::UserRole, QVariant(qint32(0)));
    insertItem(pos, it);
    m_newIndex = pos;
}

qint32 ListBox::ItemData(int index) const
{
    const QListWidgetItem *it = item(index);
    return it ? it->data(Qt::UserRole).toInt() : 0;
}

void ListBox::SetItemData(int index, qint32 value)
{
    if (QListWidgetItem *it = item(index))
        it->setData(Qt::UserRole, QVariant(value));
}

QString ListBox::List(int index) const
{
    const QListWidgetItem *it = item(index);
    return it ? it->text() : QString();
}

bool ListBox::Selected(int index) const
{
    const QListWidgetItem *it = item(index);
    return it && it->isSelected();
}

}  // namespace ui
