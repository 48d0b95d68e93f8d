// tarnwick-split on Linux: arguments and texts are UTF-8 already.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/split.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto print = [](std::FILE* stream) {
        return [stream](const std::string& text) {
            std::fwrite(text.data(), 1, text.size(), stream);
            std::fflush(stream);
        };
    };
    const int status = tw::RunSplit(args, {print(stdout), print(stderr), print(stdout), nullptr});
    // A listing that could not be written out is a failure too.
    if (std::ferror(stdout) && status == tw::kSplitOk) return tw::kSplitFailed;
    return status;
}
