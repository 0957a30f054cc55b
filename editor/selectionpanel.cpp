#include "editor/selectionpanel.h"

#include "editor/timeedit.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
    , selstart(MakeEdit(QStringLiteral("selstart")))
    , selstop(MakeEdit(QStringLiteral("selstop")))
    , PickStart(new QPushButton(tr("Pick")))
    , PickStop(new QPushButton(tr("Pick")))
    , sel(new QCheckBox(tr("Selected"))) {
    setAccessibleName(tr("Selection"));
    auto* begin = new QLabel(tr("Begin:"));
    auto* end = new QLabel(tr("End:"));
    begin->setBuddy(selstart);
    end->setBuddy(selstop);
    selstart->setAccessibleName(tr("Begin:"));
    selstop->setAccessibleName(tr("End:"));
    PickStart->setAccessibleName(tr("Pick begin"));
    PickStart->setToolTip(tr("Take the cursor position as the beginning"));
    PickStop->setAccessibleName(tr("Pick end"));
    PickStop->setToolTip(tr("Take the cursor position as the end"));
    sel->setAccessibleName(tr("Selected"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(begin, 0, 0);
    grid->addWidget(selstart, 0, 1);
    grid->addWidget(PickStart, 0, 2);
    grid->addWidget(end, 1, 0);
    grid->addWidget(selstop, 1, 1);
    grid->addWidget(PickStop, 1, 2);
    grid->addWidget(sel, 2, 1, 1, 2);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->setContentsMargins(6, 4, 6, 4);
    for (QPushButton* pick : {PickStart, PickStop})
        pick->setMaximumWidth(pick->fontMetrics().horizontalAdvance(pick->text()) + 20);
    SetMask(MillisecondsMask);
    SetStartText(QStringLiteral("000:00.000"));
    SetStopText(QStringLiteral("000:00.000"));
    // Wide enough for every frame number a document can hold (ten digits) and for a time.
    const int width = selstart->fontMetrics().horizontalAdvance(QStringLiteral("00000000000")) + 12;
    selstart->setMinimumWidth(width);
    selstop->setMinimumWidth(width);
}

void TSelectionPanel::SetMask(const QString& mask) {
    Mask = mask;
    selstart->setInputMask(mask);
    selstop->setInputMask(mask);
}

void TSelectionPanel::SetStartText(const QString& text) {
    selstart->setText(AlignToMask(Mask, text));
}

void TSelectionPanel::SetStopText(const QString& text) {
    selstop->setText(AlignToMask(Mask, text));
}

QString TSelectionPanel::StartText() const {
    return selstart->displayText();
}

QString TSelectionPanel::StopText() const {
    return selstop->displayText();
}

} // namespace orvella
