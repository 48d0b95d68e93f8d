// What the saves need of the system: a file mapped for reading, a piece file
// created new (never over an existing one) and written whole, renames that
// never replace, and folders.
// One implementation per platform (file_io_posix.cpp, file_io_win.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

class TempFile;

class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    enum Outcome { Mapped, CannotOpen, CannotRead };
    // path in UTF-8. *reason: the system's words for a failure.
    Outcome Open(const std::string& path, std::string* reason);
    // The whole of a temporary file written so far; it stays mapped after
    // the TempFile is closed.
    Outcome Map(const TempFile& file, std::string* reason);
    const std::uint8_t* bytes() const { return bytes_; }
    std::uint64_t size() const { return size_; }
    // True once a read of the mapping failed (the file was cut short or its
    // medium went away): the bytes read as zeros since and are not the file's.
    bool Damaged() const;

private:
    Outcome MapWhole(std::string* reason);  // file_, opened
    const std::uint8_t* bytes_ = nullptr;  // null for an empty file
    std::uint64_t size_ = 0;
    std::intptr_t file_ = -1;     // descriptor or handle
    std::intptr_t mapping_ = 0;   // Windows: the mapping object
    void* guard_ = nullptr;       // Windows: the view's fault guard
};

// A new file in the system's temporary folder, for a decoded recording: it
// is written, then mapped, and is gone once its last handle and mapping are
// closed, however the program ends (Linux: unlinked at once; Windows: opened
// delete-on-close), so the recording never needs private memory of its size.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();
    bool Create(std::string* reason);
    // Appends; then WriteAt overwrites bytes already written (a header).
    bool Write(const void* bytes, std::size_t size, std::string* reason);
    bool WriteAt(std::uint64_t offset, const void* bytes, std::size_t size, std::string* reason);
    // The descriptor or HANDLE, for a caller that maps it itself.
    std::intptr_t handle() const { return file_; }

private:
    std::intptr_t file_ = -1;
};

enum class NewFileOutcome { Written, NotCreated, NotWritten };

// Creates `name` (UTF-8) only if it does not exist, writes head, body and
// tail, and removes it again if it could not be written completely.
NewFileOutcome WriteNewFile(const std::string& name, const std::uint8_t* head, std::size_t headSize,
                            const std::uint8_t* body, std::uint64_t bodySize, std::string* reason,
                            const std::uint8_t* tail = nullptr, std::size_t tailSize = 0);

// True when something (file, folder, link) has this name (UTF-8).
bool PathExists(const std::string& name);
// What has this name: nothing, a plain file, or something else (a folder).
enum class PathKind { None, File, Other };
PathKind KindOf(const std::string& name);

// Removes a piece written earlier in this run.
void RemoveFile(const std::string& name);
// Gives a file another name in the same folder, never over an existing one.
bool RenameNoReplace(const std::string& from, const std::string& to, std::string* reason);
// One folder whose parent exists; RemoveFolder removes it again only while empty.
bool MakeFolder(const std::string& name, std::string* reason);
void RemoveFolder(const std::string& name);

// Shift-JIS (code page 932) text as UTF-8; false when it is not such text.
bool Utf8FromShiftJis(const std::string& bytes, std::string* utf8);

}  // namespace tw
