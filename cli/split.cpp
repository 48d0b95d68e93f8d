#include "cli/split.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/cut/auto_cut.h"
#include "core/cut/cut_list.h"
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

const char kUsage[] =
    "使い方: tarnwick-split [-t しきい値] [-w 幅] [-p ミリ秒] [-c 位置]... [-o 先頭] [-d フォルダー] [--digits 桁数]\n"
    "                      [--max 秒] [--min 秒] [--pieces 数] [--margin ミリ秒] [--names ファイル] [--labels ファイル]\n"
    "                      [--cuts-from ファイル] [-n] [--json] ファイル.wav...\n";

const char kHelp[] =
    "WAV ファイルを無音のところで切り分け、ピースごとに \"先頭_000.wav\", \"先頭_001.wav\", ... に保存します。\n"
    "切り方と保存するファイルは Tarnwick のウィンドウの「オートカッティングを実行」と「カットを保存」と同じです。\n"
    "\n"
    "  -t しきい値   オートカッティング: 無音とみなす音量のしきい値。サンプル値（ピーク・ネイダーと同じ単位）か、\n"
    "                \"-40dB\" のようにフルスケールからのデシベル（32768 x 10^(dB/20)、0dB 以下）\n"
    "  -w 幅         カットの間隔（10 列）を測るグラフの幅（1〜32767、既定 570。拡大したウィンドウなら\n"
    "                855, 1282, 1923, ...）\n"
    "  -p ミリ秒, --pause ミリ秒\n"
    "                間で切る: 音量が 10 ms ごとに見てしきい値より小さい間がこのミリ秒以上続くところの\n"
    "                真ん中に一つずつカットを置く（最初と最後の無音には置かない）。-t がなければしきい値を\n"
    "                録音から推定して表示する。例: tarnwick-split -p 400 講義.wav\n"
    "  -c 位置       カットを置く位置: サンプル位置（0 以上の整数）か時刻（\"83.5s\", \"1:23.5\"）。何度でも\n"
    "                指定でき、-t のカットと合わせて使う。同じ位置になるカットは一つの切れ目になる\n"
    "  -o 先頭       ファイル名の先頭（入力ファイルが一つのときだけ）。既定: 入力のパスから \".wav\" を除いたもの\n"
    "  -d フォルダー ピースをこのフォルダーに置く（名前は入力ファイルの名前から \".wav\" を除いたもの、または -o）\n"
    "  --digits 桁数 番号の桁数（1〜9、既定 3）\n"
    "  --max 秒      ピースの最長: これより長いピースは、中の間の長く静かなところから順に（400 ms より\n"
    "                短い読点の間も使う）、間がなければいちばん静かなところで、さらに切る\n"
    "  --min 秒      ピースの最短: これより短いピースは、短いか大きい音の間の側の自動のカットを外して\n"
    "                隣とつなぐ。-c やラベルのカットは外さない。--max と食い違うときは --max が勝つ\n"
    "  --pieces 数   ピースの数: 長く、録音の雑音にいちばん近い静かさの間から順に 数-1 個の自動のカットを\n"
    "                置く（曲の間が曲の中の静かなところに勝つ）。-c やラベルのカットもその数に含める\n"
    "  --margin ミリ秒 ピースを最初の音の前と最後の音の後ろにこのミリ秒だけ残して切り詰める（その外の\n"
    "                無音は書かないので、ピースをつないでも元には戻らない）\n"
    "  --names ファイル ピースの名前の一覧（UTF-8 か Shift-JIS、一行に一つ、\".wav\" は付けない）。空行と\n"
    "                足りない分は番号の名前のまま。Windows で使えない名前や重複があれば何もしない\n"
    "  --labels ファイル ピースごとに \"開始秒<TAB>終了秒<TAB>名前\" の一行を書くラベルファイル（UTF-8）\n"
    "  --cuts-from ファイル そのラベルファイルの開始と終了をカットにし、名前をピースの名前にする\n"
    "  -n            何も書かず、ピースの予定を表示する（番号、先頭サンプル、サンプル数、バイト数、開始秒、\n"
    "                長さ秒、ファイル名）\n"
    "  --json        入力ごとに JSON オブジェクトを一行: path, channels, sample_rate, bits, peak, nadir,\n"
    "                smallest_positive, average（ウィンドウの表示と同じ文字列）, cuts, pieces（file, name,\n"
    "                start, end, trimmed, ...）; -p なら threshold（使ったしきい値）と pause_ms も\n"
    "  --help        この説明\n"
    "\n"
    "保存するファイル名が一つでも既にあれば、その入力については何も書きません。\n"
    "カットする場所が一つも見つからなければ、使ったしきい値とともにそう表示します。\n"
    "終了コード: 0 すべてのピースを保存した、1 失敗があった、2 使い方の誤り（--names と --cuts-from の\n"
    "ファイルの誤りも）\n";

