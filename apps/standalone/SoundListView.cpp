// The list of sounds beside the editor. The tree's rows hold nothing: each
// cell is drawn from the list when it comes into view, so ten thousand sounds
// cost ten thousand empty rows of fixed height and the few cells on screen.
#include "SoundListView.h"

#include <algorithm>
#include <cstdio>

namespace
{

const int kListWidth = 290;
const gint64 kClickAfterChoice = 300000; // µs: the click that chose a sound does not play it again
const char kPart[] = "bleepforge-part";

enum Part
{
    kStar,
    kNumber,
    kName,
    kDetail
};

std::string detailOf(const SoundList& sounds, size_t i)
{
    const double seconds = sounds.SecondsOf(i);
    char length[32] = "";
    if (seconds >= 0)
        std::snprintf(length, sizeof length, " · %.2f s", seconds);
    return sounds.At(i).kind + length;
}

GtkWidget* toolButton(const char* label, const char* tooltip, const std::function<void()>* action)
{
    GtkWidget* button = gtk_button_new_with_label(label);
    gtk_widget_set_tooltip_text(button, tooltip);
    gtk_widget_set_can_focus(button, FALSE);
    g_signal_connect(button, "clicked",
                     G_CALLBACK(+[](GtkButton*, gpointer data) { (*static_cast<const std::function<void()>*>(data))(); }),
                     const_cast<std::function<void()>*>(action));
    return button;
}

} // namespace

