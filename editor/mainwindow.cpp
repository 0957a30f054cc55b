#include "editor/mainwindow.h"

#include "codecs/codectable.h"
#include "editor/amplifydialog.h"
#include "editor/appicon.h"
#include "editor/desktopinput.h"
#include "editor/mp3settingsdialog.h"
#include "editor/normalizedialog.h"
#include "editor/qtwaveclipboard.h"
#include "editor/recentfiles.h"
#include "editor/recovery.h"
#include "editor/selectionpanel.h"
#include "editor/silencedialog.h"
#include "editor/timeedit.h"
#include "editor/windowdialogs.h"
#include "engine/timeformat.h"
#include "playback/levelmeter.h"
#include "playback/volumebar.h"
#include "view/framescrollbar.h"
#include "view/waveview.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
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

uint32_t SaturatingSub(uint32_t a, uint32_t b) {
    return a > b ? a - b : 0;
}

} // namespace

TMainWindow::TMainWindow(TServices services, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent)
    , Services(std::move(services)) {
    FormCreate(arguments);
}

TMainWindow::~TMainWindow() {
    if (!Closed) FormClose();
    // The view's player reports to the view; it goes before the document it reads.
    delete View;
    View = nullptr;
    Document.reset();
    // The work files are gone: nothing is left to recover.
    Journal.reset();
}

// --- creation ---