// A whole non-negative decimal number that a double holds exactly.
bool ParseCount(const std::string& text, std::uint64_t limit, std::uint64_t* value) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (v > (limit - digit) / 10) return false;
        v = v * 10 + digit;
    }
    *value = v;
    return true;
}

// A non-negative decimal number with an optional fraction ("30", "0.5").
bool ParseAmount(const std::string& text, double* value) {
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    std::uint64_t w = 0, f = 0;
    if (whole.empty() || !ParseCount(whole, 1u << 30, &w)) return false;
    if (dot != std::string::npos && (fraction.empty() || fraction.size() > 9 || !ParseCount(fraction, ~0ull, &f)))
        return false;
    *value = static_cast<double>(w) + static_cast<double>(f) / std::pow(10.0, static_cast<double>(fraction.size()));
    return true;
}

// A piece's name in a label file or --json: its file name without the folder and ".wav".
std::string PieceLabel(const std::string& file) { return WithoutWavTail(file.substr(FolderPart(file).size())); }

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

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    std::uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) { n = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { n = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { n = 4; cp = c & 0x07; }
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// A JSON string; bytes that are not UTF-8 (a Linux file name may hold any)
// become U+FFFD so the line stays valid JSON.
std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = Utf8Length(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out.append(s, i, n);
        }
        i += n;
    }
    return out + "\"";
}

std::string Number(std::uint64_t v) { return std::to_string(v); }

std::string JsonNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

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
        if (file_.Damaged()) return Reject(kSplitCannotRead, "");
        if (!plan.twice.empty()) return Reject(NamesTwiceText(plan.twice).c_str(), "");
        if (!options_.dryRun && !NothingInTheWay(plan.save)) return false;
        Written written;
        if (!options_.dryRun && !Write(plan.save, &written)) return Reject(kSplitCannotRead, "");
        return Report(plan, written);
    }

