#pragma once
// TMp3SettingsDialog, the "MPEG Layer3 Settings" dialog shown before every MP3 save: the encoding
// mode, the BitrateBox lists for the document's sample rate, the VBR quality slider, the ABR target
// and "Checksum". Made once with the main window; the mode, slider, check box and target keep
// their values between saves, while "Bitrate:" and "Maximum Bitrate:" are refilled and reset to
// their first entry on every showing (PrepareFor).
// Thread rule: main thread only.

#include "codecs/mp3format.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QStackedWidget;

namespace orvella {

class TMp3SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TMp3SettingsDialog(QWidget* parent = nullptr);

    // The mode list's change: the mode's page, the maximum list for VBR and ABR, the hint.
    void ModeChanged();
    // Before each showing: the lists hold the bitrates offered at sampleRate, the first chosen.
    // At a rate outside the table they keep what they hold.
    void PrepareFor(uint32_t sampleRate);
    // The choices as list positions, for FillEncoderConfig.
    TMP3Settings Choices() const;

    QComboBox* ModeBox = nullptr;
    QComboBox* BitrateBox = nullptr;
    QLabel* MaxBitrateLabel = nullptr;
    QComboBox* MaxBitrateBox = nullptr;
    QStackedWidget* ModePages = nullptr;
    QSlider* QualitySlider = nullptr;
    QComboBox* AverageBitrateBox = nullptr;
    QCheckBox* ChecksumBox = nullptr;
    // What "Bitrate:" means in the chosen mode.
    QLabel* BitrateHint = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

} // namespace orvella
