// Opens one recording through the program's one way in (a compressed one is
// decoded into a temporary WAV file and mapped) and prints the time it took,
// what came out and the process's private memory. Built natively (FFmpeg's
// libraries) and with MinGW (Windows' decoders, under Wine); bench/decode.sh
// runs both beside ffmpeg.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/wave/recording_source.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
double PrivateMiB() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PagefileUsage / 1048576.0;  // the commit charge; Wine fills only this one
}
#else
// Anonymous (private) resident memory; the mapped decoded copy is file pages.
double PrivateMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("RssAnon:", 0) == 0) return std::stod(line.substr(8)) / 1024.0;
    return 0;
}
#endif

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_decode FILE\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::unique_ptr<tw::Recording> r = tw::OpenRecording(argv[1]);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r->outcome != tw::Recording::Opened) {
        std::printf("not opened (%d): %s\n", static_cast<int>(r->outcome), r->decode.reason.c_str());
        return 1;
    }
    const tw::WaveLayout& l = r->check.layout;
    std::printf("%.2f s  decoder %s  %llu frames  %u Hz  %u ch  private %.0f MiB\n", seconds,
                r->Decoded() ? r->decode.decoder : "(WAV)", static_cast<unsigned long long>(l.sampleCount / l.channels),
                l.sampleRate, l.channels, PrivateMiB());
    return 0;
}
