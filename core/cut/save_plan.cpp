#include "core/cut/save_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

SavePlan PlanSave(const SaveRequest& request, const WaveLayout& layout, const std::uint8_t* data) {
    SavePlan plan;
    if (RulesSet(request.rules)) {
        const PauseAudio audio = PauseAudioOf(data, layout);
        // Pause cutting's own judgement of where the sound is.
        QuietMap mapped;
        if (!request.quiet) mapped = MapQuiet(audio, request.quietThreshold);
        const QuietMap& quiet = request.quiet ? *request.quiet : mapped;
        const RuleAudio ruled{layout.sampleCount, layout.channels, layout.sampleRate};
        plan.cuts = ApplyPieceRules(request.automatic, request.user, ruled, quiet, request.rules, &plan.notes);
        plan.save = PlanPieceSave(plan.cuts, layout.pieceHeader, layout.sampleBytes(), data, layout.dataSize,
                                  request.prefix, request.digits);
        plan.uncut = plan.save.pieces;
        if (request.rules.marginMs >= 0)
            plan.save.pieces = TrimPieces(plan.uncut, quiet, request.rules.marginMs, ruled, layout.sampleBytes(),
                                          &plan.save.trimmed, request.rules.shortestSeconds);
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
            lines.push_back(at + " 秒からのピースは最短より短いままです (" + SecondsText(n.seconds) +
                            " 秒)");
        }
    }
    return lines;
}

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
