#include "editor/selectionpanel.h"

#include "editor/timeedit.h"
#include "view/selectionmodel.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace orvella {

namespace {

QLineEdit* MakeEdit(const QString& name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

} // namespace

TSelectionPanel::TSelectionPanel(QWidget* parent)
    : QGroupBox(tr("  Selection  "), parent)
    , Start(MakeEdit(QStringLiteral("selstart")))
    , Stop(MakeEdit(QStringLiteral("selstop")))
    , PickStart(new QPushButton(tr("Pick")))
    , PickStop(new QPushButton(tr("Pick")))
    , Selected(new QCheckBox(tr("Selected"))) {
    setAccessibleName(tr("Selection"));
    auto* begin = new QLabel(tr("Begin:"));
    auto* end = new QLabel(tr("End:"));
    begin->setBuddy(Start);
    end->setBuddy(Stop);
    Start->setAccessibleName(tr("Begin:"));
    Stop->setAccessibleName(tr("End:"));
    PickStart->setAccessibleName(tr("Pick begin"));
    PickStart->setToolTip(tr("Take the cursor position as the beginning"));
    PickStop->setAccessibleName(tr("Pick end"));
    PickStop->setToolTip(tr("Take the cursor position as the end"));
    Selected->setAccessibleName(tr("Selected"));
    // Every way of ticking the box counts: a click, Space, or an assistive tool's Toggle action
    // (which toggles without clicking). The window's own ticks go through ShowSelected.
    connect(Selected, &QCheckBox::toggled, this, &TSelectionPanel::SelectedToggled);

    auto* grid = new QGridLayout(this);
    grid->addWidget(begin, 0, 0);
    grid->addWidget(Start, 0, 1);
    grid->addWidget(PickStart, 0, 2);
    grid->addWidget(end, 1, 0);
    grid->addWidget(Stop, 1, 1);
    grid->addWidget(PickStop, 1, 2);
    grid->addWidget(Selected, 2, 1, 1, 2);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->setContentsMargins(6, 4, 6, 4);
    for (QPushButton* pick : {PickStart, PickStop})
        pick->setMaximumWidth(pick->fontMetrics().horizontalAdvance(pick->text()) + 20);
    SetMask(MillisecondsMask);
    SetStartText(QStringLiteral("000:00.000"));
    SetStopText(QStringLiteral("000:00.000"));
    // Wide enough for every frame number a document can hold (ten digits) and for a time.
    const int width = Start->fontMetrics().horizontalAdvance(QStringLiteral("00000000000")) + 12;
    Start->setMinimumWidth(width);
    Stop->setMinimumWidth(width);
}

void TSelectionPanel::SetMask(const QString& mask) {
    Mask = mask;
    Start->setInputMask(mask);
    Stop->setInputMask(mask);
}

void TSelectionPanel::SetStartText(const QString& text) {
    Start->setText(AlignToMask(Mask, text));
}

void TSelectionPanel::SetStopText(const QString& text) {
    Stop->setText(AlignToMask(Mask, text));
}

void TSelectionPanel::Follow(const TSelectionModel& selection) {
    connect(&selection, &TSelectionModel::Changed, Selected,
            [this, &selection] { ShowSelected(selection.Selected()); });
}

void TSelectionPanel::ShowSelected(bool selected) {
    const QSignalBlocker quiet(Selected);
    Selected->setChecked(selected);
}

QString TSelectionPanel::StartText() const {
    return Start->displayText();
}

QString TSelectionPanel::StopText() const {
    return Stop->displayText();
}

} // namespace orvella
