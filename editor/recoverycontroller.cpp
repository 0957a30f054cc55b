#include "editor/recoverycontroller.h"

#include "editor/recovery.h"
#include "engine/document.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace orvella {

TRecoveryController::TRecoveryController(QString folder)
    : Folder(std::move(folder)) {}

TRecoveryController::~TRecoveryController() = default;

bool TRecoveryController::HasRecoverableLeftovers() const {
    for (const TLeftover& leftover : FindLeftovers(Folder))
        if (leftover.Recoverable()) return true;
    return false;
}

bool TRecoveryController::OfferLeftovers(const TAsk& ask, const TOpen& open) {
    bool recovering = false;
    for (TLeftover& leftover : FindLeftovers(Folder)) {
        if (!leftover.Recoverable()) {
            leftover.Discard(); // nothing unsaved in it
            continue;
        }
        // One document at a time: further leftovers wait for the next start.
        if (recovering) continue;
        const QString original = leftover.Record().Original;
        const QString name =
            original.isEmpty()
                ? QCoreApplication::translate("orvella::TMainWindow", "an untitled sound")
                : QFileInfo(original).fileName();
        const auto answer =
            ask(QCoreApplication::translate("orvella::TMainWindow",
                                            "Orvella did not close properly. Recover the unsaved "
                                            "changes of %1?")
                    .arg(name));
        if (answer == QMessageBox::Discard) {
            leftover.Discard();
            continue;
        }
        if (answer != QMessageBox::Yes) continue; // kept for the next start
        const QString file = leftover.Recover();
        if (file.isEmpty()) continue;
        RecoveredFile = file;
        RecoveredOriginal = original;
        RecoveredPrecision = leftover.Record().Precision;
        recovering = open(file, name);
    }
    return recovering;
}

void TRecoveryController::StartJournal() {
    Journal = std::make_unique<TRecoveryJournal>(Folder);
}

void TRecoveryController::EndJournal() {
    Journal.reset();
}

void TRecoveryController::Record(const TDocument& document) {
    if (!Journal) return;
    TJournalRecord record;
    record.Original = QString::fromStdString(document.FileName);
    record.Modified = document.Modified.load();
    record.Precision = QString::fromStdString(PrecisionText(document.SourcePrecision.load()));
    for (const std::string& file : document.WorkFiles())
        record.Files.append(QString::fromStdString(file));
    if (!record.Files.isEmpty()) record.Current = record.Files.front();
    Journal->Write(record);
}

bool TRecoveryController::TakeLoaded(TDocument& document) {
    if (RecoveredFile.isEmpty()) return false;
    // The recovered state is now the document's own work file: it stands for the user's file
    // with unsaved changes, so Save writes there and closing asks.
    QFile::remove(RecoveredFile);
    RecoveredFile.clear();
    document.FileName = RecoveredOriginal.toStdString();
    document.Modified = true;
    TFilePrecision precision;
    if (PrecisionFromText(RecoveredPrecision.toStdString(), precision))
        document.SourcePrecision = precision;
    return true;
}

} // namespace orvella
