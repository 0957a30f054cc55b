#include "editor/mainwindow.h"

#include "codecs/codectable.h"
#include "editor/amplifydialog.h"
#include "editor/appicon.h"
#include "editor/bottompanel.h"
#include "editor/desktopinput.h"
#include "editor/editcommands.h"
#include "editor/mp3settingsdialog.h"
#include "editor/normalizedialog.h"
#include "editor/qtwaveclipboard.h"
#include "editor/recentfiles.h"
#include "editor/recoverycontroller.h"
#include "editor/selectionpanel.h"
#include "editor/silencedialog.h"
#include "editor/timeedit.h"
#include "editor/transportcontroller.h"
#include "editor/windowdialogs.h"
#include "engine/timeformat.h"
#include "playback/volumebar.h"
#include "view/framescrollbar.h"
#include "view/selectionmodel.h"
#include "view/waveview.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>

namespace orvella {

namespace {

constexpr char AppTitle[] = "Orvella";

// A status bar panel: its width is a preferred width the bar may shrink when the window is
// narrow; the last panel takes the rest.
class TStatusPanel : public QLabel {
public:
    TStatusPanel(int width, QWidget* parent = nullptr)
        : QLabel(parent)
        , Width(width) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setTextInteractionFlags(Qt::TextSelectableByKeyboard);
        setFocusPolicy(Qt::NoFocus);
    }
    QSize sizeHint() const override { return {Width, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {24, QLabel::minimumSizeHint().height()}; }

private:
    int Width;
};

QString TimeText(uint32_t ms) {
    return QString::fromStdString(FormatTime(ms));
}

// A 16-bit document's peak in whole dB, as always; a float document's to a tenth, signed, since it
// may lie above full scale ("+3.5").
QString MaximumAmplitudeText(const TDocument& doc) {
    if (doc.Format.load() != TSampleFormat::Float32) return QString::number(doc.PeakDb.load());
    const float level = doc.PeakLevel.load();
    if (!(level > 0)) return QStringLiteral("-90");
    const double db = 20.0 * std::log10(double(level));
    return (db > 0.05 ? QStringLiteral("+") : QString()) + QString::number(db, 'f', 1);
}

} // namespace

TMainWindow::TMainWindow(TServices services, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent)
    , Services(std::move(services)) {
    setWindowTitle(QLatin1String(AppTitle));
    setWindowIcon(ApplicationIcon());
    // The settings come first: the document makes its work files in their folder.
    LoadSettings(Config);

    CreateDocument(arguments);
    ActionList = CreateActions(this);
    CreateMenusAndToolBar(*this, ActionList);
    CreateLayout();
    CreateStatusBar();
    AddRecentFileMenu();
    CreateDesktopInput();
    PlaceWindow();
    CreateDialogs();
    CreateView();
    CreateTransport();
    ConnectActions();
    ApplyScaleFormat();
    CreateShellCommands();
    StartRecovery(arguments);
}

TMainWindow::~TMainWindow() {
    if (!Closed) FinishClosing();
    // The player reads the document and the view shows it: both go before it.
    delete Playback;
    Playback = nullptr;
    delete WaveView;
    WaveView = nullptr;
    Doc.reset();
    // The work files are gone: nothing is left to recover.
    Recovery.reset();
}

TSelectionPanel* TMainWindow::SelectionPanel() const {
    return BottomPanel->Selection();
}

// --- creation ---

void TMainWindow::CreateDocument(const QStringList& arguments) {
    // The desktop clipboard takes the place of the clipboard viewer chain: its availability
    // signal enables Paste.
    Clipboard = new TQtWaveClipboard(Services.Main, this);
    Clipboard->SetTempFolder(Config.tempfolder.toStdString());

    TEngineSettings engineSettings;
    engineSettings.TempFolder = Config.tempfolder.toStdString();
    engineSettings.Dither = Config.dither;
    TCodecServices codecs =
        Services.Codecs.Decoders.empty() ? DefaultCodecServices(Services.Dialogs) : Services.Codecs;
    if (!codecs.ConfirmMP3Settings)
        codecs.ConfirmMP3Settings = [this](TDocument& doc) { return ConfirmMP3Settings(doc); };
    Doc = std::make_unique<TDocument>(Services.Main, Services.Dialogs, engineSettings,
                                      std::move(codecs), Clipboard);
    Doc->OnReady = [this](TDocument*) { OnDocumentReady(); };
    Doc->OnAction = [this](TDocument*, bool undo, bool redo) { OnHistoryChanged(undo, redo); };
    Doc->OnLoaded = [this](TDocument*) { OnDocumentLoaded(); };
    Doc->Progress.Watch(Services.Main, [this](int percent) { OnProgress(percent); });
    Recovery = std::make_unique<TRecoveryController>(Config.tempfolder);
    SelectionModel = new TSelectionModel(this);
    SelectionModel->SetMilliseconds(Config.selectiontype == 0);

    // A file given on the command line starts loading now, on its worker, while the window is
    // built; its events wait for the event loop, so the window sees them as if the load had
    // started at the end. Not when a run that did not close left work to recover: that question
    // comes first.
    LoadingEarly = arguments.size() == 1 && !Recovery->HasRecoverableLeftovers();
    if (LoadingEarly) Doc->Open(arguments[0].toStdString());
}

void TMainWindow::CreateLayout() {
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    WaveArea = new QWidget;
    WaveArea->setObjectName(QStringLiteral("Panel1"));
    auto* waveLayout = new QVBoxLayout(WaveArea);
    waveLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WaveArea, 1);

