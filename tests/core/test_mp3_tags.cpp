#include <doctest.h>

#include <string>
#include <vector>

#include "core/cut/mp3_tags.h"

using namespace tw;

namespace {
std::string Written(const std::string& tag, const Mp3PieceTags& tags) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(tag.data());
    const std::vector<std::uint8_t> out = PieceId3v2(p, tag.size(), tags);
    return std::string(out.begin(), out.end());
}
std::string S(const char* s, std::size_t n) { return std::string(s, n); }
}  // namespace

TEST_CASE("a piece's ID3v2 tag keeps the recording's frames with its own title and track") {
    // Titles are UTF-16 with a byte-order mark (encoding 1); the track is Latin-1 "k/count".
    const std::string title = S("\x01\xFF\xFE" "A\0", 5), track = S("\0" "2/5", 4);
    struct Row { const char* what; std::string in, out; };
    const Row rows[] = {
        {"no tag: a new version 2.3 tag", "",
         S("ID3\x03\0\0\0\0\0\x1D", 10) + "TIT2" + S("\0\0\0\x05\0\0", 6) + title + "TRCK" + S("\0\0\0\x04\0\0", 6) + track},
        {"2.4: the title replaced where it was, the artist kept, the track replaced",
         S("ID3\x04\0\0\0\0\0\x27", 10) + "TIT2" + S("\0\0\0\x04\0\0\x03", 7) + "Old" + "TPE1" +
             S("\0\0\0\x03\0\0\x03", 7) + "Me" + "TRCK" + S("\0\0\0\x02\0\0\0", 7) + "9",
         S("ID3\x04\0\0\0\0\0\x2A", 10) + "TIT2" + S("\0\0\0\x05\0\0", 6) + title + "TPE1" + S("\0\0\0\x03\0\0\x03", 7) +
             "Me" + "TRCK" + S("\0\0\0\x04\0\0", 6) + track},
        {"2.3 unsynchronised: undone, written plainly",
         S("ID3\x03\0\x80\0\0\0\x0F", 10) + "TPE1" + S("\0\0\0\x04\0\0", 6) + S("\0a\xFF\0\xE1", 5),
         S("ID3\x03\0\0\0\0\0\x2B", 10) + "TPE1" + S("\0\0\0\x04\0\0", 6) + S("\0a\xFF\xE1", 4) + "TIT2" +
             S("\0\0\0\x05\0\0", 6) + title + "TRCK" + S("\0\0\0\x04\0\0", 6) + track},
        {"2.4 with an extended header and padding: both left out",
         S("ID3\x04\0\x40\0\0\0\x15", 10) + S("\0\0\0\x06\x01\0", 6) + "TPE1" + S("\0\0\0\x02\0\0\0", 7) + "M" +
             S("\0\0\0", 3),
         S("ID3\x04\0\0\0\0\0\x29", 10) + "TPE1" + S("\0\0\0\x02\0\0\0", 7) + "M" + "TIT2" + S("\0\0\0\x05\0\0", 6) +
             title + "TRCK" + S("\0\0\0\x04\0\0", 6) + track},
        {"2.2: three-letter frames", S("ID3\x02\0\0\0\0\0\x0A", 10) + "TT2" + S("\0\0\x04\0", 4) + "Old",
         S("ID3\x02\0\0\0\0\0\x15", 10) + "TT2" + S("\0\0\x05", 3) + title + "TRK" + S("\0\0\x04", 3) + track},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CHECK(Written(r.in, {"A", 2, 5}) == r.out);
    }
}

TEST_CASE("a piece without a number keeps the recording's track number") {
    const std::string in = S("ID3\x03\0\0\0\0\0\x0C", 10) + "TRCK" + S("\0\0\0\x02\0\0\0", 7) + "4";
    CHECK(Written(in, {"A", 0, 0}) == S("ID3\x03\0\0\0\0\0\x1B", 10) + "TRCK" + S("\0\0\0\x02\0\0\0", 7) + "4" +
                                        "TIT2" + S("\0\0\0\x05\0\0\x01\xFF\xFE", 9) + S("A\0", 2));
}

TEST_CASE("titles outside the BMP are surrogate pairs, and bytes that are no UTF-8 become U+FFFD") {
    const std::string out = Written("", {"\xF0\x9F\x8E\xB5\xFF", 1, 0});
    CHECK(out.substr(20, 9) == S("\x01\xFF\xFE\x3C\xD8\xB5\xDF\xFD\xFF", 9));
    CHECK(out.substr(out.size() - 2) == S("\0" "1", 2));  // no count: the number alone
}

TEST_CASE("a piece's ID3v1 tag gets its Latin-1 title and, as v1.1, its track") {
    std::string v1 = "TAG" + std::string(30, 'x') + "Artist" + std::string(89, '\0');
    v1[125] = 'c', v1[126] = 'd', v1[127] = 12;
    const auto* p = reinterpret_cast<const std::uint8_t*>(v1.data());
    const std::vector<std::uint8_t> out = PieceId3v1(p, {"Caf\xC3\xA9 \xE2\x98\x83", 7, 9});
    const std::string got(out.begin(), out.end());
    CHECK(got.substr(3, 30) == "Caf\xE9 ?" + std::string(24, '\0'));
    CHECK(got.substr(33, 6) == "Artist");
    CHECK(got[125] == 0);
    CHECK(got[126] == 7);
    CHECK(got[127] == 12);  // the genre stays
}
