#pragma once
// TFilePropertiesDialog, the "File Properties" window: the open document's format, duration, data
// size, channels, sample rate and length in frames, filled each time it is shown. Thread rule: main
// thread only.

#include <QDialog>

#include <cstdint>

class QLineEdit;

namespace orvella {

class TDocument;

// seconds as "h:nn:ss.zzz", rounded to the millisecond: 75.5 gives "0:01:15.500".
QString FormatDuration(double seconds);

class TFilePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFilePropertiesDialog(QWidget* parent = nullptr);
    // The fields from doc; a source kind other than 1, 2, 3 leaves "Format: " as it was.
    void Fill(const TDocument& doc);

    QLineEdit* Format = nullptr;
    QLineEdit* Duration = nullptr;
    QLineEdit* DataSize = nullptr;
    QLineEdit* Channels = nullptr;
    QLineEdit* SampleRate = nullptr;
    QLineEdit* Samples = nullptr;
    // The source's precision: \"16-bit\", \"24-bit\", \"32-bit float\".
    QLineEdit* Precision = nullptr;
};

} // namespace orvella
