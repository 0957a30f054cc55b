#pragma once
// The main window's action list: every command with its caption (accelerator marks included),
// shortcut, hint and icon, and the menu bar, toolbar and view context menu built from it. "New"
// and "Convert" are in the list only: on no menu, toolbar or shortcut.
// Thread rule: main thread only.

#include <QList>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QObject;
class QToolBar;
class QWidget;

namespace orvella {

struct TMainActions {
    // File
    QAction *Open, *New, *Close, *Save, *SaveAs, *SaveSelectedAs, *FileProperties, *Settings, *Exit;
    // View
    QAction *ZoomIn, *ZoomOut, *ZoomFull, *Milliseconds, *Samples;
    QActionGroup* ScaleFormat;
    // Edit
    QAction *Undo, *Redo, *Cut, *Copy, *Paste, *Delete, *SelectAll, *DeselectAll;
    // Operations
    QAction *Play, *Pause, *Stop, *FadeIn, *FadeOut, *InsertSilence, *Normalization, *Reverse,
        *Invert, *AmplifyDecrease, *AmplifyIncrease, *Convert;
    // Tools: the companion programs
    QList<QAction*> Tools;
    // Help
    QAction *Contents, *CheckUpdates, *About;

    // Every action above, in the order of the list.
    QList<QAction*> All() const;
};

// Makes the actions, owned by owner.
TMainActions CreateActions(QObject* owner);
// Fills the window's menu bar and returns the toolbar it added.
QToolBar* CreateMenusAndToolBar(QMainWindow& window, const TMainActions& actions);
// The view's context menu: Cut, Copy, Paste, Delete, a separator, Save Selected As.
QMenu* CreateViewMenu(QWidget* owner, const TMainActions& actions);

} // namespace orvella