private:
    struct Written {
        std::vector<bool> pieces;
        std::size_t count = 0;
        bool labels = true;
    };

    // The file mapped and its header read; the data's notices told.
    bool Open() {
        std::string reason;
        const MappedFile::Outcome opened = file_.Open(path_, &reason);
        if (opened != MappedFile::Mapped)
            return Reject(opened == MappedFile::CannotOpen ? kSplitCannotOpen : kSplitCannotRead, reason);
        check_ = CheckWaveBytes(file_.bytes(), file_.size());
        if (check_.verdict == WaveVerdict::NotWave) {
            // A known other kind is named, in the window's words.
            if (const char* kind = ForeignFormatName(file_.bytes(), static_cast<std::size_t>(file_.size())))
                return Reject(ForeignFileText(path_.substr(FolderPart(path_).size()), kind).c_str(), "");
        }
        if (check_.verdict == WaveVerdict::NotWave)
            return Reject(kSplitNotWave, "\"" + Printable(HeaderTagText(check_.header)) + "\"");
        if (check_.verdict == WaveVerdict::NoDataChunk) return Reject(kSplitNoData, "");
        if (check_.verdict == WaveVerdict::Unsupported) return Reject(kSplitUnsupported, FormatProblemText(check_.layout));
        const WaveLayout& layout = check_.layout;
        if (check_.fitted) io_.err(path_ + ": " + DataFittedText(layout) + "\n");
        if (PartialFrameBytes(layout) > 0) io_.err(path_ + ": " + PartialFrameText(layout) + "\n");
        data_ = file_.bytes() + layout.dataOffset;  // the file's own bytes, never more
        return true;
    }

    double TypedThreshold() const { return ReadThresholdText(options_.threshold).value; }

    // The cuts of pause cutting or automatic cutting, when asked for.
    std::vector<double> FindCuts() {
        const WaveLayout& layout = check_.layout;
        std::vector<double> cuts;
        if (options_.pauseCut) {
            const PauseCutResult found = FindPauseCuts(PauseAudioOf(data_, layout),
                                                       options_.haveThreshold ? TypedThreshold() : std::nan(""), options_.pauseMs);
            threshold_ = found.threshold;
            for (std::int64_t c : found.cuts) cuts.push_back(static_cast<double>(c));
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
        request.digits = options_.digits;
        request.rules.longestSeconds = options_.longestSeconds;
        request.rules.shortestSeconds = options_.shortestSeconds;
        request.rules.marginMs = options_.marginMs;
        request.rules.pieceCount = options_.pieceCount;
        // Pause cutting's threshold where it ran with one given.
        if (options_.pauseCut && options_.haveThreshold) request.quietThreshold = TypedThreshold();
        request.names = naming_.list;
        request.labels = naming_.labels;
        return request;
    }

    // False (after saying which) when a piece's or the label file's name is taken.
    bool NothingInTheWay(const PieceSave& save) const {
        std::vector<std::string> taken = NamesInTheWay(save);
        if (!options_.labelsFile.empty() && PathExists(options_.labelsFile)) taken.push_back(options_.labelsFile);
        if (taken.empty()) return true;
        io_.err(path_ + ": " + NamesInTheWayText(taken, ", ") + "\n");
        if (options_.json)
            io_.json("{\"path\":" + JsonString(path_) + ",\"error\":" + JsonString(NamesInTheWayText(taken, ", ")) + "}\n");
        return false;
    }

    // Every piece, then the label file; false when the file's bytes went away
    // under the writing (the piece then holding them is removed).
    bool Write(const PieceSave& save, Written* written) {
        written->pieces.assign(save.pieces.size(), false);
        std::string reason;
        for (std::size_t k = 0; k < save.pieces.size(); ++k) {
            const NewFileOutcome outcome = WriteSavePiece(save, k, &reason);
            if (file_.Damaged()) {
                // The piece may hold the zeros that took the file's place.
                if (outcome == NewFileOutcome::Written) RemoveFile(save.names[k]);
                return false;
            }
            if (outcome == NewFileOutcome::Written) {
                written->pieces[k] = true;
                ++written->count;
                continue;
            }
            io_.err(path_ + ": " + PieceFailureLine(save.names[k], {k, outcome, reason}) + "\n");
            // No first piece: the folder is missing or closed, and so it is for every piece.
            if (outcome == NewFileOutcome::NotCreated && k == 0) break;
        }
        if (!options_.labelsFile.empty()) written->labels = WriteLabelFile(save);
        return true;
    }

    bool WriteLabelFile(const PieceSave& save) const {
        std::string reason;
        const std::string text = SaveLabelsText(save, check_.layout);
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
            const std::string json = Json(check_, plan.cuts, save.pieces, save.names, written.pieces, save.trimmed);
            if (file_.Damaged()) return Reject(kSplitCannotRead, "");  // measured on zeros
            io_.json(json);
        } else if (options_.dryRun) {
            io_.out(Listing(check_.layout, plan.cuts, save.pieces, save.names, save.trimmed));
        } else {
            const std::vector<std::string>& names = save.names;
            io_.out(path_ + ": " + Number(save.pieces.size()) + " 個中 " + Number(written.count) + " 個のファイルを保存しました (" +
                    names.front() + (names.size() > 1 ? " ～ " + names.back() : std::string()) + ")\n");
        }
        return options_.dryRun || (written.count == save.pieces.size() && written.labels);
    }

    // A byte offset of the data in seconds, six decimals.
    static std::string Seconds(const WaveLayout& l, std::uint64_t bytes) {
        const double perSecond = static_cast<double>(l.channels) * l.sampleBytes() * l.sampleRate;
        char t[40];
        std::snprintf(t, sizeof t, "%.6f", perSecond > 0 ? static_cast<double>(bytes) / perSecond : 0.0);
        return t;
    }

    bool Reject(const char* text, const std::string& detail) {
        io_.err(path_ + ": " + text + Reason(detail) + "\n");
        if (options_.json) io_.json("{\"path\":" + JsonString(path_) + ",\"error\":" + JsonString(text) + "}\n");
        return false;
    }

    std::string Listing(const WaveLayout& layout, const std::vector<double>& cuts, const std::vector<Piece>& pieces,
                        const std::vector<std::string>& names, const std::vector<bool>& trimmed) const {
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
                    (trimmed[k] ? " (前後の無音を除く)" : "") + "\n";
        }
        return text;
    }

    std::string Json(const WaveCheck& check, const std::vector<double>& cuts, const std::vector<Piece>& pieces,
                     const std::vector<std::string>& names, const std::vector<bool>& written,
                     const std::vector<bool>& trimmed) const {
        const WaveLayout& l = check.layout;
        const WaveStats stats = MeasureEncodedWave(data_, l.encoding, l.sampleCount, l.scaleSize());
        auto field = [](const char* name, double value) {
            return std::string(",\"") + name + "\":" + JsonString(FormatNumber(value));
        };
        std::string j = "{\"path\":" + JsonString(path_);
        j += field("channels", l.channels) + field("sample_rate", l.sampleRate) + field("bits", l.bitsPerSample) + field("peak", stats.peak) + field("nadir", stats.nadir) +
             field("smallest_positive", stats.smallestPositive) + field("average", stats.average);
        j += ",\"cuts\":[";
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            char c[32];
            std::snprintf(c, sizeof c, "%.17g", cuts[i]);
            j += (i ? "," : "") + std::string(c);
        }
        j += "]";
        if (options_.pauseCut) j += ",\"threshold\":" + JsonNumber(threshold_) + ",\"pause_ms\":" + JsonNumber(options_.pauseMs);
        j += ",\"pieces\":[";
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            j += (k ? ",{" : "{") + std::string("\"file\":") + JsonString(names[k]) +
                 ",\"name\":" + JsonString(PieceLabel(names[k])) + ",\"start\":" + Seconds(l, pieces[k].offset) +
                 ",\"end\":" + Seconds(l, pieces[k].offset + pieces[k].length) +
                 ",\"trimmed\":" + (trimmed[k] ? "true" : "false") + ",\"first\":" + Number(pieces[k].offset / l.sampleBytes()) +
                 ",\"samples\":" + Number(pieces[k].length / l.sampleBytes()) +
                 ",\"bytes\":" + Number(pieces[k].length);
            if (!options_.dryRun) j += std::string(",\"written\":") + (written[k] ? "true" : "false");
            j += "}";
        }
        return j + "]}\n";
    }

    const std::string& path_;
    const SplitOptions& options_;
    const SplitIo& io_;
    const PieceNaming& naming_;
    MappedFile file_;
    WaveCheck check_;
    double threshold_ = 0;  // of a pause run
    const std::uint8_t* data_ = nullptr;
};

}  // namespace

