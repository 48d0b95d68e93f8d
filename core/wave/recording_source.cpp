#include "core/wave/recording_source.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "core/support/little_endian.h"
#include "core/wave/foreign_format.h"
#include "core/wave/mp3_frames.h"

namespace tw {

namespace {

// The decoded copy's header: RIFF with a JUNK chunk where an RF64 file's
// ds64 goes, so a copy of 4 GiB or more (a long take) is rewritten as RF64
// in place.
constexpr std::size_t kDecodedHeaderSize = 80;
using DecodedHeader = std::array<std::uint8_t, kDecodedHeaderSize>;

DecodedHeader DecodedWaveHeader(std::uint32_t rate, std::uint16_t channels, std::uint64_t dataBytes) {
    DecodedHeader h{};
    const std::uint64_t riffSize = kDecodedHeaderSize - 8 + dataBytes;
    const bool rf64 = riffSize > 0xFFFFFFFFull;
    std::memcpy(&h[0], rf64 ? "RF64" : "RIFF", 4);
    WriteLe32(&h[4], rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riffSize));
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], rf64 ? "ds64" : "JUNK", 4);
    WriteLe32(&h[16], 28);
    if (rf64) {
        WriteLe64(&h[20], riffSize);
        WriteLe64(&h[28], dataBytes);
        WriteLe64(&h[36], dataBytes / (2u * channels));
    }
    std::memcpy(&h[48], "fmt ", 4);
    WriteLe32(&h[52], 16);
    WriteLe16(&h[56], 1);
    WriteLe16(&h[58], channels);
    WriteLe32(&h[60], rate);
    WriteLe32(&h[64], rate * 2u * channels);
    WriteLe16(&h[68], static_cast<std::uint16_t>(2u * channels));
    WriteLe16(&h[70], 16);
    std::memcpy(&h[72], "data", 4);
    WriteLe32(&h[76], rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(dataBytes));
    return h;
}

// What an MP3 decoder that keeps the encoder's gap must lose: the frames
// before the audio and after it, as the LAME/Info tag states them.
struct GapTrim {
    std::uint64_t skip = 0;
    std::uint64_t endTrim = 0;
};

GapTrim Mp3GapTrim(const Mp3Gapless& gap, std::uint32_t samplesPerFrame, const DecodedFormat& format) {
    GapTrim trim;
    if (format.mp3GapTrimmed || !gap.hasLame) return trim;
    const std::uint32_t decoderDelay = format.mp3DecoderDelay;
    trim.skip = (format.mp3InfoFrameDecoded ? samplesPerFrame : 0) + decoderDelay + gap.delay;
    // The decoder's own delay has pushed that much of the padding past its last frame.
    trim.endTrim = gap.padding > decoderDelay ? gap.padding - decoderDelay : 0;
    return trim;
}

// The request, with an MP3's frames found (and its gap, for the trim).
DecodeRequest RequestFor(const std::string& path, const char* kind, Mp3Gapless* gap, std::uint32_t* samplesPerFrame) {
    DecodeRequest request;
    request.path = path;
    request.kind = kind;
    MappedFile file;
    std::string reason;
    if (std::strcmp(kind, "MP3") != 0 || file.Open(path, &reason) != MappedFile::Mapped || !file.bytes()) return request;
    const Mp3Stream stream = ParseMp3Stream(file.bytes(), static_cast<std::size_t>(file.size()));
    if (file.Damaged() || !stream.found) return request;
    *gap = stream.gapless;
    *samplesPerFrame = static_cast<std::uint32_t>(stream.format.samplesPerFrame());
    request.mp3Start = stream.id3v2Bytes;
    request.mp3End = stream.audioEnd;
    request.mp3SampleRate = static_cast<std::uint32_t>(stream.format.sampleRate);
    request.mp3Channels = static_cast<std::uint16_t>(stream.format.channels());
    request.mp3Samples = static_cast<std::uint64_t>(stream.frames.size()) * *samplesPerFrame;
    return request;
}

