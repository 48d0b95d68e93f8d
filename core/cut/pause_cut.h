// Pause cutting: one cut in the middle of every pause of a spoken recording.
// A pause is a stretch of at least minPauseMs in which the speaker is heard to
// stop: no speech-band sound above the room's noise that is voiced or next to
// voiced sound, measured from where the words really end to where they start.
// The level is judged over short windows of all channels mixed, so the zero
// crossings of speech never make a pause and clicks never break one.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/wave/sample_format.h"
#include "core/wave/wave_format.h"

namespace tw {

// Window over which the level is judged.
constexpr double kPauseWindowMs = 10.0;
// The window's default minimum pause: longer than the pauses at commas in
// ordinary speech (0.15-0.3 s), shorter than those between sentences.
constexpr double kDefaultPauseMs = 400.0;

struct PauseAudio {
    const std::uint8_t* data = nullptr;  // the data chunk
    std::uint64_t sampleCount = 0;       // samples (one channel's value each), interleaved
    SampleEncoding encoding = SampleEncoding::Pcm16;
    std::uint32_t channels = 1;
    std::uint32_t sampleRate = 44100;
};

// The samples of a data chunk laid out as `layout` says.
PauseAudio PauseAudioOf(const std::uint8_t* data, const WaveLayout& layout);

struct PauseCutResult {
    std::vector<std::int64_t> cuts;  // sample indices of whole frames, ascending
    double threshold = 0;            // the threshold used, on the 16-bit scale
};

// Cuts at threshold T (an RMS level of the speech band on the 16-bit scale:
// quieter is pause; T <= 0 finds no pause), or with T NaN at the recording's
// own judgement of the room and the speaker, whose level is then the
// threshold reported. Either way a stretch also counts as quiet while it is
// close to the quietest level around it, so pauses are still found when the
// room's noise rises.
PauseCutResult FindPauseCuts(const PauseAudio& audio, double threshold, double minPauseMs);

// Where a recording is quiet, for choosing cuts beyond those of pause
// cutting: spans in sample indices of whole frames, [first, end).
struct SoundSpan {
    std::int64_t first, end;
    double level;  // pauses: their band power where they are quietest (0 for speech)
    std::int64_t quietest = 0;  // pauses: the middle of that quietest stretch (0: the pause's middle)
};
struct QuietMap {
    std::vector<SoundSpan> speech;  // the stretches of speech, padded as pause cutting pads them
    std::vector<SoundSpan> pauses;  // every pause between them, of any length
    std::vector<double> level;      // band power of each whole window
    std::vector<double> room;       // the room's level around each window: the quietest near it
    std::vector<double> power;      // band power of each window alone, unsmoothed: a consonant's burst shows
    std::uint64_t windowSamples = 0;  // samples (all channels) of one window
    double threshold = 0;           // as FindPauseCuts reports it
};
// The same judgement as FindPauseCuts at this threshold (NaN: estimated):
// its cuts are the middles of the pauses of at least the minimum length.
QuietMap MapQuiet(const PauseAudio& audio, double threshold);

// FindPauseCuts' cuts from its map: the middles of the pauses of at least
// minPauseMs, so a caller that needs both judges the recording once.
std::vector<std::int64_t> PauseCutsOf(const QuietMap& map, std::uint32_t channels, std::uint32_t sampleRate,
                                      double minPauseMs);

// The threshold the recording suggests: the limit of quiet in its quieter
// stretches, a little over its noise floor. Whole, >= 1.
double EstimatePauseThreshold(const PauseAudio& audio);

// Text of the threshold box or of -t. "-40dB" / "-40 dB" (any case) is that
// many decibels below full scale, 32768 x 10^(dB/20); a plain decimal number
// is a sample value; anything else keeps the number the box has always read
// from it (the command line refuses it). Decibels above 0 ("300dB", a typo
// for -30dB) are louder than any sample: AboveFullScale, which neither the
// window nor the command line cuts at.
enum class ThresholdKind { Empty, Number, Decibels, AboveFullScale, Other };
struct ThresholdText {
    ThresholdKind kind = ThresholdKind::Empty;
    double value = 0;
};
ThresholdText ReadThresholdText(std::string_view text);

}  // namespace tw
