// The editor in a plain X11 window inside a host's window. Everything runs on
// the host's UI thread, in the idle calls it makes and in the menus, which
// keep the thread until a choice is made, as a native menu does.
#include "IGraphicsLinuxX11.h"

#include "IGraphicsLinux.h"

#include "IControl.h"
#include "IParam.h"
#include "ViewConversions.h"
#include "X11Canvas.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

std::atomic<int> gScale{1};
const unsigned kDoubleClickMs = 400;
// The editor's own colours: its pixel font is light on dark panels.
const IColor kPanel(255, 18, 20, 30), kInk(255, 236, 226, 196), kSelection(255, 190, 48, 44);

// A rectangle with the border DrawRect puts on its right and bottom edges.
IRECT withBorder(const IRECT& r, const IGraphics& graphics)
{
    return IRECT(r.L, r.T, std::min(r.R + 1, graphics.Width()), std::min(r.B + 1, graphics.Height()));
}

IMouseMod modsOf(unsigned state, unsigned button)
{
    const bool right = button == Button3 || (state & Button3Mask);
    const bool command = (state & Mod4Mask) != 0; // a command-click counts as right
    return IMouseMod(!right, right || command, (state & ShiftMask) != 0, (state & ControlMask) != 0,
                     (state & Mod1Mask) != 0);
}

// A value field drawn over the editor: the typed text and a caret.
struct Field
{
    IControl* control = nullptr;
    IParam* param = nullptr;
    IRECT rect;
    std::string text;
    EntryRules rules;
    bool selected = true; // the first key typed replaces the value, as in a text field
};

struct X11View : LinuxWindow
{
    ~X11View() override;
    void* View() override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
    void* Window() override { return View(); }
    void ShowTooltips(bool enabled) override { tooltipsOn = enabled; }
    IPopupMenu* PopupMenu(IPopupMenu* menu, const IRECT& textRect) override;
    void OpenTextEntry(IControl* control, const IText& text, const IRECT& textRect,
                       const char* initial, IParam* param) override;
    void EndTextEntry() override;
    void Idle() override;

    void handle(XEvent& event);
    void onButton(const XButtonEvent& event, bool press);
    void onKey(XKeyEvent& event);
    void onFieldKey(KeySym sym, const char* text);
    void editorPoint(int x, int y, int* ex, int* ey);
    void present(bool everything);
    // Copies the draw bitmap's pixels in area to the window.
    void putArea(const IRECT& area);
    void drawField();
    bool tooltipDue() const;
    void drawTooltip();
    void restartTooltip();
    void closeField(bool confirm);

    IGraphicsLinux* graphics = nullptr;
    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    int scale = 1;
    std::unique_ptr<X11Canvas> canvas;
    bool exposed = true;
    Field field;
    bool fieldOpen = false;
    int prevX = 0, prevY = 0; // the last mouse position, for key presses
    Time lastClick = 0;
    unsigned lastButton = 0;
    bool tooltipsOn = false, pointerInside = false, tooltipShown = false;
    std::chrono::steady_clock::time_point restingSince = std::chrono::steady_clock::now();
    IRECT tooltipRect;
};

void X11View::editorPoint(int x, int y, int* ex, int* ey)
{
    EditorPointFromView(static_cast<double>(x) / scale, static_cast<double>(y) / scale, graphics->Height(), ex, ey);
    prevX = *ex;
    prevY = *ey;
}

void X11View::Idle()
{
    while (XPending(display))
    {
        XEvent event;
        XNextEvent(display, &event);
        handle(event);
    }
    present(false);
}

void X11View::present(bool everything)
{
    IRECT dirty;
    const bool changed = graphics->IsDirty(&dirty);
    if (changed)
        graphics->Draw(&dirty);
    PIX_IBitmap* image = graphics->GetDrawBitmap();
    tooltipShown = tooltipShown || tooltipDue();
    if (!image || !(changed || exposed || everything || fieldOpen || tooltipShown))
        return;
    if (!changed)
        dirty = IRECT();
    if (fieldOpen)
    {
        drawField();
        dirty = dirty.Union(withBorder(field.rect, *graphics));
    }
    if (tooltipShown)
    {
        drawTooltip();
        dirty = dirty.Union(withBorder(tooltipRect, *graphics));
    }
    IRECT all(0, 0, graphics->Width(), graphics->Height());
    putArea((exposed || everything) ? all : dirty);
    exposed = false;
}

