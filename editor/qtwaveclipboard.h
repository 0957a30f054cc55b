#pragma once
// The document's clipboard over the desktop's (QClipboard), shared with other programs.
//
// A copy offers the clip block (a complete WAV file: the 44-byte header, then the values) under
// audio/wav, audio/x-wav and audio/vnd.wave. A paste takes the first of those types the clipboard
// holds, or, failing that, a text/uri-list naming exactly one local .wav, .mp3 or .wma file (what
// a file manager's copy leaves). What other programs offer is read as the imports read files
// (editor/clipimport.h), so GetWave always returns a block of our layout.
//
// Thread rule: Open, Close, HasWave, GetWave and SetWave are called from the body's worker thread
// (or the GUI thread); they reach QClipboard only inside mainThread.Synchronize, and the work on
// the bytes (copying, importing) stays on the calling thread, so a large clip never stalls the
// window. WaveAvailable, the signal and the setters belong to the GUI thread; the setters are
// called before a body runs. Construct and destroy on the GUI thread, after QGuiApplication.

#include "engine/codecservices.h"
#include "engine/mainthread.h"
#include "engine/waveclipboard.h"

#include <QObject>
#include <QStringList>

#include <mutex>
#include <string>
#include <vector>

class QMimeData;

namespace orvella {

class TQtWaveClipboard : public QObject, public TWaveClipboard {
    Q_OBJECT
public:
    explicit TQtWaveClipboard(TMainThread& mainThread, QObject* parent = nullptr);
    ~TQtWaveClipboard() override;

    // Fails with "Cannot open clipboard" while another body has it open.
    void Open() override;
    void Close() override;
    bool HasWave() override;
    // Fails with "The clipboard does not hold valid wave data." when what the clipboard holds
    // cannot be read as sound, with the import's message for a named file that cannot be decoded.
    std::vector<uint8_t> GetWave() override;
    void SetWave(std::vector<uint8_t> block) override;

    // GUI thread: the clipboard holds something Paste can take (Paste may be enabled).
    bool WaveAvailable() const { return Available; }

    // Where the temporary files of an import go (default: the engine's default temporary folder).
    void SetTempFolder(const std::string& folder);
    // The decoders for a named file (default: the codecs' decoders, their boxes not shown).
    void SetDecoders(std::vector<TDecoderRow> decoders);

    // The types a clip is offered under, in the order a paste prefers them.
    static const QStringList& WaveTypes();
    // The local sound file a text/uri-list of data names, or empty: exactly one local file with
    // the extension .wav, .mp3 or .wma.
    static QString SoundFileIn(const QMimeData* data);

signals:
    void WaveAvailabilityChanged(bool available);

private:
    void ClipboardChanged();

    TMainThread& MainThread;
    bool Available = false;

    std::mutex Lock; // guards what follows
    bool IsOpen = false;
    std::string TempFolder;
    std::vector<TDecoderRow> Decoders;
};

} // namespace orvella
