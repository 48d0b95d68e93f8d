// The header check compares the RIFF (or RF64) and WAVE tags ASCII
// case-insensitively; the system's lstrcmpiA in the Japanese code page must
// give the same verdict on every variant a file can carry in those 8 bytes, except where its
// linguistic rules take a non-ASCII byte for a letter (the half-width
// prolonged sound mark 0xB0 repeats the letter before it): the core then
// rejects a tag that is not really there, and it must never accept more.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "harness_win.h"
#include "core/wave/wave_format.h"

using namespace twt;

namespace {

constexpr int kTagBytes = 8;

tw::WaveHeaderBytes HeaderFromTags(const unsigned char tags[kTagBytes]) {
    tw::WaveHeaderBytes h{};
    std::memcpy(h.data(), tags, 4);
    std::memcpy(h.data() + 8, tags + 4, 4);
    return h;
}

// The tags as text, ended early at a zero byte.
bool SystemVerdict(const unsigned char tags[kTagBytes]) {
    const std::string text(reinterpret_cast<const char*>(tags), strnlen(reinterpret_cast<const char*>(tags), kTagBytes));
    return lstrcmpiA(text.c_str(), "RIFFWAVE") == 0 || lstrcmpiA(text.c_str(), "RF64WAVE") == 0;
}

int g_disagreements = 0;
int g_linguistic = 0;

void Compare(const unsigned char tags[kTagBytes], const std::string& what) {
    tw::WaveHeaderBytes h = HeaderFromTags(tags);
    bool core = tw::RiffWaveAccepted(h);
    bool system = SystemVerdict(tags);
    bool nonAscii = false;
    for (int i = 0; i < kTagBytes; ++i) nonAscii = nonAscii || tags[i] >= 0x80;
    if (core != system && !core && nonAscii) {
        ++g_linguistic;
        std::printf("note: lstrcmpiA takes [%s] for the tags; the check does not\n",
                    Hex(std::string(reinterpret_cast<const char*>(tags), kTagBytes)).c_str());
        return;
    }
    if (core != system) {
        ++g_disagreements;
        if (g_disagreements <= 20) Check(false, what + ": core " + (core ? "accepts" : "rejects") + " [" +
                                                    Hex(std::string(reinterpret_cast<const char*>(tags), kTagBytes)) + "]");
    }
}

}  // namespace

int main() {
    InitHarness();
    CheckEq(static_cast<int>(GetACP()), 932, "code page");
    const char* base = "RIFFWAVE";

    // Named cases: mixed case, near misses, zero bytes.
    const char* named[] = {"RIFFWAVE", "riffwave", "RiFfWaVe", "RF64WAVE", "rf64wave", "RIFXWAVE", "RIFFWAV_",
                           "RIFFAVI ", "RIFF\0AVE", "RIFFWAV\0", "\0IFFWAVE", "RIFFWAV\t", "ＲIFFWAVE", "RF65WAVE"};
    for (const char* n : named) {
        unsigned char tags[kTagBytes] = {0};
        std::memcpy(tags, n, std::min<size_t>(kTagBytes, std::strlen(n) + (std::strlen(n) < kTagBytes ? 1 : 0)));
        Compare(tags, std::string("named ") + n);
    }
    Check(tw::RiffWaveAccepted(HeaderFromTags(reinterpret_cast<const unsigned char*>("riffWAVE"))),
          "lower-case accepted");

    // Every byte value at every position, on the canonical text and on its
    // lower-case form.
    for (int variant = 0; variant < 2; ++variant) {
        for (int at = 0; at < kTagBytes; ++at) {
            for (int b = 0; b < 256; ++b) {
                unsigned char tags[kTagBytes];
                for (int i = 0; i < kTagBytes; ++i) {
                    char c = base[i];
                    if (variant == 1 && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                    tags[i] = static_cast<unsigned char>(c);
                }
                tags[at] = static_cast<unsigned char>(b);
                Compare(tags, "byte " + std::to_string(b) + " at " + std::to_string(at));
            }
        }
    }
    // Every mixture of case over the 8 letters.
    for (int mask = 0; mask < (1 << kTagBytes); ++mask) {
        unsigned char tags[kTagBytes];
        for (int i = 0; i < kTagBytes; ++i) {
            char c = base[i];
            if ((mask >> i) & 1) {
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            }
            tags[i] = static_cast<unsigned char>(c);
        }
        Compare(tags, "case mask " + std::to_string(mask));
    }
    CheckEq(g_disagreements, 0, "verdicts that differ from lstrcmpiA");
    Check(g_linguistic <= 8, "few linguistic equivalences (" + std::to_string(g_linguistic) + ")");
    return Finish();
}