namespace {

// One option's value into the options; false with *error when it is no such value.
using OptionFn = bool (*)(const std::string& name, const std::string& value, SplitOptions* o, std::string* error);

bool Refuse(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

bool Threshold(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    const ThresholdKind kind = ReadThresholdText(value).kind;
    if (kind == ThresholdKind::AboveFullScale)
        return Refuse(error, "-t のデシベルは 0 以下です（フルスケールより大きな音はありません。例 -30dB）: " + value);
    if (kind != ThresholdKind::Number && kind != ThresholdKind::Decibels)
        return Refuse(error, "-t はサンプル値（例 300）かデシベル（例 -40dB）です: " + value);
    o->autoCut = o->haveThreshold = true;
    o->threshold = value;
    return true;
}

bool Pause(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    std::uint64_t n = 0;
    if (!ParseCount(value, 3600000, &n) || n == 0) return Refuse(error, "-p は 1 以上の整数のミリ秒です: " + value);
    o->pauseCut = true;
    o->pauseMs = static_cast<double>(n);
    return true;
}

bool Width(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    std::uint64_t n = 0;
    if (!ParseCount(value, static_cast<std::uint64_t>(kGraphMaxWidth), &n) || n == 0)
        return Refuse(error, "-w は 1 から " + std::to_string(kGraphMaxWidth) + " の整数です: " + value);
    o->width = static_cast<std::int32_t>(n);
    return true;
}

bool Cut(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    SplitCut cut;
    if (!ParseCutValue(value, &cut))
        return Refuse(error, "-c は 0 以上の整数のサンプル位置か時刻 (83.5s, 1:23.5) です: " + value);
    o->cuts.push_back(cut);
    return true;
}

bool Folder(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    if (value.empty()) return Refuse(error, "-d のフォルダーがありません");
    o->folder = value;
    return true;
}

bool Prefix(const std::string&, const std::string& value, SplitOptions* o, std::string*) {
    o->havePrefix = true;
    o->prefix = value;
    return true;
}

bool Digits(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    if (value.size() != 1 || value[0] < '1' || value[0] > '9') return Refuse(error, "--digits は 1 から 9 の整数です: " + value);
    o->digits = static_cast<std::uint32_t>(value[0] - '0');
    return true;
}

bool Pieces(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    std::uint64_t n = 0;
    if (!ParseCount(value, 1000000, &n) || n == 0) return Refuse(error, "--pieces は 1 以上の整数です: " + value);
    o->pieceCount = static_cast<std::uint32_t>(n);
    return true;
}

// Seconds (longest, shortest: above 0) or milliseconds (margin: 0 or more).
bool Amount(const std::string& value, double most, bool zeroAllowed, double* into) {
    double v = 0;
    if (!ParseAmount(value, &v) || v > most || (!zeroAllowed && v <= 0)) return false;
    *into = v;
    return true;
}
bool Longest(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    return Amount(value, 86400, false, &o->longestSeconds) || Refuse(error, "--max は 0 より大きい秒数です: " + value);
}
bool Shortest(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    return Amount(value, 86400, false, &o->shortestSeconds) || Refuse(error, "--min は 0 より大きい秒数です: " + value);
}
bool Margin(const std::string&, const std::string& value, SplitOptions* o, std::string* error) {
    return Amount(value, 3600000, true, &o->marginMs) || Refuse(error, "--margin は 0 以上のミリ秒です: " + value);
}

// A file name for --names, --labels and --cuts-from.
bool FileName(const std::string& name, const std::string& value, std::string* into, std::string* error) {
    if (value.empty()) return Refuse(error, "ファイル名がありません: " + name);
    *into = value;
    return true;
}
bool Names(const std::string& name, const std::string& value, SplitOptions* o, std::string* error) {
    return FileName(name, value, &o->namesFile, error);
}
bool Labels(const std::string& name, const std::string& value, SplitOptions* o, std::string* error) {
    return FileName(name, value, &o->labelsFile, error);
}
bool CutsFrom(const std::string& name, const std::string& value, SplitOptions* o, std::string* error) {
    return FileName(name, value, &o->cutsFrom, error);
}

struct Option {
    const char* name;  // "-t" takes its value joined ("-t300") or next; "--max" as "--max=10" or next
    OptionFn read;
};
const Option kOptions[] = {
    {"-t", Threshold}, {"-p", Pause}, {"--pause", Pause}, {"-w", Width}, {"-c", Cut}, {"-o", Prefix},
    {"-d", Folder}, {"--digits", Digits}, {"--max", Longest}, {"--min", Shortest}, {"--margin", Margin},
    {"--pieces", Pieces}, {"--names", Names}, {"--labels", Labels}, {"--cuts-from", CutsFrom},
};

// The option word `a` names, and its value joined to it (*joined) if any.
const Option* OptionOf(const std::string& a, std::string* joined, bool* hasJoined) {
    for (const Option& o : kOptions) {
        const std::size_t n = std::strlen(o.name);
        if (a.compare(0, n, o.name) != 0) continue;
        const bool shortForm = n == 2;  // "-t300", "-t 300"
        if (a.size() == n || (shortForm && a.size() > n && a[1] != '-') || (!shortForm && a[n] == '=')) {
            *hasJoined = a.size() > n;
            *joined = a.size() > n ? a.substr(shortForm ? n : n + 1) : std::string();
            return &o;
        }
    }
    return nullptr;
}

ArgsOutcome Checked(const SplitOptions& options, std::string* error) {
    if (options.inputs.empty()) {
        *error = "WAV ファイルを指定してください";
        return ArgsOutcome::Usage;
    }
    if (!options.labelsFile.empty() && options.inputs.size() > 1) {
        *error = "--labels は入力ファイルが一つのときだけ使えます";
        return ArgsOutcome::Usage;
    }
    if (options.havePrefix && options.inputs.size() > 1) {
        // Every file's pieces would get the same names and all but the first fail.
        *error = "-o は入力ファイルが一つのときだけ使えます";
        return ArgsOutcome::Usage;
    }
    return ArgsOutcome::Run;
}

}  // namespace

ArgsOutcome ParseSplitArguments(const std::vector<std::string>& args, SplitOptions* options, std::string* error) {
    *options = SplitOptions();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            options->inputs.push_back(a);
            continue;
        }
        if (a == "--") { optionsEnded = true; continue; }
        if (a == "--help" || a == "-h") return ArgsOutcome::Help;
        if (a == "--json") { options->json = true; continue; }
        if (a == "-n") { options->dryRun = true; continue; }
        std::string value;
        bool joined = false;
        const Option* option = OptionOf(a, &value, &joined);
        if (!option) {
            *error = "知らないオプションです: " + a;
            return ArgsOutcome::Usage;
        }
        if (!joined) {
            if (i + 1 == args.size()) {
                *error = std::string(option->name) + " の値がありません";
                return ArgsOutcome::Usage;
            }
            value = args[++i];
        }
        if (!option->read(a, value, options, error)) return ArgsOutcome::Usage;
    }
    return Checked(*options, error);
}

