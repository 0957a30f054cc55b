#include "editor/settingsdialog.h"

#include "editor/windowdialogs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace orvella {

namespace {

QColor ToQColor(int32_t color) {
    const auto c = uint32_t(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

int32_t FromQColor(const QColor& color) {
    return int32_t(uint32_t(color.red()) | uint32_t(color.green()) << 8 |
                   uint32_t(color.blue()) << 16);
}

QIcon Swatch(int32_t color) {
    QPixmap pixmap(16, 12);
    pixmap.fill(ToQColor(color));
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(0, 0, 15, 11);
    return QIcon(pixmap);
}

} // namespace

const std::vector<TColorBox::TNamed>& TColorBox::NamedColors() {
    // The sixteen standard colours, then the extended ones.
    static const std::vector<TNamed> colors = {
        {"Black", 0x000000}, {"Maroon", 0x000080},      {"Green", 0x008000},
        {"Olive", 0x008080}, {"Navy", 0x800000},        {"Purple", 0x800080},
        {"Teal", 0x808000},  {"Gray", 0x808080},        {"Silver", 0xC0C0C0},
        {"Red", 0x0000FF},   {"Lime", 0x00FF00},        {"Yellow", 0x00FFFF},
        {"Blue", 0xFF0000},  {"Fuchsia", 0xFF00FF},     {"Aqua", 0xFFFF00},
        {"White", 0xFFFFFF}, {"Money Green", 0xC0DCC0}, {"Sky Blue", 0xF0CAA6},
        {"Cream", 0xF0FBFF}, {"Medium Gray", 0xA4A0A0},
    };
    return colors;
}

TColorBox::TColorBox(int32_t defaultColor, TWindowDialogs& dialogs, QWidget* parent)
    : QComboBox(parent)
    , Dialogs(dialogs) {
    AddEntry(tr("Default"), defaultColor);
    for (const TNamed& named : NamedColors())
        AddEntry(tr(named.Name), named.Color);
    AddEntry(tr("Custom..."), defaultColor);
    Current = defaultColor;
    connect(this, &QComboBox::activated, this, &TColorBox::Activated);
}

void TColorBox::AddEntry(const QString& name, int32_t color) {
    addItem(Swatch(color), name, QVariant(color));
}

void TColorBox::SetColor(int32_t color) {
    Current = color;
    for (int i = 0; i < CustomIndex(); ++i) {
        if (itemData(i).toInt() == color) {
            setCurrentIndex(i);
            return;
        }
    }
    setItemData(CustomIndex(), QVariant(color));
    setItemIcon(CustomIndex(), Swatch(color));
    setCurrentIndex(CustomIndex());
}

void TColorBox::Activated(int index) {
    int32_t color = itemData(index).toInt();
    if (index == CustomIndex()) {
        const QColor chosen = Dialogs.ColorOf(this, ToQColor(Current));
        if (!chosen.isValid()) {
            SetColor(Current); // cancelled: the list shows the colour in use again
            return;
        }
        color = FromQColor(chosen);
        setItemData(index, QVariant(color));
        setItemIcon(index, Swatch(color));
    }
    Current = color;
    emit ColorChanged(color);
}

TSettingsDialog::TSettingsDialog(TEditorSettings& settings, TWindowDialogs& dialogs,
                                 QWidget* parent)
    : QDialog(parent)
    , Settings(settings)
    , Dialogs(dialogs) {
    setWindowTitle(tr("Settings"));
    setAccessibleName(windowTitle());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* tabs = new QTabWidget;
    auto* system = new QWidget;
    auto* systemLayout = new QVBoxLayout(system);
    auto* folderGroup = new QGroupBox(tr("  Temporary Folder  "));
    auto* folderLayout = new QHBoxLayout(folderGroup);
    TempFolderEdit = new QLineEdit;
    TempFolderEdit->setObjectName(QStringLiteral("TempFolderEdit"));
    TempFolderEdit->setAccessibleName(tr("Temporary Folder"));
    // The folder comes from the browser only; the edit shows it.
    TempFolderEdit->setReadOnly(true);
    TempFolderEdit->setMinimumWidth(260);
    BrowseButton = new QPushButton(tr("..."));
    BrowseButton->setAccessibleName(tr("Browse for the temporary folder"));
    BrowseButton->setToolTip(BrowseButton->accessibleName());
    folderLayout->addWidget(TempFolderEdit, 1);
    folderLayout->addWidget(BrowseButton);
    systemLayout->addWidget(folderGroup);
    DitherBox = new QCheckBox(tr("&Dither when saving at a lower precision"));
    DitherBox->setObjectName(QStringLiteral("DitherBox"));
    DitherBox->setToolTip(tr("Adds faint noise (TPDF) that keeps rounding from distorting quiet "
                             "passages when float audio is saved at 16 or 24 bits."));
    systemLayout->addWidget(DitherBox);
    systemLayout->addStretch(1);
    tabs->addTab(system, tr("System"));

    auto* colors = new QWidget;
    auto* colorsLayout = new QFormLayout(colors);
    BackColorBox = new TColorBox(0, dialogs);
    ScaleColorBox = new TColorBox(DefaultScaleColor, dialogs);
    WaveColorBox = new TColorBox(DefaultWaveColor, dialogs);
    BackColorBox->setAccessibleName(tr("Background"));
    ScaleColorBox->setAccessibleName(tr("Scales"));
    WaveColorBox->setAccessibleName(tr("Wave Data"));
    colorsLayout->addRow(tr("Background:"), BackColorBox);
    colorsLayout->addRow(tr("Scales:"), ScaleColorBox);
    colorsLayout->addRow(tr("Wave Data:"), WaveColorBox);
    tabs->addTab(colors, tr("Colors"));

    OkButton = new QPushButton(tr("&Ok"));
    CancelButton = new QPushButton(tr("&Cancel"));
    OkButton->setDefault(true);
    // Changes are made at once: both buttons only close the window.
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    connect(BrowseButton, &QPushButton::clicked, this, &TSettingsDialog::BrowseForTempFolder);
    connect(DitherBox, &QCheckBox::toggled, this, [this](bool on) {
        Settings.dither = on;
        if (OnDither) OnDither(on);
    });
    for (TColorBox* box : {BackColorBox, ScaleColorBox, WaveColorBox})
        connect(box, &TColorBox::ColorChanged, this, &TSettingsDialog::ApplyColorChoice);
    LoadFromSettings();
}

void TSettingsDialog::LoadFromSettings() {
    TempFolderEdit->setText(Settings.tempfolder);
    DitherBox->setChecked(Settings.dither);
    BackColorBox->SetColor(Settings.backcolor);
    ScaleColorBox->SetColor(Settings.scalecolor);
    WaveColorBox->SetColor(Settings.wavecolor);
}

void TSettingsDialog::BrowseForTempFolder() {
    QString folder = Dialogs.FolderName(this, Settings.tempfolder);
    if (folder.isEmpty()) return;
    // The record keeps folders with their trailing separator.
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    TempFolderEdit->setText(folder);
    Settings.tempfolder = folder;
    if (OnTempFolder) OnTempFolder(folder);
}

void TSettingsDialog::ApplyColorChoice() {
    Settings.backcolor = BackColorBox->Color();
    Settings.scalecolor = ScaleColorBox->Color();
    Settings.wavecolor = WaveColorBox->Color();
    if (OnColors) OnColors();
}

} // namespace orvella
