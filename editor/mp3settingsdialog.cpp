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

    vbrmode = new QComboBox;
    vbrmode->addItems(
        {tr("Constant Bitrate (CBR)"), tr("Variable Bitrate (VBR)"), tr("Average Bitrate (ABR)")});
    vbrmode->setAccessibleName(tr("Encoding Mode"));
    form->addRow(tr("Encoding Mode:"), vbrmode);

    bitrate = new QComboBox;
    bitrate->setAccessibleName(tr("Bitrate"));
    std::vector<int> formDefault = FormRates;
    formDefault.push_back(16);
    Fill(bitrate, formDefault);
    form->addRow(tr("Bitrate:"), bitrate);

    maxbitLabel = new QLabel(tr("Maximum Bitrate:"));
    maxbitrate = new QComboBox;
    maxbitrate->setAccessibleName(tr("Maximum Bitrate"));
    Fill(maxbitrate, formDefault);
    form->addRow(maxbitLabel, maxbitrate);

    // One page per mode: CBR has nothing more to choose.
    Notebook3 = new QStackedWidget;
    Notebook3->addWidget(new QWidget);
    auto* vbrPage = new QWidget;
    auto* vbrLayout = new QHBoxLayout(vbrPage);
    vbrLayout->setContentsMargins(0, 0, 0, 0);
    vbrquality = new QSlider(Qt::Horizontal);
    vbrquality->setRange(0, 8);
    vbrquality->setValue(0);
    vbrquality->setTickPosition(QSlider::TicksBelow);
    vbrquality->setPageStep(1);
    vbrquality->setAccessibleName(tr("Quality"));
    vbrquality->setToolTip(tr("Left: smaller files; right: better sound"));
    vbrLayout->addWidget(new QLabel(tr("Quality:")));
    vbrLayout->addWidget(vbrquality, 1);
    Notebook3->addWidget(vbrPage);
    auto* abrPage = new QWidget;
    auto* abrLayout = new QHBoxLayout(abrPage);
    abrLayout->setContentsMargins(0, 0, 0, 0);
    avgbitrate = new QComboBox;
    avgbitrate->setAccessibleName(tr("Targeted Bitrate"));
    Fill(avgbitrate, FormRates);
    abrLayout->addWidget(new QLabel(tr("Targeted Bitrate:")));
    abrLayout->addWidget(avgbitrate, 1);
    Notebook3->addWidget(abrPage);
    form->addRow(Notebook3);

    crc = new QCheckBox(tr("Checksum"));
    form->addRow(crc);

    BitrateHint = new QLabel;
    BitrateHint->setWordWrap(true);
    form->addRow(BitrateHint);
    group->setLayout(form);

    Button1 = new QPushButton(tr("&Ok"));
    Button1->setDefault(true);
    Button2 = new QPushButton(tr("Cancel"));
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog border

    connect(vbrmode, &QComboBox::currentIndexChanged, this, &TMp3SettingsDialog::vbrmodeChange);
    vbrmodeChange();
}

void TMp3SettingsDialog::vbrmodeChange() {
    const int mode = std::max(vbrmode->currentIndex(), 0);
    Notebook3->setCurrentIndex(mode);
    const bool variable = mode != TMP3Settings::CBR;
    maxbitLabel->setVisible(variable);
    maxbitrate->setVisible(variable);
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

void TMp3SettingsDialog::FormActivate(uint32_t sampleRate) {
    vbrmodeChange();
    const std::vector<int> rates = BitrateChoices(sampleRate);
    if (rates.empty()) return;
    Fill(bitrate, rates);
    Fill(maxbitrate, rates);
    // The target keeps the place chosen last time when the new row has it.
    const int target = avgbitrate->currentIndex();
    Fill(avgbitrate, rates);
    if (target > 0 && target < avgbitrate->count()) avgbitrate->setCurrentIndex(target);
}

TMP3Settings TMp3SettingsDialog::Choices() const {
    TMP3Settings settings;
    settings.Mode = std::max(vbrmode->currentIndex(), 0);
    settings.Bitrate = std::max(bitrate->currentIndex(), 0);
    settings.MaxBitrate = std::max(maxbitrate->currentIndex(), 0);
    settings.Quality = vbrquality->value();
    settings.AvgBitrate = std::max(avgbitrate->currentIndex(), 0);
    settings.CRC = crc->isChecked();
    return settings;
}

} // namespace orvella
