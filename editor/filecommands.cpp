// The file commands of the main window: Open, New, Close, Save, Save As and Save Selected As,
// and the question for MP3 settings before an MP3 save.

#include "editor/filecommands.h"

#include "codecs/mp3format.h"
#include "editor/mainwindow.h"
#include "editor/mp3settingsdialog.h"
#include "editor/selectionpanel.h"
#include "editor/timeedit.h"
#include "editor/transportcontroller.h"
#include "editor/windowdialogs.h"
#include "view/framescrollbar.h"
#include "view/selectionmodel.h"
#include "view/waveview.h"

#include <QFileInfo>

namespace orvella {

QString DefaultSaveExtension(int filterIndex) {
    return filterIndex == 1 ? QStringLiteral(".mp3") : QStringLiteral(".wav");
}

std::optional<TFilePrecision> SavePrecisionOf(int filterIndex) {
    switch (filterIndex) {
    case 2: return TFilePrecision::Pcm16;
    case 3: return TFilePrecision::Pcm24;
    case 4: return TFilePrecision::Float32;
    default: return std::nullopt;
    }
}

QString SaveAsTarget(const QString& chosen, int filterIndex) {
    if (chosen.endsWith(QLatin1String(".mp3")) || chosen.endsWith(QLatin1String(".wav")))
        return chosen;
    return chosen + DefaultSaveExtension(filterIndex);
}

QString SaveSelectedTarget(const QString& chosen, int filterIndex) {
    const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = chosen.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash ? chosen.left(dot) : chosen;
    return stem + DefaultSaveExtension(filterIndex);
}

void TMainWindow::ResetForNewDocument() {
    const QString empty = MillisecondsMode() ? QStringLiteral("00:00.000") : QStringLiteral("0");
    SelectionPanel()->SetStartText(empty);
    SelectionPanel()->SetStopText(empty);
    Scroll->SetPageSize(0);
    Scroll->SetMinimum(0);
    Scroll->SetMaximum(100);
    if (Doc->Ready.load()) Stop();
    CloseWave();
    WaveView->Repaint();
}

void TMainWindow::CloseWave() {
    // The player reads the document: it lets it go before the view closes it.
    if (Doc->Ready.load()) Playback->Release();
    WaveView->CloseWave();
    UpdateScrollBarUse();
}

void TMainWindow::ShowFileName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    SetStatus(0, name.isEmpty() ? QString() : tr("File: ") + name);
    SetCaption(name);
}

void TMainWindow::OpenDocument() {
    OpenFile(Services.WindowDialogs.OpenFileName(this, QLatin1String(OpenFilter)));
}

void TMainWindow::OpenFile(const QString& path) {
    // A running body would refuse the load: nothing changes then.
    if (path.isEmpty() || Doc->IsBusy()) return;
    ResetForNewDocument();
    ShowFileName(path);
    // Unsaved changes of the previous document go without a question.
    Doc->Open(path.toStdString());
}

void TMainWindow::NewDocument() {
    if (Doc->IsBusy()) return;
    ResetForNewDocument();
    ShowFileName(QStringLiteral("Untitled.wav"));
    Doc->New("untitled.wav", 44100, 2, 16);
    UpdateScrollBarUse();
}

void TMainWindow::CloseDocument() {
    if (Doc->IsBusy()) return;
    if (Doc->Modified.load()) {
        switch (Services.WindowDialogs.Ask(
            this, tr("Would you like to save changes?"), QMessageBox::Question,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            // A save that starts nothing or fails keeps the document and its changes.
            if (!SaveAndWait()) return;
            break;
        case QMessageBox::No:
            break;
        default:
            return;
        }
    }
    CloseWave();
    WaveView->Repaint();
    ShowFileName(QString());
}

void TMainWindow::SaveDocument() {
    if (Doc->Modified.load()) Doc->Save();
}

void TMainWindow::SaveDocumentAs() {
    // Without a document there is nothing to save: no dialog either.
    if (!Doc->Ready.load() || Doc->IsBusy()) return;
    int filter = 0;
    const QString chosen =
        Services.WindowDialogs.SaveFileName(this, QLatin1String(SaveFilter), filter);
    if (chosen.isEmpty()) return;
    const std::string remembered = Doc->FileName;
    const QString path = SaveAsTarget(chosen, filter);
    if (QFileInfo::exists(path) &&
        Services.WindowDialogs.Ask(this, tr("This file %1 already exists. Overwrite?").arg(path),
                                   QMessageBox::Critical,
                                   QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const std::optional<TFilePrecision> rememberedPrecision = Doc->SavePrecision;
    Doc->FileName = path.toStdString();
    // The precision of a WAV entry is the file's from now on: Save keeps writing it (the plain
    // entry's is the document's own).
    if (DefaultSaveExtension(filter) == QLatin1String(".wav"))
        Doc->SavePrecision = SavePrecisionOf(filter);
    if (Doc->Save()) {
        ShowFileName(path);
    } else {
        Doc->FileName = remembered;
        Doc->SavePrecision = rememberedPrecision;
    }
}

void TMainWindow::SaveSelectionAs() {
    if (!SelectionModel->Selected() || !Doc->Ready.load() || Doc->IsBusy()) return;
    int filter = 0;
    const QString chosen =
        Services.WindowDialogs.SaveFileName(this, QLatin1String(SaveFilter), filter);
    if (chosen.isEmpty()) return;
    const QString path = SaveSelectedTarget(chosen, filter);
    if (QFileInfo::exists(path) &&
        Services.WindowDialogs.Ask(this, tr("This file already exists. Overwrite?"),
                                   QMessageBox::Critical,
                                   QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    Doc->SaveRange(path.toStdString(), SelectionModel->Start(), SelectionModel->Stop(),
                   SavePrecisionOf(filter));
}

bool TMainWindow::ConfirmMP3Settings(TDocument& doc) {
    const uint32_t rate = doc.SampleRate.load();
    Owned.Mp3SettingsDialog->PrepareFor(rate);
    if (!Services.WindowDialogs.Execute(*Owned.Mp3SettingsDialog)) return false;
    doc.EncoderConfig =
        FillEncoderConfig(Owned.Mp3SettingsDialog->Choices(), rate, doc.Channels.load());
    return true;
}

} // namespace orvella
