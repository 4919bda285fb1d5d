// The editor in a GTK 3 window: drawing area, redraw timer, mouse and keys,
// value fields, pop-up menus and tooltips. Everything here runs on the GUI
// thread, the thread that runs GTK's main loop.
#include "IGraphicsLinuxGtk.h"

#include "IControl.h"
#include "IParam.h"
#include "ViewConversions.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

struct LinuxView : LinuxWindow
{
    ~LinuxView() override;
    void* View() override { return overlay; }
    void* Window() override { return toplevel ? toplevel : overlay; }
    void ShowTooltips(bool enabled) override { gtk_widget_set_has_tooltip(area, enabled); }
    IPopupMenu* PopupMenu(IPopupMenu* menu, const IRECT& textRect) override;
    void OpenTextEntry(IControl* control, const IText& text, const IRECT& textRect,
                       const char* initial, IParam* param) override;
    void EndTextEntry() override;

    IGraphicsLinux* graphics = nullptr;
    GtkWidget* toplevel = nullptr; // our own window, when no parent was given
    GtkWidget* overlay = nullptr;  // holds the drawing area and, while editing, the field
    GtkWidget* area = nullptr;
    GtkWidget* entry = nullptr;
    IControl* edControl = nullptr;
    IParam* edParam = nullptr;
    bool entryCancelled = false; // Escape: the field closes and the value stays
    EntryRules rules;
    int prevX = 0, prevY = 0; // the last mouse position, for key presses
    guint timer = 0;
    std::vector<uint32_t> pixels; // the draw bitmap in cairo's pixel format
    PIX_MemBitmap doubled;
};

IMouseMod modsOf(guint state, guint button)
{
    const bool right = button == 3 || (state & GDK_BUTTON3_MASK);
    const bool command = (state & GDK_META_MASK) != 0; // a command-click counts as right
    return IMouseMod(!right, right || command, (state & GDK_SHIFT_MASK) != 0,
                     (state & GDK_CONTROL_MASK) != 0, (state & GDK_MOD1_MASK) != 0);
}

void editorPoint(LinuxView* view, double x, double y, int* ex, int* ey)
{
    EditorPointFromView(x, y, view->graphics->Height(), ex, ey);
    view->prevX = *ex;
    view->prevY = *ey;
}

// Copies the draw bitmap into cairo's xRGB words; at scale 2 every pixel is a
// 2 x 2 block, never smoothed.
gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    IGraphicsLinux* g = view->graphics;
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    IRECT area(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(std::ceil(x2)),
               static_cast<int>(std::ceil(y2)));
    g->Draw(&area);
    PIX_IBitmap* image = g->GetDrawBitmap();
    if (!image)
        return TRUE;
    const int scale = gtk_widget_get_scale_factor(widget) >= 2 ? 2 : 1;
    if (scale == 2)
    {
        PixelDouble(image, &view->doubled);
        image = &view->doubled;
    }
    const int w = image->getWidth(), h = image->getHeight();
    view->pixels.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
    {
        const PIX_Pixel* row = image->getBits() + static_cast<long>(y) * image->getRowSpan();
        for (int x = 0; x < w; ++x)
        {
            const PIX_Pixel p = row[x];
            view->pixels[static_cast<size_t>(y) * w + x] =
                static_cast<uint32_t>(PIX_Channel(p, 1)) << 16 |
                static_cast<uint32_t>(PIX_Channel(p, 2)) << 8 | PIX_Channel(p, 3);
        }
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(view->pixels.data()), CAIRO_FORMAT_RGB24, w, h, w * 4);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_surface_destroy(surface);
    return TRUE;
}

gboolean onTimer(gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    IRECT dirty;
    if (view->graphics->IsDirty(&dirty))
        gtk_widget_queue_draw_area(view->area, dirty.L, dirty.T, dirty.W(), dirty.H());
    return G_SOURCE_CONTINUE;
}

gboolean onButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    gtk_widget_grab_focus(widget);
    if (event->type == GDK_3BUTTON_PRESS)
        return TRUE;
    int x, y;
    editorPoint(view, event->x, event->y, &x, &y);
    IMouseMod mod = modsOf(event->state, event->button);
    if (event->type == GDK_2BUTTON_PRESS && event->button == 1)
        view->graphics->OnMouseDblClick(x, y, &mod);
    else if (event->type == GDK_BUTTON_PRESS)
        view->graphics->OnMouseDown(x, y, &mod);
    return TRUE;
}

