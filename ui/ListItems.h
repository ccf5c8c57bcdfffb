#pragma once
// List and combo boxes with a whole number per item, over Qt's own.
#include "data/ListItems.h"

#include <QComboBox>
#include <QListWidget>
#include <QString>

namespace ui {

// A drop-down list (not editable). With sorted set, items are kept in alphabetical order.
class ComboBox : public QComboBox, public IListItems {
    Q_OBJECT
public:
    explicit ComboBox(const QString &name, QWidget *parent = nullptr, bool sorted = false);
    void Clear() override;
    void AddItem(const QString &text) override;
    int NewIndex() const override { return m_newIndex; }
    qint32 ItemData(int index) const override;
    void SetItemData(int index, qint32 value) override;
    int ListIndex() const override { return currentIndex(); }
    void SetListIndex(int index) override { setCurrentIndex(index); }
    int ListCount() const override { return count(); }
    QString List(int index) const override { return itemText(index); }
    void RemoveItem(int index) override { removeItem(index); }

private:
    bool m_sorted;
    int m_newIndex = -1;
};

class ListBox : public QListWidget, public IListItems {
    Q_OBJECT
public:
    explicit ListBox(const QString &name, QWidget *parent = nullptr, bool sorted = false);
    void Clear() override;
    void AddItem(const QString &text) override;
    int NewIndex() const override { return m_newIndex; }
    qint32 ItemData(int index) const override;
    void SetItemData(int index, qint32 value) override;
    int ListIndex() const override { return currentRow(); }
    void SetListIndex(int index) override { setCurrentRow(index); }
    int ListCount() const override { return count(); }
    QString List(int index) const override;
    void RemoveItem(int index) override { delete takeItem(index); }
    bool Selected(int index) const;

private:
    bool m_sorted;
    int m_newIndex = -1;
};

}  // namespace ui
