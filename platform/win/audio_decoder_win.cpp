// Compressed recordings decoded by Windows itself: Media Foundation's source
// reader (MP3, AAC/M4A and WMA from Windows 7, FLAC and ALAC from Windows
// 10), loaded at run time so the program still starts on editions without
// it; MP3 through ACM where Media Foundation cannot. Both keep an MP3's
// encoder delay and padding, which the core trims from the LAME/Info tag.
#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/support/audio_decoder.h"
#include "platform/win/acm_mp3_win.h"
#include "platform/win/text_win.h"

namespace tw {

namespace {

std::string HresultText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    const std::string words = SystemErrorText(static_cast<DWORD>(hr));
    return words.empty() ? code : words + " (" + code + ")";
}

template <class T>
struct ComPtr {
    T* p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// The two libraries and the three calls used, found once.
struct MediaFoundation {
    using StartupFn = HRESULT(WINAPI*)(ULONG, DWORD);
    using CreateTypeFn = HRESULT(WINAPI*)(IMFMediaType**);
    using CreateReaderFn = HRESULT(WINAPI*)(LPCWSTR, IMFAttributes*, IMFSourceReader**);
    StartupFn startup = nullptr;
    CreateTypeFn createType = nullptr;
    CreateReaderFn createReader = nullptr;
    std::string missing;  // why it cannot be used

    MediaFoundation() {
        HMODULE plat = LoadLibraryW(L"mfplat.dll");
        HMODULE readwrite = plat ? LoadLibraryW(L"mfreadwrite.dll") : nullptr;
        if (!readwrite) {
            missing = "Media Foundation: " + SystemErrorText(GetLastError());
            return;
        }
        startup = reinterpret_cast<StartupFn>(reinterpret_cast<void*>(GetProcAddress(plat, "MFStartup")));
        createType = reinterpret_cast<CreateTypeFn>(reinterpret_cast<void*>(GetProcAddress(plat, "MFCreateMediaType")));
        createReader = reinterpret_cast<CreateReaderFn>(
            reinterpret_cast<void*>(GetProcAddress(readwrite, "MFCreateSourceReaderFromURL")));
        HRESULT hr = startup && createType && createReader ? startup(MF_VERSION, MFSTARTUP_LITE) : E_NOINTERFACE;
        if (FAILED(hr)) missing = "Media Foundation: " + HresultText(hr);
    }
};

const MediaFoundation& Mf() {
    static const MediaFoundation mf;  // started once, for the program's life
    return mf;
}

// COM for the calling thread while a decode runs.
struct ComScope {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ~ComScope() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
};

// The first audio stream asked for as 16-bit PCM at its own rate and
// channels; `format` filled from what the reader then gives.
HRESULT OpenReader(const DecodeRequest& request, IMFSourceReader** reader, DecodedFormat* format) {
    HRESULT hr = Mf().createReader(WideFromUtf8(request.path).c_str(), nullptr, reader);
    if (FAILED(hr)) return hr;
    ComPtr<IMFMediaType> pcm, current;
    IMFSourceReader* r = *reader;
    r->SetStreamSelection(MF_SOURCE_READER_ALL_STREAMS, FALSE);
    hr = r->SetStreamSelection(MF_SOURCE_READER_FIRST_AUDIO_STREAM, TRUE);
    if (SUCCEEDED(hr)) hr = Mf().createType(pcm.out());
    if (SUCCEEDED(hr)) hr = pcm->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    if (SUCCEEDED(hr)) hr = pcm->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    if (SUCCEEDED(hr)) hr = pcm->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
    if (SUCCEEDED(hr)) hr = r->SetCurrentMediaType(MF_SOURCE_READER_FIRST_AUDIO_STREAM, nullptr, pcm.p);
    if (SUCCEEDED(hr)) hr = r->GetCurrentMediaType(MF_SOURCE_READER_FIRST_AUDIO_STREAM, current.out());
    UINT32 rate = 0, channels = 0, bits = 0;
    if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
    if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
    if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
    if (FAILED(hr)) return hr;
    if (rate == 0 || channels == 0 || channels > 0xFFFF || bits != 16) return MF_E_INVALIDMEDIATYPE;
    format->sampleRate = rate;
    format->channels = static_cast<std::uint16_t>(channels);
    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (SUCCEEDED(r->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION, &duration)) &&
        duration.vt == VT_UI8)
        format->expectedFrames = duration.uhVal.QuadPart * rate / 10000000u;
    PropVariantClear(&duration);
    return S_OK;
}

// One sample's bytes to the sink; false when it says stop.
bool DeliverSample(IMFSample* sample, const DecodedFormat& format, DecodeSink& sink, std::uint64_t* frames) {
    ComPtr<IMFMediaBuffer> buffer;
    BYTE* bytes = nullptr;
    DWORD size = 0;
    if (FAILED(sample->ConvertToContiguousBuffer(buffer.out())) || FAILED(buffer->Lock(&bytes, nullptr, &size)))
        return true;  // nothing to hand over
    const std::size_t n = size / (2u * format.channels);
    const bool more = n == 0 || sink.Frames(reinterpret_cast<const std::int16_t*>(bytes), n);
    buffer->Unlock();
    *frames += n;
    return more;
}

// Samples until the end of the stream, an error or a stop.
DecodeOutcome ReadSamples(IMFSourceReader* reader, const DecodedFormat& format, DecodeSink& sink, std::string* reason) {
    std::uint64_t frames = 0;
    // A broken file may keep answering with nothing; give up rather than spin.
    for (int empty = 0; empty < 10000;) {
        DWORD flags = 0;
        ComPtr<IMFSample> sample;
        const HRESULT hr = reader->ReadSample(MF_SOURCE_READER_FIRST_AUDIO_STREAM, 0, nullptr, &flags, nullptr, sample.out());
        if (FAILED(hr) || (flags & MF_SOURCE_READERF_ERROR)) {
            *reason = HresultText(FAILED(hr) ? hr : E_FAIL);
            return DecodeOutcome::Damaged;
        }
        empty = sample.p ? 0 : empty + 1;
        if (sample.p && !DeliverSample(sample.p, format, sink, &frames)) return DecodeOutcome::Stopped;
        if (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED)) break;
    }
    // A container that states its length, read well short of it: cut short.
    const bool whole = format.expectedFrames == 0 || frames + format.sampleRate / 10 >= format.expectedFrames;
    return whole ? DecodeOutcome::Complete : DecodeOutcome::Damaged;
}

