#include "editor/actions.h"

#include "editor/icons.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QToolBar>

namespace orvella {

namespace {

// The caption without its accelerator mark and trailing padding: the name a screen reader says
// and the hint a toolbar button shows when none is given.
QString PlainCaption(const QString& caption) {
    QString plain = caption.trimmed();
    plain.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return plain;
}

QAction* Make(QObject* owner, const QString& caption, const QKeySequence& shortcut = {},
              const QString& hint = {}) {
    auto* action = new QAction(caption, owner);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    const QString tip = hint.isEmpty() ? PlainCaption(caption) : hint;
    action->setToolTip(tip);
    action->setStatusTip(tip);
    action->setIconText(PlainCaption(caption));
    return action;
}

} // namespace

QList<QAction*> TMainActions::All() const {
    QList<QAction*> all{Open,
                        New,
                        Close,
                        Save,
                        SaveAs,
                        SaveSelectedAs,
                        FileProperties,
                        Settings,
                        Exit,
                        ZoomIn,
                        ZoomOut,
                        ZoomFull,
                        Milliseconds,
                        Samples,
                        Undo,
                        Redo,
                        Cut,
                        Copy,
                        Paste,
                        Delete,
                        SelectAll,
                        DeselectAll,
                        Play,
                        Pause,
                        Stop,
                        FadeIn,
                        FadeOut,
                        InsertSilence,
                        Normalization,
                        Reverse,
                        Invert,
                        AmplifyDecrease,
                        AmplifyIncrease,
                        Convert};
    all += Tools;
    all << Contents << CheckUpdates << About;
    return all;
}

TMainActions CreateActions(QObject* owner) {
    TMainActions a{};
    a.Open = Make(owner, QObject::tr("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O),
                  QObject::tr("Open a sound file"));
    a.Open->setIcon(ToolIcon("document-open", TGlyph::Open));
    a.New = Make(owner, QObject::tr("New"), {}, QObject::tr("Create new file"));
    a.Close = Make(owner, QObject::tr("&Close"));
    a.Save = Make(owner, QObject::tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                  QObject::tr("Save the sound"));
    a.Save->setIcon(ToolIcon("document-save", TGlyph::Save));
    a.SaveAs = Make(owner, QObject::tr("S&ave As..."));
    a.SaveSelectedAs = Make(owner, QObject::tr("Sa&ve Selected As...          "));
    a.FileProperties = Make(owner, QObject::tr("&File Properties"));
    a.Settings = Make(owner, QObject::tr("S&ettings"));
    a.Exit = Make(owner, QObject::tr("E&xit"), QKeySequence(Qt::ALT | Qt::Key_F4));

    a.ZoomIn = Make(owner, QObject::tr("&Zoom In                  "));
    a.ZoomIn->setIcon(ToolIcon("zoom-in", TGlyph::ZoomIn));
    a.ZoomOut = Make(owner, QObject::tr("Z&oom Out"));
    a.ZoomOut->setIcon(ToolIcon("zoom-out", TGlyph::ZoomOut));
    a.ZoomFull = Make(owner, QObject::tr("Zoo&m Full"));
    a.ZoomFull->setIcon(ToolIcon("zoom-fit-best", TGlyph::ZoomFull));
    a.Milliseconds = Make(owner, QObject::tr("&Milliseconds"));
    a.Samples = Make(owner, QObject::tr("&Samples"));
    a.ScaleFormat = new QActionGroup(owner);
    for (QAction* format : {a.Milliseconds, a.Samples}) {
        format->setCheckable(true);
        a.ScaleFormat->addAction(format);
    }

    a.Undo = Make(owner, QObject::tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    a.Undo->setIcon(ToolIcon("edit-undo", TGlyph::Undo));
    a.Redo = Make(owner, QObject::tr("&Redo"), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Z));
    a.Redo->setIcon(ToolIcon("edit-redo", TGlyph::Redo));
    a.Cut = Make(owner, QObject::tr("&Cut"), QKeySequence(Qt::CTRL | Qt::Key_X));
    a.Cut->setIcon(ToolIcon("edit-cut", TGlyph::Cut));
    a.Copy = Make(owner, QObject::tr("C&opy"), QKeySequence(Qt::CTRL | Qt::Key_C));
    a.Copy->setIcon(ToolIcon("edit-copy", TGlyph::Copy));
    a.Paste = Make(owner, QObject::tr("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
    a.Paste->setIcon(ToolIcon("edit-paste", TGlyph::Paste));
    a.Delete = Make(owner, QObject::tr("&Delete"), QKeySequence(Qt::Key_Delete));
    a.Delete->setIcon(ToolIcon("edit-delete", TGlyph::Delete));
    a.SelectAll = Make(owner, QObject::tr("&Select All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    a.DeselectAll = Make(owner, QObject::tr("D&eselect All                   "));

    a.Play = Make(owner, QObject::tr("&Play"), QKeySequence(Qt::CTRL | Qt::Key_P));
    a.Play->setIcon(ToolIcon("media-playback-start", TGlyph::Play));
    a.Pause = Make(owner, QObject::tr("P&ause"));
    a.Pause->setIcon(ToolIcon("media-playback-pause", TGlyph::Pause));
    a.Stop = Make(owner, QObject::tr("&Stop"), QKeySequence(Qt::CTRL | Qt::Key_T));
    a.Stop->setIcon(ToolIcon("media-playback-stop", TGlyph::Stop));
    a.FadeIn = Make(owner, QObject::tr("&Fade In"));
    a.FadeIn->setIcon(OwnIcon(TGlyph::FadeIn));
    a.FadeOut = Make(owner, QObject::tr("Fa&de Out"));
    a.FadeOut->setIcon(OwnIcon(TGlyph::FadeOut));
    a.InsertSilence = Make(owner, QObject::tr("&Insert Silence"));
    a.InsertSilence->setIcon(OwnIcon(TGlyph::Silence));
    a.Normalization = Make(owner, QObject::tr("&Normalization"));
    a.Normalization->setIcon(OwnIcon(TGlyph::Normalize));
    a.Reverse = Make(owner, QObject::tr("R&everse"));
    a.Reverse->setIcon(OwnIcon(TGlyph::Reverse));
    a.Invert = Make(owner, QObject::tr("In&vert"));
    a.Invert->setIcon(OwnIcon(TGlyph::Invert));
    a.AmplifyDecrease = Make(owner, QObject::tr("A&mplify (Decrease)"));
    a.AmplifyDecrease->setIcon(OwnIcon(TGlyph::AmplifyDown));
    a.AmplifyIncrease = Make(owner, QObject::tr("Amp&lify (Increase)"));
    a.AmplifyIncrease->setIcon(OwnIcon(TGlyph::AmplifyUp));
    a.Convert = Make(owner, QObject::tr("Convert"), {}, QObject::tr("Convert to 22,050 Hz mono"));

    for (const QString& caption :
         {QObject::tr("Sound &Recorder"), QObject::tr("&Mixer"), QObject::tr("&CD Ripper"),
          QObject::tr("Audio C&onverter"), QObject::tr("&Tag Editor")})
        a.Tools << Make(owner, caption);

    a.Contents = Make(owner, QObject::tr("&Contents"), QKeySequence(Qt::Key_F1));
    a.Contents->setIcon(ToolIcon("help-contents", TGlyph::Help));
    a.CheckUpdates = Make(owner, QObject::tr("C&heck Updates..."));
    a.About = Make(owner, QObject::tr("&About"));
    return a;
}

QToolBar* CreateMenusAndToolBar(QMainWindow& window, const TMainActions& a) {
    QMenuBar* bar = window.menuBar();
    QMenu* file = bar->addMenu(QObject::tr("&File"));
    file->addActions({a.Open, a.Close, a.Save, a.SaveAs, a.SaveSelectedAs});
    file->addSeparator();
    file->addAction(a.FileProperties);
    file->addSeparator();
    file->addAction(a.Settings);
    file->addSeparator();
    file->addAction(a.Exit);

    QMenu* view = bar->addMenu(QObject::tr("&View"));
    view->addActions({a.ZoomIn, a.ZoomOut, a.ZoomFull});
    view->addSeparator();
    QMenu* scale = view->addMenu(QObject::tr("&Scale Format"));
    scale->addActions({a.Milliseconds, a.Samples});

    QMenu* edit = bar->addMenu(QObject::tr("&Edit"));
    edit->addActions({a.Undo, a.Redo});
    edit->addSeparator();
    edit->addActions({a.Cut, a.Copy, a.Paste, a.Delete});
    edit->addSeparator();
    edit->addActions({a.SelectAll, a.DeselectAll});

    QMenu* operations = bar->addMenu(QObject::tr("&Operations"));
    operations->addActions({a.Play, a.Pause, a.Stop});
    operations->addSeparator();
    operations->addActions({a.FadeIn, a.FadeOut, a.InsertSilence, a.Normalization, a.Reverse,
                            a.Invert, a.AmplifyDecrease, a.AmplifyIncrease});

    QMenu* tools = bar->addMenu(QObject::tr("&Tools"));
    tools->addActions(a.Tools);

    QMenu* help = bar->addMenu(QObject::tr("&Help"));
    help->addActions({a.Contents, a.CheckUpdates});
    help->addSeparator();
    help->addAction(a.About);

    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        menu->setAccessibleName(PlainCaption(menu->title()));
        menu->setWindowTitle(PlainCaption(menu->title()));
    }

    // The toolbar: icons only, a fixed band that cannot be moved or resized.
    QToolBar* toolbar = window.addToolBar(QObject::tr("Toolbar"));
    toolbar->setObjectName(QStringLiteral("ActionToolBar1"));
    toolbar->setAccessibleName(QObject::tr("Toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setIconSize(QSize(24, 24));
    toolbar->addActions({a.Open, a.Save});
    toolbar->addSeparator();
    toolbar->addActions({a.Cut, a.Copy, a.Paste, a.Delete});
    toolbar->addSeparator();
    toolbar->addActions({a.Undo, a.Redo});
    toolbar->addSeparator();
    toolbar->addActions({a.ZoomIn, a.ZoomOut, a.ZoomFull});
    toolbar->addSeparator();
    toolbar->addActions({a.Play, a.Stop});
    toolbar->addSeparator();
    toolbar->addActions({a.FadeIn, a.FadeOut, a.InsertSilence, a.Normalization, a.Reverse, a.Invert,
                         a.AmplifyIncrease, a.AmplifyDecrease});
    toolbar->addSeparator();
    toolbar->addAction(a.Contents);
    return toolbar;
}

QMenu* CreateViewMenu(QWidget* owner, const TMainActions& a) {
    auto* menu = new QMenu(owner);
    menu->setAccessibleName(QObject::tr("Wave context menu"));
    menu->addActions({a.Cut, a.Copy, a.Paste, a.Delete});
    menu->addSeparator();
    menu->addAction(a.SaveSelectedAs);
    return menu;
}

} // namespace orvella
