// MP3 through the Audio Compression Manager: Windows' (and Wine's) own MP3
// decoder, there without Media Foundation.
#pragma once

#include <string>

#include "core/support/audio_decoder.h"

namespace tw {

// Media Foundation's MP3 decoder and ACM's both lag by the 529 samples of
// the synthesis filter bank, and keep the encoder's delay and padding.
constexpr std::uint32_t kMp3DecoderDelay = 529;

// request.mp3Start/End/SampleRate/Channels must be known. NoDecoder when
// the system has no ACM decoder for it.
DecodeOutcome DecodeWithAcm(const DecodeRequest& request, DecodeSink& sink, std::string* reason);

}  // namespace tw