gboolean onButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    int x, y;
    editorPoint(view, event->x, event->y, &x, &y);
    IMouseMod mod = modsOf(event->state, event->button);
    view->graphics->OnMouseUp(x, y, &mod);
    return TRUE;
}

gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    int x, y;
    editorPoint(view, event->x, event->y, &x, &y);
    IMouseMod mod = modsOf(event->state, 0);
    const bool dragging = (event->state & (GDK_BUTTON1_MASK | GDK_BUTTON3_MASK)) != 0;
    if (dragging && !view->entry)
        view->graphics->OnMouseDrag(x, y, &mod);
    else if (!dragging)
        view->graphics->OnMouseOver(x, y, &mod);
    return TRUE;
}

gboolean onScroll(GtkWidget*, GdkEventScroll* event, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    if (view->entry)
        view->graphics->ForceEndUserEdit(); // an open field is confirmed first
    double dx = 0.0, dy = 0.0;
    if (event->direction == GDK_SCROLL_SMOOTH)
        gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(event), &dx, &dy);
    else
        dy = event->direction == GDK_SCROLL_UP ? -1.0 : event->direction == GDK_SCROLL_DOWN ? 1.0 : 0.0;
    int x, y;
    editorPoint(view, event->x, event->y, &x, &y);
    if (!view->graphics->WheelTurnsAt(x, y))
        return FALSE; // what holds the editor scrolls
    IMouseMod mod = modsOf(event->state, 0);
    // Up is positive for the editor, as on the Mac.
    view->graphics->OnMouseWheel(x, y, &mod, static_cast<int>(std::trunc(-dy)));
    return TRUE;
}

ViewKey viewKeyOf(guint keyval)
{
    switch (keyval)
    {
    case GDK_KEY_space:
        return ViewKey::kSpace;
    case GDK_KEY_Up:
        return ViewKey::kUp;
    case GDK_KEY_Down:
        return ViewKey::kDown;
    case GDK_KEY_Left:
        return ViewKey::kLeft;
    case GDK_KEY_Right:
        return ViewKey::kRight;
    default:
        return ViewKey::kCharacter;
    }
}

// Keys the editor does not take go on to the parent, that is to the host.
gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    const guint32 unicode = gdk_keyval_to_unicode(event->keyval);
    char text[8] = "";
    const int length = unicode ? g_unichar_to_utf8(unicode, text) : 0;
    text[length] = '\0';
    const ViewKey key = viewKeyOf(event->keyval);
    const int code = EditorKeyCode(key, key == ViewKey::kCharacter ? text : "");
    if (code < 0)
        return FALSE;
    return view->graphics->OnKeyDown(view->prevX, view->prevY, code) ? TRUE : FALSE;
}

gboolean onQueryTooltip(GtkWidget*, gint, gint, gboolean, GtkTooltip* tooltip, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    IGraphicsLinux* g = view->graphics;
    IControl* control = g->TooltipsEnabled() ? g->GetControl(g->GetMouseOver()) : nullptr;
    if (!control || control->IsHidden() || !control->GetTooltip()[0])
        return FALSE;
    gtk_tooltip_set_text(tooltip, control->GetTooltip());
    return TRUE;
}

// Refuses, as the user types, what the field's rules do not allow.
void onEntryInsert(GtkEditable* editable, gchar* newText, gint length, gint* position, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    std::string text = gtk_entry_get_text(GTK_ENTRY(editable));
    text.insert(static_cast<size_t>(std::min<gint>(*position, static_cast<gint>(text.size()))),
                std::string(newText, length >= 0 ? static_cast<size_t>(length) : std::strlen(newText)));
    if (!EntryAccepts(view->rules, text))
        g_signal_stop_emission_by_name(editable, "insert-text");
}

// A window that asks for it (the standalone app sets this on its toplevel)
// keeps a value whose text is not a number, and says so, instead of setting
// the parameter from it; elsewhere such text sets what it always has.
const char kKeepsUnparsedValues[] = "bleepforge-keeps-unparsed-values";

bool keepsUnparsedValues(GtkWidget* widget)
{
    return g_object_get_data(G_OBJECT(gtk_widget_get_toplevel(widget)), kKeepsUnparsedValues) != nullptr;
}

// Text the field cannot take as its value.
bool unparsed(GtkWidget* field, IParam* param)
{
    return param && keepsUnparsedValues(field) &&
           !IsNumberText(gtk_entry_get_text(GTK_ENTRY(field)));
}