void TMainWindow::FormCreate(const QStringList& arguments) {
    setWindowTitle(QLatin1String(AppTitle));
    setWindowIcon(ApplicationIcon());
    setAccessibleName(QLatin1String(AppTitle));

    // The settings come first: the document makes its work files in their folder.
    LoadSettings(Settings);

    // The desktop clipboard takes the place of the clipboard viewer chain: its availability
    // signal enables Paste.
    Clipboard = new TQtWaveClipboard(Services.Main, this);
    Clipboard->SetTempFolder(Settings.tempfolder.toStdString());

    TEngineSettings engineSettings;
    engineSettings.TempFolder = Settings.tempfolder.toStdString();
    TCodecServices codecs =
        Services.Codecs.Decoders.empty() ? DefaultCodecServices(Services.Dialogs) : Services.Codecs;
    if (!codecs.ConfirmMP3Settings)
        codecs.ConfirmMP3Settings = [this](TDocument& doc) { return ConfirmMP3Settings(doc); };
    Document = std::make_unique<TDocument>(Services.Main, Services.Dialogs, engineSettings,
                                           std::move(codecs), Clipboard);
    Document->OnReady = [this](TDocument* sender) { onReady(sender); };
    Document->OnAction = [this](TDocument* sender, bool undo, bool redo) {
        OnAction(sender, undo, redo);
    };
    Document->OnLoaded = [this](TDocument* sender) { onLoaded(sender); };

    // A file given on the command line starts loading now, on its worker, while the window is
    // built; its events wait for the event loop, so the window sees them as if the load had
    // started at the end. Not when a run that did not close left work to recover: that question
    // comes first.
    const bool loadingEarly = arguments.size() == 1 && !HasRecoverableLeftovers();
    if (loadingEarly) Document->Open(arguments[0].toStdString());

    Actions = CreateActions(this);
    CreateMenusAndToolBar(*this, Actions);
    CreateLayout();
    CreateStatusBar();
    ConnectActions();
    AddRecentFileMenu();
    DesktopInput = new TDesktopInput(*this);
    DesktopInput->OnDrop = [this](const QString& path) { OpenFile(path); };
    DesktopInput->OnSpace = [this] { PlayOrStop(); };

    PlaceWindow();

    Forms.SilenceForm = new TSilenceDialog(this);
    Forms.NormalizeForm = new TNormalizeDialog(this);
    Forms.AmplifyForm = new TAmplifyDialog(this);
    Forms.MpegSettings = new TMp3SettingsDialog(this);

    Actions.Save->setEnabled(true);
    Actions.SaveAs->setEnabled(true);
    Actions.SaveSelectedAs->setEnabled(true);
    Actions.Undo->setEnabled(false);
    Actions.Redo->setEnabled(false);
    Actions.Stop->setEnabled(false);
    Actions.Paste->setEnabled(Clipboard->WaveAvailable());
    connect(Clipboard, &TQtWaveClipboard::WaveAvailabilityChanged, Actions.Paste,
            &QAction::setEnabled);

    // The scale format.
    if (MillisecondsMode()) {
        Actions.Milliseconds->setChecked(true);
        Selection->SetMask(MillisecondsMask);
        Selection->SetStartText(TimeText(0));
        Selection->SetStopText(TimeText(0));
    } else {
        Actions.Samples->setChecked(true);
        Selection->SetMask(SamplesMask);
        Selection->SetStartText(QStringLiteral("0"));
        Selection->SetStopText(QStringLiteral("0"));
    }

    // The view, in Panel1, driving the scroll bar.
    View = new TWaveView(Services.Main, Panel1, Services.Devices);
    View->setObjectName(QStringLiteral("View"));
    Panel1->layout()->addWidget(View);
    View->SetDocument(Document.get());
    View->SetScrollBar(Scroll);
    ApplyColors();
    View->OnCursor = [this](TWaveView* sender, uint32_t position, uint32_t positions) {
        onCursor(sender, position, positions);
    };
    View->OnSelect = [this](TWaveView* sender, uint32_t start, uint32_t stop, uint32_t startms,
                            uint32_t stopms, bool selected) {
        onSelect(sender, start, stop, startms, stopms, selected);
    };
    View->OnPlayStatus = [this](bool action) { playprocess(action); };
    View->OnPlayError = [this](const std::string& text) { Services.Dialogs.ShowError(text); };
    View->setContextMenuPolicy(Qt::CustomContextMenu);
    ViewMenu = CreateViewMenu(View, Actions);
    connect(View, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ViewMenu->popup(View->mapToGlobal(at)); });
    View->MsScale = MillisecondsMode();
    View->setEnabled(true);
    View->setFocusPolicy(Qt::StrongFocus);
    View->Repaint();
    View->show();

    // The volume: the bar's first position reaches the player like any other.
    connect(VolumeBar, &QSlider::valueChanged, this, &TMainWindow::VolumeBarChange);
    VolumeBar->setValue(-8000);
    VolumeBarChange();

    connect(&ProgressTimer, &QTimer::timeout, this, &TMainWindow::ProgressTimerTimer);
    ProgressTimer.start(50);
    VizTimer.setInterval(10);
    connect(&VizTimer, &QTimer::timeout, this, &TMainWindow::VizTimerTimer);

    setTabOrder(View, Selection->selstart);
    CreateShellCommands();

    const bool recovering = OfferRecovery();
    Journal = std::make_unique<TRecoveryJournal>(Settings.tempfolder);

    if (arguments.size() == 1 && !recovering) {
        Scroll->SetPageSize(0);
        Scroll->SetMinimum(0);
        Scroll->SetMaximum(100);
        View->CloseWave();
        const QString name = QFileInfo(arguments[0]).fileName();
        SetStatus(0, tr("File: ") + name);
        SetCaption(name);
        if (!loadingEarly) Document->Open(arguments[0].toStdString());
    }
}