// Writes what the decoder hands out into the temporary file, in large
// blocks, behind a header rewritten with the sizes at the end.
class WaveFileSink final : public DecodeSink {
public:
    WaveFileSink(TempFile& out, const DecodeProgressFn& progress, const Mp3Gapless& gap, std::uint32_t samplesPerFrame)
        : out_(out), progress_(progress), gap_(gap), samplesPerFrame_(samplesPerFrame) {}

    bool Begin(const DecodedFormat& format) override {
        format_ = format;
        // What a WAV header and the program's numbers can hold.
        if (format.channels == 0 || format.channels > kMaxChannels || format.sampleRate == 0 || format.sampleRate > kMaxRate) {
            badShape_ = true;
            return false;
        }
        trim_ = Mp3GapTrim(gap_, samplesPerFrame_, format);
        const DecodedHeader header = DecodedWaveHeader(format.sampleRate, format.channels, 0);
        return Put(header.data(), header.size()) && Told(0);
    }

    bool Frames(const std::int16_t* samples, std::size_t frames) override {
        const std::size_t dropped = static_cast<std::size_t>(std::min<std::uint64_t>(trim_.skip, frames));
        trim_.skip -= dropped;
        const std::size_t count = (frames - dropped) * format_.channels;
        samples += dropped * format_.channels;
        const std::size_t at = block_.size();
        block_.resize(at + 2 * count);
        for (std::size_t i = 0; i < count; ++i) WriteLe16(&block_[at + 2 * i], static_cast<std::uint16_t>(samples[i]));
        frames_ += frames - dropped;
        if (block_.size() < kBlockBytes) return true;
        const bool written = Flush();
        return written && Told(Percent());
    }

    // The block's rest and the header with the sizes; false when not written.
    bool Finish() {
        if (!Flush()) return false;
        frames_ -= std::min(frames_, trim_.endTrim);
        const DecodedHeader header = DecodedWaveHeader(format_.sampleRate, format_.channels, frames_ * 2u * format_.channels);
        return out_.WriteAt(0, header.data(), header.size(), &writeError_) || Failed();
    }

    std::uint64_t frames() const { return frames_; }
    const char* decoder() const { return format_.decoder; }
    bool writeFailed() const { return writeFailed_; }
    bool badShape() const { return badShape_; }
    const std::string& writeError() const { return writeError_; }

private:
    static constexpr std::size_t kBlockBytes = 1u << 20;
    static constexpr std::uint16_t kMaxChannels = 64;
    static constexpr std::uint32_t kMaxRate = 1536000;

    bool Put(const std::uint8_t* bytes, std::size_t size) { return out_.Write(bytes, size, &writeError_) || Failed(); }
    bool Failed() {
        writeFailed_ = true;
        return false;
    }
    bool Flush() {
        const bool ok = block_.empty() || Put(block_.data(), block_.size());
        block_.clear();
        return ok;
    }
    int Percent() const {
        if (format_.expectedFrames == 0) return 0;
        return static_cast<int>(std::min<std::uint64_t>(99, frames_ * 100 / format_.expectedFrames));
    }
    bool Told(int percent) { return !progress_ || progress_(percent); }

    TempFile& out_;
    const DecodeProgressFn& progress_;
    const Mp3Gapless gap_;  // an MP3's LAME tag, for a decoder that keeps the gap
    const std::uint32_t samplesPerFrame_;
    DecodedFormat format_;
    GapTrim trim_;
    std::vector<std::uint8_t> block_;
    std::uint64_t frames_ = 0;
    bool writeFailed_ = false;
    bool badShape_ = false;
    std::string writeError_;
};

}  // namespace

bool DecodableKind(const char* kind) {
    static const char* const kDecoded[] = {"MP3", "AAC", "FLAC", "Ogg FLAC", "Ogg Vorbis", "Opus", "M4A", "MP4", "WMA"};
    if (!kind) return false;
    for (const char* k : kDecoded)
        if (std::strcmp(k, kind) == 0) return true;
    return false;
}