void X11View::putArea(const IRECT& area)
{
    canvas->Fill(graphics->GetDrawBitmap(), area, scale);
    canvas->Put(window, gc, area, scale);
    XFlush(display);
}

void X11View::handle(XEvent& event)
{
    int x, y;
    if (event.type == MotionNotify || event.type == ButtonPress || event.type == KeyPress ||
        event.type == LeaveNotify)
    {
        pointerInside = event.type != LeaveNotify;
        restartTooltip();
    }
    switch (event.type)
    {
    case Expose:
        exposed = true;
        break;
    case ButtonPress:
    case ButtonRelease:
        onButton(event.xbutton, event.type == ButtonPress);
        break;
    case MotionNotify:
    {
        editorPoint(event.xmotion.x, event.xmotion.y, &x, &y);
        IMouseMod mod = modsOf(event.xmotion.state, 0);
        const bool dragging = (event.xmotion.state & (Button1Mask | Button3Mask)) != 0;
        if (dragging && !fieldOpen)
            graphics->OnMouseDrag(x, y, &mod);
        else if (!dragging)
            graphics->OnMouseOver(x, y, &mod);
        break;
    }
    case LeaveNotify:
        graphics->OnMouseOut();
        break;
    case KeyPress:
        onKey(event.xkey);
        break;
    default:
        break;
    }
}

void X11View::onButton(const XButtonEvent& event, bool press)
{
    int x, y;
    editorPoint(event.x, event.y, &x, &y);
    IMouseMod mod = modsOf(event.state, event.button);
    if (event.button == Button4 || event.button == Button5)
    {
        if (press)
        {
            if (fieldOpen)
                closeField(true); // an open field is confirmed first
            graphics->OnMouseWheel(x, y, &mod, event.button == Button4 ? 1 : -1);
        }
        return;
    }
    if (event.button != Button1 && event.button != Button3)
        return;
    if (!press)
    {
        graphics->OnMouseUp(x, y, &mod);
        return;
    }
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    if (fieldOpen)
    {
        if (field.rect.Contains(x, y))
            return;
        closeField(true); // a click elsewhere confirms, as leaving a field does
    }
    const bool twice = event.button == lastButton && event.time - lastClick < kDoubleClickMs;
    lastClick = twice ? 0 : event.time;
    lastButton = event.button;
    if (twice && event.button == Button1)
        graphics->OnMouseDblClick(x, y, &mod);
    else
        graphics->OnMouseDown(x, y, &mod);
}

ViewKey viewKeyOf(KeySym sym)
{
    switch (sym)
    {
    case XK_space:
        return ViewKey::kSpace;
    case XK_Up:
        return ViewKey::kUp;
    case XK_Down:
        return ViewKey::kDown;
    case XK_Left:
        return ViewKey::kLeft;
    case XK_Right:
        return ViewKey::kRight;
    default:
        return ViewKey::kCharacter;
    }
}

void X11View::onKey(XKeyEvent& event)
{
    char text[8] = "";
    KeySym sym = NoSymbol;
    const int length = XLookupString(&event, text, sizeof text - 1, &sym, nullptr);
    text[length > 0 ? length : 0] = '\0';
    if (fieldOpen)
    {
        onFieldKey(sym, text);
        return;
    }
    const ViewKey key = viewKeyOf(sym);
    const int code = EditorKeyCode(key, key == ViewKey::kCharacter ? text : "");
    if (code >= 0)
        graphics->OnKeyDown(prevX, prevY, code);
}