void onEntryActivate(GtkEntry* field, gpointer data)
{
    auto* view = static_cast<LinuxView*>(data);
    if (unparsed(GTK_WIDGET(field), view->edParam))
    {
        gtk_widget_error_bell(GTK_WIDGET(field));
        gtk_widget_set_tooltip_text(GTK_WIDGET(field),
                                    "Not a number: type one, or click elsewhere to keep the value");
        gtk_editable_select_region(GTK_EDITABLE(field), 0, -1);
        return;
    }
    view->graphics->ForceEndUserEdit();
}

gboolean onEntryKey(GtkWidget*, GdkEventKey* event, gpointer data)
{
    if (event->keyval != GDK_KEY_Escape)
        return FALSE;
    auto* view = static_cast<LinuxView*>(data);
    view->entryCancelled = true;
    view->graphics->ForceEndUserEdit();
    return TRUE;
}

gboolean onEntryFocusOut(GtkWidget*, GdkEvent*, gpointer data)
{
    static_cast<LinuxView*>(data)->graphics->ForceEndUserEdit();
    return FALSE;
}

void connect(GtkWidget* widget, const char* signal, GCallback handler, LinuxView* view)
{
    g_signal_connect(widget, signal, handler, view);
}

// Builds a native menu of an IPopupMenu; a chosen entry stores its index in its
// own (sub)menu and remembers which menu that was.
struct MenuChoice
{
    IPopupMenu* chosen = nullptr;
    GMainLoop* loop = nullptr;
};

struct MenuItemData
{
    IPopupMenu* menu;
    int index;
    MenuChoice* choice;
};

GtkWidget* buildMenu(IPopupMenu* menu, MenuChoice* choice, std::vector<MenuItemData*>* owned)
{
    GtkWidget* native = gtk_menu_new();
    for (int i = 0; i < menu->GetNItems(); ++i)
    {
        IPopupMenuItem* item = menu->GetItem(i);
        GtkWidget* entry;
        if (item->GetIsSeparator())
            entry = gtk_separator_menu_item_new();
        else
        {
            std::string label = menu->GetDisplayText(i).Get();
            if (item->GetIsTitle())
                label = "  " + label;
            entry = gtk_check_menu_item_new_with_label(label.c_str());
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(entry), item->GetChecked());
            gtk_widget_set_sensitive(entry, item->GetEnabled());
            if (item->GetSubmenu())
                gtk_menu_item_set_submenu(GTK_MENU_ITEM(entry), buildMenu(item->GetSubmenu(), choice, owned));
            else
            {
                auto* itemData = new MenuItemData{menu, i, choice};
                owned->push_back(itemData);
                g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer d)
                                 {
                                     auto* itemData = static_cast<MenuItemData*>(d);
                                     itemData->menu->SetChosenItemIdx(itemData->index);
                                     itemData->choice->chosen = itemData->menu;
                                 }),
                                 itemData);
            }
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(native), entry);
    }
    return native;
}

std::unique_ptr<LinuxWindow> openGtkWindow(IGraphicsLinux& graphics, void* parent)
{
    if (!gtk_init_check(nullptr, nullptr))
        return nullptr; // no display
    auto window = std::make_unique<LinuxView>();
    LinuxView* view = window.get();
    view->graphics = &graphics;
    view->area = gtk_drawing_area_new();
    gtk_widget_set_size_request(view->area, graphics.Width(), graphics.Height());
    gtk_widget_set_can_focus(view->area, TRUE);
    gtk_widget_add_events(view->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                          GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK |
                                          GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK);
    connect(view->area, "draw", G_CALLBACK(onDraw), view);
    connect(view->area, "button-press-event", G_CALLBACK(onButtonPress), view);
    connect(view->area, "button-release-event", G_CALLBACK(onButtonRelease), view);
    connect(view->area, "motion-notify-event", G_CALLBACK(onMotion), view);
    connect(view->area, "scroll-event", G_CALLBACK(onScroll), view);
    connect(view->area, "key-press-event", G_CALLBACK(onKeyPress), view);
    connect(view->area, "query-tooltip", G_CALLBACK(onQueryTooltip), view);
    view->overlay = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(view->overlay), view->area);
    if (parent && GTK_IS_CONTAINER(parent))
        gtk_container_add(GTK_CONTAINER(parent), view->overlay);
    else
    {
        view->toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_resizable(GTK_WINDOW(view->toplevel), FALSE);
        gtk_container_add(GTK_CONTAINER(view->toplevel), view->overlay);
    }
    gtk_widget_show_all(view->toplevel ? view->toplevel : view->overlay);
    gtk_widget_grab_focus(view->area);
    view->timer = g_timeout_add(static_cast<guint>(1000 / graphics.FPS()), onTimer, view);
    return window;
}

