// Compressed recordings dropped on the real window, decoded by Windows' own
// decoders (under Wine: Media Foundation through GStreamer, ACM for MP3):
// against ffmpeg's decode of the same file (test_compressed.pre.sh), and then
// numbers, graph, pause cuts and pieces as for the WAV file they were made
// from. A format whose decoder is missing here is "skipped" with the reason.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/cut/mp3_save.h"
#include "core/support/number_text.h"
#include "core/wave/recording_source.h"
#include "graph_model_win.h"
#include "harness_win.h"
#include "platform/win/text_win.h"
#include "shell/app/shell_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

using Samples = std::vector<std::int16_t>;

Samples ReadRaw(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    Samples s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return s;
}

Samples Shown() {
    const tw::WavePtr wave = twt::CurrentWave();
    Samples s(wave ? wave->sampleCount() : 0);
    for (size_t i = 0; i < s.size(); ++i) s[i] = wave->sample(i);
    return s;
}

// The frame shift of `a` against `b` (within +-limit) that matches a second
// in the middle best.
long BestLag(const Samples& a, const Samples& b, long limit) {
    const long mid = static_cast<long>(std::min(a.size(), b.size()) / 2), span = 44100 * 2;
    long best = 0;
    double bestSum = -1;
    for (long lag = -limit; lag <= limit; ++lag) {
        double sum = 0;
        for (long i = mid; i < mid + span; i += 2) sum += std::abs(a[i + 2 * lag] - b[i]);
        if (bestSum < 0 || sum < bestSum) bestSum = sum, best = lag;
    }
    return best;
}

// Pause cutting with the estimated threshold; the cuts in seconds.
std::vector<double> PauseCutSeconds() {
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, "");
    SendMessageA(Control(1040), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    WaitUntil([] { return twt::PauseCutsInFlight() == 0; });
    WaitIdle();
    const tw::WavePtr wave = twt::CurrentWave();
    std::vector<double> seconds;
    for (double c : twt::Cuts().Snapshot()) seconds.push_back(c / wave->layout.channels / wave->layout.sampleRate);
    std::sort(seconds.begin(), seconds.end());
    return seconds;
}

// The pieces a save writes, joined: the recording's decoded bytes.
void CheckPieces(const std::string& prefix, const std::string& what) {
    const tw::WavePtr wave = twt::CurrentWave();
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, prefix.c_str());
    ClearBoxes();
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    Check(WaitIdle() && WaitBoxes(1), what + ": saved");
    std::vector<std::uint8_t> joined;
    for (int k = 0;; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%03d.wav", prefix.c_str(), k);
        const std::vector<std::uint8_t> piece = ReadFileBytes(WorkPath(name));
        if (piece.size() < 44) break;
        Check(piece[22] == wave->layout.channels && piece[34] == 16 && tw::ReadLe32(&piece[24]) == wave->layout.sampleRate,
              what + ": " + name + " is 16-bit at the recording's rate and channels");
        joined.insert(joined.end(), piece.begin() + 44, piece.end());
    }
    Check(joined.size() == wave->dataSize() && std::equal(joined.begin(), joined.end(), wave->bytes),
          what + ": the pieces are the decoded samples, " + std::to_string(joined.size()) + " bytes");
}

