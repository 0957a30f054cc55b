#include "engine/posixfile.h"

#include <sys/stat.h>

#include "engine/errors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvella {

const char* const NotEnoughSpaceText =
    "There is not enough memory or disk space to complete the operation.";

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& other) noexcept {
    if (this != &other) {
        Reset();
        Fd = other.Release();
    }
    return *this;
}

TFileDescriptor TFileDescriptor::Open(const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return TFileDescriptor(fd);
}

TFileDescriptor TFileDescriptor::OpenEmpty(const std::string& path, int flags, mode_t mode) {
    TFileDescriptor file = Open(path, (flags & ~O_TRUNC) | O_CREAT, mode);
    if (!file.IsOpen()) return file;
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0 || (st.st_size != 0 && ::ftruncate(file.Get(), 0) != 0)) {
        const int code = errno;
        file.Reset();
        errno = code;
    }
    return file;
}

int TFileDescriptor::Release() noexcept {
    const int fd = Fd;
    Fd = -1;
    return fd;
}

void TFileDescriptor::Reset() noexcept {
    if (Fd >= 0) {
        const int saved = errno; // keep the code of the failure that led here
        ::close(Fd);
        errno = saved;
    }
    Fd = -1;
}

bool TFileDescriptor::Close() {
    if (Fd < 0) return true;
    // Linux releases the descriptor even when close fails (also on EINTR): never retry.
    return ::close(Release()) == 0;
}

namespace {

// Calls step(done) until count bytes are moved; step moves bytes from done on and returns what
// the system call returned. A signal (EINTR) retries, a short count continues. The bytes moved,
// fewer when a step moved none, or -1 with errno set.
template <typename TStep> int64_t MoveAll(size_t count, TStep step) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = step(done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return int64_t(done);
}

// A write's MoveAll result as success: all count bytes, else false with errno set (EIO when the
// system accepted no byte without saying why).
bool Written(int64_t moved, size_t count) {
    if (moved < 0) return false;
    if (size_t(moved) == count) return true;
    errno = EIO;
    return false;
}

// A positioned call's offset: false, with errno EINVAL, when it is negative.
bool ValidOffset(int64_t offset) {
    if (offset >= 0) return true;
    errno = EINVAL;
    return false;
}

} // namespace

int64_t ReadFully(int fd, void* buffer, size_t count, int64_t offset) {
    if (!ValidOffset(offset)) return -1;
    auto* bytes = static_cast<uint8_t*>(buffer);
    return MoveAll(count, [&](size_t done) {
        return ::pread(fd, bytes + done, count - done, off_t(offset + done));
    });
}

int64_t ReadFully(int fd, void* buffer, size_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    return MoveAll(count, [&](size_t done) { return ::read(fd, bytes + done, count - done); });
}

bool WriteFully(int fd, const void* buffer, size_t count, int64_t offset) {
    if (!ValidOffset(offset)) return false;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    const auto step = [&](size_t done) {
        return ::pwrite(fd, bytes + done, count - done, off_t(offset + done));
    };
    return Written(MoveAll(count, step), count);
}

bool WriteFully(int fd, const void* buffer, size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    const auto step = [&](size_t done) { return ::write(fd, bytes + done, count - done); };
    return Written(MoveAll(count, step), count);
}

void RaiseFileError(int code) {
    if (code == ENOSPC || code == EDQUOT) throw Exception(NotEnoughSpaceText);
    throw Exception(SystemErrorText(code));
}

} // namespace orvella
