// A names list and a label file as a user may hand them over: any bytes. The
// readers never fail on them, a name they accept is one Windows can use, a
// label read has times in order, and the labels a save writes read back.
//
// Input: one byte choosing the reader's way in, then the file's bytes.
#include <cmath>
#include <string>
#include <vector>

#include "core/cut/piece_names.h"
#include "fuzz/fuzz_support.h"

using namespace tw;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    const std::uint8_t way = in.U8();
    const std::string bytes(reinterpret_cast<const char*>(in.rest()), in.left());
    std::string text;
    if (!DecodeText(bytes, &text)) return 0;
    if (way & 1) {
        const std::vector<std::string> names = NameListOf(text);
        std::vector<std::size_t> lines;
        for (std::size_t i = 0; i < names.size(); ++i) lines.push_back(i + 1);
        const std::vector<NameLineProblem> problems = CheckNames(names, lines);
        for (const NameLineProblem& p : problems) FUZZ_CHECK(p.line >= 1 && p.line <= names.size());
        if (!problems.empty()) FUZZ_CHECK(!NameProblemsText(problems).empty());
        for (std::size_t i = 0; i < names.size(); ++i) {
            bool refused = false;
            for (const NameLineProblem& p : problems) refused = refused || p.line == i + 1;
            if (!refused && !names[i].empty()) FUZZ_CHECK(NameProblem(names[i]) == nullptr);
        }
        return 0;
    }
    std::vector<Label> labels;
    std::size_t bad = 0;
    std::vector<std::size_t> lines;
    if (!ReadLabels(text, &labels, &bad, &lines)) {
        FUZZ_CHECK(bad >= 1);
        return 0;
    }
    std::vector<Piece> pieces;
    std::vector<std::string> names;
    for (const Label& l : labels) {
        FUZZ_CHECK(std::isfinite(l.start) && std::isfinite(l.end) && l.start <= l.end);
        if (l.start < 0 || l.end > 1e6) return 0;
        pieces.push_back({static_cast<std::uint64_t>(std::llround(l.start * 1000)) * 2,
                          static_cast<std::uint64_t>(std::llround((l.end - l.start) * 1000)) * 2});
        names.push_back(l.name);
    }
    // Written and read again: as many labels, at the same milliseconds.
    std::vector<Label> again;
    FUZZ_CHECK(ReadLabels(LabelsText(pieces, names, 2000.0), &again, &bad, &lines));
    FUZZ_CHECK(again.size() == labels.size());
    for (std::size_t i = 0; i < again.size(); ++i)
        FUZZ_CHECK(std::llround(again[i].start * 1000) == static_cast<long long>(pieces[i].offset / 2));
    return 0;
}
