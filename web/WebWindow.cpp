#include "WebWindow.h"

#include "IControl.h"
#include "IParam.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

const char WebWindow::kNotANumber[] = "Not a number: type one, or click elsewhere to keep the value";

void WebWindow::SetEventPoint(int x, int y)
{
    mEventX = x;
    mEventY = y;
}

IPopupMenu* WebWindow::PopupMenu(IPopupMenu* menu, const IRECT& textRect)
{
    if (mAnswer >= 0)
    {
        menu->SetChosenItemIdx(mAnswer);
        return menu;
    }
    IControl* control = mGraphics.GetControl(mGraphics.GetMouseControlIdx(mEventX, mEventY));
    if (mRequest.kind != Kind::kNone || !control || !control->GetParam())
        return nullptr;
    mRequest = Request();
    mRequest.kind = Kind::kMenu;
    mRequest.rect = textRect;
    for (int i = 0; i < menu->GetNItems(); ++i)
    {
        const IPopupMenuItem* item = menu->GetItem(i);
        mRequest.entries.push_back(
            {menu->GetDisplayText(i).Get(), item->GetChecked(), item->GetEnabled(), item->GetIsSeparator()});
    }
    mControl = control;
    mNew = true;
    return nullptr;
}

void WebWindow::OpenTextEntry(IControl* control, const IText& text, const IRECT& textRect,
                              const char* initial, IParam* param)
{
    if (mRequest.kind != Kind::kNone)
        return;
    mRequest = Request();
    mRequest.kind = Kind::kText;
    mRequest.rect = textRect;
    mRequest.text = initial ? initial : "";
    mRequest.rules = EntryRulesFor(param, param ? control->GetTextEntryLength() : 0);
    mRequest.style = text;
    mControl = control;
    mParam = param;
    mNew = true;
}

const WebWindow::Request* WebWindow::TakeNew()
{
    if (!mNew)
        return nullptr;
    mNew = false;
    return &mRequest;
}

bool WebWindow::Accepts(const std::string& text) const
{
    return EntryAccepts(mRequest.rules, text);
}

std::string WebWindow::EnterText(const std::string& text)
{
    if (mRequest.kind != Kind::kText)
        return "no value field is open";
    if (mParam && !(Accepts(text) && IsNumberText(text)))
        return kNotANumber;
    if (mParam && text != mRequest.text)
    {
        const std::string outside = outOfRange(text);
        if (!outside.empty())
            return outside;
    }
    apply(text);
    return "";
}

// A typed number beyond the parameter's range is said, with the range as the
// field shows values, instead of being held at the end of the range.
std::string WebWindow::outOfRange(const std::string& text) const
{
    const double sign = mParam->DisplayIsNegated() ? -1.0 : 1.0;
    const double value = sign * std::strtod(text.c_str(), nullptr);
    if (value >= mParam->GetMin() && value <= mParam->GetMax())
        return "";
    const double a = sign * mParam->GetMin(), b = sign * mParam->GetMax();
    char range[96];
    std::snprintf(range, sizeof range, "%.*f to %.*f", mParam->GetPrecision(), std::min(a, b),
                  mParam->GetPrecision(), std::max(a, b));
    return std::string("Out of range: type a value from ") + range + ", or click elsewhere to keep the value";
}

void WebWindow::EndText(const std::string& text)
{
    if (mRequest.kind != Kind::kText)
        return;
    if (mParam && (!(Accepts(text) && IsNumberText(text)) || (text != mRequest.text && !outOfRange(text).empty())))
        Close();
    else
        apply(text);
}

// The text as it opened is the value as it is: confirming it unchanged keeps
// the value exactly instead of setting it to the rounding it was shown as.
void WebWindow::apply(const std::string& text)
{
    IControl* control = mControl;
    IParam* param = mParam;
    const bool unchanged = text == mRequest.text;
    Close();
    if (param && !unchanged)
        mGraphics.SetFromStringAfterPrompt(control, param, text.c_str());
    else if (!param && control)
        control->TextFromTextEntry(text.c_str());
}

void WebWindow::Close()
{
    mRequest = Request();
    mControl = nullptr;
    mParam = nullptr;
    mNew = false;
}

// Applied by asking the editor for the same menu again and answering at once,
// so that a choice sets what a choice in the desktop views' menu sets.
bool WebWindow::Choose(int index)
{
    if (mRequest.kind != Kind::kMenu || index < 0 || index >= static_cast<int>(mRequest.entries.size()))
        return false;
    const MenuEntry& entry = mRequest.entries[static_cast<size_t>(index)];
    if (!entry.enabled || entry.separator)
        return false;
    IControl* control = mControl;
    IRECT rect = mRequest.rect;
    Close();
    mAnswer = index;
    mGraphics.PromptUserInput(control, control->GetParam(), &rect);
    mAnswer = -1;
    return true;
}