// Media Foundation's decode; NoDecoder when it is not there or has no
// decoder for the file (Wine without GStreamer's plugins says only E_FAIL).
DecodeOutcome DecodeWithMediaFoundation(const DecodeRequest& request, DecodeSink& sink, std::string* reason) {
    if (!Mf().missing.empty()) {
        *reason = Mf().missing;
        return DecodeOutcome::NoDecoder;
    }
    ComScope com;
    ComPtr<IMFSourceReader> reader;
    DecodedFormat format;
    format.decoder = "Media Foundation";
    format.mp3GapTrimmed = false;
    format.mp3DecoderDelay = kMp3DecoderDelay;
    const HRESULT hr = OpenReader(request, reader.out(), &format);
    if (FAILED(hr)) {
        *reason = "Media Foundation: " + HresultText(hr);
        return DecodeOutcome::NoDecoder;
    }
    if (!sink.Begin(format)) return DecodeOutcome::Stopped;
    return ReadSamples(reader.p, format, sink, reason);
}

}  // namespace

DecodeOutcome DecodeAudioFile(const DecodeRequest& request, DecodeSink& sink, std::string* reason) {
    const DecodeOutcome viaMf = DecodeWithMediaFoundation(request, sink, reason);
    if (viaMf != DecodeOutcome::NoDecoder || std::strcmp(request.kind, "MP3") != 0 || request.mp3SampleRate == 0)
        return viaMf;
    std::string acmReason;
    const DecodeOutcome viaAcm = DecodeWithAcm(request, sink, &acmReason);
    if (viaAcm != DecodeOutcome::NoDecoder) {
        *reason = acmReason;
        return viaAcm;
    }
    *reason += "; ACM: " + acmReason;
    return DecodeOutcome::NoDecoder;
}

}  // namespace tw
