// Compressed recordings decoded natively with FFmpeg's libraries (Debian's
// libavformat, libavcodec, libswresample): the first audio stream, converted
// to 16-bit samples at its own rate and channels exactly as `ffmpeg -f s16le`
// converts them. The demuxers and decoders drop an MP3's encoder delay and
// padding (LAME/Info tag) and an M4A's priming themselves. Built as a module
// of its own (platform/posix/ffmpeg_module.h), loaded at the first decode.
#include "core/support/audio_decoder.h"
#include "platform/posix/ffmpeg_module.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <vector>

namespace tw {

namespace {

std::string AvText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

struct Decoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int stream = -1;
    DecodedFormat shape;
    std::vector<std::int16_t> out;
    std::uint64_t framesOut = 0;
    int badPackets = 0;  // packets the decoder refused (corrupt data), skipped as ffmpeg skips them

    Decoding() = default;
    Decoding(const Decoding&) = delete;
    Decoding& operator=(const Decoding&) = delete;
    ~Decoding() {
        swr_free(&swr);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }
};

// The container read and its first audio stream's decoder opened.
DecodeOutcome OpenStream(const std::string& path, Decoding& d, std::string* reason) {
    av_log_set_level(AV_LOG_QUIET);  // the run's own lines say what went wrong
    int error = avformat_open_input(&d.format, path.c_str(), nullptr, nullptr);
    if (error >= 0) error = avformat_find_stream_info(d.format, nullptr);
    const AVCodec* decoder = nullptr;
    if (error >= 0) error = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (error < 0) {
        *reason = AvText(error);
        return DecodeOutcome::Refused;
    }
    d.stream = error;
    if (!decoder) {
        *reason = "no decoder";
        return DecodeOutcome::NoDecoder;
    }
    d.codec = avcodec_alloc_context3(decoder);
    error = d.codec ? avcodec_parameters_to_context(d.codec, d.format->streams[d.stream]->codecpar) : AVERROR(ENOMEM);
    if (error >= 0) error = avcodec_open2(d.codec, decoder, nullptr);
    if (error < 0 || d.codec->sample_rate <= 0 || d.codec->ch_layout.nb_channels <= 0 ||
        d.codec->ch_layout.nb_channels > 0xFFFF) {
        *reason = error < 0 ? AvText(error) : "no sample rate or channels";
        return DecodeOutcome::Refused;
    }
    return DecodeOutcome::Complete;
}

// The converter to interleaved 16-bit samples, from the first frame's shape;
// the recording keeps that shape throughout.
bool OpenConverter(Decoding& d, const AVFrame* first) {
    AVChannelLayout layout{};
    if (first->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&layout, first->ch_layout.nb_channels);
    else if (av_channel_layout_copy(&layout, &first->ch_layout) < 0)
        return false;
    const int error = swr_alloc_set_opts2(&d.swr, &layout, AV_SAMPLE_FMT_S16, first->sample_rate, &layout,
                                          static_cast<AVSampleFormat>(first->format), first->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (error < 0 || swr_init(d.swr) < 0) return false;
    const AVStream* s = d.format->streams[d.stream];
    d.shape.sampleRate = static_cast<std::uint32_t>(first->sample_rate);
    d.shape.channels = static_cast<std::uint16_t>(first->ch_layout.nb_channels);
    if (s->duration > 0)
        d.shape.expectedFrames = static_cast<std::uint64_t>(av_rescale_q(s->duration, s->time_base, {1, first->sample_rate}));
    else if (d.format->duration > 0)
        d.shape.expectedFrames = static_cast<std::uint64_t>(av_rescale(d.format->duration, first->sample_rate, AV_TIME_BASE));
    d.shape.decoder = "FFmpeg";
    return true;
}

enum class Step { More, Stop, Changed, Failed };

// Hands one decoded frame to the sink; the first one fixes the shape.
Step Deliver(Decoding& d, DecodeSink& sink) {
    const AVFrame* f = d.frame;
    if (!d.swr) {
        if (!OpenConverter(d, f)) return Step::Failed;
        if (!sink.Begin(d.shape)) return Step::Stop;
    }
    if (f->sample_rate != static_cast<int>(d.shape.sampleRate) || f->ch_layout.nb_channels != d.shape.channels)
        return Step::Changed;  // a second recording glued on: not this one
    d.out.resize(static_cast<std::size_t>(swr_get_out_samples(d.swr, f->nb_samples)) * d.shape.channels);
    auto* to = reinterpret_cast<std::uint8_t*>(d.out.data());
    const int n = swr_convert(d.swr, &to, static_cast<int>(d.out.size() / d.shape.channels),
                              const_cast<const std::uint8_t**>(f->extended_data), f->nb_samples);
    if (n < 0) return Step::Failed;
    d.framesOut += static_cast<std::uint64_t>(n);
    return n == 0 || sink.Frames(d.out.data(), static_cast<std::size_t>(n)) ? Step::More : Step::Stop;
}

// Every frame the decoder has ready.
Step ReceiveFrames(Decoding& d, DecodeSink& sink) {
    for (;;) {
        const int error = avcodec_receive_frame(d.codec, d.frame);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return Step::More;
        if (error < 0) {
            ++d.badPackets;
            return Step::More;
        }
        const Step step = Deliver(d, sink);
        av_frame_unref(d.frame);
        if (step != Step::More) return step;
    }
}

// Packets until the end of the file, a read error, or a stop; true when
// the file was read to its end.
bool DecodePackets(Decoding& d, DecodeSink& sink, Step* step, std::string* reason) {
    for (;;) {
        const int error = av_read_frame(d.format, d.packet);
        if (error == AVERROR_EOF) return true;
        if (error < 0) {
            *reason = AvText(error);
            return false;
        }
        if (d.packet->stream_index == d.stream && avcodec_send_packet(d.codec, d.packet) < 0) ++d.badPackets;
        av_packet_unref(d.packet);
        *step = ReceiveFrames(d, sink);
        if (*step != Step::More) return false;
    }
}

// A container that knows its length exactly and a decode well short of it:
// the file ends (or breaks) before its audio does. The length may count an
// encoder's delay and padding that the decoder drops (an MP3's LAME tag
// states up to 4,095 samples of each), which at a low rate is more than a
// tenth of a second: an 8 kHz MP3 is not short by them.
bool EndsShort(const Decoding& d) {
    if (d.format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return false;
    const std::uint64_t expected = d.shape.expectedFrames, gap = 2 * 4095;
    return expected > 0 && d.framesOut + d.shape.sampleRate / 10 + gap < expected;
}

}  // namespace

DecodeOutcome DecodeWithFfmpeg(const DecodeRequest& request, DecodeSink& sink, std::string* reason) {
    Decoding d;
    if (!d.packet || !d.frame) return DecodeOutcome::Refused;
    const DecodeOutcome opened = OpenStream(request.path, d, reason);
    if (opened != DecodeOutcome::Complete) return opened;
    Step step = Step::More;
    const bool toEnd = DecodePackets(d, sink, &step, reason);
    if (step == Step::Stop) return DecodeOutcome::Stopped;
    if (toEnd && avcodec_send_packet(d.codec, nullptr) >= 0) step = ReceiveFrames(d, sink);  // the decoder's last frames
    if (step == Step::Stop) return DecodeOutcome::Stopped;
    if (!d.swr) {
        if (reason->empty()) *reason = "no audio could be decoded";
        return DecodeOutcome::Refused;
    }
    const bool damaged = !toEnd || step != Step::More || d.badPackets > 0 || EndsShort(d);
    return damaged ? DecodeOutcome::Damaged : DecodeOutcome::Complete;
}

}  // namespace tw

extern "C" int TwFfmpegDecode(const tw::DecodeRequest* request, tw::DecodeSink* sink, std::string* reason) {
    return static_cast<int>(tw::DecodeWithFfmpeg(*request, *sink, reason));
}
