#include "editor/updatecheck_padfile.h"

#include <QDomDocument>
#include <QDomElement>
#include <QStringList>

#include <initializer_list>

namespace orvella {
namespace {

// The text of the element at path below root, or the sentence naming the first missing step.
bool ReadElement(const QDomElement& root, std::initializer_list<const char*> path, QString& text,
                 QString& error) {
    QStringList names;
    for (const char* name : path)
        names << QString::fromLatin1(name);
    QDomElement element = root;
    for (const QString& name : names) {
        element = element.firstChildElement(name);
        if (element.isNull()) {
            error = QStringLiteral("The update information has no element %1 (%2 is missing).")
                        .arg(names.join(u'/'), name);
            return false;
        }
    }
    text = element.text().trimmed();
    return true;
}

} // namespace

TPadInfo ReadPadFile(const QByteArray& bytes) {
    TPadInfo info;
    QDomDocument document;
    QString message;
    int line = 0, column = 0;
    if (!document.setContent(bytes, false, &message, &line, &column)) {
        info.Error = QStringLiteral("The update information is not well-formed XML: %1 (line %2, "
                                    "column %3).")
                         .arg(message)
                         .arg(line)
                         .arg(column);
        return info;
    }
    const QDomElement root = document.documentElement();
    QString version, url;
    if (!ReadElement(root, {"Program_Info", "Program_Version"}, version, info.Error) ||
        !ReadElement(root, {"Web_Info", "Download_URLs", "Primary_Download_URL"}, url, info.Error))
        return info;
    info.Version = version;
    info.DownloadURL = url;
    return info;
}

} // namespace orvella