SoundListView::SoundListView(const SoundList& sounds, Actions actions)
    : mSounds(sounds), mActions(std::move(actions)), mShownChosen(SoundList::kNone)
{
    mStore = gtk_list_store_new(1, G_TYPE_BOOLEAN);
    mTree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(mStore));
    GtkTreeView* tree = GTK_TREE_VIEW(mTree);
    gtk_tree_view_set_headers_visible(tree, FALSE);
    gtk_tree_view_set_enable_search(tree, FALSE); // typed letters are the window's keys
    // The cells give each column its width, never its content: a long name
    // or kind is cut short, and the list's buttons stay in the window.
    struct Column
    {
        Part part;
        int width;
        float xalign;
        PangoEllipsizeMode ellipsize;
    };
    const Column columns[] = {{kStar, 28, 0.5f, PANGO_ELLIPSIZE_NONE},
                              {kNumber, 44, 1.0f, PANGO_ELLIPSIZE_NONE},
                              {kName, 60, 0.0f, PANGO_ELLIPSIZE_END},
                              {kDetail, 128, 0.0f, PANGO_ELLIPSIZE_MIDDLE}};
    for (const Column& c : columns)
    {
        GtkCellRenderer* cell = gtk_cell_renderer_text_new();
        g_object_set(cell, "xalign", c.xalign, "ellipsize", c.ellipsize, nullptr);
        g_object_set_data(G_OBJECT(cell), kPart, GINT_TO_POINTER(c.part));
        GtkTreeViewColumn* column = gtk_tree_view_column_new();
        gtk_tree_view_column_pack_start(column, cell, TRUE);
        gtk_tree_view_column_set_cell_data_func(column, cell, &SoundListView::drawCell, this, nullptr);
        gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(column, c.width);
        gtk_tree_view_column_set_expand(column, c.part == kName);
        gtk_tree_view_append_column(tree, column);
        mColumns[c.part] = column;
        if (c.part == kName)
            mNameCell = cell;
    }
    // Every row as high as the first: the rows off screen are never measured.
    gtk_tree_view_set_fixed_height_mode(tree, TRUE);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(tree);
    gtk_tree_selection_set_mode(selection, GTK_SELECTION_BROWSE);
    g_signal_connect(selection, "changed", G_CALLBACK(&SoundListView::onSelected), this);
    g_signal_connect(mTree, "button-press-event", G_CALLBACK(&SoundListView::onPress), this);
    gtk_widget_set_has_tooltip(mTree, TRUE);
    g_signal_connect(mTree, "query-tooltip", G_CALLBACK(&SoundListView::onTooltip), this);
    g_signal_connect(mNameCell, "edited", G_CALLBACK(&SoundListView::onEdited), this);
    g_signal_connect(mNameCell, "editing-canceled", G_CALLBACK(&SoundListView::onEditEnded), this);

    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(scrolled), mTree);
    GtkWidget* empty = gtk_label_new("The sounds you make appear here");
    mRowsOrEmpty = gtk_stack_new();
    gtk_stack_add_named(GTK_STACK(mRowsOrEmpty), empty, "empty");
    gtk_stack_add_named(GTK_STACK(mRowsOrEmpty), scrolled, "rows");
    gtk_widget_set_vexpand(mRowsOrEmpty, TRUE);

    mStarredOnly = gtk_check_button_new_with_label("Starred only");
    gtk_widget_set_can_focus(mStarredOnly, FALSE);
    g_signal_connect(mStarredOnly, "toggled",
                     G_CALLBACK(+[](GtkToggleButton*, gpointer self) { static_cast<SoundListView*>(self)->Show(); }),
                     this);
    GtkWidget* tools = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_container_set_border_width(GTK_CONTAINER(tools), 4);
    const std::pair<const char*, const char*> buttons[] = {
        {"Copy", "Copy the sound, to paste here, in another window or as its code anywhere (Ctrl+C)"},
        {"Paste", "Paste a sound: copied here, a sound code or a sound file's path (Ctrl+V)"},
        {"Rename", "Rename the sound (F2, or double-click it)"},
        {"Delete", "Take the sound off the list (Delete; Ctrl+Z brings it back)"}};
    const std::function<void()>* actionsOf[] = {&mActions.copy, &mActions.paste, &mRenameChosen,
                                                &mActions.removeChosen};
    mRenameChosen = [this] { StartRename(mSounds.Current()); };
    for (size_t b = 0; b < 4; ++b)
        gtk_box_pack_start(GTK_BOX(tools), toolButton(buttons[b].first, buttons[b].second, actionsOf[b]), FALSE,
                           FALSE, 0);
    gtk_box_pack_end(GTK_BOX(tools), mStarredOnly, FALSE, FALSE, 0);

    mPanel = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_size_request(mPanel, kListWidth, -1);
    gtk_box_pack_start(GTK_BOX(mPanel), mRowsOrEmpty, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(mPanel), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(mPanel), tools, FALSE, FALSE, 0);
    gtk_widget_show_all(mPanel);
    gtk_stack_set_visible_child_name(GTK_STACK(mRowsOrEmpty), "empty");
}

SoundListView::~SoundListView()
{
    g_object_unref(mStore);
}

size_t SoundListView::soundAt(GtkTreePath* path) const
{
    const gint* indices = path ? gtk_tree_path_get_indices(path) : nullptr;
    if (!indices || indices[0] < 0 || static_cast<size_t>(indices[0]) >= mRows.size())
        return SoundList::kNone;
    // Rows drawn before they are brought up to date may outnumber the sounds.
    const size_t sound = mRows[static_cast<size_t>(indices[0])];
    return sound < mSounds.Size() ? sound : SoundList::kNone;
}

// Null when the sound has no row (a list shown starred only).
GtkTreePath* SoundListView::pathOf(size_t sound) const
{
    const auto at = std::lower_bound(mRows.begin(), mRows.end(), sound);
    if (at == mRows.end() || *at != sound)
        return nullptr;
    return gtk_tree_path_new_from_indices(static_cast<gint>(at - mRows.begin()), -1);
}

// Every sound, or the starred ones and the chosen one.
std::vector<size_t> SoundListView::rowsWanted() const
{
    const bool starredOnly = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(mStarredOnly));
    std::vector<size_t> rows;
    rows.reserve(mSounds.Size());
    for (size_t i = 0; i < mSounds.Size(); ++i)
        if (!starredOnly || mSounds.At(i).starred || i == mSounds.Current())
            rows.push_back(i);
    return rows;
}

