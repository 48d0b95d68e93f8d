// The tags an MP3 piece carries: the recording's ID3v2 and ID3v1 tags with
// the piece's own title and track number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

struct Mp3PieceTags {
    std::string title;  // UTF-8: the piece's name
    unsigned track = 0;  // 1-based; 0 keeps the recording's track number
    unsigned count = 0;  // pieces in the set; 0: the number alone
};

// The ID3v2 tag in `tag` (the recording's first, `size` bytes; empty: none)
// with TIT2 and TRCK (TT2 and TRK in version 2.2) set to the piece's, every
// other frame kept as it is. A missing or unreadable tag gives a new version
// 2.3 tag with those two frames. Unsynchronisation, the extended header and
// the footer are undone, so the frames are written plainly.
std::vector<std::uint8_t> PieceId3v2(const std::uint8_t* tag, std::size_t size, const Mp3PieceTags& tags);

// The 128-byte ID3v1 tag with the title (Latin-1, '?' for what it cannot
// hold, cut to 30 bytes) and, as ID3v1.1, the track number.
std::vector<std::uint8_t> PieceId3v1(const std::uint8_t* tag128, const Mp3PieceTags& tags);

}  // namespace tw
