#include "engine/update_item.h"

void UpdateItem::Reset() { *this = UpdateItem(); }

void UpdateItem::CopyFrom(const UpdateItem& other) { *this = other; }

UpdateItemList::~UpdateItemList()
{
    for (INT_PTR i = 0; i < GetSize(); ++i)
        delete GetAt(i);
}