void SoundListView::setRowCount(size_t count)
{
    GtkTreeModel* model = GTK_TREE_MODEL(mStore);
    size_t now = static_cast<size_t>(gtk_tree_model_iter_n_children(model, nullptr));
    GtkTreeIter iter;
    for (; now > count; --now)
        if (gtk_tree_model_iter_nth_child(model, &iter, nullptr, static_cast<gint>(now - 1)))
            gtk_list_store_remove(mStore, &iter);
    for (; now < count; ++now)
        gtk_list_store_insert_with_values(mStore, nullptr, -1, -1);
}

void SoundListView::Show()
{
    const bool showing = mShowing; // "Starred only" let go shows the rows again within
    mShowing = true;
    const size_t chosen = mSounds.Current();
    // A sound made or chosen while only starred ones show is shown with the rest.
    if (chosen != mShownChosen && chosen != SoundList::kNone && !mSounds.At(chosen).starred)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(mStarredOnly), FALSE);
    std::vector<size_t> rows = rowsWanted();
    setRowCount(rows.size());
    mRows.swap(rows);
    gtk_stack_set_visible_child_name(GTK_STACK(mRowsOrEmpty), mSounds.Size() == 0 ? "empty" : "rows");
    showChosen();
    gtk_widget_queue_draw(mTree); // the cells read the list anew
    mShowing = showing;
}

// The chosen sound's row is selected, and comes into view when it changed.
void SoundListView::showChosen()
{
    const size_t chosen = mSounds.Current();
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(mTree));
    GtkTreePath* path = chosen == SoundList::kNone ? nullptr : pathOf(chosen);
    if (!path)
        gtk_tree_selection_unselect_all(selection);
    else if (!gtk_tree_selection_path_is_selected(selection, path))
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(mTree), path, nullptr, FALSE);
    if (path && chosen != mShownChosen)
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(mTree), path, nullptr, FALSE, 0, 0);
    if (path)
        gtk_tree_path_free(path);
    mShownChosen = chosen;
}

void SoundListView::StartRename(size_t i)
{
    GtkTreePath* path = i < mSounds.Size() ? pathOf(i) : nullptr;
    if (!path)
        return;
    mRenaming = i;
    g_object_set(mNameCell, "editable", TRUE, nullptr);
    gtk_widget_grab_focus(mTree);
    gtk_tree_view_set_cursor_on_cell(GTK_TREE_VIEW(mTree), path, mColumns[kName], mNameCell, TRUE);
    gtk_tree_path_free(path);
}

void SoundListView::drawCell(GtkTreeViewColumn*, GtkCellRenderer* cell, GtkTreeModel* model, GtkTreeIter* iter,
                             gpointer self)
{
    const auto& view = *static_cast<SoundListView*>(self);
    GtkTreePath* path = gtk_tree_model_get_path(model, iter);
    const size_t i = view.soundAt(path);
    gtk_tree_path_free(path);
    if (i == SoundList::kNone)
        return g_object_set(cell, "text", "", nullptr);
    const ListedSound& sound = view.mSounds.At(i);
    switch (static_cast<Part>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(cell), kPart))))
    {
    case kStar:
        return g_object_set(cell, "text", sound.starred ? "★" : "☆", nullptr);
    case kNumber:
        return g_object_set(cell, "text", std::to_string(i + 1).c_str(), nullptr);
    case kName:
        return g_object_set(cell, "text", sound.name.c_str(), nullptr);
    case kDetail:
        return g_object_set(cell, "text", detailOf(view.mSounds, i).c_str(), nullptr);
    }
}

