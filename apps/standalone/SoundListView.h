#pragma once

#include "SoundList.h"

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

// The list of sounds beside the editor: a row a sound with its star, number,
// name, kind and length, and the list's buttons under it. Rows are drawn
// from the list as they come into view, so that a list of the most sounds
// opens and changes at once. GUI thread only.
class SoundListView
{
public:
    // What the user asks of the list; indexes are the list's.
    struct Actions
    {
        std::function<void(size_t)> choose;
        std::function<void()> playChosen; // a click on the chosen sound
        std::function<void(size_t, bool)> star;
        std::function<void(size_t, const std::string&)> rename;
        std::function<void()> copy, paste, removeChosen;
    };

    // The list is read, never changed, whenever rows are drawn: it must
    // outlive the view.
    SoundListView(const SoundList& sounds, Actions actions);
    ~SoundListView();
    SoundListView(const SoundListView&) = delete;
    SoundListView& operator=(const SoundListView&) = delete;

    GtkWidget* Widget() const { return mPanel; }
    // Brings the rows up to date with the list: its sounds, names, stars and
    // lengths, and the chosen one, which comes into view when it changed.
    void Show();
    // Puts sound i's name in a field to type a new one.
    void StartRename(size_t i);

private:
    size_t soundAt(GtkTreePath* path) const;
    GtkTreePath* pathOf(size_t sound) const;
    std::vector<size_t> rowsWanted() const;
    std::string tooltipOf(size_t sound, GtkTreeViewColumn* column) const;
    void setRowCount(size_t count);
    void showChosen();
    static void drawCell(GtkTreeViewColumn*, GtkCellRenderer* cell, GtkTreeModel*, GtkTreeIter* iter,
                         gpointer self);
    static gboolean onPress(GtkWidget*, GdkEventButton* event, gpointer self);
    static void onSelected(GtkTreeSelection* selection, gpointer self);
    static gboolean onTooltip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                              gpointer self);
    static void onEdited(GtkCellRendererText*, gchar* path, gchar* text, gpointer self);
    static void onEditEnded(GtkCellRenderer*, gpointer self);

    const SoundList& mSounds;
    Actions mActions;
    GtkWidget* mPanel;
    GtkWidget* mTree;
    GtkWidget* mRowsOrEmpty; // the rows, or a word on where sounds appear
    GtkWidget* mStarredOnly;
    GtkListStore* mStore;
    GtkTreeViewColumn* mColumns[4]; // star, number, name, detail
    GtkCellRenderer* mNameCell;
    std::function<void()> mRenameChosen;
    std::vector<size_t> mRows;       // the sound each row shows, in order
    size_t mRenaming = SoundList::kNone; // the sound whose name is being typed
    size_t mShownChosen;             // the chosen sound when the rows were last brought up to date
    bool mShowing = false;           // the rows are being brought up to date: not the user's choice
    gint64 mChosenAt = 0;            // when a click last chose a sound
};
