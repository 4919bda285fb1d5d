#pragma once

#include "IGraphicsLinux.h"
#include "ViewConversions.h"

#include <string>
#include <vector>

// The editor's window in a web page. A page cannot run a modal loop, so a
// value field or a pop-up menu the editor opens is kept here as a request:
// the page shows it in HTML and answers later, and the answer is applied
// through the calls the desktop views make. One request at a time.
class WebWindow : public LinuxWindow
{
public:
    enum class Kind
    {
        kNone,
        kText,
        kMenu
    };
    struct MenuEntry
    {
        std::string text;
        bool checked, enabled, separator;
    };
    // What the page shows: where (editor pixels), and the field's text and
    // rules or the menu's entries.
    struct Request
    {
        Kind kind = Kind::kNone;
        IRECT rect;
        std::string text;
        EntryRules rules;
        IText style;
        std::vector<MenuEntry> entries;
    };

    static const char kNotANumber[];

    explicit WebWindow(IGraphicsLinux& graphics) : mGraphics(graphics) {}

    void* View() override { return this; }
    void* Window() override { return this; }
    void ShowTooltips(bool) override {} // the page asks for the text as the pointer moves
    // Records the menu and chooses nothing now; Choose answers it.
    IPopupMenu* PopupMenu(IPopupMenu* menu, const IRECT& textRect) override;
    void OpenTextEntry(IControl* control, const IText& text, const IRECT& textRect,
                       const char* initial, IParam* param) override;
    // The page holds what was typed: a field ended from here keeps its value.
    void EndTextEntry() override { Close(); }

    // The control under the point of the event being handled, whose menu
    // that event may open.
    void SetEventPoint(int x, int y);

    // A request opened since the last call, or null.
    const Request* TakeNew();
    bool Accepts(const std::string& text) const;
    // Enter in the field: "" when it closed, else why it stays open.
    std::string EnterText(const std::string& text);
    // A click elsewhere: the field closes, setting a value only from a number.
    void EndText(const std::string& text);
    // Escape: closes whatever is open, changing nothing.
    void Close();
    // A menu entry chosen: false when there is no such entry to choose.
    bool Choose(int index);

private:
    void apply(const std::string& text);
    std::string outOfRange(const std::string& text) const;

    IGraphicsLinux& mGraphics;
    Request mRequest;
    bool mNew = false;
    IControl* mControl = nullptr; // of the open request
    IParam* mParam = nullptr;
    int mEventX = -1, mEventY = -1;
    int mAnswer = -1; // a menu choice being applied
};
