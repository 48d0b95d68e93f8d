#include "core/cut/save_plan.h"

#include <algorithm>
#include <cmath>

#include "core/cut/cut_list.h"
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

SavePlan PlanNamedSave(const SaveRequest& request, const WaveLayout& layout, const std::uint8_t* data);

}  // namespace

SavePlan PlanSave(const SaveRequest& request, const WaveLayout& layout, const std::uint8_t* data) {
    SavePlan plan = PlanNamedSave(request, layout, data);
    LeaveOut(&plan, request.leftOut);
    return plan;
}

namespace {

SavePlan PlanNamedSave(const SaveRequest& request, const WaveLayout& layout, const std::uint8_t* data) {
    SavePlan plan;
    if (RulesSet(request.rules)) {
        const PauseAudio audio = PauseAudioOf(data, layout);
        // Pause cutting's own judgement of where the sound is.
        QuietMap mapped;
        if (!request.quiet) mapped = MapQuiet(audio, request.quietThreshold);
        const QuietMap& quiet = request.quiet ? *request.quiet : mapped;
        plan.save = PlanRuledSave(request.automatic, request.user, quiet, request.rules,
                                  {layout.sampleCount, layout.channels, layout.sampleRate}, layout.pieceHeader,
                                  layout.sampleBytes(), data, layout.dataSize, request.prefix, request.digits, &plan.cuts);
        plan.uncut = PlanPieces(plan.cuts, layout.dataSize, FrameBytes(layout.pieceHeader), layout.sampleBytes());
    } else {
        plan.cuts = request.automatic;
        plan.cuts.insert(plan.cuts.end(), request.user.begin(), request.user.end());
        std::stable_sort(plan.cuts.begin(), plan.cuts.end(), CutLess);  // as a save sorts the cut list
        plan.save = PlanPieceSave(plan.cuts, layout.pieceHeader, layout.sampleBytes(), data, layout.dataSize,
                                  request.prefix, request.digits);
        plan.uncut = plan.save.pieces;
    }
    if (request.names.empty() && request.labels.empty()) return plan;
    std::vector<NamedStart> starts;
    const std::uint32_t frame = std::max<std::uint32_t>(1, FrameBytes(layout.pieceHeader));
    for (const Label& l : request.labels) {
        const double cut = CutAtSeconds(l.start, layout.sampleRate, layout.channels);
        if (!(cut < static_cast<double>(layout.sampleCount))) continue;  // past the end: no piece starts there
        const std::uint64_t at = static_cast<std::uint64_t>(cut) * layout.sampleBytes();
        starts.push_back({at - at % frame, l.name});
    }
    plan.twice = NamePieces(&plan.save, request.names, starts);
    return plan;
}

}  // namespace

std::string NamesTwiceText(const std::vector<std::string>& twice) {
    std::string text = "同じ名前のピースがあるため、何も保存しませんでした:";
    for (std::size_t i = 0; i < twice.size(); ++i) text += (i ? ", " : " ") + twice[i];
    return text;
}

std::string SaveLabelsText(const PieceSave& save, const WaveLayout& layout) {
    const double perSecond = static_cast<double>(layout.channels) * layout.sampleBytes() * layout.sampleRate;
    std::vector<std::string> names;
    for (const std::string& n : save.names) names.push_back(WithoutWavTail(n.substr(FolderPart(n).size())));
    return LabelsText(save.pieces, names, perSecond);
}

}  // namespace tw
