// The run's item list: appending copies and releasing them all.
#include <utility>

#include "ui/progress_dialog.h"

void UpdateProgressDialog::AddUpdateItem(const UpdateItem& item)
{
    auto* copy = new UpdateItem;
    copy->CopyFrom(item);
    m_items.SetAtGrow(m_items.GetSize(), copy);
}

void UpdateProgressDialog::AddUpdateItem(UpdateItem&& item)
{
    m_items.SetAtGrow(m_items.GetSize(), new UpdateItem(std::move(item)));
}

void UpdateProgressDialog::ReleaseItems()
{
    const INT_PTR count = m_items.GetSize();
    bool emptySlot = false;
    for (INT_PTR i = 0; i < count; ++i) {
        UpdateItem* item = m_items.GetAt(i);
        if (!item) {
            emptySlot = true;
            continue;  // the records after the gap are still freed, not leaked
        }
        delete item;
    }
    if (emptySlot) {
        RecordError(RunError::ListUnreadable);
    }
    m_items.SetSize(0, -1);
}
