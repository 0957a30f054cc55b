#pragma once
// Reading the update information, a small XML file in the PAD format: the latest version and the
// download address, found by element name below the root element. The root's own name is not
// checked and everything else in the file is ignored.
// Thread rule: plain function, any thread.

#include <QByteArray>
#include <QString>

namespace orvella {

struct TPadInfo {
    QString Version;     // Program_Info/Program_Version, surrounding white space removed
    QString DownloadURL; // Web_Info/Download_URLs/Primary_Download_URL, likewise
    // Empty when both were read; otherwise a sentence for the user naming what is wrong or
    // missing, and the two fields above are empty.
    QString Error;
};

// The encoding is taken from the document itself (byte order mark or XML declaration).
TPadInfo ReadPadFile(const QByteArray& bytes);

} // namespace orvella
