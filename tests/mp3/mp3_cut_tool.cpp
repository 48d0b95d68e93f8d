// Cuts an MP3 file at sample positions into MP3 pieces with the core, for
// the end-to-end test and the benchmark:
//   mp3_cut_tool IN.mp3                  prints the stream: frames, samples, tag
//   mp3_cut_tool IN.mp3 OUT_PREFIX P...  writes OUT_PREFIX_001.mp3, ... for
//                                        [0, P1), [P1, P2), ..., [Pn, end)
// and prints a line per piece: first and end sample, frames, delay, padding, issues.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/cut/mp3_pieces.h"

using namespace tw;

namespace {
struct Span {
    const std::uint8_t* p;
    std::size_t n;
    const std::uint8_t* data() const { return p; }
    std::size_t size() const { return n; }
};
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mp3_cut_tool IN.mp3 [OUT_PREFIX POSITION...]\n");
        return 2;
    }
    // The file mapped, as the program's writer has it.
    const int fd = open(argv[1], O_RDONLY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) return 2;
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    void* map = size ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0) : nullptr;
    if (map == MAP_FAILED) return 2;
    const Span bytes{static_cast<const std::uint8_t*>(map), size};
    const Mp3Stream s = ParseMp3Stream(bytes.data(), bytes.size());
    std::printf("frames %zu samples %llu rate %d channels %d delay %u padding %u lame %d skipped %zu\n", s.frames.size(),
                static_cast<unsigned long long>(s.decodedSamples()), s.format.sampleRate, s.format.channels(),
                s.gapless.delay, s.gapless.padding, s.gapless.hasLame ? 1 : 0, s.skippedBytes);
    if (argc < 3) return s.found ? 0 : 1;
    std::vector<std::uint64_t> cuts = {0};
    for (int i = 3; i < argc; ++i) cuts.push_back(std::strtoull(argv[i], nullptr, 10));
    cuts.push_back(s.decodedSamples());
    const unsigned count = static_cast<unsigned>(cuts.size() - 1);
    for (unsigned k = 0; k < count; ++k) {
        const Mp3PiecePlan plan = PlanMp3Piece(s, cuts[k], cuts[k + 1]);
        char name[32];
        std::snprintf(name, sizeof name, "_%03u", k + 1);
        const Mp3PieceTags tags{"piece " + std::to_string(k + 1) + " ピース", k + 1, count};
        const Mp3PieceBytes piece = BuildMp3Piece(bytes.data(), bytes.size(), s, plan, tags);
        std::ofstream out(std::string(argv[2]) + name + ".mp3", std::ios::binary);
        out.write(reinterpret_cast<const char*>(piece.head.data()), static_cast<std::streamsize>(piece.head.size()));
        out.write(reinterpret_cast<const char*>(bytes.data() + piece.sourceBegin),
                  static_cast<std::streamsize>(piece.sourceEnd - piece.sourceBegin));
        out.write(reinterpret_cast<const char*>(piece.tail.data()), static_cast<std::streamsize>(piece.tail.size()));
        std::printf("piece %u first %llu end %llu frames %zu delay %u padding %u issues %u\n", k + 1,
                    static_cast<unsigned long long>(plan.firstSample), static_cast<unsigned long long>(plan.endSample),
                    plan.frames(), plan.delay, plan.padding, unsigned{plan.issues});
    }
    return 0;
}