DecodeReport DecodeIntoWave(const std::string& path, const char* kind, TempFile& out, const DecodeProgressFn& progress) {
    DecodeReport report;
    Mp3Gapless gap;
    std::uint32_t samplesPerFrame = 0;
    const DecodeRequest request = RequestFor(path, kind, &gap, &samplesPerFrame);
    WaveFileSink sink(out, progress, gap, samplesPerFrame);
    report.outcome = DecodeAudioFile(request, sink, &report.reason);
    const bool some = report.outcome == DecodeOutcome::Complete || report.outcome == DecodeOutcome::Damaged;
    if ((some && !sink.Finish()) || sink.writeFailed()) {
        report.outcome = DecodeOutcome::Refused;
        report.cannotWrite = true;
        report.reason = sink.writeError();
    }
    if (sink.badShape()) {
        report.outcome = DecodeOutcome::Refused;
        report.reason = "channels or sample rate out of range";
    }
    report.frames = sink.frames();
    report.decoder = sink.decoder();
    // A decoder that reads an MP3 cut short to its end says nothing; the
    // tag's frame count tells how much audio there was.
    if (report.outcome == DecodeOutcome::Complete && gap.hasFrames && gap.frames * samplesPerFrame > gap.delay + gap.padding &&
        report.frames + samplesPerFrame < gap.frames * samplesPerFrame - gap.delay - gap.padding)
        report.outcome = DecodeOutcome::Damaged;
    return report;
}

std::string DecodeNoticeText() { return "ファイルの途中から先を読めませんでした。読めたところまでを読み込みました"; }

std::string DecodeRefusalText(const std::string& name, const char* kind, const DecodeReport& report) {
    const std::string why = report.reason.empty() ? std::string() : " (" + report.reason + ")";
    if (report.cannotWrite) return name + " を変換した一時ファイルを書き込めません" + why;
    if (report.outcome == DecodeOutcome::NoDecoder)
        return name + " は " + kind + " ファイルです。WAV に変換してから読み込んでください" + why;
    return name + " は " + kind + " ファイルですが、音声を読み取れませんでした" + why;
}

std::string DecodingStatusText(const char* kind, int percent) {
    return std::string(kind) + " ファイルを変換中... " + std::to_string(percent) + "%";
}

namespace {

// The bytes mapped and checked as a WAV file.
void CheckMapped(Recording& r) {
    r.check = CheckWaveBytes(r.file->bytes(), r.file->size());
    switch (r.check.verdict) {
        case WaveVerdict::Accepted: r.outcome = Recording::Opened; break;
        case WaveVerdict::NotWave: r.outcome = Recording::NotWave; break;
        case WaveVerdict::NoDataChunk: r.outcome = Recording::NoDataChunk; break;
        case WaveVerdict::Unsupported: r.outcome = Recording::Unsupported; break;
    }
    if (r.outcome == Recording::Opened) r.data = r.file->bytes() + r.check.layout.dataOffset;
}

// A compressed recording decoded into a temporary file, which is mapped in
// the source's place.
void OpenDecoded(const std::string& path, Recording& r, const DecodeProgressFn& progress) {
    // An MP3 file stays mapped for its pieces; any other goes before the copy's mapping is made.
    std::unique_ptr<MappedFile> source;
    if (std::strcmp(r.kind, "MP3") == 0) source = std::move(r.file);
    r.file = std::make_unique<MappedFile>();
    TempFile temp;
    if (!temp.Create(&r.decode.reason)) {
        r.decode.cannotWrite = true;
        r.outcome = Recording::DecodeFailed;
        return;
    }
    r.decode = DecodeIntoWave(path, r.kind, temp, progress);
    if (r.decode.outcome == DecodeOutcome::Stopped) r.outcome = Recording::Stopped;
    if (r.decode.outcome != DecodeOutcome::Complete && r.decode.outcome != DecodeOutcome::Damaged) {
        if (r.outcome != Recording::Stopped) r.outcome = Recording::DecodeFailed;
        return;
    }
    if (r.file->Map(temp, &r.reason) != MappedFile::Mapped) {
        r.outcome = Recording::CannotRead;
        return;
    }
    CheckMapped(r);
    if (r.outcome == Recording::Opened && source) r.mp3 = KeepMp3Frames(std::move(source), r.check.layout);
}

}  // namespace