void X11View::onFieldKey(KeySym sym, const char* text)
{

    if (sym == XK_Return || sym == XK_KP_Enter)
        closeField(true);
    else if (sym == XK_Escape)
        closeField(false);
    else if (sym == XK_BackSpace && !field.text.empty())
        field.selected ? field.text.clear() : field.text.pop_back();
    else if (text[0] && static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7f)
    {
        const std::string typed = (field.selected ? "" : field.text) + text;
        if (EntryAccepts(field.rules, typed))
            field.text = typed;
    }
    else
        return;
    field.selected = false;
}

// A tooltip shows once the pointer has rested this long over a control that has one.
const std::chrono::milliseconds kTooltipDelay(600);
const int kTooltipWidth = 300;

void X11View::restartTooltip()
{
    restingSince = std::chrono::steady_clock::now();
    if (!tooltipShown)
        return;
    tooltipShown = false;
    graphics->SetAllControlsDirty(); // its pixels go
}

bool X11View::tooltipDue() const
{
    if (!tooltipsOn || !pointerInside || fieldOpen || !graphics->GetPixelFont() ||
        std::chrono::steady_clock::now() - restingSince < kTooltipDelay)
        return false;
    IControl* control = graphics->GetControl(graphics->GetMouseOver());
    return control && !control->IsHidden() && control->GetTooltip() && control->GetTooltip()[0];
}

// The words of text in lines no wider than width.
std::vector<std::string> wrapped(IPixelFont& font, const std::string& text, int width)
{
    std::vector<std::string> lines(1);
    size_t at = 0;
    while (at < text.size())
    {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        const std::string longer = lines.back().empty() ? word : lines.back() + " " + word;
        if (!lines.back().empty() && font.Width(longer.c_str()) > width)
            lines.push_back(word);
        else
            lines.back() = longer;
        at = end + 1;
    }
    return lines;
}

void X11View::drawTooltip()
{
    IControl* control = graphics->GetControl(graphics->GetMouseOver());
    IPixelFont* font = graphics->GetPixelFont();
    if (!control || !font)
        return;
    const std::vector<std::string> lines = wrapped(*font, control->GetTooltip(), kTooltipWidth);
    int width = 0;
    for (const std::string& line : lines)
        width = std::max(width, font->Width(line.c_str()));
    const int lineH = font->Height() + 2, w = width + 12, h = lineH * static_cast<int>(lines.size()) + 8;
    const int left = std::max(0, std::min(prevX + 12, graphics->Width() - w - 1));
    int top = prevY + 20;
    if (top + h >= graphics->Height())
        top = std::max(0, prevY - h - 8);
    tooltipRect = IRECT(left, top, left + w, top + h);
    IRECT r = tooltipRect;
    graphics->SetOverlayArea(withBorder(r, *graphics));
    graphics->FillIRect(&kPanel, &r);
    graphics->DrawRect(&kInk, &r);
    for (size_t i = 0; i < lines.size(); ++i)
        font->Draw(graphics, lines[i].c_str(), left + 6, top + 4 + static_cast<int>(i) * lineH);
}

void X11View::drawField()
{
    IPixelFont* font = graphics->GetPixelFont();
    IRECT r = field.rect;
    graphics->SetOverlayArea(withBorder(r, *graphics));
    graphics->FillIRect(&kPanel, &r);
    graphics->DrawRect(&kInk, &r);
    const int textW = font ? font->Width(field.text.c_str()) : 0;
    const int textH = font ? font->Height() : 0;
    const int x = std::max(r.L + 2, r.L + (r.W() - textW) / 2), y = r.T + (r.H() - textH) / 2;
    if (field.selected && !field.text.empty())
    {
        IRECT selection(x - 1, r.T + 2, x + textW + 1, r.B - 2);
        graphics->FillIRect(&kSelection, &selection);
    }
    if (font)
        font->Draw(graphics, field.text.c_str(), x, y);
    IRECT caret(x + textW + 1, r.T + 3, x + textW + 2, r.B - 3);
    graphics->FillIRect(&kInk, &caret);
}

