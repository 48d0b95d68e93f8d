// Files of other well-known kinds, told by their first bytes, so a refusal
// can say what the file is instead of showing its bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw {

// How many of a file's first bytes the test reads: the window reads no more
// before it refuses a file, so the window and tarnwick-split agree.
constexpr std::size_t kForeignProbeBytes = 44;

// The name of what a file that is not a RIFF/RF64 WAVE file is ("MP3",
// "FLAC", "M4A", ...; plain ASCII), from up to kForeignProbeBytes of its
// first `size` bytes; nullptr when its kind is not one known here.
const char* ForeignFormatName(const std::uint8_t* bytes, std::size_t size);

}  // namespace tw