std::string DefaultPiecePrefix(const std::string& path) { return WithoutWavTail(path); }

bool ParseCutValue(const std::string& text, SplitCut* cut) {
    std::uint64_t n = 0;
    if (ParseCount(text, std::uint64_t{1} << 53, &n)) {
        *cut = {static_cast<double>(n), false};
        return true;
    }
    // Seconds with an "s", or [h:]m:s; each part digits, the last with a fraction.
    std::string rest = text;
    const bool suffixed = !rest.empty() && (rest.back() == 's' || rest.back() == 'S');
    if (suffixed) rest.pop_back();
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
        const std::size_t colon = rest.find(':', from);
        parts.push_back(rest.substr(from, colon == std::string::npos ? std::string::npos : colon - from));
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    if (parts.size() > 3 || (parts.size() == 1 && !suffixed) || (parts.size() > 1 && suffixed)) return false;
    double seconds = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        const std::size_t dot = p.find('.');
        const bool last = i + 1 == parts.size();
        if ((dot != std::string::npos && !last) || p.empty() || p.size() > 12) return false;
        const std::string whole = p.substr(0, dot);
        const std::string fraction = dot == std::string::npos ? std::string() : p.substr(dot + 1);
        if (whole.empty() || (dot != std::string::npos && fraction.empty())) return false;
        std::uint64_t w = 0, f = 0;
        if (!ParseCount(whole, std::uint64_t{1} << 40, &w) || (!fraction.empty() && !ParseCount(fraction, ~0ull, &f)))
            return false;
        if (i > 0 && w >= 60) return false;  // minutes and seconds after a colon stay below 60
        seconds = seconds * 60 + static_cast<double>(w) + (fraction.empty() ? 0 : std::stod("0." + fraction));
    }
    *cut = {seconds, true};
    return true;
}

int RunSplit(const std::vector<std::string>& args, const SplitIo& io) {
    SplitOptions options;
    std::string error;
    switch (ParseSplitArguments(args, &options, &error)) {
        case ArgsOutcome::Help:
            io.out(std::string(kUsage) + kHelp);
            return kSplitOk;
        case ArgsOutcome::Usage:
            io.err("tarnwick-split: " + error + "\n" + kUsage + "詳しくは tarnwick-split --help\n");
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
            io.err("tarnwick-split: -o は入力ファイルが一つのときだけ使えます\n" + std::string(kUsage));
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