void X11View::OpenTextEntry(IControl* control, const IText&, const IRECT& textRect,
                            const char* initial, IParam* param)
{
    if (fieldOpen)
        return;
    field = Field();
    field.control = control;
    field.param = param;
    field.rect = textRect;
    field.text = initial ? initial : "";
    field.rules = EntryRulesFor(param, param ? control->GetTextEntryLength() : 0);
    fieldOpen = true;
}

void X11View::closeField(bool confirm)
{
    if (!fieldOpen)
        return;
    fieldOpen = false; // before anything that may call back here
    const Field closing = field;
    graphics->SetAllControlsDirty(); // the field's pixels go
    if (!confirm)
        return;
    if (closing.param)
        graphics->SetFromStringAfterPrompt(closing.control, closing.param, closing.text.c_str());
    else if (closing.control)
        closing.control->TextFromTextEntry(closing.text.c_str());
}

void X11View::EndTextEntry()
{
    closeField(true);
}

// A menu drawn in the editor's bitmap below the text it belongs to; entries
// with a submenu open it in its place.
class DrawnMenu
{
public:
    DrawnMenu(X11View& view, IPopupMenu* menu, const IRECT& under) : mView(view) { Show(menu, under); }
    void Show(IPopupMenu* menu, const IRECT& under);
    // The entry under the point, or -1.
    int EntryAt(int x, int y) const;
    void Draw(int highlighted);
    IPopupMenu* Menu() const { return mMenu; }
    const IRECT& Rect() const { return mRect; }

private:
    X11View& mView;
    IPopupMenu* mMenu = nullptr;
    IRECT mRect;
    int mRowH = 16;
};

void DrawnMenu::Show(IPopupMenu* menu, const IRECT& under)
{
    mMenu = menu;
    IPixelFont* font = mView.graphics->GetPixelFont();
    mRowH = (font ? font->Height() : 14) + 4;
    int width = under.W();
    for (int i = 0; i < menu->GetNItems(); ++i)
        width = std::max(width, (font ? font->Width(menu->GetDisplayText(i).Get()) : 60) + 24);
    const int height = mRowH * menu->GetNItems() + 4;
    const int editorW = mView.graphics->Width(), editorH = mView.graphics->Height();
    int left = std::min(under.L, editorW - width), top = under.B;
    if (top + height > editorH)
        top = std::max(0, under.T - height);
    mRect = IRECT(std::max(0, left), top, std::max(0, left) + width, top + height);
}

int DrawnMenu::EntryAt(int x, int y) const
{
    if (!mRect.Contains(x, y))
        return -1;
    const int i = (y - mRect.T - 2) / mRowH;
    return i >= 0 && i < mMenu->GetNItems() ? i : -1;
}

void DrawnMenu::Draw(int highlighted)
{
    IGraphics* g = mView.graphics;
    IPixelFont* font = g->GetPixelFont();
    IRECT r = mRect;
    g->SetOverlayArea(withBorder(r, *g));
    g->FillIRect(&kPanel, &r);
    g->DrawRect(&kInk, &r);
    for (int i = 0; i < mMenu->GetNItems(); ++i)
    {
        IPopupMenuItem* item = mMenu->GetItem(i);
        IRECT row(mRect.L + 1, mRect.T + 2 + i * mRowH, mRect.R - 1, mRect.T + 2 + (i + 1) * mRowH);
        if (item->GetIsSeparator())
        {
            const int middle = (row.T + row.B) / 2;
            IRECT line(row.L + 4, middle, row.R - 4, middle + 1);
            g->FillIRect(&kInk, &line);
            continue;
        }
        if (i == highlighted && item->GetEnabled())
            g->FillIRect(&kSelection, &row);
        std::string label = mMenu->GetDisplayText(i).Get();
        if (item->GetChecked())
            label = "* " + label;
        if (item->GetSubmenu())
            label += " >";
        if (font)
            font->Draw(g, label.c_str(), row.L + 10, row.T + 2);
    }
}

