// DecodeAudioFile natively: the FFmpeg module loaded once, from beside the
// program or from where the build put it.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>

#include "core/support/audio_decoder.h"
#include "platform/posix/ffmpeg_module.h"

namespace tw {

namespace {

using DecodeEntry = int (*)(const DecodeRequest*, DecodeSink*, std::string*);

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    const std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

struct Module {
    DecodeEntry entry = nullptr;
    std::string error;
};

Module LoadModule() {
    Module m;
    void* handle = dlopen((ProgramFolder() + TW_FFMPEG_MODULE).c_str(), RTLD_NOW | RTLD_LOCAL);
#ifdef TW_FFMPEG_MODULE_BUILT
    if (!handle) handle = dlopen(TW_FFMPEG_MODULE_BUILT, RTLD_NOW | RTLD_LOCAL);
#endif
    if (!handle) {
        const char* why = dlerror();
        m.error = why ? why : TW_FFMPEG_MODULE " not found";
        return m;
    }
    m.entry = reinterpret_cast<DecodeEntry>(dlsym(handle, TW_FFMPEG_ENTRY));
    if (!m.entry) m.error = TW_FFMPEG_MODULE ": no " TW_FFMPEG_ENTRY;
    return m;
}

}  // namespace

DecodeOutcome DecodeAudioFile(const DecodeRequest& request, DecodeSink& sink, std::string* reason) {
    static std::once_flag once;
    static Module module;
    std::call_once(once, [] { module = LoadModule(); });
    if (!module.entry) {
        *reason = module.error;
        return DecodeOutcome::NoDecoder;
    }
    return static_cast<DecodeOutcome>(module.entry(&request, &sink, reason));
}

}  // namespace tw
