// Planning the pieces of a save: contiguous pieces, none empty, that cover
// the data's whole frames, whatever the cut list holds (NaN, infinities, negatives, values
// past the end, any order), and a piece file name that always fits its buffer.
//
// Input: data size (4), flags (1), frame bytes (1), piece number (4), name capacity (2),
// prefix length (1) and prefix, then cuts (a kind byte, then 2, 4 or 8 bytes).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/cut/cut_list.h"
#include "core/cut/piece_plan.h"
#include "fuzz/fuzz_support.h"

using namespace tw;

namespace {

// The pieces read straight from the rules: a cut's boundary is twice its
// whole part moved down to a whole frame; a boundary that is not past the
// previous one and before the end (NaN, negative, 0, equal, out of order,
// past the end) makes no piece; the last piece ends at the last whole frame.
std::vector<std::uint64_t> ReferenceEnds(const std::vector<double>& cuts, std::uint32_t dataSize,
                                         std::uint32_t frame) {
    const std::uint64_t whole = dataSize / frame * frame;
    std::vector<std::uint64_t> ends;
    std::uint64_t pos = 0;
    for (double cut : cuts) {
        const double c = std::trunc(cut);
        if (!(c > 0 && c < dataSize / 2.0)) continue;
        const std::uint64_t end = 2 * static_cast<std::uint64_t>(c) / frame * frame;
        if (end <= pos || end >= whole) continue;
        ends.push_back(end);
        pos = end;
    }
    ends.push_back(whole);
    return ends;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    std::uint32_t dataSize = in.U32();
    const std::uint8_t flags = in.U8();
    if (flags & 1) dataSize %= 65536;  // small enough to really copy the pieces
    const std::uint32_t frame = std::max<std::uint32_t>(2, in.U8() % 13);  // 2..12: mono 16-bit to 6-channel 16-bit
    const std::uint32_t number = in.U32();
    const std::size_t capacity = in.U16();
    std::string prefix;
    for (std::size_t len = in.U8(); len > 0 && in.left() > 0; --len) prefix.push_back(static_cast<char>(in.U8()));

    std::vector<double> cuts;
    while (in.left() > 0 && cuts.size() < 64) {
        const std::uint8_t kind = in.U8();
        switch (kind % 4) {
            case 0: cuts.push_back(in.F64()); break;
            case 1: cuts.push_back(in.U16()); break;
            case 2: cuts.push_back(static_cast<double>(in.U32())); break;
            default: cuts.push_back(in.U16() + 0.5); break;
        }
    }
    if (flags & 2) std::stable_sort(cuts.begin(), cuts.end(), CutLess);  // as the save does

    const std::vector<Piece> pieces = PlanPieces(cuts, dataSize, frame);
    const std::vector<std::uint64_t> ends = ReferenceEnds(cuts, dataSize, frame);
    FUZZ_CHECK(pieces.size() == ends.size() && pieces.size() <= cuts.size() + 1);
    const std::uint64_t whole = dataSize / frame * frame;
    std::uint64_t pos = 0;
    for (std::size_t k = 0; k < pieces.size() && k < ends.size(); ++k) {
        FUZZ_CHECK(pieces[k].offset == pos);
        FUZZ_CHECK(pieces[k].offset + pieces[k].length <= dataSize);
        FUZZ_CHECK(pieces[k].length > 0 || whole == 0);
        FUZZ_CHECK(pos % frame == 0 && pieces[k].length % frame == 0);
        pos += pieces[k].length;
        FUZZ_CHECK(pos == ends[k]);
    }
    FUZZ_CHECK(pos == whole);

    if (flags & 1) {
        // Copy the pieces out of a block of exactly the data size and put
        // them back together: any read past the end trips AddressSanitizer.
        std::vector<std::uint8_t> source(dataSize);
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 31 + 7);
        fuzz::ExactBytes block(source.data(), source.size());
        std::vector<std::uint8_t> joined;
        for (const Piece& p : pieces) joined.insert(joined.end(), block.data() + p.offset, block.data() + p.offset + p.length);
        FUZZ_CHECK(joined == std::vector<std::uint8_t>(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(whole)));
    }

    // File names: "%s_%03d.wav" within the capacity, terminating zero included.
    char digits[32];
    std::snprintf(digits, sizeof digits, "_%03u.wav", static_cast<unsigned>(number));
    const std::string expected = prefix + digits;
    std::string name = "stale";
    const bool fits = PieceFileName(prefix, number, capacity, &name);
    FUZZ_CHECK(fits == (expected.size() + 1 <= capacity));
    if (fits) {
        FUZZ_CHECK(name == expected);
        FUZZ_CHECK(name.size() < capacity);
    } else {
        FUZZ_CHECK(name.empty());
    }
    std::string name1024;
    if (PieceFileName(prefix, number, 1024, &name1024)) FUZZ_CHECK(name1024.size() <= 1023);
    return 0;
}
