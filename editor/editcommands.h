#pragma once
// TEditCommands, the Edit and Operations menus' commands on the document: Undo, Redo, Cut, Copy,
// Paste, Delete, Insert Silence and the effects. Each one checks what it needs (a selection or a
// ready document), asks its value dialog if it has one, and starts the document's operation; the
// table in Connect wires them to their actions.
// Thread rule: main thread only.

#include <QObject>

#include <cstdint>

class QAction;

namespace orvella {

class TAmplifyDialog;
class TFrameScrollBar;
class TNormalizeDialog;
class TSelectionModel;
class TSilenceDialog;
class TWaveView;
class TWindowDialogs;
class TDocument;
struct TMainActions;

class TEditCommands : public QObject {
    Q_OBJECT
public:
    // What the commands work on; none of it owned.
    struct TTargets {
        TDocument& Document;
        TWaveView& View;
        TSelectionModel& Selection;
        TFrameScrollBar& Scroll;
        TWindowDialogs& Dialogs;
        TSilenceDialog& Silence;
        TNormalizeDialog& Normalize;
        TAmplifyDialog& Amplify;
    };

    TEditCommands(TTargets targets, QObject* parent = nullptr);

    // Wires every command to its action; Paste also reads whether its action is enabled (the
    // desktop clipboard holds a sound).
    void Connect(const TMainActions& actions);

    void Undo();
    void Redo();
    void Cut();
    void Copy();
    void Paste();
    void Delete();
    void InsertSilence();
    void FadeIn();
    void FadeOut();
    void Normalize();
    void Reverse();
    void Invert();
    void AmplifyIncrease();
    void AmplifyDecrease();
    void Convert();

private:
    // Cut and Delete: the selection removed by remove, then the view shortened.
    void RemoveSelection(bool (TDocument::*remove)(int64_t, int64_t));
    // The view after a Cut or Delete of start .. stop was started on a document of frames.
    void ShrinkView(uint32_t start, uint32_t stop, uint32_t frames);
    // After a command that used the selection: unselected, the range kept (the box unticks, and
    // ticking it selects the range again).
    void DropSelection();
    void Amplify(int preset);

    TTargets Targets;
    const QAction* PasteAction = nullptr;
};

} // namespace orvella
