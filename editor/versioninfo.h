#pragma once
// TVersionInfo reads the version record a program file carries: the section
// ".orvella_version" of an ELF file, written by the build (versionrecord.cpp.in). Assigning
// Filename reads the record at once and fills the strings; a key the record lacks reads "n/a".
//
// The record is text: the line "ORVELLA-VERSION-RECORD 1", a line "Translation=LLLLCCCC" (the
// language and code page, four hexadecimal digits each), then lines
// "StringFileInfo\LLLLCCCC\Key=Value". The file is untrusted: every offset and size read from it
// is checked against the file before use, and a record is at most MaxRecordSize bytes.
//
// Thread rule: an object is used by one thread at a time.

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace orvella {

// A missing file: "File not found: " + the name.
class EFilerError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};
// No record, a damaged one, or one without a language.
class EReadError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TVersionInfo {
public:
    static constexpr int64_t MaxRecordSize = 64 * 1024;
    static constexpr char SectionName[] = ".orvella_version";

    const QString& Filename() const { return FFilename; }
    // Reads name's record. Throws EFilerError or EReadError (the strings are then empty).
    void SetFilename(const QString& name);

    QString LanguageInfo;
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString OriginalFilename;
    QString ProductName;
    QString ProductVersion;
    QString Comments;

    // The part of FileVersion after its last "."; all of it when it has none.
    QString GetBuildOnly() const;

private:
    void Clear();
    QString FFilename;
    int64_t RecordSize = 0;
};

// The raw bytes of the named section of an ELF file; empty when the file is not an ELF file of
// this machine's byte order, has no such section, or describes it outside the file. Sections
// larger than maxSize count as absent.
QByteArray ReadElfSection(const QString& path, const char* name, int64_t maxSize);

} // namespace orvella
