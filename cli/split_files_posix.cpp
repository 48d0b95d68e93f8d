// The files of tarnwick-split on Linux: mmap for reading, O_CREAT | O_EXCL for
// the pieces.
#include "cli/split_files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace tw {

MappedFile::~MappedFile() {
    if (bytes_) munmap(const_cast<std::uint8_t*>(bytes_), static_cast<std::size_t>(size_));
    if (file_ >= 0) close(static_cast<int>(file_));
}

MappedFile::Outcome MappedFile::Open(const std::string& path, std::string* reason) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return CannotOpen;
    }
    file_ = fd;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *reason = std::strerror(errno);
        return CannotRead;
    }
    // A folder or a device has no bytes to map (and a pipe may never end).
    if (!S_ISREG(st.st_mode)) {
        *reason = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        return CannotRead;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    if (size_ == 0) return Mapped;
    void* p = mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (p == MAP_FAILED) {
        *reason = std::strerror(errno);
        size_ = 0;
        return CannotRead;
    }
    bytes_ = static_cast<const std::uint8_t*>(p);
    return Mapped;
}

namespace {

bool WriteAll(int fd, const std::uint8_t* p, std::uint64_t size, int* error) {
    while (size > 0) {
        // Linux writes at most about 2 GiB per call; ask for no more.
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, 1u << 30));
        const ssize_t n = write(fd, p, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *error = n < 0 ? errno : ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

NewFileOutcome WriteNewFile(const std::string& name, const std::uint8_t* head, std::size_t headSize,
                            const std::uint8_t* body, std::uint64_t bodySize, std::string* reason) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return NewFileOutcome::NotCreated;
    }
    int error = 0;
    bool ok = WriteAll(fd, head, headSize, &error) && WriteAll(fd, body, bodySize, &error);
    // A full disk can show only at close on some file systems.
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) return NewFileOutcome::Written;
    unlink(name.c_str());  // no piece whose header claims more than it holds
    *reason = std::strerror(error);
    return NewFileOutcome::NotWritten;
}

}  // namespace tw
