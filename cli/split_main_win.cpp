// tarnwick-split.exe: a console program. Arguments are taken from the wide
// command line (a name outside the code page is still the file named) and
// handed on as UTF-8; texts go to a console as wide text, to a file or pipe in
// the ANSI code page, and --json always as UTF-8.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/split.h"
#include "platform/win/text_win.h"

namespace {

bool g_writeFailed = false;

void WriteBytes(HANDLE stream, const std::string& bytes) {
    DWORD written = 0;
    if (!bytes.empty() && (!WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                           written != bytes.size()))
        g_writeFailed = true;
}

// Human text: wide to a console, which shows every character; the ANSI code
// page elsewhere, as every other text of the program is.
void WriteText(DWORD which, const std::string& utf8) {
    HANDLE stream = GetStdHandle(which);
    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
        const std::wstring w = tw::WideFromUtf8(utf8);
        DWORD written = 0;
        WriteConsoleW(stream, w.data(), static_cast<DWORD>(w.size()), &written, nullptr);
        return;
    }
    WriteBytes(stream, tw::CodePageFromUtf8(utf8, GetACP()));
}

// The files a name with * or ? in its last part matches, in name order, with
// the folder part kept; a name matching nothing stays as it is (and is then
// reported as a file that cannot be opened).
std::vector<std::string> Expand(const std::string& name) {
    const std::wstring wide = tw::WideFromUtf8(name);
    const size_t slash = wide.find_last_of(L"\\/:");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : wide.substr(0, slash + 1);
    if (wide.find_first_of(L"*?", folder.size()) == std::wstring::npos) return {name};
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(wide.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(folder + data.cFileName);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    if (found.empty()) return {name};
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (const std::wstring& f : found) names.push_back(tw::Utf8FromWide(f));
    return names;
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; argv && i < argc; ++i) args.push_back(tw::Utf8FromWide(argv[i]));
    if (argv) LocalFree(argv);
    const int status = tw::RunSplit(
        args, {[](const std::string& t) { WriteText(STD_OUTPUT_HANDLE, t); },
               [](const std::string& t) { WriteText(STD_ERROR_HANDLE, t); },
               [](const std::string& t) { WriteBytes(GetStdHandle(STD_OUTPUT_HANDLE), t); }, Expand});
    if (g_writeFailed && status == tw::kSplitOk) return tw::kSplitFailed;
    return status;
}
