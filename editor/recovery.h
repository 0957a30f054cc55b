#pragma once
// Crash recovery. Each run keeps, in the folder of its work files:
// - orvella-PID.lock, locked (flock) for as long as the run lives: the kernel releases the lock
//   when the process ends in any way, so a free lock means its run is gone;
// - orvella-PID.journal, the state after the last finished change: the user's file, the current
//   work file, whether it has unsaved changes and every work file the document owns. It is
//   replaced atomically (written beside, then renamed over), so a crash leaves either the old
//   or the new journal, never half of one.
// A run that closes removes both. At the next start, the journals whose lock is free are the
// leftovers of runs that did not close; a journal whose lock is held belongs to a running
// Orvella and is never touched, nor are its work files.
// Thread rule: main thread only.

#include <QString>
#include <QStringList>

#include <vector>

namespace orvella {

struct TJournalRecord {
    QString Original; // the user's file the document came from (or is saved to)
    QString Current;  // the work file holding the last state
    bool Modified = false;
    QStringList Files; // every work file of the document, Current included
    // The precision of the file the document came from ("24-bit"), which Save writes: the work
    // file only tells 16-bit from float. Empty in journals of earlier versions.
    QString Precision;
};

// This run's journal and lock in folder.
class TRecoveryJournal {
public:
    explicit TRecoveryJournal(const QString& folder);
    // A run that closes leaves nothing to recover: the journal and the lock go.
    ~TRecoveryJournal();
    TRecoveryJournal(const TRecoveryJournal&) = delete;
    TRecoveryJournal& operator=(const TRecoveryJournal&) = delete;

    // Replaces the journal with record; a record without files removes it. False when the
    // journal could not be written (the previous one stays).
    bool Write(const TJournalRecord& record);
    QString JournalPath() const { return Journal; }

private:
    QString Journal, Lock;
    int LockHandle = -1;
};

// A run's leftovers: its journal, read, and its lock, held by the caller from FindLeftovers on
// so that no other starting Orvella handles them at the same time.
class TLeftover {
public:
    TLeftover(QString journal, QString lock, int lockHandle, TJournalRecord record);
    TLeftover(TLeftover&& other) noexcept;
    TLeftover& operator=(TLeftover&&) = delete;
    ~TLeftover(); // releases the lock (the files stay unless Discard or Recover ran)

    const TJournalRecord& Record() const { return FRecord; }
    // Whether there is something to recover: unsaved changes whose work file is still there.
    bool Recoverable() const;
    // Deletes the work files, the journal and the lock.
    void Discard();
    // Renames the current work file to a WAV file beside it (the document opens it as any WAV
    // file), deletes the rest as Discard does and returns the new name; empty when the rename
    // failed (then nothing is deleted).
    QString Recover();

private:
    QString Journal, Lock;
    int LockHandle = -1;
    TJournalRecord FRecord;
};

// The leftovers in folder of runs that are gone, oldest journal first.
std::vector<TLeftover> FindLeftovers(const QString& folder);

} // namespace orvella
