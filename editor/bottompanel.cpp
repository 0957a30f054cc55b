#include "editor/bottompanel.h"

#include "editor/selectionpanel.h"
#include "playback/levelmeter.h"
#include "playback/volumebar.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace orvella {

TBottomPanel::TBottomPanel(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Panel2"));
    setFixedHeight(155);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    ProgressBar = new QProgressBar;
    ProgressBar->setAccessibleName(tr("Progress"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setMaximumHeight(14);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    layout->addWidget(ProgressBar);
    Tabs = new QTabWidget;
    Tabs->setAccessibleName(tr("Main"));
    layout->addWidget(Tabs, 1);
    Tabs->addTab(CreateMainTab(), tr("Main"));
    connect(Volume, &QSlider::valueChanged, this,
            [this](int position) { emit VolumeChanged(VolumeOfPosition(position)); });
}

QWidget* TBottomPanel::CreateMainTab() {
    auto* tab = new QWidget;
    auto* tabLayout = new QHBoxLayout(tab);
    tabLayout->setContentsMargins(4, 4, 4, 4);
    tabLayout->setSpacing(6);
    SelectionGroup = new TSelectionPanel;
    tabLayout->addWidget(SelectionGroup);

    auto* cursorGroup = new QGroupBox(tr("  Cursor  "));
    cursorGroup->setAccessibleName(tr("Cursor"));
    auto* cursorLayout = new QVBoxLayout(cursorGroup);
    CursorLabel = new QLabel(QStringLiteral("00:00:00"));
    CursorLabel->setObjectName(QStringLiteral("timedisplay"));
    // Its text is what a screen reader reads as its name.
    CursorLabel->setAccessibleDescription(tr("Cursor time"));
    CursorLabel->setAlignment(Qt::AlignCenter);
    CursorLabel->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    CursorLabel->setFocusPolicy(Qt::TabFocus);
    QFont big = CursorLabel->font();
    big.setPixelSize(32);
    big.setBold(true);
    CursorLabel->setFont(big);
    // Wide enough for the longest time the label shows.
    CursorLabel->setMinimumWidth(QFontMetrics(big).horizontalAdvance(QStringLiteral("000:00.000")) +
                                 8);
    cursorLayout->addWidget(CursorLabel);
    tabLayout->addWidget(cursorGroup);

    auto* levelsGroup = new QGroupBox(tr("  Levels  "));
    levelsGroup->setAccessibleName(tr("Levels"));
    auto* levelsLayout = new QVBoxLayout(levelsGroup);
    Meter = new TLevelMeter;
    Meter->setFixedSize(283, 21);
    Meter->SetBackcolor(0);
    Meter->SetForecolor(5555555);
    Meter->ClearMeter();
    levelsLayout->addWidget(Meter);
    tabLayout->addWidget(levelsGroup);

    auto* volumeGroup = new QGroupBox(tr(" Volume "));
    volumeGroup->setAccessibleName(tr("Volume"));
    auto* volumeLayout = new QVBoxLayout(volumeGroup);
    Volume = new TVolumeBar;
    Volume->setToolTip(tr("Playback volume level"));
    volumeLayout->addWidget(Volume, 0, Qt::AlignHCenter);
    tabLayout->addWidget(volumeGroup);
    tabLayout->addStretch(1);
    return tab;
}

void TBottomPanel::ShowCursorTime(const QString& text) {
    CursorLabel->setText(text);
}

QString TBottomPanel::CursorTimeText() const {
    return CursorLabel->text();
}

void TBottomPanel::ShowLevels(int16_t left, int16_t right, uint8_t channels) {
    Meter->SetLevels(left, right, channels);
}

void TBottomPanel::ClearLevels(uint8_t channels) {
    Meter->SetLevels(0, 0, channels);
    Meter->ClearMeter();
    Meter->update();
}

void TBottomPanel::ShowProgress(int percent) {
    if (percent > 0) ProgressBar->show();
    ProgressBar->setValue(percent);
}

void TBottomPanel::HideProgress() {
    ProgressBar->setValue(0);
    ProgressBar->hide();
}

void TBottomPanel::SetVolumePosition(int position) {
    Volume->setValue(position);
    // The first position reaches the player like any other, also when it is the bar's own.
    emit VolumeChanged(VolumeOfPosition(Volume->value()));
}

} // namespace orvella