    Scroll = new TFrameScrollBar;
    Scroll->setObjectName(QStringLiteral("Scroll"));
    Scroll->setAccessibleName(tr("Scroll"));
    Scroll->SetPageSize(1);
    Scroll->setEnabled(false);
    layout->addWidget(Scroll);

    auto* bevel = new QFrame;
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    layout->addWidget(bevel);

    BottomPanel = new TBottomPanel;
    layout->addWidget(BottomPanel);
    setCentralWidget(central);
}

void TMainWindow::CreateStatusBar() {
    const int widths[3] = {350, 200, 50};
    // A panel's text is what a screen reader reads as its name; the description says what it is.
    const QString names[3] = {tr("File"), tr("Cursor position"), tr("Maximum amplitude")};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new TStatusPanel(widths[i]);
        StatusPanels[i]->setAccessibleDescription(names[i]);
        statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }
    statusBar()->setSizeGripEnabled(true);
}

void TMainWindow::AddRecentFileMenu() {
    Recent = new TRecentFiles(this);
    Recent->OnOpen = [this](const QString& path) { OpenFile(path); };
    // Below Open in the File menu.
    for (QObject* holder : ActionList.Open->associatedObjects()) {
        auto* menu = qobject_cast<QMenu*>(holder);
        if (!menu || menu == WaveMenu) continue;
        const QList<QAction*> entries = menu->actions();
        const qsizetype open = entries.indexOf(ActionList.Open);
        QAction* before = open + 1 < entries.size() ? entries[open + 1] : nullptr;
        menu->insertMenu(before, Recent->Menu());
        break;
    }
}

void TMainWindow::CreateDesktopInput() {
    DesktopInput = new TDesktopInput(*this);
    DesktopInput->OnDrop = [this](const QString& path) { OpenFile(path); };
    DesktopInput->OnSpace = [this] { PlayOrStop(); };
}

void TMainWindow::PlaceWindow() {
    // The design size, and the smallest window, grow to what the panel below the view needs, so
    // no control is ever drawn over another.
    const QSize needed = minimumSizeHint();
    setMinimumSize(std::max(510, needed.width()), std::max(320, needed.height()));
    const int menuHeight = menuBar()->sizeHint().height();
    resize(std::max(DesignClientWidth, needed.width()), DesignClientHeight + menuHeight);
    if (Config.posx == -1 && Config.posy == -1) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    } else {
        move(Config.posx, Config.posy);
    }
    if (Config.width != -1 && Config.height != -1) resize(Config.width, Config.height);
}

void TMainWindow::AppendVersion(const QString& version) {
    FileVersion = version;
    setWindowTitle(windowTitle() + QLatin1Char(' ') + version);
}

