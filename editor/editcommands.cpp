#include "editor/editcommands.h"

#include "editor/actions.h"
#include "editor/amplifydialog.h"
#include "editor/normalizedialog.h"
#include "editor/silencedialog.h"
#include "editor/windowdialogs.h"
#include "engine/document.h"
#include "view/framescrollbar.h"
#include "view/selectionmodel.h"
#include "view/waveview.h"

#include <QAction>

#include <algorithm>

namespace orvella {

namespace {

uint32_t SaturatingSub(uint32_t a, uint32_t b) {
    return a > b ? a - b : 0;
}

} // namespace

TEditCommands::TEditCommands(TTargets targets, QObject* parent)
    : QObject(parent)
    , Targets(targets) {}

void TEditCommands::Connect(const TMainActions& actions) {
    PasteAction = actions.Paste;
    const struct {
        QAction* TMainActions::*Action;
        void (TEditCommands::*Run)();
    } table[] = {
        {&TMainActions::Undo, &TEditCommands::Undo},
        {&TMainActions::Redo, &TEditCommands::Redo},
        {&TMainActions::Cut, &TEditCommands::Cut},
        {&TMainActions::Copy, &TEditCommands::Copy},
        {&TMainActions::Paste, &TEditCommands::Paste},
        {&TMainActions::Delete, &TEditCommands::Delete},
        {&TMainActions::InsertSilence, &TEditCommands::InsertSilence},
        {&TMainActions::FadeIn, &TEditCommands::FadeIn},
        {&TMainActions::FadeOut, &TEditCommands::FadeOut},
        {&TMainActions::Normalization, &TEditCommands::Normalize},
        {&TMainActions::Reverse, &TEditCommands::Reverse},
        {&TMainActions::Invert, &TEditCommands::Invert},
        {&TMainActions::AmplifyIncrease, &TEditCommands::AmplifyIncrease},
        {&TMainActions::AmplifyDecrease, &TEditCommands::AmplifyDecrease},
        {&TMainActions::Convert, &TEditCommands::Convert},
    };
    for (const auto& entry : table)
        connect(actions.*entry.Action, &QAction::triggered, this,
                [this, run = entry.Run] { (this->*run)(); });
}

void TEditCommands::Undo() {
    Targets.Document.Undo();
}

void TEditCommands::Redo() {
    Targets.Document.Redo();
}

void TEditCommands::DropSelection() {
    Targets.Selection.SetSelected(false);
}

void TEditCommands::ShrinkView(uint32_t start, uint32_t stop, uint32_t frames) {
    // The length the document removes, and where the cursor lands: the range in order, limited
    // to the document (a typed selection may run backwards or past the end).
    const uint32_t low = std::min({start, stop, frames});
    const uint32_t high = std::min(std::max(start, stop), frames);
    const uint32_t length = high - low;
    Targets.Scroll.SetPageSize(SaturatingSub(Targets.Scroll.PageSize(), length));
    Targets.View.ShortenVisibleRange(length);
    DropSelection();
    Targets.View.SetCursor(low);
}

void TEditCommands::RemoveSelection(bool (TDocument::*remove)(int64_t, int64_t)) {
    const TSelectionModel& selection = Targets.Selection;
    if (!selection.Selected()) return;
    const uint32_t start = selection.Start(), stop = selection.Stop();
    // The length before the body starts: the body changes it.
    const uint32_t frames = Targets.Document.Frames.load();
    // Refused because another body runs: nothing changes here either.
    if (!(Targets.Document.*remove)(start, stop)) return;
    ShrinkView(start, stop, frames);
}

void TEditCommands::Cut() {
    RemoveSelection(&TDocument::CutRange);
}

void TEditCommands::Copy() {
    if (!Targets.Selection.Selected()) return;
    Targets.Document.CopyRange(Targets.Selection.Start(), Targets.Selection.Stop());
}

void TEditCommands::Paste() {
    if (!Targets.Document.Ready.load() || (PasteAction && !PasteAction->isEnabled())) return;
    Targets.Document.Paste(Targets.View.CursorPos);
}

void TEditCommands::Delete() {
    RemoveSelection(&TDocument::DeleteRange);
}

void TEditCommands::InsertSilence() {
    if (!Targets.Document.Ready.load()) return;
    if (!Targets.Dialogs.Execute(Targets.Silence)) return;
    const uint32_t frames =
        Targets.View.MsToSamples(uint32_t(std::max(Targets.Silence.Value(), 0)));
    Targets.Document.InsertSilence(Targets.View.CursorPos, frames);
}

void TEditCommands::FadeIn() {
    if (!Targets.Selection.Selected()) return;
    if (Targets.Document.FadeIn(Targets.Selection.Start(), Targets.Selection.Stop()))
        DropSelection();
}

void TEditCommands::FadeOut() {
    if (!Targets.Selection.Selected()) return;
    if (Targets.Document.FadeOut(Targets.Selection.Start(), Targets.Selection.Stop()))
        DropSelection();
}

void TEditCommands::Normalize() {
    if (!Targets.Document.Ready.load()) return;
    if (!Targets.Dialogs.Execute(Targets.Normalize)) return;
    Targets.Document.Normalize(Targets.Normalize.Value());
}

void TEditCommands::Reverse() {
    if (Targets.Document.Ready.load()) Targets.Document.Reverse();
}

void TEditCommands::Invert() {
    if (Targets.Document.Ready.load()) Targets.Document.Invert();
}

void TEditCommands::Amplify(int preset) {
    if (!Targets.Document.Ready.load()) return;
    Targets.Amplify.SetValue(preset);
    if (!Targets.Dialogs.Execute(Targets.Amplify)) return;
    Targets.Document.Amplify(Targets.Amplify.Value());
}

void TEditCommands::AmplifyIncrease() {
    Amplify(TAmplifyDialog::IncreasePreset);
}

void TEditCommands::AmplifyDecrease() {
    Amplify(TAmplifyDialog::DecreasePreset);
}

void TEditCommands::Convert() {
    Targets.Document.Convert(22050, 1);
}

} // namespace orvella