LinuxView::~LinuxView()
{
    if (timer)
        g_source_remove(timer);
    gtk_widget_destroy(toplevel ? toplevel : overlay);
}

IPopupMenu* LinuxView::PopupMenu(IPopupMenu* menu, const IRECT& textRect)
{
    MenuChoice choice;
    std::vector<MenuItemData*> owned;
    GtkWidget* native = buildMenu(menu, &choice, &owned);
    choice.loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect(native, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer loop)
                     { g_main_loop_quit(static_cast<GMainLoop*>(loop)); }),
                     choice.loop);
    gtk_widget_show_all(native);
    GdkRectangle at = {textRect.L, textRect.T, textRect.W(), textRect.H()};
    gtk_menu_popup_at_rect(GTK_MENU(native), gtk_widget_get_window(area), &at,
                           GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
    g_main_loop_run(choice.loop); // the menu is modal, as on the Mac
    // Activation comes after deactivation: let it arrive.
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    g_main_loop_unref(choice.loop);
    gtk_widget_destroy(native);
    for (MenuItemData* data : owned)
        delete data;
    return choice.chosen;
}

void LinuxView::OpenTextEntry(IControl* control, const IText& text, const IRECT& textRect,
                              const char* initial, IParam* param)
{
    if (entry)
        return;
    edControl = control;
    edParam = param;
    rules = EntryRulesFor(param, param ? control->GetTextEntryLength() : 0);
    entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), initial ? initial : "");
    if (rules.maxLength > 0)
        gtk_entry_set_max_length(GTK_ENTRY(entry), rules.maxLength);
    gtk_entry_set_has_frame(GTK_ENTRY(entry), FALSE);
    gtk_entry_set_alignment(GTK_ENTRY(entry), text.mAlign == IText::kAlignNear   ? 0.0f
                                              : text.mAlign == IText::kAlignFar ? 1.0f
                                                                                : 0.5f);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_widget_set_halign(entry, GTK_ALIGN_START);
    gtk_widget_set_valign(entry, GTK_ALIGN_START);
    gtk_widget_set_margin_start(entry, textRect.L);
    gtk_widget_set_margin_top(entry, textRect.T);
    gtk_widget_set_size_request(entry, textRect.W(), textRect.H());
    char css[256];
    const IColor& fg = text.mTextEntryFGColor;
    const IColor& bg = text.mTextEntryBGColor;
    std::snprintf(css, sizeof css,
                  "entry { font-size: %.1fpx; color: rgb(%d,%d,%d); background: rgb(%d,%d,%d); "
                  "min-height: 0; padding: 0; border: none; }",
                  0.9 * text.mSize, fg.R, fg.G, fg.B, bg.R, bg.G, bg.B);
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(entry), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    connect(entry, "insert-text", G_CALLBACK(onEntryInsert), this);
    connect(entry, "activate", G_CALLBACK(onEntryActivate), this);
    connect(entry, "focus-out-event", G_CALLBACK(onEntryFocusOut), this);
    connect(entry, "key-press-event", G_CALLBACK(onEntryKey), this);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), entry);
    gtk_widget_show(entry);
    gtk_widget_grab_focus(entry);
}

void LinuxView::EndTextEntry()
{
    if (!entry)
        return;
    GtkWidget* field = entry;
    entry = nullptr; // before anything that may call back here
    const std::string text = gtk_entry_get_text(GTK_ENTRY(field));
    IControl* control = edControl;
    IParam* param = edParam;
    edControl = nullptr;
    edParam = nullptr;
    const bool keep = unparsed(field, param);
    const bool cancelled = entryCancelled;
    entryCancelled = false;
    gtk_widget_destroy(field);
    gtk_widget_grab_focus(area);
    gtk_widget_queue_draw(area);
    if (cancelled) // Escape: the value stays as it was
        return;
    if (param && !keep)
        graphics->SetFromStringAfterPrompt(control, param, text.c_str());
    else if (control)
        control->TextFromTextEntry(text.c_str());
}

} // namespace

void UseGtkWindows()
{
    IGraphicsLinux::SetWindowFactory(&openGtkWindow);
}
