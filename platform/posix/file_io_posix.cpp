// The files of tarnwick-split on Linux: mmap for reading, O_CREAT | O_EXCL for
// the pieces.
#include "core/support/file_io.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <iconv.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tw {

namespace {

// The one mapping being read (a run reads one file at a time). Should its
// pages go away (the file cut short by another program), a read raises
// SIGBUS: the handler puts zero pages in the mapping's place, notes the
// damage and lets the read go on, so the run can report the file instead of
// dying half-way.
std::atomic<std::uint8_t*> g_base{nullptr};
std::atomic<std::size_t> g_size{0};
std::atomic<bool> g_damaged{false};
struct sigaction g_previous;

void OnBusError(int signal, siginfo_t* info, void*) {
    auto* at = static_cast<std::uint8_t*>(info->si_addr);
    std::uint8_t* base = g_base.load();
    const std::size_t size = g_size.load();
    if (base && at >= base && at < base + size &&
        mmap(base, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
        g_damaged.store(true);
        return;
    }
    sigaction(signal, &g_previous, nullptr);  // not ours: the fault ends the program as before
}

void Guard(const std::uint8_t* base, std::size_t size) {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, &g_previous) == 0;
    }();
    (void)installed;
    g_damaged.store(false);
    g_size.store(size);
    g_base.store(const_cast<std::uint8_t*>(base));
}

}  // namespace

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

bool MappedFile::Damaged() const { return bytes_ && bytes_ == g_base.load() && g_damaged.load(); }

MappedFile::~MappedFile() {
    if (bytes_ && bytes_ == g_base.load()) g_base.store(nullptr);
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
    return MapWhole(reason);
}

// The file_ opened: its whole length mapped.
MappedFile::Outcome MappedFile::MapWhole(std::string* reason) {
    struct stat st;
    if (fstat(static_cast<int>(file_), &st) != 0) {
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
    void* p = mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_PRIVATE | MAP_POPULATE, static_cast<int>(file_), 0);
    if (p == MAP_FAILED) {
        *reason = std::strerror(errno);
        size_ = 0;
        return CannotRead;
    }
    bytes_ = static_cast<const std::uint8_t*>(p);
    Guard(bytes_, static_cast<std::size_t>(size_));
    return Mapped;
}

MappedFile::Outcome MappedFile::Map(const TempFile& temp, std::string* reason) {
    const int fd = fcntl(static_cast<int>(temp.handle()), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return CannotRead;
    }
    file_ = fd;
    return MapWhole(reason);
}

TempFile::~TempFile() {
    if (file_ >= 0) close(static_cast<int>(file_));
}

bool TempFile::Create(std::string* reason) {
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder && *folder ? folder : "/tmp") + "/tarnwick-XXXXXX";
    const int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    unlink(name.c_str());  // the descriptor and the mapping keep it while they last
    file_ = fd;
    return true;
}

bool TempFile::Write(const void* bytes, std::size_t size, std::string* reason) {
    int error = 0;
    if (WriteAll(static_cast<int>(file_), static_cast<const std::uint8_t*>(bytes), size, &error)) return true;
    *reason = std::strerror(error);
    return false;
}

bool TempFile::WriteAt(std::uint64_t offset, const void* bytes, std::size_t size, std::string* reason) {
    const ssize_t n = pwrite(static_cast<int>(file_), bytes, size, static_cast<off_t>(offset));
    if (n == static_cast<ssize_t>(size)) return true;
    *reason = std::strerror(n < 0 ? errno : ENOSPC);
    return false;
}

NewFileOutcome WriteNewFile(const std::string& name, const std::uint8_t* head, std::size_t headSize,
                            const std::uint8_t* body, std::uint64_t bodySize, std::string* reason,
                            const std::uint8_t* tail, std::size_t tailSize) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return NewFileOutcome::NotCreated;
    }
    int error = 0;
    bool ok = WriteAll(fd, head, headSize, &error) && WriteAll(fd, body, bodySize, &error) &&
              WriteAll(fd, tail, tailSize, &error);
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

bool PathExists(const std::string& name) {
    struct stat st;
    return lstat(name.c_str(), &st) == 0;
}

PathKind KindOf(const std::string& name) {
    struct stat st;
    if (lstat(name.c_str(), &st) != 0) return PathKind::None;
    return S_ISREG(st.st_mode) ? PathKind::File : PathKind::Other;
}

void RemoveFile(const std::string& name) { unlink(name.c_str()); }

bool RenameNoReplace(const std::string& from, const std::string& to, std::string* reason) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) {
        *reason = std::strerror(errno);
        return false;
    }
    // A file system without the flag: a hard link fails on an existing name.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    *reason = std::strerror(errno);
    return false;
}

bool MakeFolder(const std::string& name, std::string* reason) {
    if (mkdir(name.c_str(), 0777) == 0) return true;
    *reason = std::strerror(errno);
    return false;
}

void RemoveFolder(const std::string& name) { rmdir(name.c_str()); }

bool Utf8FromShiftJis(const std::string& bytes, std::string* utf8) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string out(bytes.size() * 3 + 4, '\0');  // at most 3 bytes of UTF-8 per byte
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size(), outLeft = out.size();
    char* to = &out[0];
    const bool whole = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
    iconv_close(cd);
    if (!whole) return false;
    out.resize(out.size() - outLeft);
    *utf8 = out;
    return true;
}

}  // namespace tw
