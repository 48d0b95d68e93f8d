// The loaded recording's memory (a private block or a view of the file) and
// the current-recording state.
#include "wave/wave_data_win.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace tw {

struct WaveData::View {
    std::uint8_t* base = nullptr;
    std::size_t size = 0;
    HANDLE mapping = nullptr;
    // Held for as long as the view lives: the open's sharing keeps other
    // programs from writing the file under it.
    HANDLE file = INVALID_HANDLE_VALUE;
    std::atomic<bool> damaged{false};
    bool zeroed = false;  // the view was replaced by zero pages (under g_viewsLock)
};

namespace {

std::mutex g_waveMutex;
WavePtr g_wave;
std::atomic<std::uint64_t> g_recordings{0};

// Every live view, for the fault handler. An SRW lock because the handler
// runs inside a fault and must not allocate.
SRWLOCK g_viewsLock = SRWLOCK_INIT;
std::vector<WaveData::View*> g_views;
std::once_flag g_handlerOnce;

// A read of a view whose pages have gone (the medium is removed, or another
// program cut the file short) faults. Instead of ending the program, the
// whole view is swapped for zero pages at the same address and the read
// retried; the loader and everything after it see Damaged() and give the
// recording up with a message.
LONG CALLBACK OnViewFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
        return EXCEPTION_CONTINUE_SEARCH;
    if (record->NumberParameters < 2 || record->ExceptionInformation[0] != 0) return EXCEPTION_CONTINUE_SEARCH;
    const auto* at = reinterpret_cast<const std::uint8_t*>(record->ExceptionInformation[1]);
    LONG verdict = EXCEPTION_CONTINUE_SEARCH;
    AcquireSRWLockExclusive(&g_viewsLock);
    for (WaveData::View* view : g_views) {
        if (at < view->base || at >= view->base + view->size) continue;
        if (!view->damaged.load()) {
            UnmapViewOfFile(view->base);
            view->zeroed = VirtualAlloc(view->base, view->size, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY) == view->base;
            view->damaged.store(true);
        }
        if (view->zeroed) verdict = EXCEPTION_CONTINUE_EXECUTION;
        break;
    }
    ReleaseSRWLockExclusive(&g_viewsLock);
    return verdict;
}

}  // namespace

WaveData::WaveData() : recording(++g_recordings) {}

WaveData::~WaveData() {
    if (view_) {
        AcquireSRWLockExclusive(&g_viewsLock);
        g_views.erase(std::remove(g_views.begin(), g_views.end(), view_), g_views.end());
        if (view_->zeroed)
            VirtualFree(view_->base, 0, MEM_RELEASE);
        else if (!view_->damaged.load())
            UnmapViewOfFile(view_->base);
        ReleaseSRWLockExclusive(&g_viewsLock);
        CloseHandle(view_->mapping);
        CloseHandle(view_->file);
        delete view_;
    } else if (bytes) {
        VirtualFree(bytes, 0, MEM_RELEASE);
    }
}

bool WaveData::Allocate(std::uint32_t size) {
    dataSize = size;
    if (size == 0) return true;
    // Fresh pages are zero and are touched only once, by the read.
    bytes = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    return bytes != nullptr;
}

bool WaveData::MapFile(HANDLE file, std::uint64_t offset, std::uint32_t size) {
    if (size == 0 || bytes || view_) return false;
    std::call_once(g_handlerOnce, [] { AddVectoredExceptionHandler(1, OnViewFault); });
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uint64_t start = offset - offset % system.dwAllocationGranularity;
    const std::uint64_t length = offset - start + size;
    if (length > SIZE_MAX) return false;

    View* view = new View;
    view->size = static_cast<std::size_t>(length);
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &view->file, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        delete view;
        return false;
    }
    view->mapping = CreateFileMappingW(view->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (view->mapping)
        view->base = static_cast<std::uint8_t*>(MapViewOfFile(view->mapping, FILE_MAP_READ,
                                                              static_cast<DWORD>(start >> 32),
                                                              static_cast<DWORD>(start), view->size));
    if (!view->base) {
        if (view->mapping) CloseHandle(view->mapping);
        CloseHandle(view->file);
        delete view;
        return false;
    }
    AcquireSRWLockExclusive(&g_viewsLock);
    g_views.push_back(view);
    ReleaseSRWLockExclusive(&g_viewsLock);
    view_ = view;
    dataSize = size;
    bytes = view->base + (offset - start);
    return true;
}

bool WaveData::Damaged() const { return view_ && view_->damaged.load(); }

WavePtr CurrentWave() {
    std::lock_guard<std::mutex> lock(g_waveMutex);
    return g_wave;
}

void SetCurrentWave(WavePtr wave) {
    WavePtr old;
    {
        std::lock_guard<std::mutex> lock(g_waveMutex);
        old = std::move(g_wave);
        g_wave = std::move(wave);
    }
    // `old` may be the last owner: it is freed here, outside the lock.
}

bool ReplaceCurrentWave(const WavePtr& expected, WavePtr replacement) {
    WavePtr old;
    {
        std::lock_guard<std::mutex> lock(g_waveMutex);
        if (g_wave != expected) return false;
        old = std::move(g_wave);
        g_wave = std::move(replacement);
    }
    return true;
}

}  // namespace tw
