// The vectorised measurement against the plain one-sample-at-a-time
// definition: bit-identical for the whole data, and for the same data fed in
// fuzzed chunks on every instruction-set path from a fuzzed starting sum.
//
// Input: flags (1 byte), chunk seed (1 byte), [starting sum, 4 bytes when
// flags & 1], then the sample data.
#include <cmath>

#include "fuzz/fuzz_support.h"
#include "core/wave/wave_stats.h"

using namespace tw;

namespace {

bool SameStats(const WaveStats& a, const WaveStats& b) {
    const bool sumsMatch = fuzz::SameBits(a.sum, b.sum) || (std::isnan(a.sum) && std::isnan(b.sum));
    const bool averagesMatch =
        fuzz::SameBits(a.average, b.average) || (std::isnan(a.average) && std::isnan(b.average));
    return fuzz::SameBits(a.peak, b.peak) && fuzz::SameBits(a.nadir, b.nadir) &&
           fuzz::SameBits(a.smallestPositive, b.smallestPositive) && sumsMatch && averagesMatch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    const std::uint8_t flags = in.U8();
    std::uint32_t chunkSeed = in.U8();
    float startSum = 0.0f;
    if (flags & 1) startSum = in.F32();
    const fuzz::ExactBytes bytes(in.rest(), in.left());

    const WaveStats whole = MeasureEncodedWave(bytes.data(), SampleEncoding::Pcm16, (bytes.size()) / 2, bytes.size());
    const WaveStats plain = MeasureWavePlain(bytes.data(), bytes.size());
    FUZZ_CHECK(SameStats(whole, plain));
    // What the window shows is bounded by the sample range.
    const std::size_t samples = bytes.size() / 2;
    if (samples > 0) {
        FUZZ_CHECK(whole.peak >= -32768 && whole.peak <= 32767);
        FUZZ_CHECK(whole.nadir >= -32768 && whole.nadir <= 0);
        FUZZ_CHECK(whole.smallestPositive == 9999999999.0 ||
                   (whole.smallestPositive >= 1 && whole.smallestPositive <= 32767));
    }

    // Chunked, from a fuzzed starting sum, on every path.
    WaveStats reference;
    reference.sum = startSum;
    AccumulateStatsPlain(reference, bytes.data(), samples);
    for (StatsPath path : {StatsPath::Scalar, StatsPath::Sse2, StatsPath::Avx2, StatsPath::Best}) {
        WaveStats chunked;
        chunked.sum = startSum;
        std::size_t done = 0;
        std::uint32_t state = chunkSeed * 2654435761u + static_cast<std::uint32_t>(path);
        while (done < samples) {
            state = state * 1103515245u + 12345u;
            // Mostly short chunks (block and vector edges), now and then long ones.
            std::size_t len = (state >> 16) % 40;
            if ((state >> 8) % 8 == 0) len = (state >> 12) % 600;
            if (flags & 2) len = samples;  // one call
            if (len > samples - done) len = samples - done;
            AccumulateStatsOn(path, chunked, bytes.data() + 2 * done, len);
            done += len;
        }
        FUZZ_CHECK(SameStats(chunked, reference));
    }
    return 0;
}
