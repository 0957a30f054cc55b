#pragma once
// TMainWindow, the main window: menu bar and toolbar, the waveform view with its scroll bar, the
// bottom panel (progress, selection, cursor time, level meter, volume) and the status bar. It owns
// the one document and the units that work on it, and ties their events together:
// - TTransportController plays the document and feeds the level meter;
// - TEditCommands runs the Edit and Operations commands;
// - TRecoveryController offers the leftovers of runs that did not close and keeps the journal;
// - the file commands (filecommands.cpp) and the Help, Tools and Settings commands
//   (shellcommands.cpp) are the window's own.
//
// Thread rule: GUI thread only. The document raises OnAction from a worker only through the
// TMainThread, which delivers it here on the GUI thread; OnReady and OnLoaded run there too.

#include "editor/actions.h"
#include "editor/settings.h"
#include "engine/document.h"
#include "engine/mainthread.h"
#include "engine/userdialogs.h"
#include "playback/player.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>

class QLabel;
class QMenu;

namespace orvella {

class TAmplifyDialog;
class TBottomPanel;
class TDesktopInput;
class TEditCommands;
class TRecentFiles;
class TRecoveryController;
class TFrameScrollBar;
class TNormalizeDialog;
class TQtWaveClipboard;
class TSelectionModel;
class TSelectionPanel;
class TSilenceDialog;
class TTransportController;
class TWaveView;
class TWindowDialogs;
class TAboutDialog;
class TFilePropertiesDialog;
class TMp3SettingsDialog;
class TUpdateCheck;
class TSettingsDialog;

class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int DesignClientWidth = 659;
    static constexpr int DesignClientHeight = 490;

    struct TServices {
        TMainThread& Main;
        // The engine's boxes (errors of operations, the load box, the codecs' boxes).
        TUserDialogs& Dialogs;
        // The window's own questions and modal dialogs.
        TWindowDialogs& WindowDialogs;
        // The sound device; empty: the system's default.
        TPlayer::TDeviceFactory Devices = {};
        // The decoders and the MP3 writer; empty decoders: the codecs' own.
        TCodecServices Codecs = {};
    };

    // The dialogs and windows the window owns, made at start-up as its Qt children: the effects'
    // value dialogs, the file commands' MP3 settings (filecommands.cpp), and the Help and Tools
    // menus' windows with the update checker (shellcommands.cpp).
    struct TOwnedDialogs {
        TSilenceDialog* SilenceDialog = nullptr;
        TNormalizeDialog* NormalizeDialog = nullptr;
        TAmplifyDialog* AmplifyDialog = nullptr;
        TMp3SettingsDialog* Mp3SettingsDialog = nullptr;
        TSettingsDialog* SettingsDialog = nullptr;
        TFilePropertiesDialog* FilePropertiesDialog = nullptr;
        TAboutDialog* AboutDialog = nullptr;
        TUpdateCheck* UpdateCheck = nullptr;
    };

