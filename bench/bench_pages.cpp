// The machine's own costs, so figures from two machines can be compared:
// touching fresh private pages, reading a file from the page cache, and
// touching the pages of a mapping of it. Native; prints "MACHINE <name> <s/GiB>".
//
// Usage: bench_pages <file> [MiB of fresh pages, default 1024]
//        bench_pages --hold <MiB>: touches that much fresh memory, prints
//        "held" and keeps it until killed, so a peer that runs meanwhile
//        finds the machine as the program's save does, just after the
//        program took its own copy of the recording.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Print(const char* name, double seconds, double bytes) {
    std::printf("MACHINE %s %.3f\n", name, seconds * (1024.0 * 1024 * 1024) / bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_pages <file> [MiB]\n");
        return 2;
    }
    const std::size_t fresh = static_cast<std::size_t>(argc > 2 ? std::atol(argv[2]) : 1024) << 20;
    const long page = sysconf(_SC_PAGESIZE);
    const bool hold = std::string(argv[1]) == "--hold";

    // Memory freed a moment ago may come back cheaply (a VM has not taken it
    // back yet): as much again is touched first, untimed, to use that up.
    const std::size_t soak = hold ? 0 : fresh;
    void* block = mmap(nullptr, soak + fresh, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return 1;
    volatile char* p = static_cast<char*>(block);
    for (std::size_t i = 0; i < soak; i += static_cast<std::size_t>(page)) p[i] = 1;
    double t = Now();
    for (std::size_t i = soak; i < soak + fresh; i += static_cast<std::size_t>(page)) p[i] = 1;
    Print("fresh_pages_s_per_gib", Now() - t, static_cast<double>(fresh));
    if (hold) {
        std::printf("held\n");
        std::fflush(stdout);
        for (;;) pause();
    }
    munmap(block, soak + fresh);

    const int fd = open(argv[1], O_RDONLY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0) return 1;
    std::vector<char> buffer(1 << 20);
    t = Now();
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
    Print("page_cache_read_s_per_gib", Now() - t, static_cast<double>(st.st_size));

    void* view = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) return 1;
    t = Now();
    const volatile char* v = static_cast<const char*>(view);
    long sum = 0;
    for (off_t i = 0; i < st.st_size; i += page) sum += v[i];
    Print("mapped_touch_s_per_gib", Now() - t, static_cast<double>(st.st_size));
    munmap(view, static_cast<std::size_t>(st.st_size));
    close(fd);
    return sum == 12345 ? 3 : 0;  // keeps the reads
}
