#include "platform/win/acm_mp3_win.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstring>
#include <vector>

#include "platform/win/handles_win.h"
#include "platform/win/text_win.h"

namespace tw {

namespace {

constexpr DWORD kInputBytes = 1u << 20;

std::string AcmText(const char* call, MMRESULT result) { return std::string(call) + " " + std::to_string(result); }

MPEGLAYER3WAVEFORMAT Mp3Format(const DecodeRequest& request) {
    MPEGLAYER3WAVEFORMAT mp3{};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = request.mp3Channels;
    mp3.wfx.nSamplesPerSec = request.mp3SampleRate;
    mp3.wfx.nAvgBytesPerSec = 128000 / 8;  // any: the frames carry their own bit rates
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    mp3.nBlockSize = static_cast<WORD>(144 * 128000 / request.mp3SampleRate);
    mp3.nFramesPerBlock = 1;
    mp3.nCodecDelay = 0;
    return mp3;
}

struct AcmStream {
    HACMSTREAM h = nullptr;
    ~AcmStream() {
        if (h) acmStreamClose(h, 0);
    }
};

// One conversion of `in` (its unused tail moved to its front); false when
// the stream failed.
bool Convert(HACMSTREAM stream, std::vector<BYTE>& in, DWORD* have, std::vector<BYTE>& out, DWORD flags, DWORD* made) {
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = in.data();
    header.cbSrcLength = *have;
    header.pbDst = out.data();
    header.cbDstLength = static_cast<DWORD>(out.size());
    if (acmStreamPrepareHeader(stream, &header, 0) != 0) return false;
    const MMRESULT converted = acmStreamConvert(stream, &header, flags);
    const DWORD used = header.cbSrcLengthUsed;
    *made = header.cbDstLengthUsed;
    header.cbSrcLength = static_cast<DWORD>(in.size());
    acmStreamUnprepareHeader(stream, &header, 0);
    if (converted != 0 || used > *have) return false;
    std::memmove(in.data(), in.data() + used, *have - used);
    *have -= used;
    return true;
}

DecodedFormat AcmFormat(const DecodeRequest& request) {
    DecodedFormat format;
    format.sampleRate = request.mp3SampleRate;
    format.channels = request.mp3Channels;
    format.expectedFrames = request.mp3Samples;
    format.decoder = "ACM";
    format.mp3GapTrimmed = false;
    format.mp3DecoderDelay = kMp3DecoderDelay;
    format.mp3InfoFrameDecoded = true;  // it decodes the Xing/Info frame as a silent one
    return format;
}

// The frames read in blocks and converted until the end of the audio.
DecodeOutcome Pump(HANDLE file, HACMSTREAM stream, const DecodeRequest& request, DecodeSink& sink, std::string* reason) {
    std::vector<BYTE> in(2 * kInputBytes), out;
    DWORD outSize = 0;
    if (acmStreamSize(stream, static_cast<DWORD>(in.size()), &outSize, ACM_STREAMSIZEF_SOURCE) != 0) outSize = 1u << 22;
    out.resize(outSize);
    const DWORD frameBytes = 2u * request.mp3Channels;
    std::uint64_t left = request.mp3End - request.mp3Start;
    DWORD have = 0, flags = ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_BLOCKALIGN;
    for (bool last = false; !last;) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(kInputBytes, left));
        if (want > 0 && !ReadFile(file, in.data() + have, want, &got, nullptr)) {
            *reason = SystemErrorText(GetLastError());
            return DecodeOutcome::Damaged;
        }
        left -= got;
        have += got;
        last = got == 0;
        DWORD made = 0;
        if (!Convert(stream, in, &have, out, last ? ACM_STREAMCONVERTF_END : flags, &made)) {
            *reason = "ACM: the frames could not be decoded";
            return DecodeOutcome::Damaged;
        }
        flags = ACM_STREAMCONVERTF_BLOCKALIGN;
        if (made >= frameBytes && !sink.Frames(reinterpret_cast<const std::int16_t*>(out.data()), made / frameBytes))
            return DecodeOutcome::Stopped;
        if (have > kInputBytes) have = 0;  // a block it will not take: skip it rather than loop
    }
    return DecodeOutcome::Complete;
}

}  // namespace

DecodeOutcome DecodeWithAcm(const DecodeRequest& request, DecodeSink& sink, std::string* reason) {
    FileHandle file(CreateFileW(LongPathForm(WideFromUtf8(request.path)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER start;
    start.QuadPart = static_cast<LONGLONG>(request.mp3Start);
    if (!file.ok() || !SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
        *reason = SystemErrorText(GetLastError());
        return DecodeOutcome::Refused;
    }
    MPEGLAYER3WAVEFORMAT mp3 = Mp3Format(request);
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = request.mp3Channels;
    pcm.nSamplesPerSec = request.mp3SampleRate;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(2 * request.mp3Channels);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    AcmStream stream;
    const MMRESULT opened = acmStreamOpen(&stream.h, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (opened != 0) {
        *reason = AcmText("acmStreamOpen", opened);
        return DecodeOutcome::NoDecoder;
    }
    if (!sink.Begin(AcmFormat(request))) return DecodeOutcome::Stopped;
    return Pump(file.get(), stream.h, request, sink, reason);
}

}  // namespace tw