// A click on a star stars the sound without choosing it; a click on the
// chosen sound plays it again, and a double-click renames it once the click
// is done with (the field would lose its focus to it).
gboolean SoundListView::onPress(GtkWidget* tree, GdkEventButton* event, gpointer self)
{
    auto& view = *static_cast<SoundListView*>(self);
    GtkTreePath* path = nullptr;
    GtkTreeViewColumn* column = nullptr;
    if (event->button != GDK_BUTTON_PRIMARY ||
        !gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(tree), static_cast<gint>(event->x), static_cast<gint>(event->y),
                                       &path, &column, nullptr, nullptr))
        return FALSE;
    const size_t i = view.soundAt(path);
    gtk_tree_path_free(path);
    if (i == SoundList::kNone)
        return FALSE;
    if (event->type == GDK_2BUTTON_PRESS && i == view.mSounds.Current())
    {
        g_idle_add(+[](gpointer self) -> gboolean
                   {
                       auto& view = *static_cast<SoundListView*>(self);
                       view.StartRename(view.mSounds.Current());
                       return G_SOURCE_REMOVE;
                   },
                   self);
        return TRUE;
    }
    if (event->type != GDK_BUTTON_PRESS)
        return FALSE;
    if (column == view.mColumns[kStar])
    {
        view.mActions.star(i, !view.mSounds.At(i).starred);
        return TRUE;
    }
    if (i == view.mSounds.Current() && g_get_monotonic_time() - view.mChosenAt > kClickAfterChoice)
        view.mActions.playChosen();
    return FALSE;
}

void SoundListView::onSelected(GtkTreeSelection* selection, gpointer self)
{
    auto& view = *static_cast<SoundListView*>(self);
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (view.mShowing || !gtk_tree_selection_get_selected(selection, &model, &iter))
        return;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    const size_t i = view.soundAt(path);
    gtk_tree_path_free(path);
    if (i == SoundList::kNone || i == view.mSounds.Current())
        return;
    view.mChosenAt = g_get_monotonic_time();
    view.mActions.choose(i);
}

// The star and the number say what they are; a name or kind says itself
// whole where its row cuts it short, and nothing where it shows whole.
std::string SoundListView::tooltipOf(size_t sound, GtkTreeViewColumn* column) const
{
    if (column == mColumns[kStar])
        return "Star the sounds to keep; \"Starred only\" shows them alone";
    if (column == mColumns[kNumber])
        return "The sound's number, as the editor's slot box and the header number it";
    const std::string text = column == mColumns[kName] ? mSounds.At(sound).name : detailOf(mSounds, sound);
    PangoLayout* layout = gtk_widget_create_pango_layout(mTree, text.c_str());
    int width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    const int kCellPadding = 8;
    return width > gtk_tree_view_column_get_width(column) - kCellPadding ? text : "";
}

gboolean SoundListView::onTooltip(GtkWidget* tree, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                                  gpointer self)
{
    const auto& view = *static_cast<SoundListView*>(self);
    GtkTreeModel* model = nullptr;
    GtkTreePath* path = nullptr;
    GtkTreeViewColumn* column = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_view_get_tooltip_context(GTK_TREE_VIEW(tree), &x, &y, keyboard, &model, &path, &iter))
        return FALSE;
    gtk_tree_path_free(path);
    path = nullptr;
    if (keyboard || !gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(tree), x, y, &path, &column, nullptr, nullptr))
        return FALSE;
    const size_t i = view.soundAt(path);
    const std::string text = i == SoundList::kNone ? "" : view.tooltipOf(i, column);
    if (!text.empty())
    {
        gtk_tree_view_set_tooltip_cell(GTK_TREE_VIEW(tree), tooltip, path, column, nullptr);
        gtk_tooltip_set_text(tooltip, text.c_str());
    }
    gtk_tree_path_free(path);
    return !text.empty();
}

void SoundListView::onEdited(GtkCellRendererText* cell, gchar*, gchar* text, gpointer self)
{
    auto& view = *static_cast<SoundListView*>(self);
    onEditEnded(GTK_CELL_RENDERER(cell), self);
    if (view.mRenaming < view.mSounds.Size())
        view.mActions.rename(view.mRenaming, text ? text : "");
}

void SoundListView::onEditEnded(GtkCellRenderer* cell, gpointer)
{
    g_object_set(cell, "editable", FALSE, nullptr);
}
