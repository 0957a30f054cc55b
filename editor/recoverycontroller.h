#pragma once
// TRecoveryController, crash recovery for the main window: at start-up the leftovers of runs that
// did not close are offered for recovery or deleted; while this run lives its journal records
// the document's work files after every finished operation; the load of a recovered state turns
// the document back into the user's file with unsaved changes.
// Thread rule: main thread only.

#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>

namespace orvella {

class TRecoveryJournal;
class TDocument;

class TRecoveryController {
public:
    // folder: the work files' folder, where the journals and leftovers live.
    explicit TRecoveryController(QString folder);
    ~TRecoveryController();

    // Whether a run that did not close left unsaved work in the folder.
    bool HasRecoverableLeftovers() const;

    // The question for one leftover (its text names the sound): Yes recovers, Discard deletes,
    // anything else keeps it for the next start.
    using TAsk = std::function<QMessageBox::StandardButton(const QString& question)>;
    // Starts loading a recovered state, file, that stands for the sound called name; false when
    // the load did not start.
    using TOpen = std::function<bool(const QString& file, const QString& name)>;
    // Offers every recoverable leftover and deletes those with nothing unsaved; one is recovered
    // at a time, the rest wait for the next start. True when one is being recovered.
    bool OfferLeftovers(const TAsk& ask, const TOpen& open);

    // Starts this run's journal.
    void StartJournal();
    // The journal goes with its record: the work files are gone, nothing is left to recover.
    void EndJournal();
    // After every finished operation: the document's work files to the journal.
    void Record(const TDocument& document);
    // After a load: when it was the recovered state, the state becomes the document's own work
    // file standing for the user's file, modified, and the true result says so.
    bool TakeLoaded(TDocument& document);

private:
    QString Folder;
    std::unique_ptr<TRecoveryJournal> Journal;
    // A recovered state being loaded: the WAV file it was renamed to and the user's file it
    // belongs to.
    QString RecoveredFile, RecoveredOriginal, RecoveredPrecision;
};

} // namespace orvella
