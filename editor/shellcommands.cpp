// The main window's commands beyond editing: File Properties, Settings, Help (Contents, Check
// Updates, About) and the Tools menu, and the windows they show.

#include "editor/aboutdialog.h"
#include "editor/filepropertiesdialog.h"
#include "editor/helpfile.h"
#include "editor/mainwindow.h"
#include "editor/qtwaveclipboard.h"
#include "editor/settingsdialog.h"
#include "editor/tools.h"
#include "editor/updatecheck.h"
#include "editor/windowdialogs.h"
#include "view/waveview.h"

#include <QLabel>

namespace orvella {

namespace {

// Shows a window that is not modal, centred on the main window the first time, and raises it.
void ShowWindow(QWidget& owner, QDialog& window) {
    if (!window.isVisible()) {
        window.adjustSize();
        window.move(owner.geometry().center() - window.rect().center());
    }
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

void TMainWindow::CreateShellCommands() {
    Owned.SettingsDialog = new TSettingsDialog(Config, Services.WindowDialogs, this);
    Owned.SettingsDialog->OnTempFolder = [this](const QString& folder) {
        // The next work file, of the document or of a paste, is made there.
        Doc->SetTempFolder(folder.toStdString());
        Clipboard->SetTempFolder(folder.toStdString());
    };
    Owned.SettingsDialog->OnColors = [this] { ApplyColors(); };
    // Takes effect from the next save or paste that narrows float values.
    Owned.SettingsDialog->OnDither = [this](bool on) { Doc->SetDither(on); };
    Owned.FilePropertiesDialog = new TFilePropertiesDialog(this);
    Owned.AboutDialog = new TAboutDialog(FileVersion, Services.WindowDialogs, this);
    Owned.UpdateCheck = new TUpdateCheck(this);

    const TMainActions& a = ActionList;
    connect(a.FileProperties, &QAction::triggered, this, &TMainWindow::ShowFileProperties);
    connect(a.Settings, &QAction::triggered, this, &TMainWindow::ShowSettings);
    connect(a.Contents, &QAction::triggered, this, &TMainWindow::ShowHelpContents);
    connect(a.CheckUpdates, &QAction::triggered, this, &TMainWindow::CheckForUpdates);
    connect(a.About, &QAction::triggered, this, &TMainWindow::ShowAbout);
    for (int i = 0; i < int(a.Tools.size()) && i < int(Companions.size()); ++i) {
        a.Tools[i]->setText(tr(Companions[size_t(i)].Caption));
        connect(a.Tools[i], &QAction::triggered, this, [this, i] { RunTool(i); });
    }
}

void TMainWindow::ApplyColors() {
    view::TWaveColors colors;
    colors.Back = uint32_t(Config.backcolor) & 0xFFFFFF;
    colors.Wave = uint32_t(Config.wavecolor) & 0xFFFFFF;
    colors.Scale = uint32_t(Config.scalecolor) & 0xFFFFFF;
    WaveView->SetColors(colors);
    WaveView->Repaint();
}

void TMainWindow::ShowFileProperties() {
    if (!Doc->Ready.load()) return;
    Owned.FilePropertiesDialog->Fill(*Doc);
    ShowWindow(*this, *Owned.FilePropertiesDialog);
}

void TMainWindow::ShowSettings() {
    ShowWindow(*this, *Owned.SettingsDialog);
}

void TMainWindow::ShowHelpContents() {
    const QString failure = ShowHelp(Services.WindowDialogs, HelpFilePath());
    if (!failure.isEmpty()) Services.Dialogs.ShowError(failure.toStdString());
}

void TMainWindow::RunTool(int index) {
    if (index < 0 || size_t(index) >= Companions.size()) return;
    RunCompanion(Companions[size_t(index)], Services.WindowDialogs, this);
}

void TMainWindow::CheckForUpdates() {
    Owned.UpdateCheck->OwnVersion = FileVersion;
    Owned.UpdateCheck->Check();
}

void TMainWindow::ShowAbout() {
    Owned.AboutDialog->VersionLabel->setText(tr("Version: ") + FileVersion);
    ShowWindow(*this, *Owned.AboutDialog);
}

} // namespace orvella