// An MP3 file's pieces as MP3 (the default), each read back by the
// platform's own decoders: exactly as long as the recording between its
// cuts, its samples within 1 of the whole file's decode (measured under Wine 8:
// 0 frames, 1 LSB, as a decoder's rounding goes after the carrier frame).
void CheckMp3Pieces(const std::string& prefix, const std::string& what) {
    const tw::WavePtr wave = twt::CurrentWave();
    Check(IsWindowEnabled(Control(1083)) && SendMessageA(Control(1083), BM_GETCHECK, 0, 0) == BST_CHECKED,
          what + ": 「MP3 のまま保存」 offered and checked");
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, prefix.c_str());
    ClearBoxes();
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    Check(WaitIdle() && WaitBoxes(1), what + ": saved as MP3");
    std::vector<double> cuts = twt::Cuts().Snapshot();
    std::sort(cuts.begin(), cuts.end());
    const std::uint64_t channels = wave->layout.channels, frames = wave->dataSize() / 2 / channels;
    std::uint64_t first = 0;
    long worstLength = 0, worstSample = 0;
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%03d.mp3", prefix.c_str(), static_cast<int>(k));
        const std::uint64_t end = k < cuts.size() ? static_cast<std::uint64_t>(cuts[k]) / channels : frames;
        const auto piece = tw::OpenRecording(WorkPath(name));
        if (!Check(piece->outcome == tw::Recording::Opened, what + ": " + name + " decodes")) return;
        const std::uint64_t got = piece->check.layout.dataSize / 2 / channels;
        worstLength = std::max(worstLength, std::labs(static_cast<long>(got) - static_cast<long>(end - first)));
        const auto* samples = reinterpret_cast<const std::int16_t*>(piece->data);
        const auto* whole = reinterpret_cast<const std::int16_t*>(wave->bytes) + first * channels;
        for (std::uint64_t i = 0; i < std::min(got, end - first) * channels; ++i)
            worstSample = std::max(worstSample, static_cast<long>(std::abs(samples[i] - whole[i])));
        first = end;
    }
    std::printf("%s: %zu MP3 pieces, lengths off by at most %ld frames, samples by %ld\n", what.c_str(), cuts.size() + 1,
                worstLength, worstSample);
    Check(worstLength == 0 && worstSample <= 1, what + ": every MP3 piece holds its piece's samples");
}

struct Row {
    const char* file;
    std::uint32_t rate;
    long lag;        // frames from ffmpeg's decode
    long length;     // frames from the source's length
    int maxDiff;     // largest sample difference from ffmpeg's decode (past the first 0.5 s)
    double cuts;     // seconds from the source's pause cuts
};

// Measured under Wine 8 with GStreamer 1.22: MP3 (its gap trimmed), FLAC,
// ALAC and Vorbis agree with ffmpeg to a sample; AAC and Opus decoders
// differ in their rounding, AAC ends short; ffmpeg's WMA encoder shifts its
// audio by 2,048 frames (46 ms), which its own decoder keeps and Windows'
// does not. Vorbis at its default quality fills the room's noise anew, and
// a pause's edges are measured by how speech decays into that noise: its
// cuts move up to 20 ms.
const Row kRows[] = {
    {"talk.mp3", 44100, 0, 0, 2, 0.010},      {"vbr.mp3", 44100, 0, 0, 2, 0.010},
    {"talk.flac", 44100, 0, 0, 0, 0.010},     {"alac.m4a", 44100, 0, 0, 0, 0.010},
    {"talk.m4a", 44100, 1, 1024, 1000, 0.010}, {"talk.ogg", 44100, 1, 1, 2, 0.020},
    {"talk.opus", 48000, 1, 960, 1000, 0.010}, {"talk.wma", 44100, 3000, 2048, 65536, 0.060},
};

std::wstring WorkPathW(const std::wstring& name) {
    const std::string dir = WorkPath("");
    std::wstring wide(dir.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, &wide[0], static_cast<int>(wide.size())) - 1));
    return wide + name;
}

// A drop that a missing decoder refused: true (and "skipped" said) when so.
bool DecoderMissing(const std::string& file) {
    const auto boxes = Boxes();
    if (boxes.empty()) return false;
    std::printf("skipped: %s: %s\n", file.c_str(), boxes[0].text.c_str());
    return boxes[0].text.find("0x80004005") != std::string::npos;
}

