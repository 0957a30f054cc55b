#pragma once
// A file opened for reading only, closed when the object goes. The MPEG header and tag readers use
// it for their short positioned reads; every read reports how many bytes it really got, so callers
// can check each field against what was read.
// Thread rule: reads may run on several threads at once.

#include "engine/posixfile.h"

#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace orvella {

class TReadOnlyFile {
public:
    explicit TReadOnlyFile(const std::string& fileName)
        : File(TFileDescriptor::Open(fileName, O_RDONLY)) {}

    bool IsOpen() const { return File.IsOpen(); }
    // -1 on failure.
    int64_t Size() const {
        struct stat st {};
        if (!File.IsOpen() || ::fstat(File.Get(), &st) != 0) return -1;
        return int64_t(st.st_size);
    }
    // Reads up to count bytes at offset; returns the bytes read (short at the end of the file) or
    // -1 on a read error or a negative offset.
    int64_t ReadAt(int64_t offset, void* buffer, size_t count) const {
        if (!File.IsOpen()) return -1;
        return ReadFully(File.Get(), buffer, count, offset);
    }

private:
    TFileDescriptor File;
};

} // namespace orvella
