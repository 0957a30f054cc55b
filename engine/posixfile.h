#pragma once
// Files through POSIX descriptors: an owning descriptor, and reads and writes that move every
// byte asked for. Every store and reader of files goes through these, so that a signal (EINTR), a
// short count and a full volume are handled alike everywhere.
//
// Thread rule: a TFileDescriptor belongs to one owner. The positioned reads and writes (with an
// offset) may run on several threads at once on one descriptor; the sequential ones may not.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace orvella {

// The text a write reports when the volume is full or the user's disk quota is used up.
extern const char* const NotEnoughSpaceText;

class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd)
        : Fd(fd) {}
    ~TFileDescriptor() { Reset(); }
    TFileDescriptor(TFileDescriptor&& other) noexcept
        : Fd(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept;
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    // Opens path with flags (O_CLOEXEC is always added), retrying after a signal. On failure the
    // result is not open and errno tells why.
    static TFileDescriptor Open(const std::string& path, int flags, mode_t mode = 0600);
    // Opens path for writing as an empty file, created when missing (flags: O_WRONLY or O_RDWR,
    // plus any others but O_TRUNC). An existing file is emptied, but an empty one is not
    // truncated: ext4 takes a truncation to empty for a file being replaced and writes all of
    // its new data to disk at close, which the writer of a large work file would wait for.
    static TFileDescriptor OpenEmpty(const std::string& path, int flags, mode_t mode = 0600);

    bool IsOpen() const { return Fd >= 0; }
    int Get() const { return Fd; }
    // Gives up ownership: the caller closes the returned descriptor.
    int Release() noexcept;
    // Closes the descriptor, if any, ignoring errors (for paths that already fail).
    void Reset() noexcept;
    // Closes the descriptor; false, with errno set, when the system reports an error (a write
    // that did not reach the file). Nothing to close counts as success.
    bool Close();

private:
    int Fd = -1;
};

// Reads until count bytes or the end of the file, at offset or (without one) at the file
// position: the bytes read, fewer only at the end of the file, or -1 with errno set.
int64_t ReadFully(int fd, void* buffer, size_t count, int64_t offset);
int64_t ReadFully(int fd, void* buffer, size_t count);
// Writes all count bytes, at offset or at the file position: true, or false with errno set
// (EIO when the system accepts no byte without saying why).
bool WriteFully(int fd, const void* buffer, size_t count, int64_t offset);
bool WriteFully(int fd, const void* buffer, size_t count);

// Raises Exception for a file call that failed with code: NotEnoughSpaceText for ENOSPC and
// EDQUOT, the system's text (SystemErrorText) for every other code.
[[noreturn]] void RaiseFileError(int code);

} // namespace orvella
