#include "core/cut/save_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/cut/cut_list.h"
#include "core/cut/mp3_save.h"
#include "core/cut/pause_cut.h"

namespace tw {

double CutAtSeconds(double seconds, std::uint32_t sampleRate, std::uint32_t channels) {
    return std::floor(seconds * sampleRate + 0.5) * channels;
}

std::vector<double> LabelCuts(const std::vector<Label>& labels, std::uint32_t sampleRate, std::uint32_t channels) {
    std::vector<double> cuts;
    for (const Label& l : labels) {
        cuts.push_back(CutAtSeconds(l.start, sampleRate, channels));
        if (l.end != l.start) cuts.push_back(CutAtSeconds(l.end, sampleRate, channels));
    }
    return cuts;
}

bool RulesSet(const PieceRules& rules) {
    return rules.longestSeconds > 0 || rules.shortestSeconds > 0 || rules.marginMs >= 0 || rules.pieceCount > 0;
}

namespace {

// Piece k named prefix_<number in digits>.wav.
PieceSave NumberedSave(std::vector<Piece> pieces, const SaveRequest& request, const WaveLayout& layout,
                       const std::uint8_t* data) {
    PieceSave save;
    save.pieceHeader = layout.pieceHeader;
    save.data = data;
    save.pieces = std::move(pieces);
    save.names.resize(save.pieces.size());
    save.trimmed.assign(save.pieces.size(), false);
    save.prefix = request.prefix;
    save.digits = request.digits;
    for (std::size_t k = 0; k < save.pieces.size(); ++k)
        PieceFileName(request.prefix, static_cast<std::uint32_t>(k), static_cast<std::size_t>(-1), &save.names[k],
                      request.digits);
    if (request.makeFolder) save.folder = FolderPart(request.prefix);
    return save;
}

// The cuts the pieces are cut at, ascending: the rules' when any is set.
std::vector<double> CutsOf(const SaveRequest& request, const WaveLayout& layout, const QuietMap* quiet,
                           std::vector<RuleNote>* notes) {
    if (quiet) {
        return ApplyPieceRules(request.automatic, request.user, {layout.sampleCount, layout.channels, layout.sampleRate},
                               *quiet, request.rules, notes);
    }
    std::vector<double> cuts = request.automatic;
    cuts.insert(cuts.end(), request.user.begin(), request.user.end());
    std::stable_sort(cuts.begin(), cuts.end(), CutLess);  // as a save sorts the cut list
    return cuts;
}

// Names in place of numbers, in the folder of the numbered ones: list[k] for
// piece k where it is not empty, after the name of each piece that starts
// where a label does. Returns the names the save then holds twice (case
// aside, as Windows compares them): it must not be written.
std::vector<std::string> NamePieces(PieceSave* save, const SaveRequest& request, const WaveLayout& layout) {
    const std::string folder = FolderPart(save->names.front());
    const std::uint32_t frame = std::max<std::uint32_t>(1, FrameBytes(layout.pieceHeader));
    for (const Label& l : request.labels) {
        const double cut = CutAtSeconds(l.start, layout.sampleRate, layout.channels);
        if (l.name.empty() || !(cut < static_cast<double>(layout.sampleCount))) continue;  // past the end: no piece starts there
        std::uint64_t at = static_cast<std::uint64_t>(cut) * layout.sampleBytes();
        at -= at % frame;
        // Pieces run in order of their offsets.
        auto piece = std::lower_bound(save->pieces.begin(), save->pieces.end(), at,
                                      [](const Piece& p, std::uint64_t x) { return p.offset < x; });
        if (piece != save->pieces.end() && piece->offset == at)
            save->names[static_cast<std::size_t>(piece - save->pieces.begin())] = folder + l.name + ".wav";
    }
    for (std::size_t k = 0; k < save->pieces.size() && k < request.names.size(); ++k)
        if (!request.names[k].empty()) save->names[k] = folder + request.names[k] + ".wav";
    std::vector<std::pair<std::string, std::size_t>> folded;
    for (std::size_t k = 0; k < save->names.size(); ++k) {
        std::string f = save->names[k];
        for (char& c : f)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        folded.push_back({f, k});
    }
    std::sort(folded.begin(), folded.end());
    std::vector<std::string> twice;
    for (std::size_t i = 1; i < folded.size(); ++i)
        if (folded[i].first == folded[i - 1].first) twice.push_back(save->names[folded[i].second]);
    return twice;
}

}  // namespace

namespace {

bool SamePiece(const Piece& a, const Piece& b) { return a.offset == b.offset && a.length == b.length; }

// After naming, so every other piece keeps the number and name it had.
void LeaveOut(SavePlan* plan, const std::vector<Piece>& leftOut) {
    if (leftOut.empty()) return;
    PieceSave& save = plan->save;
    std::size_t kept = 0;
    for (std::size_t k = 0; k < plan->uncut.size(); ++k) {
        const Piece whole = plan->uncut[k];
        if (std::any_of(leftOut.begin(), leftOut.end(), [&](const Piece& p) { return SamePiece(p, whole); })) continue;
        plan->uncut[kept] = whole;
        if (k < save.pieces.size()) save.pieces[kept] = save.pieces[k];
        if (k < save.names.size()) save.names[kept] = save.names[k];
        if (k < save.trimmed.size()) save.trimmed[kept] = save.trimmed[k];
        ++kept;
    }
    plan->uncut.resize(kept);
    save.pieces.resize(std::min(kept, save.pieces.size()));
    save.names.resize(std::min(kept, save.names.size()));
    save.trimmed.resize(std::min(kept, save.trimmed.size()));
}

}  // namespace

SavePlan PlanSave(const SaveRequest& request, const WaveLayout& layout, const std::uint8_t* data) {
    SavePlan plan;
    // Pause cutting's own judgement of where the sound is, when a rule needs it.
    QuietMap mapped;
    const QuietMap* quiet = nullptr;
    if (RulesSet(request.rules)) {
        if (!request.quiet) mapped = MapQuiet(PauseAudioOf(data, layout), request.quietThreshold);
        quiet = request.quiet ? request.quiet.get() : &mapped;
    }
    std::vector<RuleNote> notes;
    plan.cuts = CutsOf(request, layout, quiet, &notes);
    plan.notes = RuleNoteTexts(notes, layout.sampleRate);
    plan.uncut = PlanPieces(plan.cuts, layout.dataSize, FrameBytes(layout.pieceHeader), layout.sampleBytes());
    plan.save = NumberedSave(plan.uncut, request, layout, data);
    if (quiet && request.rules.marginMs >= 0) {
        plan.save.pieces = TrimPieces(plan.uncut, *quiet, request.rules.marginMs,
                                      {layout.sampleCount, layout.channels, layout.sampleRate}, layout.sampleBytes(),
                                      &plan.save.trimmed, request.rules.shortestSeconds);
    }
    if (!request.names.empty() || !request.labels.empty()) plan.twice = NamePieces(&plan.save, request, layout);
    LeaveOut(&plan, request.leftOut);
    if (CanSaveMp3Pieces(request.mp3.get())) MakeMp3Save(request.mp3, layout, &plan);
    return plan;
}

namespace {

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace

std::vector<std::string> RuleNoteTexts(const std::vector<RuleNote>& notes, std::uint32_t sampleRate) {
    std::vector<std::string> lines;
    const double rate = std::max<std::uint32_t>(1, sampleRate);
    for (const RuleNote& n : notes) {
        const std::string at = SecondsText(static_cast<double>(n.frame) / rate);
        if (n.kind == RuleNote::Kind::UncertainBoundary) {
            char db[16];
            std::snprintf(db, sizeof db, "%.0f", n.overFloorDb);
            lines.push_back(at + " 秒の区切りは確かではありません: 最も静かな間より " + db + " dB 大きい所です");
        } else {
            lines.push_back(at + " 秒からのピースは最短より短いままです (" + SecondsText(n.seconds) + " 秒)");
        }
    }
    return lines;
}

std::string NamesTwiceText(const std::vector<std::string>& twice) {
    std::string text = "同じ名前のピースがあるため、何も保存しませんでした:";
    for (std::size_t i = 0; i < twice.size(); ++i) text += (i ? ", " : " ") + twice[i];
    return text;
}

std::string BarePieceName(const PieceSave& save, const std::string& name) {
    const std::string bare = name.substr(FolderPart(name).size());
    const std::size_t tail = save.tail.size();
    const bool tailed = bare.size() >= tail && bare.compare(bare.size() - tail, tail, save.tail) == 0;
    return tailed ? bare.substr(0, bare.size() - tail) : bare;
}

std::string SaveLabelsText(const PieceSave& save, const WaveLayout& layout) {
    const double perSecond = static_cast<double>(layout.channels) * layout.sampleBytes() * layout.sampleRate;
    std::vector<std::string> names;
    for (const std::string& n : save.names) names.push_back(BarePieceName(save, n));
    return LabelsText(save.pieces, names, perSecond);
}

}  // namespace tw
