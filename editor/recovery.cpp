#include "editor/recovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace orvella {

namespace {

QString FolderWithSlash(QString folder) {
    if (folder.isEmpty()) folder = QStringLiteral(".");
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

int OpenLock(const QString& path, int flags) {
    return ::open(QFile::encodeName(path).constData(), flags | O_RDWR | O_CLOEXEC, 0600);
}

QByteArray Encode(const TJournalRecord& record) {
    QJsonObject object;
    object[QLatin1String("original")] = record.Original;
    object[QLatin1String("current")] = record.Current;
    object[QLatin1String("modified")] = record.Modified;
    object[QLatin1String("files")] = QJsonArray::fromStringList(record.Files);
    object[QLatin1String("precision")] = record.Precision;
    return QJsonDocument(object).toJson();
}

bool Decode(const QByteArray& text, TJournalRecord& record) {
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject()) return false;
    const QJsonObject object = document.object();
    record.Original = object.value(QLatin1String("original")).toString();
    record.Current = object.value(QLatin1String("current")).toString();
    record.Modified = object.value(QLatin1String("modified")).toBool();
    record.Precision = object.value(QLatin1String("precision")).toString();
    for (const QJsonValue& file : object.value(QLatin1String("files")).toArray())
        record.Files.append(file.toString());
    return true;
}

// Only files named like the document's work files, in the journal's own folder, are deleted: a
// damaged or foreign journal cannot make us delete anything else.
bool IsWorkFileBeside(const QString& path, const QString& journal) {
    const QFileInfo info(path);
    return info.absolutePath() == QFileInfo(journal).absolutePath() &&
           info.fileName().startsWith(QLatin1Char('~')) &&
           info.fileName().endsWith(QLatin1String(".tmp"));
}

} // namespace

// --- this run ---

TRecoveryJournal::TRecoveryJournal(const QString& folder) {
    // The process number tells runs apart; the random part keeps a reused number from meeting
    // the journal of an earlier run.
    const QString base = FolderWithSlash(folder) +
                         QStringLiteral("orvella-%1-%2")
                             .arg(::getpid())
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    Journal = base + QStringLiteral(".journal");
    Lock = base + QStringLiteral(".lock");
    LockHandle = OpenLock(Lock, O_CREAT);
    if (LockHandle >= 0 && ::flock(LockHandle, LOCK_EX | LOCK_NB) != 0) {
        ::close(LockHandle);
        LockHandle = -1;
    }
}

TRecoveryJournal::~TRecoveryJournal() {
    QFile::remove(Journal);
    if (LockHandle >= 0) {
        QFile::remove(Lock);
        ::close(LockHandle);
    }
}

bool TRecoveryJournal::Write(const TJournalRecord& record) {
    // Without the lock a journal could be taken for a leftover while this run lives.
    if (LockHandle < 0) return false;
    if (record.Files.isEmpty()) {
        QFile::remove(Journal);
        return true;
    }
    // The journal is replaced whole by a rename, so a crash leaves the old record or the new one,
    // never a mix. It is not synced to disk: the work files it names are not either, so a sync
    // would buy nothing after a power loss, and on ext4 it waits for the writeback of every work
    // file just written (hundreds of milliseconds after a large effect, on the main thread).
    const QString temporary = Journal + QStringLiteral(".new");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = Encode(record);
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    if (!written || file.error() != QFileDevice::NoError ||
        std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(Journal).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

// --- leftovers ---

TLeftover::TLeftover(QString journal, QString lock, int lockHandle, TJournalRecord record)
    : Journal(std::move(journal))
    , Lock(std::move(lock))
    , LockHandle(lockHandle)
    , FRecord(std::move(record)) {}

TLeftover::TLeftover(TLeftover&& other) noexcept
    : Journal(std::move(other.Journal))
    , Lock(std::move(other.Lock))
    , LockHandle(std::exchange(other.LockHandle, -1))
    , FRecord(std::move(other.FRecord)) {}

TLeftover::~TLeftover() {
    if (LockHandle >= 0) ::close(LockHandle);
}

bool TLeftover::Recoverable() const {
    return FRecord.Modified && IsWorkFileBeside(FRecord.Current, Journal) &&
           QFileInfo(FRecord.Current).isFile();
}

void TLeftover::Discard() {
    for (const QString& file : FRecord.Files)
        if (IsWorkFileBeside(file, Journal)) QFile::remove(file);
    QFile::remove(Journal);
    QFile::remove(Lock);
}

QString TLeftover::Recover() {
    if (!Recoverable()) return {};
    QString target = FRecord.Current;
    target.chop(4);
    target += QStringLiteral(".wav");
    if (QFileInfo::exists(target) || !QFile::rename(FRecord.Current, target)) return {};
    FRecord.Files.removeAll(FRecord.Current);
    Discard();
    return target;
}

std::vector<TLeftover> FindLeftovers(const QString& folder) {
    const QDir dir(FolderWithSlash(folder));
    std::vector<TLeftover> found;
    const QFileInfoList journals = dir.entryInfoList({QStringLiteral("orvella-*.journal")},
                                                     QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo& info : journals) {
        const QString journal = info.absoluteFilePath();
        QString lock = journal;
        lock.chop(int(sizeof("journal") - 1));
        lock += QStringLiteral("lock");
        // The run removes its lock only after its journal, so a journal whose lock file is gone
        // belongs to a run that ended while closing; creating the lock afresh covers that case.
        const int handle = OpenLock(lock, O_CREAT);
        if (handle < 0) continue;
        if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
            ::close(handle); // a running Orvella's
            continue;
        }
        QFile file(journal);
        TJournalRecord record;
        if (!file.open(QIODevice::ReadOnly) || !Decode(file.readAll(), record)) {
            // Unreadable: nothing can be recovered from it, and nothing else is named.
            QFile::remove(journal);
            QFile::remove(lock);
            ::close(handle);
            continue;
        }
        found.emplace_back(journal, lock, handle, std::move(record));
    }
    return found;
}

} // namespace orvella
