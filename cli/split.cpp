// tarnwick-split's run: each input opened, cut, planned, written and told.
#include "cli/split.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "cli/split_json.h"
#include "core/cut/auto_cut.h"
#include "core/cut/cut_list.h"
#include "core/cut/mp3_save.h"
#include "core/cut/pause_cut.h"
#include "core/cut/piece_names.h"
#include "core/cut/piece_plan.h"
#include "core/cut/piece_rules.h"
#include "core/cut/piece_writer.h"
#include "core/cut/save_plan.h"
#include "core/support/file_io.h"
#include "core/support/number_text.h"
#include "core/wave/foreign_format.h"
#include "core/wave/format_text.h"
#include "core/wave/load_notice.h"
#include "core/wave/recording_source.h"
#include "core/wave/wave_format.h"
#include "core/wave/wave_stats.h"

namespace tw {

const char* const kSplitCannotOpen = kCannotOpenText;
const char* const kSplitCannotRead = kCannotReadText;
const char* const kSplitNotWave = kNotWaveText;
const char* const kSplitNoData = kNoDataText;
const char* const kSplitUnsupported = kUnsupportedFormatText;
const char* const kSplitNoMemory = kNoMemoryText;

namespace {

// Tag bytes as readable text: printable ASCII as it is, anything else \xNN.
std::string Printable(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string Number(std::uint64_t v) { return std::to_string(v); }

std::string Reason(const std::string& reason) { return reason.empty() ? std::string() : " (" + reason + ")"; }

// What --names and --cuts-from give every input.
struct PieceNaming {
    std::vector<std::string> list;  // piece k's name, "" or beyond: its number
    std::vector<Label> labels;
};

// A whole small text file, decoded; false (with a line on stderr) when it cannot be.
bool ReadTextFile(const std::string& path, const SplitIo& io, std::string* text) {
    MappedFile file;
    std::string reason;
    if (file.Open(path, &reason) != MappedFile::Mapped) {
        io.err(path + ": " + kSplitCannotOpen + Reason(reason) + "\n");
        return false;
    }
    const std::string bytes = file.size() ? std::string(reinterpret_cast<const char*>(file.bytes()), static_cast<std::size_t>(file.size()))
                                          : std::string();
    if (file.Damaged()) {
        io.err(path + ": " + kSplitCannotRead + "\n");
        return false;
    }
    if (!DecodeText(bytes, text)) {
        io.err(path + ": UTF-8 でも Shift-JIS でもない文字があります\n");
        return false;
    }
    return true;
}

bool ReadNaming(const SplitOptions& options, const SplitIo& io, PieceNaming* naming) {
    std::string text;
    if (!options.cutsFrom.empty()) {
        if (!ReadTextFile(options.cutsFrom, io, &text)) return false;
        std::size_t bad = 0;
        std::vector<std::size_t> lines;
        if (!ReadLabels(text, &naming->labels, &bad, &lines)) {
            io.err(options.cutsFrom + ": " + std::to_string(bad) +
                   " 行目がラベル (開始秒<TAB>終了秒<TAB>名前) ではないため、何もしませんでした\n");
            return false;
        }
        std::vector<std::string> names;
        for (const Label& l : naming->labels) names.push_back(l.name);
        const std::vector<NameLineProblem> problems = CheckNames(names, lines);
        if (!problems.empty()) {
            io.err(options.cutsFrom + ": " + NameProblemsText(problems) + "\n");
            return false;
        }
    }
    if (!options.namesFile.empty()) {
        if (!ReadTextFile(options.namesFile, io, &text)) return false;
        naming->list = NameListOf(text);
        std::vector<std::size_t> lines;
        for (std::size_t i = 0; i < naming->list.size(); ++i) lines.push_back(i + 1);
        const std::vector<NameLineProblem> problems = CheckNames(naming->list, lines);
        if (!problems.empty()) {
            io.err(options.namesFile + ": " + NameProblemsText(problems) + "\n");
            return false;
        }
    }
    return true;
}

// One input file's run.
class FileRun {
public:
    FileRun(const std::string& path, const SplitOptions& options, const SplitIo& io, const PieceNaming& naming)
        : path_(path), options_(options), io_(io), naming_(naming) {}

    // Open, cut, plan, write, report; true when every piece (and the label
    // file) was written, or when nothing was to be written.
    bool Run() {
        if (!Open()) return false;
        const std::vector<double> automatic = FindCuts();
        SavePlan plan = PlanSave(Request(automatic), check_.layout, data_);
        if (recording_->file->Damaged()) return Reject(kSplitCannotRead, "");
        TellNotes(plan);
        if (!plan.twice.empty()) return Reject(NamesTwiceText(plan.twice).c_str(), "");
        if (!options_.dryRun && !NothingInTheWay(plan.save)) return false;
        Written written;
        if (!options_.dryRun && !Write(plan.save, &written)) return false;
        return Report(plan, written);
    }

private:
    struct Written {
        bool pieces = false;  // all of them: a save is whole or nothing
        bool labels = true;
        std::vector<std::string> earlier;  // pieces of an earlier save past the last one written over
    };

    // The recording opened (a compressed one decoded) and its header read;
    // the data's notices told.
    bool Open() {
        if (!NeedsSamples()) recording_ = OpenMp3Frames(path_);
        if (!recording_) recording_ = OpenRecording(path_);
        const Recording& r = *recording_;
        const std::string name = path_.substr(FolderPart(path_).size());
        switch (r.outcome) {
            case Recording::CannotOpen: return Reject(kSplitCannotOpen, r.reason);
            case Recording::CannotRead: return Reject(kSplitCannotRead, r.reason);
            case Recording::NotWave:
                // A known other kind is named, in the window's words.
                if (r.kind) return Reject(ForeignFileText(name, r.kind).c_str(), "");
                return Reject(kSplitNotWave, "\"" + Printable(HeaderTagText(r.check.header)) + "\"");
            case Recording::NoDataChunk: return Reject(kSplitNoData, "");
            case Recording::Unsupported: return Reject(kSplitUnsupported, FormatProblemText(r.check.layout));
            case Recording::DecodeFailed:
            case Recording::Stopped: return Reject(DecodeRefusalText(name, r.kind, r.decode).c_str(), "");
            case Recording::Opened: break;
        }
        check_ = r.check;
        const WaveLayout& layout = check_.layout;
        if (r.decode.outcome == DecodeOutcome::Damaged) io_.err(path_ + ": " + DecodeNoticeText() + "\n");
        if (check_.fitted) io_.err(path_ + ": " + DataFittedText(layout) + "\n");
        if (PartialFrameBytes(layout) > 0) io_.err(path_ + ": " + PartialFrameText(layout) + "\n");
        data_ = r.data;  // the file's own bytes (or its decoded copy's), never more
        TellPieceKind();
        return true;
    }

    // Whether anything of the run reads the samples: finding cuts, the
    // rules, --json's numbers, WAV pieces. Without, an MP3 file's pieces
    // come from its frames alone and it is never decoded.
    bool NeedsSamples() const {
        return options_.pauseCut || options_.autoCut || RulesSet(Rules()) || options_.json || options_.wavPieces;
    }

    // MP3 pieces from an MP3 file's frames, unless WAV pieces were asked
    // for; a word where MP3 pieces were asked for and cannot be.
    void TellPieceKind() {
        const Recording& r = *recording_;
        if (options_.wavPieces) return;
        if (CanSaveMp3Pieces(r.mp3.get())) {
            mp3_ = r.mp3;
        } else if (r.mp3) {
            io_.err(path_ + ": " + Mp3PiecesAsWavText() + "\n");
        } else if (options_.mp3Asked) {
            io_.err(path_ + ": MP3 ファイルではないため、ピースは WAV で保存します\n");
        }
    }

    // The planner's notes, here and nowhere else: a line each on stderr.
    void TellNotes(const SavePlan& plan) const {
        for (const std::string& note : plan.notes) io_.err(path_ + ": " + note + "\n");
    }

    double TypedThreshold() const { return ReadThresholdText(options_.threshold).value; }

    // The cuts of pause cutting or automatic cutting, when asked for.
    std::vector<double> FindCuts() {
        const WaveLayout& layout = check_.layout;
        std::vector<double> cuts;
        if (options_.pauseCut) {
            // The rules judge the recording as pause cutting does: judged once for both.
            const double typed = options_.haveThreshold ? TypedThreshold() : std::nan("");
            quiet_ = std::make_shared<const QuietMap>(MapQuiet(PauseAudioOf(data_, layout), typed));
            threshold_ = quiet_->threshold;
            for (std::int64_t c : PauseCutsOf(*quiet_, layout.channels, layout.sampleRate, options_.pauseMs))
                cuts.push_back(static_cast<double>(c));
            if (!options_.json)
                io_.out(path_ + ": しきい値 " + FormatNumber(threshold_) + (options_.haveThreshold ? "" : " (推定)") +
                        " で " + FormatNumber(options_.pauseMs) + " ms 以上の間を切ります\n");
        } else if (options_.autoCut) {
            for (const AutoCut& c : ScanEncodedForCuts(data_, layout.encoding, layout.sampleCount, layout.scaleSize(),
                                                       options_.width, TypedThreshold()))
                cuts.push_back(static_cast<double>(c.position));
        }
        if ((options_.pauseCut || options_.autoCut) && cuts.empty())
            io_.err(path_ + ": しきい値 " + FormatNumber(options_.pauseCut ? threshold_ : TypedThreshold()) +
                    " ではカットする場所が見つかりませんでした\n");
        return cuts;
    }

    PieceRules Rules() const {
        PieceRules rules;
        rules.longestSeconds = options_.longestSeconds;
        rules.shortestSeconds = options_.shortestSeconds;
        rules.marginMs = options_.marginMs;
        rules.pieceCount = options_.pieceCount;
        return rules;
    }

    // What the options ask of the save, with the cuts found.
    SaveRequest Request(const std::vector<double>& automatic) const {
        const WaveLayout& layout = check_.layout;
        SaveRequest request;
        request.automatic = automatic;
        for (const SplitCut& c : options_.cuts)
            request.user.push_back(c.seconds ? CutAtSeconds(c.value, layout.sampleRate, layout.channels) : c.value);
        const std::vector<double> labelCuts = LabelCuts(naming_.labels, layout.sampleRate, layout.channels);
        request.user.insert(request.user.end(), labelCuts.begin(), labelCuts.end());
        std::string base = options_.havePrefix ? options_.prefix : DefaultPiecePrefix(path_);
        if (!options_.folder.empty() && !options_.havePrefix) base = base.substr(FolderPart(base).size());
        request.prefix = InFolder(options_.folder, base);
        if (options_.folderPerInput) request.prefix = InRecordingFolder(request.prefix, path_);
        request.makeFolder = !options_.folder.empty() || options_.folderPerInput;
        request.digits = options_.digits;
        request.rules = Rules();
        // Pause cutting's threshold where it ran with one given.
        if (options_.pauseCut && options_.haveThreshold) request.quietThreshold = TypedThreshold();
        request.quiet = quiet_;
        request.names = naming_.list;
        request.labels = naming_.labels;
        request.mp3 = mp3_;
        return request;
    }

    // False (after saying which) when a piece's or the label file's name is taken.
    bool NothingInTheWay(const PieceSave& save) const {
        std::vector<std::string> taken = NamesInTheWay(save, options_.overwrite);
        const PathKind labels = options_.labelsFile.empty() ? PathKind::None : KindOf(options_.labelsFile);
        if (labels == PathKind::Other || (labels == PathKind::File && !options_.overwrite)) taken.push_back(options_.labelsFile);
        if (taken.empty()) return true;
        io_.err(path_ + ": " + NamesInTheWayText(taken, ", ") + "\n");
        if (options_.json)
            io_.json(SplitJsonError(path_, NamesInTheWayText(taken, ", ")));
        return false;
    }

    // Every piece or none, then the label file; false (after saying why) when
    // the pieces were not kept.
    bool Write(const PieceSave& save, Written* written) {
        PieceSetWriter writer(save, options_.overwrite);
        PieceFailure failure;
        // On as many threads as there are cores (up to 4), as the window
        // writes: an MP3 piece's CRC is worked out on a core of its own.
        const int threads = static_cast<int>(std::min(4u, std::max(1u, std::thread::hardware_concurrency())));
        bool stopped = false;
        const bool whole = writer.Prepare(&failure) && writer.WriteAll(threads, nullptr, &failure, &stopped);
        // Pieces holding the zeros that took the file's place are no pieces of it.
        if (recording_->file->Damaged() || (save.mp3 && save.mp3->file->Damaged())) return Reject(kSplitCannotRead, "");
        if (!whole || !writer.Commit(&failure)) {
            writer.Discard();
            return Reject(SaveFailedText(save.pieces.size(), failure, "; ").c_str(), "");
        }
        written->pieces = true;
        if (options_.overwrite) written->earlier = writer.EarlierPiecesBeyond();
        if (!options_.labelsFile.empty()) written->labels = WriteLabelFile(save);
        return true;
    }

    bool WriteLabelFile(const PieceSave& save) const {
        std::string reason;
        const std::string text = SaveLabelsText(save, check_.layout);
        if (options_.overwrite && KindOf(options_.labelsFile) == PathKind::File) RemoveFile(options_.labelsFile);
        const NewFileOutcome outcome = WriteNewFile(options_.labelsFile, reinterpret_cast<const std::uint8_t*>(text.data()),
                                                    text.size(), nullptr, 0, &reason);
        if (outcome == NewFileOutcome::Written) return true;
        io_.err(options_.labelsFile + ": " + (outcome == NewFileOutcome::NotCreated ? kPieceNotCreated : "書き出しに失敗しました") +
                Reason(reason) + "\n");
        return false;
    }

    // The run told in the form asked for: JSON, the dry run's listing or one line.
    bool Report(const SavePlan& plan, const Written& written) {
        const PieceSave& save = plan.save;
        if (options_.json) {
            SplitJsonFacts facts;
            facts.path = path_;
            facts.layout = &check_.layout;
            facts.stats = MeasureEncodedWave(data_, check_.layout.encoding, check_.layout.sampleCount, check_.layout.scaleSize());
            facts.plan = &plan;
            facts.pauseRun = options_.pauseCut;
            facts.threshold = threshold_;
            facts.pauseMs = options_.pauseMs;
            facts.dryRun = options_.dryRun;
            facts.written = written.pieces;
            const std::string json = SplitJsonLine(facts);
            if (recording_->file->Damaged()) return Reject(kSplitCannotRead, "");  // measured on zeros
            io_.json(json);
        } else if (options_.dryRun) {
            io_.out(Listing(check_.layout, plan.cuts, save));
        } else {
            const std::vector<std::string>& names = save.names;
            io_.out(path_ + ": " + Number(save.pieces.size()) + " 個のファイルを保存しました (" + names.front() +
                    (names.size() > 1 ? " ～ " + names.back() : std::string()) + ")\n");
            if (!written.earlier.empty()) io_.out(path_ + ": " + EarlierPiecesText(written.earlier, ", ") + "\n");
        }
        return options_.dryRun || written.labels;
    }

    // " [MP3 フレーム 12-57 サンプル 0-52919]": the frames written and the
    // first and last sample they give.
    static std::string Mp3Listed(const Mp3PiecePlan& p) {
        if (p.frames() == 0) return " [MP3 フレームなし]";
        return " [MP3 フレーム " + Number(p.firstFrame) + "-" + Number(p.endFrame - 1) + " サンプル " + Number(p.firstSample) +
               "-" + Number(p.endSample - 1) + "]";
    }

    bool Reject(const char* text, const std::string& detail) {
        io_.err(path_ + ": " + text + Reason(detail) + "\n");
        if (options_.json) io_.json(SplitJsonError(path_, text));
        return false;
    }

    std::string Listing(const WaveLayout& layout, const std::vector<double>& cuts, const PieceSave& save) const {
        const std::vector<Piece>& pieces = save.pieces;
        const std::vector<std::string>& names = save.names;
        const std::vector<bool>& trimmed = save.trimmed;
        const std::uint32_t sampleBytes = layout.sampleBytes();
        std::string text = path_ + ": カット " + Number(cuts.size()) + " 個、ファイル " + Number(pieces.size()) + " 個\n" +
                           "番号 先頭サンプル サンプル数 バイト数 開始秒 長さ秒 ファイル名\n";
        const double bytesPerSecond = static_cast<double>(layout.channels) * sampleBytes * layout.sampleRate;
        auto seconds = [bytesPerSecond](std::uint64_t bytes) {
            if (bytesPerSecond <= 0) return std::string("-");
            char t[32];
            std::snprintf(t, sizeof t, "%.3f", static_cast<double>(bytes) / bytesPerSecond);
            return std::string(t);
        };
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            char number[16];
            std::snprintf(number, sizeof number, "%03u", static_cast<unsigned>(k));
            text += std::string(number) + " " + Number(pieces[k].offset / sampleBytes) + " " +
                    Number(pieces[k].length / sampleBytes) + " " + Number(pieces[k].length) + " " +
                    seconds(pieces[k].offset) + " " + seconds(pieces[k].length) + " " + names[k] +
                    (trimmed[k] ? " (前後の無音を除く)" : "") + (save.mp3 ? Mp3Listed(save.mp3Plans[k]) : "") + "\n";
        }
        return text;
    }

    const std::string& path_;
    const SplitOptions& options_;
    const SplitIo& io_;
    const PieceNaming& naming_;
    std::unique_ptr<Recording> recording_;
    std::shared_ptr<const QuietMap> quiet_;  // pause cutting's judgement, for the rules too
    std::shared_ptr<const Mp3Source> mp3_;   // set: the pieces are MP3 from these frames
    WaveCheck check_;
    double threshold_ = 0;  // of a pause run
    const std::uint8_t* data_ = nullptr;
};

}  // namespace

int RunSplit(const std::vector<std::string>& args, const SplitIo& io) {
    SplitOptions options;
    std::string error;
    switch (ParseSplitArguments(args, &options, &error)) {
        case ArgsOutcome::Help:
            io.out(std::string(SplitUsageText()) + SplitHelpText());
            return kSplitOk;
        case ArgsOutcome::Usage:
            io.err("tarnwick-split: " + error + "\n" + SplitUsageText() + "詳しくは tarnwick-split --help\n");
            return kSplitUsage;
        case ArgsOutcome::Run:
            break;
    }
    if (io.expand) {
        std::vector<std::string> expanded;
        for (const std::string& name : options.inputs) {
            std::vector<std::string> matches = io.expand(name);
            expanded.insert(expanded.end(), matches.begin(), matches.end());
        }
        // -o names one file's pieces only, also after expansion.
        if (options.havePrefix && expanded.size() > 1) {
            io.err("tarnwick-split: -o は入力ファイルが一つのときだけ使えます\n" + std::string(SplitUsageText()));
            return kSplitUsage;
        }
        options.inputs = expanded;
    }
    // Names and label cuts are read and checked before anything is written.
    PieceNaming naming;
    if (!ReadNaming(options, io, &naming)) return kSplitUsage;
    bool allDone = true;
    for (const std::string& path : options.inputs) {
        FileRun run(path, options, io, naming);
        allDone = run.Run() && allDone;
    }
    return allDone ? kSplitOk : kSplitFailed;
}

}  // namespace tw