void TMainWindow::SetCaption(const QString& name) {
    const QString caption = name.isEmpty() ? QString::fromLatin1(AppTitle)
                                           : name + QStringLiteral(" - ") + QLatin1String(AppTitle);
    // The window's title is what the desktop's task list shows, so it also stands for the
    // application title.
    setWindowTitle(caption);
}

bool TMainWindow::MillisecondsMode() const {
    return SelectionModel->Milliseconds();
}

void TMainWindow::SetStatus(int panel, const QString& text) {
    StatusPanels[panel]->setText(text);
}

void TMainWindow::CreateDialogs() {
    Owned.SilenceDialog = new TSilenceDialog(this);
    Owned.NormalizeDialog = new TNormalizeDialog(this);
    Owned.AmplifyDialog = new TAmplifyDialog(this);
    Owned.Mp3SettingsDialog = new TMp3SettingsDialog(this);
}

void TMainWindow::CreateView() {
    WaveView = new TWaveView(WaveArea);
    WaveView->setObjectName(QStringLiteral("View"));
    WaveArea->layout()->addWidget(WaveView);
    WaveView->SetDocument(Doc.get());
    WaveView->SetScrollBar(Scroll);
    WaveView->SetSelectionModel(SelectionModel);
    SelectionPanel()->Follow(*SelectionModel);
    connect(Scroll, &TFrameScrollBar::PositionChanged, WaveView, &TWaveView::ScrollChanged);
    connect(Scroll, &TFrameScrollBar::PageSizeChanged, this, &TMainWindow::UpdateScrollBarUse);
    ApplyColors();
    WaveView->OnCursor = [this](TWaveView*, uint32_t position, uint32_t positions) {
        ShowCursor(position, positions);
    };
    WaveView->OnSelect = [this](TWaveView*, uint32_t start, uint32_t stop, uint32_t startms,
                                uint32_t stopms, bool selected) {
        ShowSelection(start, stop, startms, stopms, selected);
    };
    WaveView->setContextMenuPolicy(Qt::CustomContextMenu);
    WaveMenu = CreateViewMenu(WaveView, ActionList);
    connect(WaveView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { WaveMenu->popup(WaveView->mapToGlobal(at)); });
    WaveView->setEnabled(true);
    WaveView->setFocusPolicy(Qt::StrongFocus);
    WaveView->Repaint();
    WaveView->show();
    setTabOrder(WaveView, SelectionPanel()->StartEdit());
}

void TMainWindow::CreateTransport() {
    Playback = new TTransportController(Services.Main, Services.Devices, this);
    Playback->SetDocument(Doc.get());
    connect(Playback, &TTransportController::PositionChanged, WaveView, &TWaveView::SetCursor);
    connect(Playback, &TTransportController::PlayingChanged, this, &TMainWindow::OnPlayingChanged);
    connect(Playback, &TTransportController::LevelsChanged, BottomPanel, &TBottomPanel::ShowLevels);
    connect(Playback, &TTransportController::Failed, this,
            [this](const QString& text) { Services.Dialogs.ShowError(text.toStdString()); });
    // The volume: the bar's first position reaches the player like any other.
    connect(BottomPanel, &TBottomPanel::VolumeChanged, Playback, &TTransportController::SetVolume);
    BottomPanel->SetVolumePosition(-8000);
}