void TMainWindow::CreateLayout() {
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel1 = new QWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* panel1Layout = new QVBoxLayout(Panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel1, 1);

    Scroll = new TFrameScrollBar;
    Scroll->setObjectName(QStringLiteral("Scroll"));
    Scroll->setAccessibleName(tr("Scroll"));
    Scroll->SetPageSize(1);
    Scroll->setEnabled(false);
    connect(Scroll, &TFrameScrollBar::PositionChanged, this, &TMainWindow::ScrollChange);
    layout->addWidget(Scroll);

    auto* bevel = new QFrame;
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    layout->addWidget(bevel);

    Panel2 = new QWidget;
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(155);
    auto* panel2Layout = new QVBoxLayout(Panel2);
    panel2Layout->setContentsMargins(4, 2, 4, 2);
    panel2Layout->setSpacing(2);
    ProgressBar = new QProgressBar;
    ProgressBar->setAccessibleName(tr("Progress"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setMaximumHeight(14);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    panel2Layout->addWidget(ProgressBar);
    PageControl = new QTabWidget;
    PageControl->setAccessibleName(tr("Main"));
    panel2Layout->addWidget(PageControl, 1);
    layout->addWidget(Panel2);

    auto* tab = new QWidget;
    auto* tabLayout = new QHBoxLayout(tab);
    tabLayout->setContentsMargins(4, 4, 4, 4);
    tabLayout->setSpacing(6);
    Selection = new TSelectionPanel;
    tabLayout->addWidget(Selection);

    auto* cursorGroup = new QGroupBox(tr("  Cursor  "));
    cursorGroup->setAccessibleName(tr("Cursor"));
    auto* cursorLayout = new QVBoxLayout(cursorGroup);
    timedisplay = new QLabel(QStringLiteral("00:00:00"));
    timedisplay->setObjectName(QStringLiteral("timedisplay"));
    timedisplay->setAccessibleName(tr("Cursor time"));
    timedisplay->setAlignment(Qt::AlignCenter);
    timedisplay->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    timedisplay->setFocusPolicy(Qt::TabFocus);
    QFont big = timedisplay->font();
    big.setPixelSize(32);
    big.setBold(true);
    timedisplay->setFont(big);
    timedisplay->setMinimumWidth(QFontMetrics(big).horizontalAdvance(QStringLiteral("000:00.000")) +
                                 8);
    cursorLayout->addWidget(timedisplay);
    tabLayout->addWidget(cursorGroup);

    auto* levelsGroup = new QGroupBox(tr("  Levels  "));
    levelsGroup->setAccessibleName(tr("Levels"));
    auto* levelsLayout = new QVBoxLayout(levelsGroup);
    VUMeter1 = new TLevelMeter;
    VUMeter1->setFixedSize(283, 21);
    VUMeter1->SetBackcolor(0);
    VUMeter1->SetForecolor(5555555);
    VUMeter1->ClearMeter();
    levelsLayout->addWidget(VUMeter1);
    tabLayout->addWidget(levelsGroup);

    auto* volumeGroup = new QGroupBox(tr(" Volume "));
    volumeGroup->setAccessibleName(tr("Volume"));
    auto* volumeLayout = new QVBoxLayout(volumeGroup);
    VolumeBar = new TVolumeBar;
    VolumeBar->setToolTip(tr("Playback volume level"));
    volumeLayout->addWidget(VolumeBar, 0, Qt::AlignHCenter);
    tabLayout->addWidget(volumeGroup);
    tabLayout->addStretch(1);

    PageControl->addTab(tab, tr("Main"));
    setCentralWidget(central);
}

void TMainWindow::CreateStatusBar() {
    const int widths[3] = {350, 200, 50};
    const QString names[3] = {tr("File"), tr("Cursor position"), tr("Maximum amplitude")};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new TStatusPanel(widths[i]);
        StatusPanels[i]->setAccessibleName(names[i]);
        statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }
    statusBar()->setSizeGripEnabled(true);
}

void TMainWindow::ConnectActions() {
    const TMainActions& a = Actions;
    connect(a.Open, &QAction::triggered, this, &TMainWindow::OpenExecute);
    connect(a.Close, &QAction::triggered, this, &TMainWindow::CloseExecute);
    connect(a.Save, &QAction::triggered, this, &TMainWindow::SaveExecute);
    connect(a.SaveAs, &QAction::triggered, this, &TMainWindow::SaveAsExecute);
    connect(a.SaveSelectedAs, &QAction::triggered, this, &TMainWindow::SaveSelectedAsExecute);
    connect(a.Exit, &QAction::triggered, this, &QWidget::close);
    connect(a.ZoomIn, &QAction::triggered, this, &TMainWindow::ZoomInExecute);
    connect(a.ZoomOut, &QAction::triggered, this, &TMainWindow::ZoomOutExecute);
    connect(a.ZoomFull, &QAction::triggered, this, &TMainWindow::ZoomFullExecute);
    connect(a.Milliseconds, &QAction::triggered, this, &TMainWindow::MillisecondsExecute);
    connect(a.Samples, &QAction::triggered, this, &TMainWindow::SamplesExecute);
    connect(a.Undo, &QAction::triggered, this, &TMainWindow::UndoExecute);
    connect(a.Redo, &QAction::triggered, this, &TMainWindow::RedoExecute);
    connect(a.Cut, &QAction::triggered, this, &TMainWindow::CutExecute);
    connect(a.Copy, &QAction::triggered, this, &TMainWindow::CopyExecute);
    connect(a.Paste, &QAction::triggered, this, &TMainWindow::PasteExecute);
    connect(a.Delete, &QAction::triggered, this, &TMainWindow::DeleteExecute);
    connect(a.InsertSilence, &QAction::triggered, this, &TMainWindow::InsertSilenceExecute);
    connect(a.SelectAll, &QAction::triggered, this, &TMainWindow::SelectAllExecute);
    connect(a.DeselectAll, &QAction::triggered, this, &TMainWindow::DeselectAllExecute);
    connect(a.Play, &QAction::triggered, this, &TMainWindow::PlayExecute);
    connect(a.Pause, &QAction::triggered, this, &TMainWindow::PauseExecute);
    connect(a.Stop, &QAction::triggered, this, &TMainWindow::StopExecute);
    connect(a.FadeIn, &QAction::triggered, this, &TMainWindow::FadeInExecute);
    connect(a.FadeOut, &QAction::triggered, this, &TMainWindow::FadeOutExecute);
    connect(a.Normalization, &QAction::triggered, this, &TMainWindow::NormalizationExecute);
    connect(a.Reverse, &QAction::triggered, this, &TMainWindow::ReverseExecute);
    connect(a.Invert, &QAction::triggered, this, &TMainWindow::InvertExecute);
    connect(a.AmplifyIncrease, &QAction::triggered, this, &TMainWindow::AmplifyIncreaseExecute);
    connect(a.AmplifyDecrease, &QAction::triggered, this, &TMainWindow::AmplifyDecreaseExecute);
    connect(a.Convert, &QAction::triggered, this, &TMainWindow::ConvertExecute);
    connect(Selection->sel, &QCheckBox::clicked, this, &TMainWindow::selClick);
    connect(Selection->PickStart, &QPushButton::clicked, this, &TMainWindow::PickStartClick);
    connect(Selection->PickStop, &QPushButton::clicked, this, &TMainWindow::PickStopClick);
    connect(a.New, &QAction::triggered, this, &TMainWindow::NewExecute);
    // The "New" and "Convert" actions are on no menu; the window holds them so their
    // shortcuts, if any, would work.
    addAction(a.New);
    addAction(a.Convert);
}

void TMainWindow::PlaceWindow() {
    // The design size, and the smallest window, grow to what the panel below the view needs, so
    // no control is ever drawn over another.
    const QSize needed = minimumSizeHint();
    setMinimumSize(std::max(510, needed.width()), std::max(320, needed.height()));
    const int menuHeight = menuBar()->sizeHint().height();
    resize(std::max(DesignClientWidth, needed.width()), DesignClientHeight + menuHeight);
    if (Settings.posx == -1 && Settings.posy == -1) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    } else {
        move(Settings.posx, Settings.posy);
    }
    if (Settings.width != -1 && Settings.height != -1) resize(Settings.width, Settings.height);
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

void TMainWindow::SetStatus(int panel, const QString& text) {
    StatusPanels[panel]->setText(text);
    StatusPanels[panel]->setAccessibleDescription(text);
}

// --- events of the document and the view ---

void TMainWindow::AddRecentFileMenu() {
    RecentFiles = new TRecentFiles(this);
    RecentFiles->OnOpen = [this](const QString& path) { OpenFile(path); };
    // Below Open in the File menu.
    for (QObject* holder : Actions.Open->associatedObjects()) {
        auto* menu = qobject_cast<QMenu*>(holder);
        if (!menu || menu == ViewMenu) continue;
        const QList<QAction*> entries = menu->actions();
        const qsizetype open = entries.indexOf(Actions.Open);
        QAction* before = open + 1 < entries.size() ? entries[open + 1] : nullptr;
        menu->insertMenu(before, RecentFiles->Menu());
        break;
    }
}

bool TMainWindow::HasRecoverableLeftovers() const {
    for (const TLeftover& leftover : FindLeftovers(Settings.tempfolder))
        if (leftover.Recoverable()) return true;
    return false;
}

bool TMainWindow::OfferRecovery() {
    bool recovering = false;
    for (TLeftover& leftover : FindLeftovers(Settings.tempfolder)) {
        if (!leftover.Recoverable()) {
            leftover.Discard(); // nothing unsaved in it
            continue;
        }
        // One document at a time: further leftovers wait for the next start.
        if (recovering) continue;
        const QString original = leftover.Record().Original;
        const QString name =
            original.isEmpty() ? tr("an untitled sound") : QFileInfo(original).fileName();
        const auto answer = Services.WindowDialogs.Ask(
            this,
            tr("Orvella did not close properly. Recover the unsaved changes of %1?").arg(name),
            QMessageBox::Question, QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Cancel,
            {{QMessageBox::Yes, tr("&Recover")}});
        if (answer == QMessageBox::Discard) {
            leftover.Discard();
            continue;
        }
        if (answer != QMessageBox::Yes) continue; // kept for the next start
        const QString file = leftover.Recover();
        if (file.isEmpty()) continue;
        RecoveredFile = file;
        RecoveredOriginal = original;
        View->CloseWave();
        SetStatus(0, tr("File: ") + name);
        SetCaption(name);
        recovering = Document->Open(file.toStdString());
    }
    return recovering;
}

void TMainWindow::NoteFinishedOperation() {
    if (Document->SavesDone != SavesSeen) {
        SavesSeen = Document->SavesDone;
        RecentFiles->Add(QString::fromStdString(Document->LastSavedFile));
    }
    if (!Journal) return;
    TJournalRecord record;
    record.Original = QString::fromStdString(Document->FileName);
    record.Modified = Document->Modified.load();
    for (const std::string& file : Document->WorkFiles())
        record.Files.append(QString::fromStdString(file));
    if (!record.Files.isEmpty()) record.Current = record.Files.front();
    Journal->Write(record);
}

void TMainWindow::onReady(TDocument*) {
    NoteFinishedOperation();
    const uint32_t frames = Document->Frames.load();
    if (frames < Scroll->PageSize()) Scroll->SetPageSize(frames);
    View->Repaint();
    SetStatus(2, tr("Maximum Amplitude: %1 dB").arg(Document->PeakDb.load()));
    Scroll->SetMaximum(frames);
    ProgressBar->setValue(0);
    ProgressBar->hide();
}

void TMainWindow::onLoaded(TDocument*) {
    if (!RecoveredFile.isEmpty()) {
        // The recovered state is now the document's own work file: it stands for the user's
        // file with unsaved changes, so Save writes there and closing asks.
        QFile::remove(RecoveredFile);
        RecoveredFile.clear();
        Document->FileName = RecoveredOriginal.toStdString();
        Document->Modified = true;
    } else {
        RecentFiles->Add(QString::fromStdString(Document->FileName));
    }
    if (!Document->NotPCM.load()) View->AttachWave(*Document);
}

void TMainWindow::OnAction(TDocument*, bool undoEnabled, bool redoEnabled) {
    Actions.Undo->setEnabled(undoEnabled);
    Actions.Redo->setEnabled(redoEnabled);
}

void TMainWindow::onSelect(TWaveView*, uint32_t start, uint32_t stop, uint32_t startms,
                           uint32_t stopms, bool selected) {
    if (selected) {
        if (MillisecondsMode()) {
            Selection->SetStartText(TimeText(startms));
            Selection->SetStopText(TimeText(stopms));
        } else {
            Selection->SetStartText(QString::number(start));
            Selection->SetStopText(QString::number(stop));
        }
    }
    Selection->sel->setChecked(selected); // setChecked does not run the click handler
}

void TMainWindow::onCursor(TWaveView*, uint32_t position, uint32_t positions) {
    SetStatus(1, tr("Cursor Position: ") +
                     (MillisecondsMode() ? TimeText(positions) : QString::number(position)));
    timedisplay->setText(TimeText(positions));
}

void TMainWindow::playprocess(bool action) {
    Playing = action;
    Actions.Play->setEnabled(!Playing);
    if (!action) StopExecute();
    Actions.Stop->setEnabled(Playing);
}

void TMainWindow::ProgressTimerTimer() {
    const int progress = Document->Progress.load();
    if (progress > 0) ProgressBar->show();
    ProgressBar->setValue(progress);
    const int64_t frames = Document->Frames.load();
    Scroll->setEnabled(!(frames - 100 < int64_t(Scroll->PageSize())));
}

void TMainWindow::VizTimerTimer() {
    float left = 0, right = 0;
    View->GetLevels(left, right);
    VUMeter1->SetLevels(int16_t(left), int16_t(right), uint8_t(Document->Channels.load()));
}

void TMainWindow::ScrollChange() {
    View->ScrollChanged();
}

// --- closing ---

bool TMainWindow::FormCloseQuery() {
    TWindowDialogs& dialogs = Services.WindowDialogs;
    if (Document->Progress.load() != 0) {
        dialogs.Ask(this, tr("Please wait. Operation in progress..."), QMessageBox::Question,
                    QMessageBox::Ok);
        return false;
    }
    if (!Document->Modified.load()) return true;
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
    if (!Document->Save()) return false;
    while (Document->IsBusy()) {
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return Document->Saved.load();
}

void TMainWindow::FormClose() {
    if (Closed) return;
    Closed = true;
    Settings.posx = x();
    Settings.posy = y();
    Settings.width = width();
    Settings.height = height();
    if (Document->Progress.load() == 0) {
        ProgressTimer.stop();
        VizTimer.stop();
        SaveSettings(Settings);
        View->CloseWave();
        // The work files went with the document: nothing is left to recover.
        Journal.reset();
    }
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

// --- view commands ---

void TMainWindow::ZoomInExecute() {
    View->ZoomIn();
}

void TMainWindow::ZoomOutExecute() {
    View->ZoomOut();
}

void TMainWindow::ZoomFullExecute() {
    View->ZoomFull();
}

void TMainWindow::MillisecondsExecute() {
    Actions.Milliseconds->setChecked(true);
    Settings.selectiontype = 0;
    Selection->SetMask(MillisecondsMask);
    if (Document->Ready.load()) {
        Selection->SetStartText(TimeText(View->SamplesToMs(View->SelStart)));
        Selection->SetStopText(TimeText(View->SamplesToMs(View->SelStop)));
    } else {
        Selection->SetStartText(TimeText(0));
        Selection->SetStopText(TimeText(0));
    }
    SetStatus(1, tr("Cursor Position: ") + TimeText(View->CursorMs));
    View->MsScale = true;
    View->Repaint();
}

void TMainWindow::SamplesExecute() {
    Actions.Samples->setChecked(true);
    Settings.selectiontype = 1;
    Selection->SetMask(SamplesMask);
    Selection->SetStartText(QString::number(View->SelStart));
    Selection->SetStopText(QString::number(View->SelStop));
    SetStatus(1, tr("Cursor Position: ") + QString::number(View->CursorPos));
    View->MsScale = false;
    View->Repaint();
}

// --- editing ---

void TMainWindow::UndoExecute() {
    Document->Undo();
}

void TMainWindow::RedoExecute() {
    Document->Redo();
}

void TMainWindow::DropSelection() {
    View->Selected = false;
    // The box follows, so that it never claims a selection the view no longer shows; the edits
    // keep the range, and ticking the box selects it again.
    Selection->sel->setChecked(false);
}

void TMainWindow::ShrinkView(uint32_t start, uint32_t stop, uint32_t frames) {
    // The length the document removes, and where the cursor lands: the range in order, limited
    // to the document (a typed selection may run backwards or past the end).
    const uint32_t low = std::min({start, stop, frames});
    const uint32_t high = std::min(std::max(start, stop), frames);
    const uint32_t length = high - low;
    Scroll->SetPageSize(SaturatingSub(Scroll->PageSize(), length));
    View->ViewEnd = std::max(SaturatingSub(View->ViewEnd, length), View->ViewStart);
    View->ViewSpan = View->ViewEnd - View->ViewStart;
    DropSelection();
    View->SetCursor(low);
}

void TMainWindow::CutExecute() {
    if (!View->Selected) return;
    const uint32_t start = View->SelStart, stop = View->SelStop;
    // The length before the body starts: the body changes it.
    const uint32_t frames = Document->Frames.load();
    // Refused because another body runs: nothing changes here either.
    if (!Document->CutRange(start, stop)) return;
    ShrinkView(start, stop, frames);
}

void TMainWindow::CopyExecute() {
    if (!View->Selected) return;
    Document->CopyRange(View->SelStart, View->SelStop);
}

void TMainWindow::PasteExecute() {
    if (!Document->Ready.load() || !Actions.Paste->isEnabled()) return;
    Document->Paste(View->CursorPos);
}

void TMainWindow::DeleteExecute() {
    if (!View->Selected) return;
    const uint32_t start = View->SelStart, stop = View->SelStop;
    // The length before the body starts: the body changes it.
    const uint32_t frames = Document->Frames.load();
    // Refused because another body runs: nothing changes here either.
    if (!Document->DeleteRange(start, stop)) return;
    ShrinkView(start, stop, frames);
}

bool TMainWindow::RunDialog(QDialog& dialog) {
    return Services.WindowDialogs.Execute(dialog);
}

void TMainWindow::InsertSilenceExecute() {
    if (!Document->Ready.load()) return;
    if (!RunDialog(*Forms.SilenceForm)) return;
    const uint32_t frames = View->MsToSamples(uint32_t(std::max(Forms.SilenceForm->Value(), 0)));
    Document->InsertSilence(View->CursorPos, frames);
}

// --- selection ---

void TMainWindow::selClick() {
    if (!Document->Ready.load()) return;
    const bool checked = Selection->sel->isChecked();
    try {
        if (MillisecondsMode()) {
            const uint32_t start = ParseTime(Selection->StartText());
            const uint32_t stop = ParseTime(Selection->StopText());
            View->SetSelectionMs(start, stop, checked);
        } else {
            const uint32_t start = ParseInteger(Selection->StartText());
            const uint32_t stop = ParseInteger(Selection->StopText());
            View->SetSelection(start, stop, checked);
        }
    } catch (const EConvertError& error) {
        // The view keeps its selection; the box goes back to what the view shows.
        Selection->sel->setChecked(View->Selected);
        Services.Dialogs.ShowError(error.what());
    }
}

void TMainWindow::SelectAllExecute() {
    if (!Document->Ready.load()) return;
    const uint32_t frames = Document->Frames.load();
    if (MillisecondsMode()) {
        Selection->SetStartText(TimeText(0));
        Selection->SetStopText(TimeText(View->SamplesToMs(frames)));
    } else {
        Selection->SetStartText(QStringLiteral("0"));
        Selection->SetStopText(QString::number(frames));
    }
    Selection->sel->setChecked(true);
    selClick();
}

void TMainWindow::DeselectAllExecute() {
    Selection->sel->setChecked(false);
    selClick();
}

void TMainWindow::PickStartClick() {
    Selection->SetStartText(MillisecondsMode() ? TimeText(View->CursorMs)
                                               : QString::number(View->CursorPos));
}

void TMainWindow::PickStopClick() {
    Selection->SetStopText(MillisecondsMode() ? TimeText(View->CursorMs)
                                              : QString::number(View->CursorPos));
}

// --- playback ---

void TMainWindow::PlayExecute() {
    try {
        View->StartPlay();
    } catch (const std::exception& error) {
        // No sound device: the error, and nothing else changes.
        Services.Dialogs.ShowError(error.what());
        return;
    }
    // Nothing to play (no document): the actions stay as they are.
    if (!View->Player().Playing()) return;
    // The buffer of this playback is new: it takes the bar's volume.
    VolumeBarChange();
    Actions.Stop->setEnabled(true);
    Actions.Play->setEnabled(false);
    VizTimer.start();
}

void TMainWindow::PlayOrStop() {
    // Stop is enabled exactly while a playback runs.
    if (Actions.Stop->isEnabled()) {
        Actions.Stop->trigger();
    } else if (Actions.Play->isEnabled()) {
        Actions.Play->trigger();
    }
}

void TMainWindow::PauseExecute() {
    if (!VizTimer.isActive()) return;
    View->StopPlay();
}

void TMainWindow::StopExecute() {
    if (!VizTimer.isActive()) return;
    VizTimer.stop();
    View->StopPlay();
    Actions.Stop->setEnabled(false);
    Actions.Play->setEnabled(true);
    const uint8_t channels = uint8_t(Document->Channels.load());
    VUMeter1->SetLevels(0, 0, channels);
    VUMeter1->ClearMeter();
    VUMeter1->update();
}

void TMainWindow::VolumeBarChange() {
    View->Player().SetVolume(VolumeOfPosition(VolumeBar->value()));
}

// --- effects ---

void TMainWindow::FadeInExecute() {
    if (!View->Selected) return;
    if (Document->FadeIn(View->SelStart, View->SelStop)) DropSelection();
}

void TMainWindow::FadeOutExecute() {
    if (!View->Selected) return;
    if (Document->FadeOut(View->SelStart, View->SelStop)) DropSelection();
}

void TMainWindow::NormalizationExecute() {
    if (!Document->Ready.load()) return;
    if (!RunDialog(*Forms.NormalizeForm)) return;
    Document->Normalize(Forms.NormalizeForm->Value());
}

void TMainWindow::ReverseExecute() {
    if (Document->Ready.load()) Document->Reverse();
}

void TMainWindow::InvertExecute() {
    if (Document->Ready.load()) Document->Invert();
}

void TMainWindow::Amplify(int preset) {
    if (!Document->Ready.load()) return;
    Forms.AmplifyForm->SetValue(preset);
    if (!RunDialog(*Forms.AmplifyForm)) return;
    Document->Amplify(Forms.AmplifyForm->Value());
}

void TMainWindow::AmplifyIncreaseExecute() {
    Amplify(TAmplifyDialog::IncreasePreset);
}

void TMainWindow::AmplifyDecreaseExecute() {
    Amplify(TAmplifyDialog::DecreasePreset);
}

void TMainWindow::ConvertExecute() {
    Document->Convert(22050, 1);
}

} // namespace orvella
