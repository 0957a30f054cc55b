#include "editor/versioninfo.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace orvella {

namespace {

constexpr char Magic[] = "ORVELLA-VERSION-RECORD 1";

// Reads size bytes at offset, or nothing when they do not all lie within the file.
QByteArray ReadAt(QFile& file, uint64_t offset, uint64_t size) {
    const auto length = uint64_t(file.size());
    if (offset > length || size > length - offset) return {};
    if (!file.seek(qint64(offset))) return {};
    QByteArray bytes = file.read(qint64(size));
    return uint64_t(bytes.size()) == size ? bytes : QByteArray();
}

template <typename T> T Field(const QByteArray& bytes, size_t at) {
    T value{};
    std::memcpy(&value, bytes.constData() + at, sizeof value); // callers check the length
    return value;
}

struct TSection {
    uint32_t Name = 0;
    uint32_t Type = 0;
    uint64_t Offset = 0;
    uint64_t Size = 0;
};

constexpr uint32_t SHT_NOBITS_ = 8;

} // namespace

QByteArray ReadElfSection(const QString& path, const char* name, int64_t maxSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray ident = ReadAt(file, 0, 64);
    if (ident.size() < 52 || !ident.startsWith("\x7f"
                                               "ELF"))
        return {};
    const bool wide = ident[4] == 2;
    if (!wide && ident[4] != 1) return {};
    // Fields are read in this machine's order; only little-endian files are ours.
    if (ident[5] != 1) return {};
    if (wide && ident.size() < 64) return {};
    const uint64_t tableOffset = wide ? Field<uint64_t>(ident, 0x28) : Field<uint32_t>(ident, 0x20);
    const uint16_t entrySize = Field<uint16_t>(ident, wide ? 0x3A : 0x2E);
    const uint16_t count = Field<uint16_t>(ident, wide ? 0x3C : 0x30);
    const uint16_t namesIndex = Field<uint16_t>(ident, wide ? 0x3E : 0x32);
    const uint16_t needed = wide ? 64 : 40;
    if (tableOffset == 0 || count == 0 || entrySize < needed || namesIndex >= count) return {};
    const QByteArray table = ReadAt(file, tableOffset, uint64_t(count) * entrySize);
    if (table.isEmpty()) return {};
    auto section = [&](uint16_t index) {
        const size_t at = size_t(index) * entrySize;
        TSection s;
        s.Name = Field<uint32_t>(table, at);
        s.Type = Field<uint32_t>(table, at + 4);
        s.Offset = wide ? Field<uint64_t>(table, at + 0x18) : Field<uint32_t>(table, at + 0x10);
        s.Size = wide ? Field<uint64_t>(table, at + 0x20) : Field<uint32_t>(table, at + 0x14);
        return s;
    };
    const TSection namesSection = section(namesIndex);
    if (namesSection.Type == SHT_NOBITS_ || namesSection.Size > 16 * 1024 * 1024) return {};
    const QByteArray names = ReadAt(file, namesSection.Offset, namesSection.Size);
    const QByteArray wanted(name);
    for (uint16_t i = 0; i < count; ++i) {
        const TSection s = section(i);
        // The name must lie within the names section, ended by its zero byte.
        if (s.Name >= uint64_t(names.size())) continue;
        const qsizetype end = names.indexOf('\0', qsizetype(s.Name));
        if (end < 0 || names.mid(s.Name, end - qsizetype(s.Name)) != wanted) continue;
        if (s.Type == SHT_NOBITS_ || s.Size == 0 || s.Size > uint64_t(maxSize)) return {};
        return ReadAt(file, s.Offset, s.Size);
    }
    return {};
}

void TVersionInfo::Clear() {
    for (QString* text :
         {&LanguageInfo, &CompanyName, &FileDescription, &FileVersion, &InternalName,
          &LegalCopyright, &OriginalFilename, &ProductName, &ProductVersion, &Comments})
        text->clear();
    RecordSize = 0;
}

void TVersionInfo::SetFilename(const QString& name) {
    FFilename = name;
    Clear();
    if (!QFileInfo(name).isFile()) throw EFilerError(("File not found: " + name).toStdString());
    const QByteArray record = ReadElfSection(name, SectionName, MaxRecordSize);
    // The record ends at its first zero byte (the section holds a C string).
    const QByteArray text =
        record.left(record.indexOf('\0') < 0 ? record.size() : record.indexOf('\0'));
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.first() != Magic)
        throw EReadError(("Invalid version info record in file " + name).toStdString());
    RecordSize = text.size();

    QString language;
    for (const QByteArray& line : lines) {
        if (!line.startsWith("Translation=")) continue;
        const QByteArray value = line.mid(12);
        bool ok = value.size() == 8;
        if (ok) value.toUInt(&ok, 16);
        if (ok) language = QString::fromLatin1(value).toUpper();
        break;
    }
    if (language.isEmpty())
        throw EReadError(("Invalid language info in file " + name).toStdString());
    LanguageInfo = language;

    const QString prefix = QStringLiteral("StringFileInfo\\") + language + QLatin1Char('\\');
    auto lookup = [&](const char* key) {
        const QString start = prefix + QLatin1String(key) + QLatin1Char('=');
        for (const QByteArray& line : lines) {
            const QString decoded = QString::fromUtf8(line);
            if (decoded.startsWith(start, Qt::CaseInsensitive)) return decoded.mid(start.size());
        }
        return QStringLiteral("n/a");
    };
    CompanyName = lookup("CompanyName");
    FileDescription = lookup("FileDescription");
    FileVersion = lookup("FileVersion");
    InternalName = lookup("InternalName");
    LegalCopyright = lookup("LegalCopyright");
    OriginalFilename = lookup("OriginalFilename");
    ProductName = lookup("ProductName");
    ProductVersion = lookup("ProductVersion");
    Comments = lookup("Comments");
}

QString TVersionInfo::GetBuildOnly() const {
    const qsizetype dot = FileVersion.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? FileVersion : FileVersion.mid(dot + 1);
}

} // namespace orvella
