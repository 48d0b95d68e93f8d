// UTF-8 <-> UTF-16 and the system's error texts, for tarnwick-split and the window on Windows.
#pragma once

#include <windows.h>

#include <string>

namespace tw {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
// Text in a code page (the ANSI one for redirected output).
std::string CodePageFromUtf8(const std::string& text, UINT codePage);
std::string SystemErrorText(DWORD error);
// The window's texts are in the ANSI code page, the core's in UTF-8.
std::string Utf8FromAnsi(const std::string& text);
std::string AnsiFromUtf8(const std::string& text);
// A long absolute name in the \\?\ form, so the whole name is used, never a cut one.
std::wstring LongPathForm(std::wstring path);

}  // namespace tw