    // Arguments are the command line after the program name: exactly one is a file to open.
    TMainWindow(TServices services, const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Appends " " + version to the caption the window has now (done once at start-up); the
    // version is also the About box's and the one the update check compares with.
    void AppendVersion(const QString& version);

    // Opens path as Open does with the file the user picked (Recent Files, a drop).
    void OpenFile(const QString& path);
    // Before an MP3 save: the MP3 settings dialog for doc; false when cancelled.
    bool ConfirmMP3Settings(TDocument& doc);

    // --- what the window holds, for the program and its tests ---
    TDocument* Document() const { return Doc.get(); }
    TWaveView* View() const { return WaveView; }
    const TMainActions& Actions() const { return ActionList; }
    const TEditorSettings& Settings() const { return Config; }
    const TOwnedDialogs& OwnedDialogs() const { return Owned; }
    TSelectionPanel* SelectionPanel() const;
    TBottomPanel* Bottom() const { return BottomPanel; }
    TFrameScrollBar* ScrollBar() const { return Scroll; }
    TRecentFiles* RecentFiles() const { return Recent; }
    TTransportController& Transport() const { return *Playback; }
    QMenu* ViewMenu() const { return WaveMenu; }
    // The status bar's panels: 0 the file, 1 the cursor position, 2 the maximum amplitude.
    QLabel* StatusPanel(int panel) const { return StatusPanels[panel]; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // --- construction, in this order ---
    void CreateDocument(const QStringList& arguments);
    void CreateLayout();
    void CreateStatusBar();
    void CreateDialogs();
    void CreateView();
    void CreateTransport();
    void ConnectActions();
    void AddRecentFileMenu();
    void CreateDesktopInput();
    void PlaceWindow();
    void ApplyScaleFormat();
    // Makes the Settings, File Properties and About windows and the update checker, and
    // connects their commands (shellcommands.cpp).
    void CreateShellCommands();
    void StartRecovery(const QStringList& arguments);

    // --- events of the document, the view and the player ---
    void OnDocumentReady();
    void OnDocumentLoaded();
    void OnHistoryChanged(bool undoEnabled, bool redoEnabled);
    void ShowSelection(uint32_t start, uint32_t stop, uint32_t startms, uint32_t stopms,
                       bool selected);
    void ShowCursor(uint32_t position, uint32_t positions);
    void OnPlayingChanged(bool playing);
    // The running operation's progress, delivered on the main thread as it changes.
    void OnProgress(int percent);
    // The scroll bar is of use when the document is more than 100 frames longer than a page.
    void UpdateScrollBarUse();
    // After every finished operation: the recent files and the journal.
    void NoteFinishedOperation();

    // --- closing ---
    // The close question; true when the window may close.
    bool MayClose();
    // Stores the placement and settings and lets the document go; once.
    void FinishClosing();
    // Saves and waits for the body; true when the document was saved.
    bool SaveAndWait();

    // --- file commands (filecommands.cpp) ---
    void OpenDocument();
    void NewDocument();
    void CloseDocument();
    void SaveDocument();
    void SaveDocumentAs();
    void SaveSelectionAs();
    // Open and New: empty selection edits, an empty scroll bar, playback stopped, no document.
    void ResetForNewDocument();
    // The player lets the document go, then the view closes it.
    void CloseWave();
    // Status panel 0 and the caption for path; both empty for an empty path.
    void ShowFileName(const QString& path);

    // --- the scale format ---
    void ShowMilliseconds();
    void ShowSamples();
    // Milliseconds, else frames; stored as "selectiontype" 0 and 1.
    bool MillisecondsMode() const;

    // --- the selection group ---
    // The "Selected" box clicked by the user: the edits become the view's selection.
    void ApplySelectionEdits();
    void SelectAll();
    void DeselectAll();
    void PickStart();
    void PickStop();

    // --- playback ---
    void Play();
    void Pause();
    void Stop();
    // Space: Stop while a playback runs, else Play.
    void PlayOrStop();

    // --- shell commands (shellcommands.cpp) ---
    void ShowFileProperties();
    void ShowSettings();
    void ShowHelpContents();
    void RunTool(int index);
    void CheckForUpdates();
    void ShowAbout();
    // The settings' colours to the view, repainted.
    void ApplyColors();

    void SetStatus(int panel, const QString& text);
    void SetCaption(const QString& name);

    TServices Services;
    TEditorSettings Config;
    QString FileVersion;
    std::unique_ptr<TDocument> Doc;
    std::unique_ptr<TRecoveryController> Recovery;
    TMainActions ActionList;
    // The selection the view, the selection group and the commands share.
    TSelectionModel* SelectionModel = nullptr;
    TOwnedDialogs Owned;
    TQtWaveClipboard* Clipboard = nullptr;
    TWaveView* WaveView = nullptr;
    QWidget* WaveArea = nullptr;
    TFrameScrollBar* Scroll = nullptr;
    TBottomPanel* BottomPanel = nullptr;
    QLabel* StatusPanels[3] = {};
    QMenu* WaveMenu = nullptr;
    TTransportController* Playback = nullptr;
    TEditCommands* EditCommands = nullptr;
    TRecentFiles* Recent = nullptr;
    TDesktopInput* DesktopInput = nullptr;
    bool LoadingEarly = false;
    bool Closed = false;
    uint32_t SavesSeen = 0;
};

} // namespace orvella
