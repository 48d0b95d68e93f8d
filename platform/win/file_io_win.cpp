// The files of tarnwick-split on Windows: a read-only file mapping, and
// CREATE_NEW for the pieces. Names arrive as UTF-8 and are opened wide, so a
// name outside the code page is still the file named.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/support/file_io.h"
#include "platform/win/text_win.h"
#include "platform/win/view_guard_win.h"

namespace tw {

namespace {

std::wstring WidePath(const std::string& path) { return LongPathForm(WideFromUtf8(path)); }

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

namespace {

bool WriteAll(HANDLE file, const std::uint8_t* p, std::uint64_t size, DWORD* error) {
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, p, want, &written, nullptr)) {
            *error = GetLastError();
            return false;
        }
        if (written == 0) {
            *error = ERROR_DISK_FULL;
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}

}  // namespace

MappedFile::~MappedFile() {
    if (guard_) ReleaseGuardedView(static_cast<GuardedView*>(guard_));
    if (mapping_) CloseHandle(AsHandle(mapping_));
    if (file_ != -1) CloseHandle(AsHandle(file_));
}

MappedFile::Outcome MappedFile::Open(const std::string& path, std::string* reason) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *reason = SystemErrorText(GetLastError());
        return CannotOpen;
    }
    file_ = reinterpret_cast<std::intptr_t>(h);
    return MapWhole(reason);
}

// The file_ opened: its whole length mapped.
MappedFile::Outcome MappedFile::MapWhole(std::string* reason) {
    HANDLE h = AsHandle(file_);
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        *reason = SystemErrorText(GetFileType(h) != FILE_TYPE_DISK ? ERROR_INVALID_FUNCTION : GetLastError());
        return CannotRead;
    }
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    if (size_ == 0) return Mapped;  // nothing to map (and an empty mapping is refused)
    HANDLE mapping = CreateFileMappingW(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        *reason = SystemErrorText(GetLastError());
        size_ = 0;
        return CannotRead;
    }
    mapping_ = reinterpret_cast<std::intptr_t>(mapping);
    bytes_ = static_cast<const std::uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (!bytes_) {
        *reason = SystemErrorText(GetLastError());
        size_ = 0;
        return CannotRead;
    }
    guard_ = GuardView(const_cast<std::uint8_t*>(bytes_), static_cast<std::size_t>(size_));
    return Mapped;
}

MappedFile::Outcome MappedFile::Map(const TempFile& temp, std::string* reason) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), AsHandle(temp.handle()), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        *reason = SystemErrorText(GetLastError());
        return CannotRead;
    }
    file_ = reinterpret_cast<std::intptr_t>(copy);
    return MapWhole(reason);
}

TempFile::~TempFile() {
    if (file_ != -1) CloseHandle(AsHandle(file_));
}

bool TempFile::Create(std::string* reason) {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    // GetTempFileName makes the name unique by creating an empty file, which
    // is opened again here to be deleted on close.
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"twk", 0, name)) {
        *reason = SystemErrorText(GetLastError());
        return false;
    }
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *reason = SystemErrorText(GetLastError());
        DeleteFileW(name);
        return false;
    }
    file_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool TempFile::WriteAt(std::uint64_t offset, const void* bytes, std::size_t size, std::string* reason) {
    LARGE_INTEGER to, was{}, zero{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    HANDLE h = AsHandle(file_);
    DWORD error = 0;
    const bool ok = SetFilePointerEx(h, zero, &was, FILE_CURRENT) && SetFilePointerEx(h, to, nullptr, FILE_BEGIN) &&
                    WriteAll(h, static_cast<const std::uint8_t*>(bytes), size, &error) &&
                    SetFilePointerEx(h, was, nullptr, FILE_BEGIN);
    if (!ok) *reason = SystemErrorText(error ? error : GetLastError());
    return ok;
}

bool TempFile::Write(const void* bytes, std::size_t size, std::string* reason) {
    DWORD error = 0;
    if (WriteAll(AsHandle(file_), static_cast<const std::uint8_t*>(bytes), size, &error)) return true;
    *reason = SystemErrorText(error);
    return false;
}

bool MappedFile::Damaged() const { return ViewDamaged(static_cast<const GuardedView*>(guard_)); }

NewFileOutcome WriteNewFile(const std::string& name, const std::uint8_t* head, std::size_t headSize,
                            const std::uint8_t* body, std::uint64_t bodySize, std::string* reason,
                            const std::uint8_t* tail, std::size_t tailSize) {
    const std::wstring wide = WidePath(name);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *reason = SystemErrorText(GetLastError());
        return NewFileOutcome::NotCreated;
    }
    DWORD error = 0;
    bool ok = WriteAll(file, head, headSize, &error) && WriteAll(file, body, bodySize, &error) &&
              WriteAll(file, tail, tailSize, &error);
    if (!CloseHandle(file) && ok) {
        ok = false;
        error = GetLastError();
    }
    if (ok) return NewFileOutcome::Written;
    DeleteFileW(wide.c_str());  // no piece whose header claims more than it holds
    *reason = SystemErrorText(error);
    return NewFileOutcome::NotWritten;
}

bool PathExists(const std::string& name) {
    return GetFileAttributesW(WidePath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

PathKind KindOf(const std::string& name) {
    const DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::None;
    return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE) ? PathKind::Other : PathKind::File;
}

void RemoveFile(const std::string& name) { DeleteFileW(WidePath(name).c_str()); }

bool RenameNoReplace(const std::string& from, const std::string& to, std::string* reason) {
    // Without MOVEFILE_REPLACE_EXISTING an existing name is never replaced.
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), 0)) return true;
    *reason = SystemErrorText(GetLastError());
    return false;
}

bool MakeFolder(const std::string& name, std::string* reason) {
    if (CreateDirectoryW(WidePath(name).c_str(), nullptr)) return true;
    *reason = SystemErrorText(GetLastError());
    return false;
}

void RemoveFolder(const std::string& name) { RemoveDirectoryW(WidePath(name).c_str()); }

bool Utf8FromShiftJis(const std::string& bytes, std::string* utf8) {
    if (bytes.empty()) {
        utf8->clear();
        return true;
    }
    const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    *utf8 = Utf8FromWide(wide);
    return true;
}

}  // namespace tw
