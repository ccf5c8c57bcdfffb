#pragma once
// A list of texts with a whole number per item, as list and combo boxes offer it. LoadList fills
// one; the windows' layer implements it over its list and combo boxes.
#include <QString>

class IListItems {
public:
    virtual ~IListItems() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const QString &text) = 0;
    // Position of the item added last, or -1.
    virtual int NewIndex() const = 0;
    virtual qint32 ItemData(int index) const = 0;
    virtual void SetItemData(int index, qint32 value) = 0;
    // Position of the chosen item, or -1 when none is chosen.
    virtual int ListIndex() const = 0;
    virtual void SetListIndex(int index) = 0;
    virtual int ListCount() const = 0;
    virtual QString List(int index) const = 0;
    virtual void RemoveItem(int index) = 0;
};