void TMainWindow::ConnectActions() {
    const TMainActions& a = ActionList;
    const struct {
        QAction* Action;
        void (TMainWindow::*Run)();
    } table[] = {
        {a.Open, &TMainWindow::OpenDocument},
        {a.New, &TMainWindow::NewDocument},
        {a.Close, &TMainWindow::CloseDocument},
        {a.Save, &TMainWindow::SaveDocument},
        {a.SaveAs, &TMainWindow::SaveDocumentAs},
        {a.SaveSelectedAs, &TMainWindow::SaveSelectionAs},
        {a.Milliseconds, &TMainWindow::ShowMilliseconds},
        {a.Samples, &TMainWindow::ShowSamples},
        {a.SelectAll, &TMainWindow::SelectAll},
        {a.DeselectAll, &TMainWindow::DeselectAll},
        {a.Play, &TMainWindow::Play},
        {a.Pause, &TMainWindow::Pause},
        {a.Stop, &TMainWindow::Stop},
    };
    for (const auto& entry : table)
        connect(entry.Action, &QAction::triggered, this, entry.Run);
    connect(a.Exit, &QAction::triggered, this, &QWidget::close);
    connect(a.ZoomIn, &QAction::triggered, WaveView, &TWaveView::ZoomIn);
    connect(a.ZoomOut, &QAction::triggered, WaveView, &TWaveView::ZoomOut);
    connect(a.ZoomFull, &QAction::triggered, WaveView, &TWaveView::ZoomFull);

    EditCommands =
        new TEditCommands({*Doc, *WaveView, *SelectionModel, *Scroll, Services.WindowDialogs,
                           *Owned.SilenceDialog, *Owned.NormalizeDialog, *Owned.AmplifyDialog},
                          this);
    EditCommands->Connect(a);

    TSelectionPanel* selection = SelectionPanel();
    connect(selection, &TSelectionPanel::SelectedToggled, this, &TMainWindow::ApplySelectionEdits);
    connect(selection->PickStartButton(), &QPushButton::clicked, this, &TMainWindow::PickStart);
    connect(selection->PickStopButton(), &QPushButton::clicked, this, &TMainWindow::PickStop);
    // The "New" and "Convert" actions are on no menu; the window holds them so their
    // shortcuts, if any, would work.
    addAction(a.New);
    addAction(a.Convert);

    // The actions' first states.
    a.Save->setEnabled(true);
    a.SaveAs->setEnabled(true);
    a.SaveSelectedAs->setEnabled(true);
    a.Undo->setEnabled(false);
    a.Redo->setEnabled(false);
    a.Stop->setEnabled(false);
    a.Paste->setEnabled(Clipboard->WaveAvailable());
    connect(Clipboard, &TQtWaveClipboard::WaveAvailabilityChanged, a.Paste, &QAction::setEnabled);
}

void TMainWindow::ApplyScaleFormat() {
    TSelectionPanel* selection = SelectionPanel();
    if (MillisecondsMode()) {
        ActionList.Milliseconds->setChecked(true);
        selection->SetMask(MillisecondsMask);
        selection->SetStartText(TimeText(0));
        selection->SetStopText(TimeText(0));
    } else {
        ActionList.Samples->setChecked(true);
        selection->SetMask(SamplesMask);
        selection->SetStartText(QStringLiteral("0"));
        selection->SetStopText(QStringLiteral("0"));
    }
}

void TMainWindow::StartRecovery(const QStringList& arguments) {
    const bool recovering = Recovery->OfferLeftovers(
        [this](const QString& question) {
            return Services.WindowDialogs.Ask(this, question, QMessageBox::Question,
                                              QMessageBox::Yes | QMessageBox::Discard |
                                                  QMessageBox::Cancel,
                                              {{QMessageBox::Yes, tr("&Recover")}});
        },
        [this](const QString& file, const QString& name) {
            CloseWave();
            SetStatus(0, tr("File: ") + name);
            SetCaption(name);
            return Doc->Open(file.toStdString());
        });
    Recovery->StartJournal();

    if (arguments.size() == 1 && !recovering) {
        Scroll->SetPageSize(0);
        Scroll->SetMinimum(0);
        Scroll->SetMaximum(100);
        CloseWave();
        const QString name = QFileInfo(arguments[0]).fileName();
        SetStatus(0, tr("File: ") + name);
        SetCaption(name);
        if (!LoadingEarly) Doc->Open(arguments[0].toStdString());
    }
}

// --- events of the document, the view and the player ---

void TMainWindow::NoteFinishedOperation() {
    if (Doc->SavesDone != SavesSeen) {
        SavesSeen = Doc->SavesDone;
        Recent->Add(QString::fromStdString(Doc->LastSavedFile));
    }
    Recovery->Record(*Doc);
}

