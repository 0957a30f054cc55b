#pragma once
// TSettingsDialog, the "Settings" window: tab "System" with the folder for work files and a button
// that opens a folder browser, tab "Colors" with the view's three colours. Every change goes into
// the settings record at once and is reported through OnTempFolder / OnColors; "&Ok" and
// "&Cancel" only close the window, so changes already made stay.
// Thread rule: main thread only.

#include "editor/settings.h"

#include <QComboBox>
#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace orvella {

class TWindowDialogs;

// A colour list: the standard and extended named colours, a default entry and a custom entry
// that asks for any colour. Colours are in the settings' encoding (red in the low byte).
class TColorBox : public QComboBox {
    Q_OBJECT
public:
    TColorBox(int32_t defaultColor, TWindowDialogs& dialogs, QWidget* parent = nullptr);
    // Selects the entry of color; a colour no entry names becomes the custom entry's.
    void SetColor(int32_t color);
    int32_t Color() const { return Current; }
    // The named colours, in list order.
    struct TNamed {
        const char* Name;
        int32_t Color;
    };
    static const std::vector<TNamed>& NamedColors();

signals:
    void ColorChanged(int32_t color);

private:
    void Activated(int index);
    void AddEntry(const QString& name, int32_t color);
    int CustomIndex() const { return count() - 1; }
    TWindowDialogs& Dialogs;
    int32_t Current = 0;
};

class TSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // settings must outlive the window.
    TSettingsDialog(TEditorSettings& settings, TWindowDialogs& dialogs, QWidget* parent = nullptr);

    // Shows the folder and colours the record holds now.
    void LoadFromSettings();
    // The folder button: a folder chosen becomes "tempfolder" at once.
    void BrowseForTempFolder();

    std::function<void(const QString& folder)> OnTempFolder;
    std::function<void(bool on)> OnDither;
    std::function<void()> OnColors;

    QLineEdit* TempFolderEdit = nullptr;
    QCheckBox* DitherBox = nullptr;
    QPushButton* BrowseButton = nullptr;
    TColorBox* BackColorBox = nullptr;
    TColorBox* ScaleColorBox = nullptr;
    TColorBox* WaveColorBox = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    void ApplyColorChoice();
    TEditorSettings& Settings;
    TWindowDialogs& Dialogs;
};

} // namespace orvella
