#pragma once

#include "KIT_PtrList.h"
#include "KIT_String.h"

class IPopupMenu;

// One entry of a pop-up menu; a submenu is not owned by the item.
class IPopupMenuItem
{
public:
    enum Flags
    {
        kNoFlags = 0,
        kDisabled = 1 << 0,
        kTitle = 1 << 1,
        kChecked = 1 << 2,
        kSeparator = 1 << 3
    };

    IPopupMenuItem(const char* text, int flags = kNoFlags) : mText(text), mFlags(flags) {}
    IPopupMenuItem(const char* text, IPopupMenu* submenu) : mText(text), mSubmenu(submenu) {}

    const char* GetText() const { return mText.Get(); }
    IPopupMenu* GetSubmenu() const { return mSubmenu; }
    bool GetEnabled() const { return !(mFlags & kDisabled); }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
    void SetText(const char* text) { mText.Set(text); }
    void SetChecked(bool checked) { mFlags = checked ? mFlags | kChecked : mFlags & ~kChecked; }

private:
    KIT_String mText;
    IPopupMenu* mSubmenu = nullptr;
    int mFlags = kNoFlags;
};

// A platform-independent pop-up menu: ordered, possibly nested items, shown by
// the graphics context and returned with the chosen index.
class IPopupMenu
{
public:
    explicit IPopupMenu(int prefix = 0, bool canMultiCheck = false)
        : mPrefix(prefix), mCanMultiCheck(canMultiCheck)
    {
    }

    // Appends at index -1, inserts elsewhere; the menu owns the item.
    IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
    IPopupMenuItem* AddItem(const char* text, int index = -1, int flags = IPopupMenuItem::kNoFlags);
    IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* submenu);
    IPopupMenuItem* AddItem(const char* text, IPopupMenu* submenu);
    IPopupMenuItem* AddSeparator(int index = -1);

    IPopupMenuItem* GetItem(int index) const { return mItems.Get(index); }
    const char* GetItemText(int index) const;
    int GetNItems() const { return mItems.GetSize(); }
    // The label as shown, with the numbering prefix when there is one.
    KIT_String GetDisplayText(int index) const;

    void SetPrefix(int prefix);
    int GetPrefix() const { return mPrefix; }
    bool GetCanMultiCheck() const { return mCanMultiCheck; }
    bool CheckItem(int index, bool checked);
    void CheckItemAlone(int index);
    bool IsItemChecked(int index) const;
    int GetChosenItemIdx() const { return mChosenItemIdx; }
    void SetChosenItemIdx(int index) { mChosenItemIdx = index; }

private:
    int mPrefix;
    int mChosenItemIdx = -1;
    bool mCanMultiCheck;
    KIT_PtrList<IPopupMenuItem> mItems;
};
