#pragma once
// A file opened for reading only, closed when the object goes. The MPEG header and tag readers use
// it for their short positioned reads; every read reports how many bytes it really got, so callers
// can check each field against what was read.

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace orvella {

class TReadOnlyFile {
public:
    explicit TReadOnlyFile(const std::string& fileName) {
        do {
            Fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        } while (Fd < 0 && errno == EINTR);
    }
    ~TReadOnlyFile() {
        if (Fd >= 0) ::close(Fd);
    }
    TReadOnlyFile(const TReadOnlyFile&) = delete;
    TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

    bool IsOpen() const { return Fd >= 0; }
    // -1 on failure.
    int64_t Size() const {
        struct stat st {};
        if (Fd < 0 || ::fstat(Fd, &st) != 0) return -1;
        return int64_t(st.st_size);
    }
    // Reads up to count bytes at offset; returns the bytes read (short at the end of the file) or
    // -1 on a read error or a negative offset.
    int64_t ReadAt(int64_t offset, void* buffer, size_t count) const {
        if (Fd < 0 || offset < 0) return -1;
        size_t done = 0;
        while (done < count) {
            ssize_t n = ::pread(Fd, static_cast<uint8_t*>(buffer) + done, count - done,
                                off_t(offset + int64_t(done)));
            if (n < 0) {
                if (errno == EINTR) continue;
                return -1;
            }
            if (n == 0) break;
            done += size_t(n);
        }
        return int64_t(done);
    }

private:
    int Fd = -1;
};

} // namespace orvella
