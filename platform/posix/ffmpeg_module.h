// The FFmpeg decoder lives in a module of its own (libtarnwick_ffmpeg.so),
// loaded when a compressed recording is first decoded, so that a run that
// decodes nothing (a WAV file, an MP3 file cut by its frames) does not load
// FFmpeg's hundred-odd libraries, a tenth of a second, at every start.
#pragma once

#include <string>

#include "core/support/audio_decoder.h"

#define TW_FFMPEG_MODULE "libtarnwick_ffmpeg.so"
#define TW_FFMPEG_ENTRY "TwFfmpegDecode"

// The module's one entry: DecodeAudioFile's outcome as an int.
extern "C" int TwFfmpegDecode(const tw::DecodeRequest* request, tw::DecodeSink* sink, std::string* reason);
