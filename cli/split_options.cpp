// tarnwick-split's command line: its options, their values, its usage and help texts.
#include "cli/split_options.h"

#include <cmath>
#include <cstring>

#include "core/cut/auto_cut.h"
#include "core/cut/piece_writer.h"

namespace tw {

namespace {

const char kUsage[] =
    "使い方: tarnwick-split [-t しきい値] [-w 幅] [-p ミリ秒] [-c 位置]... [-o 先頭] [-d フォルダー] [--digits 桁数]\n"
    "                      [--max 秒] [--min 秒] [--pieces 数] [--margin ミリ秒] [--names ファイル] [--labels ファイル]\n"
    "                      [--cuts-from ファイル] [--overwrite] [--folder-per-input] [--mp3-pieces | --wav-pieces]\n"
    "                      [-n] [--json] ファイル.wav...\n";

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
    "  -d フォルダー ピースをこのフォルダーに置く（なければ作る。名前は入力ファイルの名前から \".wav\" を除いたもの、\n"
    "                または -o）\n"
    "  --folder-per-input  入力ごとのフォルダー（talk.wav なら talk）をその横（-d ならその中）に作り、ピースを置く\n"
    "  --overwrite   同じ名前のピースを置き換える（すべてのピースを書き終えてから置き換え、失敗すれば元のまま）。\n"
    "                前の保存の続きの番号のピースは削除せず、その名前を表示する\n"
    "  --digits 桁数 番号の桁数（1〜9、既定 3）\n"
    "  --mp3-pieces  MP3 ファイルのピースを MP3 のまま保存する（既定）: 元のフレームをそのまま使い、再エンコード\n"
    "                しない。カットはサンプル単位のまま、タグは元のものにピースの名前とトラック番号を入れる\n"
    "  --wav-pieces  MP3 ファイルのピースも WAV で保存する\n"
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
    "                smallest_positive, average（数値）, cuts, pieces（file, name, start, end, trimmed, first,\n"
    "                samples, bytes, first_frame, frames, written、MP3 のピースなら mp3: first_frame,\n"
    "                frames, first_sample, last_sample, bytes）; -p なら threshold と pause_ms も\n"
    "  --help        この説明\n"
    "\n"
    "保存するファイル名が一つでも既にあれば（--overwrite なしでは）、その入力については何も書きません。\n"
    "ピースはすべて書けたときだけ残ります。一つでも書けなければ（ディスクがいっぱいなど）、書いたものを削除します。\n"
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

const char* SplitUsageText() { return kUsage; }
const char* SplitHelpText() { return kHelp; }

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
        if (a == "--overwrite") { options->overwrite = true; continue; }
        if (a == "--folder-per-input") { options->folderPerInput = true; continue; }
        if (a == "--mp3-pieces") { options->wavPieces = false, options->mp3Asked = true; continue; }
        if (a == "--wav-pieces") { options->wavPieces = true, options->mp3Asked = false; continue; }
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

std::string DefaultPiecePrefix(const std::string& path) { return WithoutRecordingTail(path); }

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

}  // namespace tw