void TMainWindow::OnDocumentReady() {
    NoteFinishedOperation();
    const uint32_t frames = Doc->Frames.load();
    if (frames < Scroll->PageSize()) Scroll->SetPageSize(frames);
    WaveView->Repaint();
    SetStatus(2, tr("Maximum Amplitude: %1 dB").arg(MaximumAmplitudeText(*Doc)));
    Scroll->SetMaximum(frames);
    UpdateScrollBarUse();
    BottomPanel->HideProgress();
}

void TMainWindow::OnDocumentLoaded() {
    if (!Recovery->TakeLoaded(*Doc)) Recent->Add(QString::fromStdString(Doc->FileName));
    if (!Doc->NotPCM.load()) WaveView->AttachWave(*Doc);
}

void TMainWindow::OnHistoryChanged(bool undoEnabled, bool redoEnabled) {
    ActionList.Undo->setEnabled(undoEnabled);
    ActionList.Redo->setEnabled(redoEnabled);
}

void TMainWindow::ShowSelection(uint32_t start, uint32_t stop, uint32_t startms, uint32_t stopms,
                                bool selected) {
    TSelectionPanel* selection = SelectionPanel();
    if (selected) {
        if (MillisecondsMode()) {
            selection->SetStartText(TimeText(startms));
            selection->SetStopText(TimeText(stopms));
        } else {
            selection->SetStartText(QString::number(start));
            selection->SetStopText(QString::number(stop));
        }
    }
    // The box follows the shared selection by itself.
}

void TMainWindow::ShowCursor(uint32_t position, uint32_t positions) {
    SetStatus(1, tr("Cursor Position: ") +
                     (MillisecondsMode() ? TimeText(positions) : QString::number(position)));
    BottomPanel->ShowCursorTime(TimeText(positions));
}

void TMainWindow::OnPlayingChanged(bool playing) {
    ActionList.Play->setEnabled(!playing);
    if (!playing) Stop();
    ActionList.Stop->setEnabled(playing);
}

void TMainWindow::OnProgress(int percent) {
    // A load started early reports before the window is built.
    if (!BottomPanel) return;
    BottomPanel->ShowProgress(percent);
    // The document's length changes while a body runs.
    UpdateScrollBarUse();
}

void TMainWindow::UpdateScrollBarUse() {
    const int64_t frames = Doc->Frames.load();
    Scroll->setEnabled(!(frames - 100 < int64_t(Scroll->PageSize())));
}

// --- closing ---