void CheckFormat(const Row& r, const Samples& source, const std::vector<double>& sourceCuts) {
    const std::string file = r.file;
    ClearBoxes();
    DropFiles({WorkPath(file)});
    if (!Check(WaitIdle(120000), file + ": load ends") || DecoderMissing(file)) return;
    if (!Check(Boxes().empty() && twt::CurrentWave(), file + ": decoded")) return;
    CheckEq(ControlText(1005), std::string("2"), file + " channels");
    CheckEq(ControlText(1007), tw::FormatNumber(r.rate), file + " rate");
    CheckEq(ControlText(1009), std::string("16"), file + " bits");
    const Samples shown = Shown(), reference = ReadRaw(WorkPath(file + ".raw"));
    const long frames = static_cast<long>(shown.size() / 2);
    const long expected = static_cast<long>(source.size() / 2 * r.rate / 44100);
    const long lag = BestLag(shown, reference, 3000);
    int worst = 0;
    for (size_t i = r.rate; i + 2 * std::abs(lag) < std::min(shown.size(), reference.size()); ++i)
        worst = std::max(worst, std::abs(shown[i + 2 * std::max(lag, 0L)] - reference[i + 2 * std::max(-lag, 0L)]));
    std::printf("%s: %ld frames (source %ld), %+ld frames from ffmpeg's decode, largest difference %d\n", file.c_str(),
                frames, expected, lag, worst);
    Check(std::labs(frames - expected) <= r.length, file + ": length within " + std::to_string(r.length) + " frames");
    Check(std::labs(lag) <= r.lag && worst <= r.maxDiff, file + ": samples as ffmpeg decodes them");
    gm::CheckPictureOf(WaveFile(shown, 2, static_cast<int>(r.rate)), file + ": graph");
    const std::vector<double> cuts = PauseCutSeconds();
    bool agree = cuts.size() == sourceCuts.size();
    for (size_t k = 0; agree && k < cuts.size(); ++k) agree = std::abs(cuts[k] - sourceCuts[k]) <= r.cuts;
    Check(agree, file + ": " + std::to_string(cuts.size()) + " pause cuts near the WAV file's " + std::to_string(sourceCuts.size()));
    const std::string prefix = file.substr(0, file.find('.')) + "_" + file.substr(file.find('.') + 1);
    const bool mp3 = file.size() > 4 && file.compare(file.size() - 4, 4, ".mp3") == 0;
    if (mp3) CheckMp3Pieces(prefix, file);
    Check(IsWindowEnabled(Control(1083)) == (mp3 ? TRUE : FALSE), file + ": 「MP3 のまま保存」 only for an MP3 file");
    SendMessageA(Control(1083), BM_CLICK, 0, 0);  // WAV pieces of an MP3 file too
    CheckPieces(prefix, file);
    SendMessageA(Control(1083), BM_CLICK, 0, 0);
}

// The same MP3 under a Japanese name; one cut short; an ID3 tag and noise;
// a long one given up for the FLAC dropped while it decodes.
void CheckHardCases(size_t mp3Samples) {
    ClearBoxes();
    DropFilesW({WorkPathW(L"講義の録音.mp3")});
    Check(WaitIdle(120000) && Boxes().empty() && twt::CurrentWave() && twt::CurrentWave()->sampleCount() == mp3Samples,
          "a Japanese name decodes as the same MP3");
    DropFiles({WorkPath("cut.mp3")});
    Check(WaitIdle(120000) && twt::CurrentWave() && twt::CurrentWave()->sampleCount() < mp3Samples * 3 / 4,
          "an MP3 cut short shows what decodes");
    // Its decode ends before its frames do: its pieces cannot be MP3, and the status line says why.
    CheckEq(ControlText(1026), tw::CodePageFromUtf8(tw::DecodeNoticeText() + " " + tw::Mp3PiecesAsWavText(), CP_ACP),
            "and says the rest could not be read, and that its pieces are WAV");
    Check(!IsWindowEnabled(Control(1083)), "「MP3 のまま保存」 greyed for it");
    ClearBoxes();
    DropFiles({WorkPath("noise.mp3")});
    Check(WaitIdle(120000) && WaitBoxes(1) && Boxes()[0].text.rfind("noise.mp3 は MP3 ファイル", 0) == 0,
          "an ID3 tag and noise is refused as an MP3 it could not read [" + (Boxes().empty() ? "" : Boxes()[0].text) + "]");
    ClearBoxes();
    DropFiles({WorkPath("long.mp3")});
    Check(WaitUntil([] { return ControlText(1026).find("%") != std::string::npos; }), "a long MP3 shows its progress");
    DropFiles({WorkPath("talk.flac")});
    Check(WaitIdle(120000) && Boxes().empty() && ControlText(1003) == WorkPath("talk.flac"),
          "a drop during the decode gives it up for the new file");
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    DropFiles({WorkPath("source.wav")});
    Check(WaitIdle(), "the source WAV file loads");
    const Samples source = Shown();
    const std::vector<double> sourceCuts = PauseCutSeconds();
    Check(sourceCuts.size() >= 3, "the source WAV file has its pauses cut");
    for (const Row& r : kRows) CheckFormat(r, source, sourceCuts);
    DropFiles({WorkPath("talk.mp3")});
    WaitIdle(120000);
    CheckHardCases(twt::CurrentWave() ? twt::CurrentWave()->sampleCount() : 0);
    CloseMainWindow();
    return Finish();
}
