// Without Media Foundation (switched off, as on Windows editions that lack
// it): the program starts, MP3 decodes through ACM with its gap trimmed, and
// other compressed kinds get the refusal with the system's reason.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "harness_win.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

void CheckMp3(const char* file, std::uint64_t sourceFrames, int channels) {
    ClearBoxes();
    DropFiles({WorkPath(file)});
    if (!Check(WaitIdle(120000) && Boxes().empty() && twt::CurrentWave(), std::string(file) + ": decoded")) return;
    const tw::WavePtr wave = twt::CurrentWave();
    const std::vector<std::uint8_t> raw = ReadFileBytes(WorkPath(std::string(file) + ".raw"));
    int worst = 0;
    const std::uint64_t n = std::min<std::uint64_t>(wave->sampleCount(), raw.size() / 2);
    for (std::uint64_t i = 0; i < n; ++i)
        worst = std::max(worst, std::abs(wave->sample(i) - static_cast<std::int16_t>(raw[2 * i] | raw[2 * i + 1] << 8)));
    std::printf("%s through ACM: %llu frames (source %llu), largest difference from ffmpeg's decode %d\n", file,
                static_cast<unsigned long long>(wave->sampleCount() / channels), static_cast<unsigned long long>(sourceFrames),
                worst);
    Check(wave->sampleCount() == sourceFrames * channels && raw.size() / 2 == wave->sampleCount() && worst <= 2,
          std::string(file) + ": the source's length, ffmpeg's samples within 2");
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    DropFiles({WorkPath("source.wav")});
    Check(WaitIdle(), "the source WAV file loads");
    const std::uint64_t frames = twt::CurrentWave() ? twt::CurrentWave()->sampleCount() / 2 : 0;
    CheckMp3("talk.mp3", frames, 2);
    CheckMp3("vbr.mp3", frames, 2);
    CheckMp3("mono22.mp3", frames / 2, 1);
    ClearBoxes();
    DropFiles({WorkPath("talk.flac")});
    Check(WaitIdle() && WaitBoxes(1), "a FLAC file is refused");
    const std::string refusal = "talk.flac は FLAC ファイルです。WAV に変換してから読み込んでください (Media Foundation: ";
    Check(!Boxes().empty() && Boxes()[0].text.rfind(refusal, 0) == 0,
          "with the system's reason [" + (Boxes().empty() ? std::string() : Boxes()[0].text) + "]");
    CloseMainWindow();
    return Finish();
}
