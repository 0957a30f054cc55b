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
    Forms.SettingsForm = new TSettingsDialog(Settings, Services.WindowDialogs, this);
    Forms.SettingsForm->OnTempFolder = [this](const QString& folder) {
        // The next work file, of the document or of a paste, is made there.
        Document->SetTempFolder(folder.toStdString());
        Clipboard->SetTempFolder(folder.toStdString());
    };
    Forms.SettingsForm->OnColors = [this] { ApplyColors(); };
    Forms.FileInfoForm = new TFilePropertiesDialog(this);
    Forms.AboutForm = new TAboutDialog(FileVersion, Services.WindowDialogs, this);
    Forms.GetNewVer = new TUpdateCheck(this);

    const TMainActions& a = Actions;
    connect(a.FileProperties, &QAction::triggered, this, &TMainWindow::FilePropertiesExecute);
    connect(a.Settings, &QAction::triggered, this, &TMainWindow::SettingsExecute);
    connect(a.Contents, &QAction::triggered, this, &TMainWindow::ContentsExecute);
    connect(a.CheckUpdates, &QAction::triggered, this, &TMainWindow::CheckUpdatesExecute);
    connect(a.About, &QAction::triggered, this, &TMainWindow::AboutExecute);
    for (int i = 0; i < int(a.Tools.size()) && i < int(Companions.size()); ++i) {
        a.Tools[i]->setText(tr(Companions[size_t(i)].Caption));
        connect(a.Tools[i], &QAction::triggered, this, [this, i] { ToolExecute(i); });
    }
}

void TMainWindow::ApplyColors() {
    view::TWaveColors colors;
    colors.Back = uint32_t(Settings.backcolor) & 0xFFFFFF;
    colors.Wave = uint32_t(Settings.wavecolor) & 0xFFFFFF;
    colors.Scale = uint32_t(Settings.scalecolor) & 0xFFFFFF;
    View->SetColors(colors);
    View->Repaint();
}

void TMainWindow::FilePropertiesExecute() {
    if (!Document->Ready.load()) return;
    Forms.FileInfoForm->Fill(*Document);
    ShowWindow(*this, *Forms.FileInfoForm);
}

void TMainWindow::SettingsExecute() {
    ShowWindow(*this, *Forms.SettingsForm);
}

void TMainWindow::ContentsExecute() {
    const QString failure = ShowHelp(Services.WindowDialogs, HelpFilePath());
    if (!failure.isEmpty()) Services.Dialogs.ShowError(failure.toStdString());
}

void TMainWindow::ToolExecute(int index) {
    if (index < 0 || size_t(index) >= Companions.size()) return;
    RunCompanion(Companions[size_t(index)], Services.WindowDialogs, this);
}

void TMainWindow::CheckUpdatesExecute() {
    Forms.GetNewVer->OwnVersion = FileVersion;
    Forms.GetNewVer->Check();
}

void TMainWindow::AboutExecute() {
    Forms.AboutForm->VersionLabel->setText(tr("Version: ") + FileVersion);
    ShowWindow(*this, *Forms.AboutForm);
}

} // namespace orvella