std::shared_ptr<const Mp3Source> KeepMp3Frames(std::unique_ptr<MappedFile> file, const WaveLayout& decoded) {
    if (!file || !file->bytes()) return nullptr;
    auto mp3 = std::make_shared<Mp3Source>();
    mp3->stream = ParseMp3Stream(file->bytes(), static_cast<std::size_t>(file->size()));
    if (file->Damaged() || !mp3->stream.found) return nullptr;
    const Mp3Header& f = mp3->stream.format;
    const std::uint64_t frameBytes = std::uint64_t{decoded.channels} * decoded.sampleBytes();
    mp3->positionsAgree = frameBytes && decoded.dataSize / frameBytes == mp3->stream.decodedSamples() &&
                          decoded.channels == f.channels() && decoded.sampleRate == static_cast<std::uint32_t>(f.sampleRate);
    mp3->file = std::move(file);
    return mp3;
}

std::unique_ptr<Recording> OpenMp3Frames(const std::string& path) {
    auto file = std::make_unique<MappedFile>();
    std::string reason;
    if (file->Open(path, &reason) != MappedFile::Mapped || !file->bytes()) return nullptr;
    const char* kind = ForeignFormatName(file->bytes(), static_cast<std::size_t>(file->size()));
    if (!kind || std::strcmp(kind, "MP3") != 0) return nullptr;
    auto mp3 = std::make_shared<Mp3Source>();
    mp3->stream = ParseMp3Stream(file->bytes(), static_cast<std::size_t>(file->size()));
    const Mp3Header& f = mp3->stream.format;
    // Only a stream its decoders would agree on: one format throughout, nothing skipped.
    if (file->Damaged() || !mp3->stream.found || mp3->stream.frames.empty() || mp3->stream.skippedBytes ||
        mp3->stream.mixedFormat || mp3->stream.reservoirShortFrames)
        return nullptr;
    auto r = std::make_unique<Recording>();
    const std::uint64_t dataBytes = mp3->stream.decodedSamples() * 2u * static_cast<std::uint64_t>(f.channels());
    const DecodedHeader header = DecodedWaveHeader(static_cast<std::uint32_t>(f.sampleRate), static_cast<std::uint16_t>(f.channels()), dataBytes);
    if (FindWaveLayoutInBytes(header.data(), header.size(), &r->check.layout) != LayoutOutcome::Found) return nullptr;
    std::memcpy(r->check.header.data(), header.data(), r->check.header.size());
    FitDataToFile(&r->check.layout, header.size() + dataBytes);
    r->check.verdict = WaveVerdict::Accepted;
    r->check.presentBytes = r->check.layout.dataSize;
    r->outcome = Recording::Opened;
    r->kind = "MP3";
    r->decode.outcome = DecodeOutcome::Complete;
    r->decode.frames = mp3->stream.decodedSamples();
    mp3->positionsAgree = true;  // the positions are the frames' own
    mp3->file = std::move(file);
    r->mp3 = std::move(mp3);
    return r;
}

std::unique_ptr<Recording> OpenRecording(const std::string& path, const DecodeProgressFn& progress) {
    auto r = std::make_unique<Recording>();
    const MappedFile::Outcome opened = r->file->Open(path, &r->reason);
    if (opened != MappedFile::Mapped) {
        r->outcome = opened == MappedFile::CannotOpen ? Recording::CannotOpen : Recording::CannotRead;
        return r;
    }
    CheckMapped(*r);
    if (r->outcome != Recording::NotWave) return r;
    r->kind = ForeignFormatName(r->file->bytes(), static_cast<std::size_t>(r->file->size()));
    if (r->file->Damaged()) r->outcome = Recording::CannotRead;
    if (r->outcome == Recording::NotWave && DecodableKind(r->kind)) OpenDecoded(path, *r, progress);
    return r;
}

}  // namespace tw
