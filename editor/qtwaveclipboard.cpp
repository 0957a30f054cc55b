#include "editor/qtwaveclipboard.h"

#include "codecs/codectable.h"
#include "editor/clipimport.h"
#include "engine/enginesettings.h"
#include "engine/errors.h"
#include "engine/pathnames.h"
#include "engine/userdialogs.h"
#include "engine/waveclip.h"

#include <QByteArray>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <cstring>
#include <memory>
#include <new>

namespace orvella {

namespace {

// The boxes a decoder shows about a file's tags have no place in a paste.
class TQuietDialogs : public TUserDialogs {
public:
    void ShowError(const std::string&) override {}
    void ShowMessage(const std::string&, const std::string&, TMessageIcon) override {}
};

std::vector<TDecoderRow> QuietDecoders() {
    static TQuietDialogs quiet;
    return DefaultCodecServices(quiet).Decoders;
}

bool HoldsWave(const QMimeData* data) {
    if (!data) return false;
    for (const QString& type : TQtWaveClipboard::WaveTypes())
        if (data->hasFormat(type)) return true;
    return !TQtWaveClipboard::SoundFileIn(data).isEmpty();
}

// What a paste takes from the clipboard, fetched on the GUI thread and used on the worker: the
// bytes of a wave type (shared with the clipboard's copy, never copied here), or a file's path.
struct TOffer {
    QByteArray Wave;
    bool HasWave = false;
    QString File;
};

} // namespace

TQtWaveClipboard::TQtWaveClipboard(TMainThread& mainThread, QObject* parent)
    : QObject(parent)
    , MainThread(mainThread)
    , TempFolder(TEngineSettings::DefaultTempFolder())
    , Decoders(QuietDecoders()) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    connect(clipboard, &QClipboard::dataChanged, this, &TQtWaveClipboard::ClipboardChanged);
    Available = HoldsWave(clipboard->mimeData(QClipboard::Clipboard));
}

TQtWaveClipboard::~TQtWaveClipboard() = default;

const QStringList& TQtWaveClipboard::WaveTypes() {
    static const QStringList types = {"audio/wav", "audio/x-wav", "audio/vnd.wave"};
    return types;
}

QString TQtWaveClipboard::SoundFileIn(const QMimeData* data) {
    if (!data || !data->hasFormat("text/uri-list")) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    const std::string extension = LowerExtension(path.toStdString());
    if (extension != ".wav" && extension != ".mp3" && extension != ".wma") return {};
    return path;
}

void TQtWaveClipboard::SetTempFolder(const std::string& folder) {
    std::lock_guard<std::mutex> guard(Lock);
    TempFolder = folder;
}

void TQtWaveClipboard::SetDecoders(std::vector<TDecoderRow> decoders) {
    std::lock_guard<std::mutex> guard(Lock);
    Decoders = std::move(decoders);
}

void TQtWaveClipboard::ClipboardChanged() {
    const bool available = HoldsWave(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
    if (available == Available) return;
    Available = available;
    emit WaveAvailabilityChanged(available);
}

void TQtWaveClipboard::Open() {
    std::lock_guard<std::mutex> guard(Lock);
    if (IsOpen) throw Exception("Cannot open clipboard");
    IsOpen = true;
}

void TQtWaveClipboard::Close() {
    std::lock_guard<std::mutex> guard(Lock);
    IsOpen = false;
}

bool TQtWaveClipboard::HasWave() {
    bool holds = false;
    MainThread.Synchronize([&holds] {
        holds = HoldsWave(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
    });
    return holds;
}

std::vector<uint8_t> TQtWaveClipboard::GetWave() {
    TOffer offer;
    MainThread.Synchronize([&offer] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        if (!data) return;
        for (const QString& type : WaveTypes()) {
            if (!data->hasFormat(type)) continue;
            offer.Wave = data->data(type);
            offer.HasWave = true;
            return;
        }
        offer.File = SoundFileIn(data);
    });
    std::string tempFolder;
    std::vector<TDecoderRow> decoders;
    {
        std::lock_guard<std::mutex> guard(Lock);
        tempFolder = TempFolder;
        if (!offer.HasWave) decoders = Decoders;
    }
    if (offer.HasWave) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(offer.Wave.constData());
        return ClipFromWaveBytes(bytes, size_t(offer.Wave.size()), tempFolder);
    }
    if (offer.File.isEmpty()) throw Exception(InvalidClipText);
    return ClipFromSoundFile(offer.File.toStdString(), decoders, tempFolder);
}

void TQtWaveClipboard::SetWave(std::vector<uint8_t> block) {
    // The bytes are copied here, on the caller's thread; the GUI thread only takes the finished
    // QMimeData. All three types share the one QByteArray.
    auto data = std::make_unique<QMimeData>();
    {
        QByteArray bytes;
        try {
            bytes.resize(qsizetype(block.size()));
        } catch (const std::bad_alloc&) {
            throw Exception("Could not allocate memory for clipboard.");
        }
        if (!block.empty()) std::memcpy(bytes.data(), block.data(), block.size());
        std::vector<uint8_t>().swap(block);
        for (const QString& type : WaveTypes())
            data->setData(type, bytes);
    }
    data->moveToThread(QCoreApplication::instance()->thread());
    MainThread.Synchronize([&data] {
        QGuiApplication::clipboard()->setMimeData(data.release(), QClipboard::Clipboard);
    });
}

} // namespace orvella