bool TMainWindow::MayClose() {
    TWindowDialogs& dialogs = Services.WindowDialogs;
    if (Doc->Progress.load() != 0) {
        dialogs.Ask(this, tr("Please wait. Operation in progress..."), QMessageBox::Question,
                    QMessageBox::Ok);
        return false;
    }
    if (!Doc->Modified.load()) return true;
    switch (dialogs.Ask(this, tr("Would you like to save changes?"), QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        // A save that does not start, or whose body fails, leaves the window open with the
        // document and its changes.
        return SaveAndWait();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool TMainWindow::SaveAndWait() {
    // The wait ends with the body, not only with Saved: a save that starts nothing or fails
    // never sets it.
    if (!Doc->Save()) return false;
    while (Doc->IsBusy()) {
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return Doc->Saved.load();
}

void TMainWindow::FinishClosing() {
    if (Closed) return;
    Closed = true;
    Config.posx = x();
    Config.posy = y();
    Config.width = width();
    Config.height = height();
    if (Doc->Progress.load() == 0) {
        Playback->Stop();
        SaveSettings(Config);
        CloseWave();
        // The work files went with the document: nothing is left to recover.
        Recovery->EndJournal();
    }
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (!MayClose()) {
        event->ignore();
        return;
    }
    FinishClosing();
    event->accept();
}

// --- the scale format ---

void TMainWindow::ShowMilliseconds() {
    ActionList.Milliseconds->setChecked(true);
    Config.selectiontype = 0;
    TSelectionPanel* selection = SelectionPanel();
    selection->SetMask(MillisecondsMask);
    if (Doc->Ready.load()) {
        selection->SetStartText(TimeText(WaveView->SamplesToMs(SelectionModel->Start())));
        selection->SetStopText(TimeText(WaveView->SamplesToMs(SelectionModel->Stop())));
    } else {
        selection->SetStartText(TimeText(0));
        selection->SetStopText(TimeText(0));
    }
    SetStatus(1, tr("Cursor Position: ") + TimeText(WaveView->CursorMs));
    SelectionModel->SetMilliseconds(true);
    WaveView->Repaint();
}

void TMainWindow::ShowSamples() {
    ActionList.Samples->setChecked(true);
    Config.selectiontype = 1;
    TSelectionPanel* selection = SelectionPanel();
    selection->SetMask(SamplesMask);
    selection->SetStartText(QString::number(SelectionModel->Start()));
    selection->SetStopText(QString::number(SelectionModel->Stop()));
    SetStatus(1, tr("Cursor Position: ") + QString::number(WaveView->CursorPos));
    SelectionModel->SetMilliseconds(false);
    WaveView->Repaint();
}

// --- the selection group ---

void TMainWindow::ApplySelectionEdits() {
    if (!Doc->Ready.load()) return;
    TSelectionPanel* selection = SelectionPanel();
    const bool checked = selection->SelectedBox()->isChecked();
    try {
        if (MillisecondsMode()) {
            const uint32_t start = ParseTime(selection->StartText());
            const uint32_t stop = ParseTime(selection->StopText());
            WaveView->SetSelectionMs(start, stop, checked);
        } else {
            const uint32_t start = ParseInteger(selection->StartText());
            const uint32_t stop = ParseInteger(selection->StopText());
            WaveView->SetSelection(start, stop, checked);
        }
    } catch (const EConvertError& error) {
        // The view keeps its selection; the box goes back to what the view shows.
        selection->ShowSelected(SelectionModel->Selected());
        Services.Dialogs.ShowError(error.what());
    }
}

void TMainWindow::SelectAll() {
    if (!Doc->Ready.load()) return;
    TSelectionPanel* selection = SelectionPanel();
    const uint32_t frames = Doc->Frames.load();
    if (MillisecondsMode()) {
        selection->SetStartText(TimeText(0));
        selection->SetStopText(TimeText(WaveView->SamplesToMs(frames)));
    } else {
        selection->SetStartText(QStringLiteral("0"));
        selection->SetStopText(QString::number(frames));
    }
    selection->ShowSelected(true);
    ApplySelectionEdits();
}

void TMainWindow::DeselectAll() {
    SelectionPanel()->ShowSelected(false);
    ApplySelectionEdits();
}

void TMainWindow::PickStart() {
    SelectionPanel()->SetStartText(MillisecondsMode() ? TimeText(WaveView->CursorMs)
                                                      : QString::number(WaveView->CursorPos));
}

void TMainWindow::PickStop() {
    SelectionPanel()->SetStopText(MillisecondsMode() ? TimeText(WaveView->CursorMs)
                                                     : QString::number(WaveView->CursorPos));
}

// --- playback ---

void TMainWindow::Play() {
    const TPlayRange range =
        PlayRangeOf(SelectionModel->Selected(), SelectionModel->Start(), SelectionModel->Stop(),
                    WaveView->CursorPos, Doc->Frames.load());
    try {
        Playback->Play(range);
    } catch (const std::exception& error) {
        // No sound device: the error, and nothing else changes.
        Services.Dialogs.ShowError(error.what());
        return;
    }
    // Nothing to play (no document): the actions stay as they are.
    if (!Playback->Active()) return;
    ActionList.Stop->setEnabled(true);
    ActionList.Play->setEnabled(false);
}

void TMainWindow::PlayOrStop() {
    // Stop is enabled exactly while a playback runs.
    if (ActionList.Stop->isEnabled()) {
        ActionList.Stop->trigger();
    } else if (ActionList.Play->isEnabled()) {
        ActionList.Play->trigger();
    }
}

void TMainWindow::Pause() {
    Playback->Pause();
}

void TMainWindow::Stop() {
    if (!Playback->Stop()) return;
    ActionList.Stop->setEnabled(false);
    ActionList.Play->setEnabled(true);
    BottomPanel->ClearLevels(uint8_t(Doc->Channels.load()));
}

} // namespace orvella
