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

// offset < 0: at the file position.
int64_t ReadLoop(int fd, void* buffer, size_t count, int64_t offset) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = offset < 0
                              ? ::read(fd, bytes + done, count - done)
                              : ::pread(fd, bytes + done, count - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return int64_t(done);
}

bool WriteLoop(int fd, const void* buffer, size_t count, int64_t offset) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = offset < 0
                              ? ::write(fd, bytes + done, count - done)
                              : ::pwrite(fd, bytes + done, count - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

} // namespace

int64_t ReadFully(int fd, void* buffer, size_t count, int64_t offset) {
    if (offset < 0) {
        errno = EINVAL;
        return -1;
    }
    return ReadLoop(fd, buffer, count, offset);
}

int64_t ReadFully(int fd, void* buffer, size_t count) {
    return ReadLoop(fd, buffer, count, -1);
}

bool WriteFully(int fd, const void* buffer, size_t count, int64_t offset) {
    if (offset < 0) {
        errno = EINVAL;
        return false;
    }
    return WriteLoop(fd, buffer, count, offset);
}

bool WriteFully(int fd, const void* buffer, size_t count) {
    return WriteLoop(fd, buffer, count, -1);
}

void RaiseFileError(int code) {
    if (code == ENOSPC || code == EDQUOT) throw Exception(NotEnoughSpaceText);
    throw Exception(SystemErrorText(code));
}

} // namespace orvella
