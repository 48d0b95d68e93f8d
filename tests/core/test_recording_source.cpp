// Compressed recordings through the one way in, natively (FFmpeg's
// libraries): files made at test time with ffmpeg from a WAV of speech with
// pauses, each checked against the source's length and against ffmpeg's own
// decode, under a Japanese name; then damaged copies, which must give what
// decodes or a refusal, never a crash or a hang.
#include <doctest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/support/little_endian.h"
#include "core/cut/mp3_save.h"
#include "core/wave/recording_source.h"

namespace fs = std::filesystem;
using namespace tw;

#ifndef _WIN32
namespace {

using Bytes = std::vector<std::uint8_t>;

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool Have(const char* tool) { return Run(std::string("command -v ") + tool); }

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A scratch folder that is also the decoder's temporary folder, with the
// source made once: two spoken sentences, 0.8 s pauses around them, 44.1 kHz
// stereo 16-bit, 441,000 frames.
struct Speech {
    fs::path dir = fs::temp_directory_path() / ("tw_decode_" + std::to_string(std::random_device{}()));
    fs::path wav = dir / "speech.wav";
    bool made = false;
    Speech() {
        fs::create_directories(dir);
        setenv("TMPDIR", dir.c_str(), 1);
        const std::string d = dir.string();
        made = Run("espeak-ng -w '" + d + "/a.wav' 'The recording starts here. A pause follows this sentence.'") &&
               Run("sox '" + d + "/a.wav' -r 44100 -c 2 -b 16 '" + d + "/b.wav' pad 0.8 0.8 repeat 1") &&
               Run("sox '" + d + "/b.wav' '" + wav.string() + "' pad 0 10 trim 0 441000s");
    }
    ~Speech() {
        unsetenv("TMPDIR");
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    // The source encoded by ffmpeg under a Japanese name.
    fs::path Encode(const std::string& ext, const std::string& codec) const {
        const fs::path out = dir / fs::u8path("講義の録音." + ext);
        fs::remove(out);
        return Run("ffmpeg -nostdin -y -i '" + wav.string() + "' " + codec + " '" + out.string() + "'") ? out : fs::path();
    }
};

Speech& Source() {
    static Speech speech;
    return speech;
}

// ffmpeg's own decode of `file` as 16-bit samples.
std::vector<std::int16_t> FfmpegSamples(const fs::path& file) {
    const fs::path raw = Source().dir / "ffmpeg.raw";
    if (!Run("ffmpeg -nostdin -y -i '" + file.string() + "' -f s16le '" + raw.string() + "'")) return {};
    const Bytes bytes = ReadAll(raw);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = ReadLeS16(&bytes[2 * i]);
    return samples;
}

bool ToolsMissing() {
    for (const char* tool : {"ffmpeg", "sox", "espeak-ng"})
        if (!Have(tool)) {
            MESSAGE("skipped: " << tool << " is not installed (scripts/setup.sh installs it)");
            return true;
        }
    if (!Source().made) MESSAGE("skipped: the speech recording could not be made");
    return !Source().made;
}

struct Format {
    const char* ext;
    const char* codec;  // ffmpeg's options
    const char* kind;   // as the refusal table names it
    std::uint32_t rate;
    long lengthTolerance;  // frames from the source's 441,000 (at the recording's rate)
};

// ffmpeg writes the MP3 LAME tag and the M4A edit list, so a gapless decode
// is exact but for AAC's last frame (1,024), which it keeps whole; its WMA
// encoder shifts the audio by 2,048 frames and pads the end.
const Format kFormats[] = {
    {"mp3", "-c:a libmp3lame -b:a 128k", "MP3", 44100, 0},
    {"mp3", "-c:a libmp3lame -q:a 4", "MP3", 44100, 0},
    // At 8 kHz the encoder's delay and padding are more than a tenth of a second.
    {"mp3", "-c:a libmp3lame -ar 8000 -b:a 24k", "MP3", 8000, 2},
    {"m4a", "-c:a aac -b:a 128k", "M4A", 44100, 1024},
    {"flac", "-c:a flac", "FLAC", 44100, 0},
    {"m4a", "-c:a alac", "M4A", 44100, 0},
    {"ogg", "-c:a libvorbis -q:a 4", "Ogg Vorbis", 44100, 0},
    {"opus", "-c:a libopus -b:a 64k", "Opus", 48000, 0},
    {"wma", "-c:a wmav2 -b:a 128k", "WMA", 44100, 4096},
};

}  // namespace

TEST_CASE("each compressed format opens as ffmpeg decodes it, as long as its source, under a Japanese name") {
    if (ToolsMissing()) return;
    for (const Format& f : kFormats) {
        CAPTURE(std::string(f.codec));
        const fs::path file = Source().Encode(f.ext, f.codec);
        REQUIRE(!file.empty());
        const std::unique_ptr<Recording> r = OpenRecording(file.u8string());
        REQUIRE(r->outcome == Recording::Opened);
        CHECK(std::string(r->kind) == f.kind);
        CHECK(r->decode.outcome == DecodeOutcome::Complete);
        const WaveLayout& layout = r->check.layout;
        CHECK(layout.sampleRate == f.rate);
        CHECK(layout.channels == 2);
        CHECK(layout.encoding == SampleEncoding::Pcm16);
        const long expected = static_cast<long>(441000ull * f.rate / 44100);
        CHECK(std::labs(static_cast<long>(layout.sampleCount / 2) - expected) <= f.lengthTolerance);
        const std::vector<std::int16_t> reference = FfmpegSamples(file);
        REQUIRE(reference.size() == layout.sampleCount);
        int worst = 0;
        for (std::size_t i = 0; i < reference.size(); ++i)
            worst = std::max(worst, std::abs(reference[i] - ReadLeS16(r->data + 2 * i)));
        CHECK(worst == 0);
        // An MP3 file's frames count its samples as its decode does: its pieces can be MP3.
        CHECK((std::string(f.kind) != "MP3" || CanSaveMp3Pieces(r->mp3.get())));
        // The decoded copy has no name left in the temporary folder.
        for (const auto& entry : fs::directory_iterator(Source().dir))
            CHECK(entry.path().filename().string().rfind("tarnwick-", 0) != 0);
    }
}

namespace {

struct Damage {
    const char* what;
    const char* ext;
    const char* codec;
    void (*spoil)(Bytes&, std::mt19937&);
    bool refused;  // nothing decodes; otherwise the part that does
    bool told;     // ... told as damaged (an Ogg file's pages say nothing of its length)
};

void Truncate(Bytes& b, std::mt19937&) { b.resize(b.size() / 2); }
void FlipBits(Bytes& b, std::mt19937& random) {
    for (int i = 0; i < 300; ++i) b[1000 + random() % (b.size() - 1000)] ^= static_cast<std::uint8_t>(1u << (random() % 8));
}
void NoiseAfterTag(Bytes& b, std::mt19937& random) {
    for (std::size_t i = 10; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(random());
    b.resize(std::min<std::size_t>(b.size(), 200000));
    std::memcpy(b.data(), "ID3\x04\x00\x00\x00\x00\x00\x00", 10);
}

const Damage kDamage[] = {
    {"MP3 cut in half", "mp3", "-c:a libmp3lame -b:a 128k", Truncate, false, true},
    {"FLAC cut in half", "flac", "-c:a flac", Truncate, false, true},
    {"Ogg Vorbis cut in half", "ogg", "-c:a libvorbis", Truncate, false, false},
    {"M4A cut in half (its index is at the end)", "m4a", "-c:a aac", Truncate, true, true},
    {"an ID3 tag and then noise", "mp3", "-c:a libmp3lame", NoiseAfterTag, true, true},
};

}  // namespace

TEST_CASE("damaged compressed files give what decodes with a word, or a refusal") {
    if (ToolsMissing()) return;
    std::mt19937 random(38);
    for (const Damage& d : kDamage) {
        CAPTURE(std::string(d.what));
        const Bytes whole = ReadAll(Source().Encode(d.ext, d.codec));
        Bytes spoilt = whole;
        d.spoil(spoilt, random);
        const fs::path file = Source().dir / (std::string("damaged.") + d.ext);
        WriteAll(file, spoilt);
        const std::unique_ptr<Recording> r = OpenRecording(file.string());
        if (d.refused) {
            CHECK((r->outcome == Recording::DecodeFailed || r->outcome == Recording::NotWave));
            CHECK(!DecodeRefusalText("damaged", "MP3", r->decode).empty());
            continue;
        }
        REQUIRE(r->outcome == Recording::Opened);
        CHECK(r->decode.outcome == (d.told ? DecodeOutcome::Damaged : DecodeOutcome::Complete));
        CHECK(r->check.layout.sampleCount / 2 > 441000 / 4);
        CHECK(r->check.layout.sampleCount / 2 < 441000 * 3 / 4);
    }
}

TEST_CASE("bit-flipped and cut compressed files never crash or hang the decoder") {
    if (ToolsMissing()) return;
    std::mt19937 random(3801);
    for (const Format& f : kFormats) {
        CAPTURE(std::string(f.codec));
        const Bytes whole = ReadAll(Source().Encode(f.ext, f.codec));
        for (int round = 0; round < 6; ++round) {
            Bytes spoilt = whole;
            if (round % 2) FlipBits(spoilt, random);
            spoilt.resize(spoilt.size() - random() % (spoilt.size() / (round + 1)));
            const fs::path file = Source().dir / (std::string("fuzzed.") + f.ext);
            WriteAll(file, spoilt);
            const std::unique_ptr<Recording> r = OpenRecording(file.string());
            if (r->outcome != Recording::Opened) continue;
            // Whatever decoded is whole 16-bit frames of the recording's shape.
            CHECK(r->check.layout.sampleCount % r->check.layout.channels == 0);
            CHECK(r->check.layout.sampleCount / 2 <= 441000ull * f.rate / 44100 + 4096);
        }
    }
}
#else
TEST_CASE("compressed recordings natively") { MESSAGE("skipped: the Windows decoders are tested in the window (tests/shell)"); }
#endif
