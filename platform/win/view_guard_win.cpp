#include "platform/win/view_guard_win.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace tw {

struct GuardedView {
    std::uint8_t* base = nullptr;
    std::size_t size = 0;
    std::atomic<bool> damaged{false};
    bool zeroed = false;  // under g_viewsLock
};

namespace {

// An SRW lock because the handler runs inside a fault and must not allocate.
SRWLOCK g_viewsLock = SRWLOCK_INIT;
std::vector<GuardedView*> g_views;
std::once_flag g_handlerOnce;

LONG CALLBACK OnViewFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
        return EXCEPTION_CONTINUE_SEARCH;
    if (record->NumberParameters < 2 || record->ExceptionInformation[0] != 0) return EXCEPTION_CONTINUE_SEARCH;
    const auto* at = reinterpret_cast<const std::uint8_t*>(record->ExceptionInformation[1]);
    LONG verdict = EXCEPTION_CONTINUE_SEARCH;
    AcquireSRWLockExclusive(&g_viewsLock);
    for (GuardedView* view : g_views) {
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

GuardedView* GuardView(void* base, std::size_t size) {
    std::call_once(g_handlerOnce, [] { AddVectoredExceptionHandler(1, OnViewFault); });
    auto* view = new GuardedView;
    view->base = static_cast<std::uint8_t*>(base);
    view->size = size;
    AcquireSRWLockExclusive(&g_viewsLock);
    g_views.push_back(view);
    ReleaseSRWLockExclusive(&g_viewsLock);
    return view;
}

bool ViewDamaged(const GuardedView* view) { return view && view->damaged.load(); }

void ReleaseGuardedView(GuardedView* view) {
    if (!view) return;
    AcquireSRWLockExclusive(&g_viewsLock);
    g_views.erase(std::remove(g_views.begin(), g_views.end(), view), g_views.end());
    if (view->zeroed)
        VirtualFree(view->base, 0, MEM_RELEASE);
    else if (!view->damaged.load())
        UnmapViewOfFile(view->base);
    ReleaseSRWLockExclusive(&g_viewsLock);
    delete view;
}

}  // namespace tw
