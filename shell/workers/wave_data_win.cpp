// The loaded recording's memory (a private block or a view of the file) and
// the current-recording state.
#include "shell/workers/wave_data_win.h"

#include "platform/win/view_guard_win.h"
#include "core/wave/shared_holder.h"

#include <atomic>
#include <vector>

namespace tw {

struct WaveData::View {
    GuardedView* guarded = nullptr;
    HANDLE mapping = nullptr;
    // Held for as long as the view lives: the open's sharing keeps other
    // programs from writing the file under it.
    HANDLE file = INVALID_HANDLE_VALUE;
};

namespace {

SharedHolder<WaveData> g_wave;
std::atomic<std::uint64_t> g_recordings{0};

}  // namespace

WaveData::WaveData() : recording(++g_recordings) {}

WaveData::~WaveData() {
    if (view_) {
        ReleaseGuardedView(view_->guarded);
        CloseHandle(view_->mapping);
        CloseHandle(view_->file);
        delete view_;
    } else if (bytes) {
        VirtualFree(bytes, 0, MEM_RELEASE);
    }
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

    View* view = new View;
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &view->file, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        delete view;
        return false;
    }
    view->mapping = CreateFileMappingW(view->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* base = nullptr;
    if (view->mapping)
        base = MapViewOfFile(view->mapping, FILE_MAP_READ, static_cast<DWORD>(start >> 32), static_cast<DWORD>(start),
                             static_cast<std::size_t>(length));
    if (!base) {
        if (view->mapping) CloseHandle(view->mapping);
        CloseHandle(view->file);
        delete view;
        return false;
    }
    view->guarded = GuardView(base, static_cast<std::size_t>(length));
    view_ = view;
    bytes = static_cast<std::uint8_t*>(base) + (offset - start);
    return true;
}

bool WaveData::Damaged() const { return view_ && ViewDamaged(view_->guarded); }

WavePtr CurrentWave() { return g_wave.Get(); }

void SetCurrentWave(WavePtr wave) { g_wave.Set(std::move(wave)); }

bool ReplaceCurrentWave(const WavePtr& expected, WavePtr replacement) {
    return g_wave.Replace(expected, std::move(replacement));
}

}  // namespace tw
