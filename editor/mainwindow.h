#pragma once
// TMainWindow, the main window: menu bar and toolbar, the waveform view in Panel1 with its scroll
// bar, the "Main" tab below (selection, cursor time, level meter, volume), the status bar and the
// progress bar. It owns the one document, the view and the desktop clipboard, reacts to their
// events, polls the document's progress every 50 ms, feeds the level meter every 10 ms while
// playing, and runs every command of the action list.
//
// Thread rule: GUI thread only. The document raises OnAction from a worker only through the
// TMainThread, which delivers it here on the GUI thread; onReady and onLoaded run there too.

#include "editor/actions.h"
#include "editor/settings.h"
#include "engine/document.h"
#include "engine/mainthread.h"
#include "engine/userdialogs.h"
#include "playback/player.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <memory>

class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;

namespace orvella {

class TAmplifyDialog;
class TDesktopInput;
class TRecentFiles;
class TRecoveryJournal;
class TFrameScrollBar;
class TNormalizeDialog;
class TQtWaveClipboard;
class TSelectionPanel;
class TSilenceDialog;
class TLevelMeter;
class TWaveView;
class TWindowDialogs;
class TVolumeBar;
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

    // Runs FormCreate; arguments are the command line after the program name: exactly one is a
    // file to open.
    TMainWindow(TServices services, const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Appends " " + version to the caption the window has now (done once at start-up); the
    // version is also the About box's and the one the update check compares with.
    void AppendVersion(const QString& version);
    QString FileVersion;

    // --- what the window holds ---
    std::unique_ptr<TDocument> Document;
    TWaveView* View = nullptr;
    bool Playing = false;
    TEditorSettings Settings;
    TMainActions Actions;

    TQtWaveClipboard* Clipboard = nullptr;
    TFrameScrollBar* Scroll = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QTabWidget* PageControl = nullptr;
    TSelectionPanel* Selection = nullptr;
    QLabel* timedisplay = nullptr;
    TLevelMeter* VUMeter1 = nullptr;
    TVolumeBar* VolumeBar = nullptr;
    QLabel* StatusPanels[3] = {};
    QMenu* ViewMenu = nullptr;
    QTimer ProgressTimer;
    QTimer VizTimer;
    // The dialogs and windows the form owns, made at start-up as its Qt children: the effects'
    // value dialogs, the file commands' MP3 settings (filecommands.cpp), and the Help and Tools
    // menus' windows with the update checker (shellcommands.cpp).
    struct TOwnedForms {
        TSilenceDialog* SilenceForm = nullptr;
        TNormalizeDialog* NormalizeForm = nullptr;
        TAmplifyDialog* AmplifyForm = nullptr;
        TMp3SettingsDialog* MpegSettings = nullptr;
        TSettingsDialog* SettingsForm = nullptr;
        TFilePropertiesDialog* FileInfoForm = nullptr;
        TAboutDialog* AboutForm = nullptr;
        TUpdateCheck* GetNewVer = nullptr;
    };
    TOwnedForms Forms;
    // The File menu's "Recent Files", drops from the file manager and Space.
    TRecentFiles* RecentFiles = nullptr;
    TDesktopInput* DesktopInput = nullptr;
    // This run's crash-recovery journal, in the work files' folder.
    std::unique_ptr<TRecoveryJournal> Journal;

    // --- handlers ---
    void onReady(TDocument* sender);
    void onLoaded(TDocument* sender);
    void OnAction(TDocument* sender, bool undoEnabled, bool redoEnabled);
    void onSelect(TWaveView* sender, uint32_t start, uint32_t stop, uint32_t startms,
                  uint32_t stopms, bool selected);
    void onCursor(TWaveView* sender, uint32_t position, uint32_t positions);
    void playprocess(bool action);
    void ProgressTimerTimer();
    void VizTimerTimer();
    void ScrollChange();
    // The close question; true when the window may close.
    bool FormCloseQuery();
    void FormClose();

    // --- commands ---
    void OpenExecute();
    void NewExecute();
    void CloseExecute();
    void SaveExecute();
    void SaveAsExecute();
    void SaveSelectedAsExecute();
    void ZoomInExecute();
    void ZoomOutExecute();
    void ZoomFullExecute();
    void MillisecondsExecute();
    void SamplesExecute();
    void UndoExecute();
    void RedoExecute();
    void CutExecute();
    void CopyExecute();
    void PasteExecute();
    void DeleteExecute();
    void InsertSilenceExecute();
    void SelectAllExecute();
    void DeselectAllExecute();
    void PlayExecute();
    void PauseExecute();
    void StopExecute();
    void FadeInExecute();
    void FadeOutExecute();
    void NormalizationExecute();
    void ReverseExecute();
    void InvertExecute();
    void AmplifyIncreaseExecute();
    void AmplifyDecreaseExecute();
    void ConvertExecute();
    void FilePropertiesExecute();
    void SettingsExecute();
    void ContentsExecute();
    void ToolExecute(int index);
    void CheckUpdatesExecute();
    void AboutExecute();
    // Before an MP3 save: the MP3 settings dialog for doc; false when cancelled.
    bool ConfirmMP3Settings(TDocument& doc);
    // Opens path as Open does with the file the user picked (Recent Files, a drop).
    void OpenFile(const QString& path);
    // Space: Stop while a playback runs, else Play.
    void PlayOrStop();
    // The "Selected" box clicked by the user: the edits become the view's selection.
    void selClick();
    void PickStartClick();
    void PickStopClick();
    void VolumeBarChange();

    // The scale format: milliseconds when "selectiontype" is 0.
    bool MillisecondsMode() const { return Settings.selectiontype == 0; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QStringList& arguments);
    void CreateLayout();
    void CreateStatusBar();
    void ConnectActions();
    void PlaceWindow();
    void SetStatus(int panel, const QString& text);
    // The view after a Cut or Delete of start .. stop was started on a document of frames.
    void ShrinkView(uint32_t start, uint32_t stop, uint32_t frames);
    // After a command that used the selection: the view's selection goes, the box is unticked.
    void DropSelection();
    // Shows the dialog with the window dialogs; true on Ok.
    bool RunDialog(QDialog& dialog);
    void Amplify(int preset);
    void SetCaption(const QString& name);
    // Open and New: empty selection edits, an empty scroll bar, playback stopped, no document.
    void ResetForNewDocument();
    // Status panel 0 and the caption for path; both empty for an empty path.
    void ShowFileName(const QString& path);
    // Saves and waits for the body; true when the document was saved.
    bool SaveAndWait();
    // The settings' colours to the view, repainted.
    void ApplyColors();
    // Makes the Settings, File Properties and About windows and the update checker, and
    // connects their commands.
    void CreateShellCommands();
    // The leftovers of runs that did not close: offered for recovery or deleted; true when one
    // is being recovered (its load has started).
    bool OfferRecovery();
    // Whether a run that did not close left unsaved work in the work files' folder.
    bool HasRecoverableLeftovers() const;
    // After every finished operation: the recent files and the journal.
    void NoteFinishedOperation();
    void AddRecentFileMenu();

    TServices Services;
    bool Closed = false;
    uint32_t SavesSeen = 0;
    // A recovered state being loaded: the WAV file it was renamed to and the user's file it
    // belongs to.
    QString RecoveredFile, RecoveredOriginal;
};

} // namespace orvella
