// doctest entry; on Windows a crash prints its code and exits 99 instead of
// waiting in a crash dialog or exiting 0.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest.h>

#ifdef _WIN32
#include <windows.h>
#include <cstdio>
static LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
    std::printf("CRASH: exception 0x%08lx\n", info->ExceptionRecord->ExceptionCode);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 99);
    return EXCEPTION_EXECUTE_HANDLER;
}
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    SetUnhandledExceptionFilter(CrashFilter);
#endif
    doctest::Context context(argc, argv);
    return context.run();
}
