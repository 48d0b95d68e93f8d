// The loaded recording's memory (a private block or a view of the file) and
// the current-recording state.
#include "shell/workers/wave_data_win.h"

#include "platform/win/handles_win.h"
#include "platform/win/view_guard_win.h"
#include "shell/workers/worker_state_win.h"

#include <atomic>
#include <memory>
#include <vector>

namespace tw {

// Declared in the order of making, so the view goes first, then the mapping,
// then the file.
struct WaveData::View {
    // Held for as long as the view lives: the open's sharing keeps other
    // programs from writing the file under it.
    FileHandle file{INVALID_HANDLE_VALUE};
    KernelHandle mapping;
    Owned<GuardedView*, ReleaseGuardedView> guarded;
};

WaveData::WaveData() = default;

WaveData::~WaveData() {
    if (view_)
        delete view_;
    else if (bytes)
        VirtualFree(bytes, 0, MEM_RELEASE);
}

bool WaveData::Allocate() {
    const std::uint64_t size = dataSize();
    if (size == 0) return true;
    if (size > SIZE_MAX) return false;
    // Fresh pages are zero and are touched only once, by the read.
    bytes = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, static_cast<SIZE_T>(size), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    return bytes != nullptr;
}

bool WaveData::MapFile(HANDLE file) {
    const std::uint64_t offset = layout.dataOffset, size = dataSize();
    if (size == 0 || bytes || view_) return false;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uint64_t start = offset - offset % system.dwAllocationGranularity;
    const std::uint64_t length = offset - start + size;
    if (size > SIZE_MAX || length > SIZE_MAX) return false;

    auto view = std::make_unique<View>();
    HANDLE duplicate = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return false;
    view->file.reset(duplicate);
    view->mapping.reset(CreateFileMappingW(duplicate, nullptr, PAGE_READONLY, 0, 0, nullptr));
    void* base = nullptr;
    if (view->mapping)
        base = MapViewOfFile(view->mapping, FILE_MAP_READ, static_cast<DWORD>(start >> 32), static_cast<DWORD>(start),
                             static_cast<std::size_t>(length));
    if (!base) return false;
    view->guarded.reset(GuardView(base, static_cast<std::size_t>(length)));
    view_ = view.release();
    bytes = static_cast<std::uint8_t*>(base) + (offset - start);
    return true;
}

bool WaveData::Damaged() const { return view_ && ViewDamaged(view_->guarded.get()); }

WavePtr CurrentWave(const WorkerState& workers) { return workers.wave.Get(); }

void SetCurrentWave(WorkerState& workers, WavePtr wave) { workers.wave.Set(std::move(wave)); }

bool ReplaceCurrentWave(WorkerState& workers, const WavePtr& expected, WavePtr replacement) {
    return workers.wave.Replace(expected, std::move(replacement));
}

}  // namespace tw