IPopupMenu* X11View::PopupMenu(IPopupMenu* menu, const IRECT& textRect)
{
    if (!menu || menu->GetNItems() == 0)
        return nullptr;
    DrawnMenu drawn(*this, menu, textRect);
    int highlighted = -1, shown = -2;
    bool editorToo = true; // at first, and when a submenu or the server asks
    IPopupMenu* chosen = nullptr;
    for (bool open = true; open;)
    {
        IRECT all(0, 0, graphics->Width(), graphics->Height());
        if (editorToo)
        {
            graphics->SetAllControlsDirty();
            graphics->Draw(&all);
        }
        if (editorToo || highlighted != shown)
        {
            drawn.Draw(highlighted);
            putArea(editorToo ? all : withBorder(drawn.Rect(), *graphics));
            shown = highlighted;
            editorToo = false;
        }
        XEvent event;
        XNextEvent(display, &event); // the menu keeps the thread until it closes
        int x = 0, y = 0;
        if (event.type == MotionNotify)
        {
            editorPoint(event.xmotion.x, event.xmotion.y, &x, &y);
            highlighted = drawn.EntryAt(x, y);
        }
        else if (event.type == ButtonRelease && (event.xbutton.button == Button1 || event.xbutton.button == Button3))
        {
            editorPoint(event.xbutton.x, event.xbutton.y, &x, &y);
            const int i = drawn.EntryAt(x, y);
            IPopupMenuItem* item = i >= 0 ? drawn.Menu()->GetItem(i) : nullptr;
            if (item && item->GetSubmenu())
            {
                drawn.Show(item->GetSubmenu(), drawn.Rect());
                editorToo = true;
            }
            else if (item && item->GetEnabled() && !item->GetIsSeparator())
            {
                drawn.Menu()->SetChosenItemIdx(i);
                chosen = drawn.Menu();
                open = false;
            }
            else if (!drawn.Rect().Contains(x, y) && !textRect.Contains(x, y))
                open = false;
        }
        else if (event.type == KeyPress && XLookupKeysym(&event.xkey, 0) == XK_Escape)
            open = false;
        else if (event.type == Expose)
            editorToo = true;
    }
    // The pointer moved under the menu: what it rests on now shows its tooltip.
    IMouseMod none;
    graphics->OnMouseOver(prevX, prevY, &none);
    restartTooltip();
    graphics->SetAllControlsDirty();
    present(true);
    return chosen;
}

std::unique_ptr<LinuxWindow> openX11Window(IGraphicsLinux& graphics, void* parent)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    auto view = std::make_unique<X11View>();
    view->graphics = &graphics;
    view->display = display;
    view->scale = gScale.load() >= 2 ? 2 : 1;
    const int screen = DefaultScreen(display);
    const ::Window owner = parent ? static_cast<::Window>(reinterpret_cast<uintptr_t>(parent))
                                  : RootWindow(display, screen);
    const auto w = static_cast<unsigned>(graphics.Width() * view->scale),
               h = static_cast<unsigned>(graphics.Height() * view->scale);
    XSetWindowAttributes attributes = {};
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | LeaveWindowMask | StructureNotifyMask;
    attributes.background_pixel = BlackPixel(display, screen);
    view->window = XCreateWindow(display, owner, 0, 0, w, h, 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWEventMask | CWBackPixel, &attributes);
    if (!parent)
        XStoreName(display, view->window, "Bleepforge");
    view->gc = XCreateGC(display, view->window, 0, nullptr);
    view->canvas = std::make_unique<X11Canvas>(display, DefaultVisual(display, screen),
                                            DefaultDepth(display, screen), static_cast<int>(w),
                                            static_cast<int>(h));
    if (!view->canvas->Valid())
        return nullptr;
    XMapRaised(display, view->window);
    XSync(display, False);
    return view;
}

X11View::~X11View()
{
    canvas.reset();
    if (gc)
        XFreeGC(display, gc);
    if (window)
        XDestroyWindow(display, window);
    XCloseDisplay(display);
}

} // namespace

void UseX11Windows(int scale)
{
    gScale.store(scale);
    IGraphicsLinux::SetWindowFactory(&openX11Window);
}
