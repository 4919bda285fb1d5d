#include "IPopupMenu.h"

#include <cstdio>

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index)
{
    return index == -1 ? mItems.Add(item) : mItems.Insert(index, item);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int flags)
{
    return AddItem(new IPopupMenuItem(text, flags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* submenu)
{
    return AddItem(new IPopupMenuItem(text, submenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu)
{
    return AddItem(text, -1, submenu);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index)
{
    return AddItem("", index, IPopupMenuItem::kSeparator);
}

const char* IPopupMenu::GetItemText(int index) const
{
    const IPopupMenuItem* item = GetItem(index);
    return item ? item->GetText() : "";
}

KIT_String IPopupMenu::GetDisplayText(int index) const
{
    static const char* const kFormats[] = {"", "%1d: ", "%02d: ", "%03d: "};
    char number[16] = "";
    if (mPrefix > 0)
        std::snprintf(number, sizeof number, kFormats[mPrefix], index + 1);
    KIT_String text(number);
    text.Append(GetItemText(index));
    return text;
}

void IPopupMenu::SetPrefix(int prefix)
{
    if (prefix >= 0 && prefix <= 3)
        mPrefix = prefix;
}

bool IPopupMenu::CheckItem(int index, bool checked)
{
    IPopupMenuItem* item = GetItem(index);
    if (!item)
        return false;
    item->SetChecked(checked);
    return true;
}

void IPopupMenu::CheckItemAlone(int index)
{
    for (int i = 0; i < GetNItems(); ++i)
        GetItem(i)->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const
{
    const IPopupMenuItem* item = GetItem(index);
    return item && item->GetChecked();
}
