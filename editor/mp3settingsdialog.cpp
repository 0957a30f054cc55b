#include "editor/mp3settingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace orvella {

namespace {

void Fill(QComboBox* list, const std::vector<int>& rates) {
    list->clear();
    for (int rate : rates)
        list->addItem(QString::number(rate));
    list->setCurrentIndex(0);
}

const std::vector<int> FormRates = {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32};

} // namespace

TMp3SettingsDialog::TMp3SettingsDialog(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("MPEG Layer3 Settings"));
    setAccessibleName(windowTitle());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* group = new QGroupBox(tr("  MP3 Settings  "));
    auto* form = new QFormLayout;

    ModeBox = new QComboBox;
    ModeBox->addItems(
        {tr("Constant Bitrate (CBR)"), tr("Variable Bitrate (VBR)"), tr("Average Bitrate (ABR)")});
    ModeBox->setAccessibleName(tr("Encoding Mode"));
    form->addRow(tr("Encoding Mode:"), ModeBox);

    BitrateBox = new QComboBox;
    BitrateBox->setAccessibleName(tr("Bitrate"));
    std::vector<int> formDefault = FormRates;
    formDefault.push_back(16);
    Fill(BitrateBox, formDefault);
    form->addRow(tr("Bitrate:"), BitrateBox);

    MaxBitrateLabel = new QLabel(tr("Maximum Bitrate:"));
    MaxBitrateBox = new QComboBox;
    MaxBitrateBox->setAccessibleName(tr("Maximum Bitrate"));
    Fill(MaxBitrateBox, formDefault);
    form->addRow(MaxBitrateLabel, MaxBitrateBox);

    // One page per mode: CBR has nothing more to choose.
    ModePages = new QStackedWidget;
    ModePages->addWidget(new QWidget);
    auto* vbrPage = new QWidget;
    auto* vbrLayout = new QHBoxLayout(vbrPage);
    vbrLayout->setContentsMargins(0, 0, 0, 0);
    QualitySlider = new QSlider(Qt::Horizontal);
    QualitySlider->setRange(0, 8);
    QualitySlider->setValue(0);
    QualitySlider->setTickPosition(QSlider::TicksBelow);
    QualitySlider->setPageStep(1);
    QualitySlider->setAccessibleName(tr("Quality"));
    QualitySlider->setToolTip(tr("Left: smaller files; right: better sound"));
    vbrLayout->addWidget(new QLabel(tr("Quality:")));
    vbrLayout->addWidget(QualitySlider, 1);
    ModePages->addWidget(vbrPage);
    auto* abrPage = new QWidget;
    auto* abrLayout = new QHBoxLayout(abrPage);
    abrLayout->setContentsMargins(0, 0, 0, 0);
    AverageBitrateBox = new QComboBox;
    AverageBitrateBox->setAccessibleName(tr("Targeted Bitrate"));
    Fill(AverageBitrateBox, FormRates);
    abrLayout->addWidget(new QLabel(tr("Targeted Bitrate:")));
    abrLayout->addWidget(AverageBitrateBox, 1);
    ModePages->addWidget(abrPage);
    form->addRow(ModePages);

    ChecksumBox = new QCheckBox(tr("Checksum"));
    form->addRow(ChecksumBox);

    BitrateHint = new QLabel;
    BitrateHint->setWordWrap(true);
    form->addRow(BitrateHint);
    group->setLayout(form);

    OkButton = new QPushButton(tr("&Ok"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"));
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog border

    connect(ModeBox, &QComboBox::currentIndexChanged, this, &TMp3SettingsDialog::ModeChanged);
    ModeChanged();
}

void TMp3SettingsDialog::ModeChanged() {
    const int mode = std::max(ModeBox->currentIndex(), 0);
    ModePages->setCurrentIndex(mode);
    const bool variable = mode != TMP3Settings::CBR;
    MaxBitrateLabel->setVisible(variable);
    MaxBitrateBox->setVisible(variable);
    // The encoder takes "Bitrate:" as the lowest rate it may use in VBR and ABR; the list starts
    // at its highest entry on every showing, so say so.
    static const char* const hints[] = {
        QT_TR_NOOP("Bitrate: the rate of the whole file."),
        QT_TR_NOOP("Bitrate: the lowest rate the encoder may use. Maximum Bitrate: the highest."),
        QT_TR_NOOP("Bitrate: the lowest rate the encoder may use. Maximum Bitrate: the highest. "
                   "Targeted Bitrate: the average aimed at."),
    };
    BitrateHint->setText(tr(hints[mode]));
}

void TMp3SettingsDialog::PrepareFor(uint32_t sampleRate) {
    ModeChanged();
    const std::vector<int> rates = BitrateChoices(sampleRate);
    if (rates.empty()) return;
    Fill(BitrateBox, rates);
    Fill(MaxBitrateBox, rates);
    // The target keeps the place chosen last time when the new row has it.
    const int target = AverageBitrateBox->currentIndex();
    Fill(AverageBitrateBox, rates);
    if (target > 0 && target < AverageBitrateBox->count())
        AverageBitrateBox->setCurrentIndex(target);
}

TMP3Settings TMp3SettingsDialog::Choices() const {
    TMP3Settings settings;
    settings.Mode = std::max(ModeBox->currentIndex(), 0);
    settings.Bitrate = std::max(BitrateBox->currentIndex(), 0);
    settings.MaxBitrate = std::max(MaxBitrateBox->currentIndex(), 0);
    settings.Quality = QualitySlider->value();
    settings.AvgBitrate = std::max(AverageBitrateBox->currentIndex(), 0);
    settings.CRC = ChecksumBox->isChecked();
    return settings;
}

} // namespace orvella
