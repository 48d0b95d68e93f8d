// The main window as built at start-up, and loading dropped files.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "shell/app/shell_win.h"
#include "harness_win.h"
#include "core/support/number_text.h"
#include "core/wave/sample_format.h"
#include "core/wave/wave_format.h"
#include "core/wave/wave_stats.h"

using namespace twt;

namespace {

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    int x, y, w, h;
    DWORD style;
    DWORD exStyle;
};

// Every control but the graph sits this much lower than the table says.
constexpr int kBelowGraph = 16;

const ExpectedControl kExpected[] = {
    {1000, "Static", "", 3, 0, 570, 165, SS_BLACKRECT | SS_NOTIFY, 0},
    {1001, "Button", "カッティングモード", 410, 218, 155, 35, BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_CENTER | BS_VCENTER, WS_EX_STATICEDGE},
    {1002, "Button", "WAVファイル情報", 5, 349, 565, 122, BS_GROUPBOX, 0},
    {1003, "Edit", "", 206, 370, 355, 18, ES_READONLY | ES_AUTOHSCROLL, WS_EX_STATICEDGE},
    {1004, "Static", "チャンネル数：", 15, 399, 77, 12, SS_LEFT, 0},
    {1005, "Static", "", 91, 399, 57, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1006, "Static", "サンプリングレート：", 163, 399, 104, 12, SS_LEFT, 0},
    {1007, "Static", "", 268, 399, 91, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1008, "Static", "サンプリングビット：", 377, 399, 104, 12, SS_LEFT, 0},
    {1009, "Static", "", 475, 399, 65, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1010, "Static", "ピーク（最大音量）：", 15, 424, 103, 12, SS_LEFT, 0},
    {1011, "Static", "", 117, 424, 50, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1012, "Static", "ドラッグアンドドロップされたファイル：", 15, 373, 189, 12, SS_LEFT, 0},
    {1013, "Static", "ネイダー（最小音量）：", 175, 424, 115, 12, SS_LEFT, 0},
    {1014, "Static", "", 289, 424, 50, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1015, "Static", "無音とみなす音量のしきい値：", 9, 298, 157, 12, SS_LEFT, 0},
    {1016, "Edit", "", 166, 294, 70, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1017, "Button", "オートカッティング", 5, 281, 240, 65, BS_GROUPBOX, 0},
    {1018, "Button", "出力設定", 249, 281, 320, 65, BS_GROUPBOX, 0},
    {1019, "Edit", "", 347, 293, 135, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1020, "Static", "桁の連番で、出力する", 294, 322, 118, 12, SS_LEFT, 0},
    {1021, "Edit", "3", 258, 318, 30, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1022, "Static", "ファイルの先頭：", 257, 299, 88, 12, SS_LEFT, 0},
    {1023, "Static", "非負最小：", 349, 424, 58, 12, SS_LEFT, 0},
    {1024, "Static", "", 406, 424, 50, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1025, "msctls_progress32", "", 197, 259, 370, 21, PBS_SMOOTH, WS_EX_STATICEDGE},
    {1026, "Static", "", 5, 259, 190, 21, SS_CENTER, WS_EX_STATICEDGE},
    {1027, "Static", "平均値：", 15, 447, 45, 12, SS_LEFT, 0},
    {1028, "Static", "", 61, 447, 170, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1029, "Button", "オートカッティングを実行", 51, 317, 146, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {1030, "Button", "カットを保存", 253, 218, 155, 35, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {1031, "ScrollBar", "", 4, 168, 565, 17, SBS_HORZ, 0},
    {1032, "Button", "+", 538, 189, 25, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {1033, "Button", "-", 509, 189, 25, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {1034, "Button", "グラフの再描画", 382, 189, 122, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {1035, "Static", "グラフが消えたら押してください→", 204, 195, 174, 12, SS_LEFT, 0},
    // Pause cutting, after the 36 and clear of every one of them.
    {1040, "Button", "間で切る", 9, 226, 84, 20, BS_AUTOCHECKBOX, 0},
    {1041, "Static", "最短の間 (ms)：", 98, 230, 84, 12, SS_LEFT, 0},
    {1042, "Edit", "400", 182, 226, 54, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    // The piece rules and the names list's file name.
    {1043, "Static", "最長 (秒)", 9, 190, 54, 12, SS_LEFT, 0},
    {1044, "Edit", "", 63, 188, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1045, "Static", "最短 (秒)", 107, 190, 54, 12, SS_LEFT, 0},
    {1046, "Edit", "", 161, 188, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1047, "Static", "ピース数", 9, 209, 54, 12, SS_LEFT, 0},
    {1048, "Edit", "", 63, 207, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1049, "Static", "余白 (ms)", 107, 209, 54, 12, SS_LEFT, 0},
    {1050, "Edit", "", 161, 207, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1051, "Static", "", 312, 281, 254, 12, SS_LEFT, 0},
    // How a save writes: beside the name box and the digits.
    {1080, "Button", "上書きする", 486, 295, 80, 17, BS_AUTOCHECKBOX, 0},
    {1081, "Button", "録音ごとのフォルダに保存", 414, 320, 153, 17, BS_AUTOCHECKBOX, 0},
    {1083, "Button", "MP3 のまま保存", 404, 445, 150, 17, BS_AUTOCHECKBOX, 0},
    // The recording's length and the time axis (under the graph, as wide).
    {1060, "Static", "長さ：", 245, 447, 35, 12, SS_LEFT, 0},
    {1061, "Static", "", 280, 447, 110, 14, SS_LEFT, WS_EX_STATICEDGE},
    {1059, "Static", "", 3, 166 - kBelowGraph, 570, 14, SS_OWNERDRAW, 0},
};

void CheckControls() {
    HWND main = tw::TheShell().main.handle;
    int count = 0;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++count;
    CheckEq(count, 57, "the 36 child controls, the 3 of pause cutting, the 9 of the piece rules, the length's 2, the axis, "
                       "the 3 of saving and the piece list's 3");
    for (int a = 1040; a <= 1083; ++a) {
        if (!GetDlgItem(main, a)) continue;  // ids of menu commands
        RECT ra, rb, both;
        GetWindowRect(GetDlgItem(main, a), &ra);
        for (int b = 1000; b < a; ++b) {
            // The group boxes frame other controls; nothing may sit on the rest.
            if (b == 1002 || b == 1017 || b == 1018 || !GetDlgItem(main, b)) continue;
            GetWindowRect(GetDlgItem(main, b), &rb);
            Check(!IntersectRect(&both, &ra, &rb), std::to_string(a) + " clear of " + std::to_string(b));
        }
    }
    for (const ExpectedControl& e : kExpected) {
        std::string id = "control " + std::to_string(e.id);
        HWND c = GetDlgItem(main, e.id);
        if (!Check(c != nullptr, id + " exists")) continue;
        char cls[64] = {0};
        GetClassNameA(c, cls, sizeof cls);
        Check(lstrcmpiA(cls, e.className) == 0, id + " class " + cls);
        CheckEq(ControlText(e.id), std::string(e.text), id + " text");
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        const int y = e.y + (e.id == 1000 ? 0 : kBelowGraph);
        Check(r.left == e.x && r.top == y && r.right - r.left == e.w && r.bottom - r.top == e.h,
              id + " rectangle " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
                  std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
        DWORD style = static_cast<DWORD>(GetWindowLongA(c, GWL_STYLE));
        DWORD want = WS_CHILD | WS_VISIBLE | e.style;
        Check((style & want) == want, id + " style");
        DWORD ex = static_cast<DWORD>(GetWindowLongA(c, GWL_EXSTYLE));
        Check((ex & e.exStyle) == e.exStyle, id + " extended style");
        // The graph rectangle and the scroll bar keep no font of their own.
        if (e.id != 1000 && e.id != 1031)
            Check(SendMessageA(c, WM_GETFONT, 0, 0) == reinterpret_cast<LRESULT>(tw::TheShell().main.font.get()), id + " font");
    }
}

// Every number box shows its longest value whole, in its own font.
void CheckNumbersFit() {
    const struct {
        int id;
        double longest;
    } rows[] = {
        {1005, 65535}, {1007, 4294967295.0}, {1009, 65535}, {1011, -32768}, {1014, -32768}, {1024, 32767},
        {1028, -0.000123456789012345}, {1028, -1.23456789012345e-05}, {1028, -32767.9999999999},
    };
    for (const auto& r : rows) {
        HWND box = Control(r.id);
        const std::string text = tw::FormatNumber(r.longest);
        HDC dc = GetDC(box);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(box, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(box, dc);
        RECT client{};
        GetClientRect(box, &client);
        Check(extent.cx <= client.right, "control " + std::to_string(r.id) + " holds \"" + text + "\" (" +
                                             std::to_string(extent.cx) + " of " + std::to_string(client.right) + " px)");
    }
}

void CheckWindowAndMenu() {
    HWND main = tw::TheShell().main.handle;
    char title[256] = {0};
    GetWindowTextA(main, title, sizeof title);
    CheckEq(std::string(title), std::string("Tarnwick Ver.0.20"), "title");
    char cls[64] = {0};
    GetClassNameA(main, cls, sizeof cls);
    CheckEq(std::string(cls), std::string("NORMAL0"), "main class");
    RECT r;
    GetWindowRect(main, &r);
    RECT client;
    GetClientRect(main, &client);
    // The inside of the fixed 580 x 522 window it once was, with the time axis
    // and the piece list's 150 pixels below.
    CheckEq(static_cast<int>(client.right), 574, "client width");
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, TRUE, WS_EX_ACCEPTFILES);
    CheckEq(static_cast<int>(client.bottom), 522 - (frame.bottom - frame.top) + 16 + 150, "client height");
    // Centred on the 1366 x 768 screen with single-precision halves.
    CheckEq(static_cast<int>(r.left), static_cast<int>((1366.0f - (r.right - r.left)) / 2), "centred x");
    CheckEq(static_cast<int>(r.top), static_cast<int>((768.0f - (r.bottom - r.top)) / 2), "centred y");
    LONG style = GetWindowLongA(main, GWL_STYLE);
    Check((style & WS_THICKFRAME) != 0 && (style & WS_MAXIMIZEBOX) != 0, "sizing border and maximise box");
    Check((style & WS_MINIMIZEBOX) != 0 && (style & WS_SYSMENU) != 0, "minimise box and system menu");
    Check((GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0, "accepts dropped files");

    HMENU bar = GetMenu(main);
    Check(bar == tw::TheShell().main.menuBar, "menu bar attached");
    char text[64] = {0};
    // By their texts: the file menu first, then the info menu.
    const char* const kBar[] = {"ファイル", "情報"};
    CheckEq(GetMenuItemCount(bar), 2, "menu bar entries");
    for (int i = 0; i < 2; ++i) {
        GetMenuStringA(bar, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        CheckEq(std::string(text), std::string(kBar[i]), "menu bar entry " + std::to_string(i));
    }
    struct Item { int id; const char* text; };  // id 0: a separator
    const Item kFile[] = {{1056, "開く...\tCtrl+O"}, {1057, "カットを保存\tCtrl+S"}, {0, ""},
                          {1052, "名前の一覧を選ぶ..."}, {1053, "名前の一覧をやめる"}, {1054, "ラベルを書き出す..."},
                          {1055, "ラベルを読み込む..."}, {0, ""}, {1058, "終了"}};
    HMENU file = GetSubMenu(bar, 0);
    CheckEq(GetMenuItemCount(file), 9, "file menu entries");
    for (int i = 0; i < 9; ++i) {
        text[0] = 0;
        GetMenuStringA(file, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        CheckEq(std::string(text), std::string(kFile[i].text), "file menu entry " + std::to_string(i));
        if (kFile[i].id == 0)
            Check((GetMenuState(file, i, MF_BYPOSITION) & MF_SEPARATOR) != 0, "separator " + std::to_string(i));
        else
            CheckEq(static_cast<int>(GetMenuItemID(file, i)), kFile[i].id, "file menu command " + std::to_string(i));
    }
    Check((GetMenuState(file, 1053, MF_BYCOMMAND) & MF_GRAYED) != 0, "no names list to stop using yet");
    HMENU info = GetSubMenu(bar, 1);
    GetMenuStringA(info, 0, text, sizeof text, MF_BYPOSITION);
    CheckEq(std::string(text), std::string("使い方\tF1"), "info menu: the guide");
    CheckEq(static_cast<int>(GetMenuItemID(info, 0)), 1082, "guide command id");
    GetMenuStringA(info, 1, text, sizeof text, MF_BYPOSITION);
    CheckEq(std::string(text), std::string("バージョン情報"), "info menu: the version");
    CheckEq(static_cast<int>(GetMenuItemID(info, 1)), 1036, "version command id");

    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(Control(1031), SB_CTL, &si);
    Check(si.nMin == 0 && si.nMax == 570 && si.nPage == 570 && si.nPos == 0, "initial scroll state");
}

struct Shown {
    std::string channels, rate, bits, peak, nadir, smallest, average;
};

Shown ShownNow() {
    return {ControlText(1005), ControlText(1007), ControlText(1009), ControlText(1011),
            ControlText(1014), ControlText(1024), ControlText(1028)};
}

// What the window must show for a file, from the file's own bytes and the
// plain one-sample-at-a-time measurement.
Shown ExpectedFor(const std::vector<std::uint8_t>& file) {
    if (!Check(file.size() >= 44, "test file readable")) return {};
    auto le16 = [&](size_t at) { return static_cast<unsigned>(file[at] | (file[at + 1] << 8)); };
    auto le32 = [&](size_t at) {
        return static_cast<std::uint32_t>(file[at] | (file[at + 1] << 8) | (file[at + 2] << 16)) |
               (static_cast<std::uint32_t>(file[at + 3]) << 24);
    };
    // Only the bytes the file holds, whatever its size field says.
    const std::uint32_t claimed = le32(40), held = static_cast<std::uint32_t>(file.size() - 44);
    std::uint32_t dataSize = claimed == 0 || claimed == 0xFFFFFFFFu || claimed > held ? held : claimed;
    std::vector<std::uint8_t> data(file.begin() + 44, file.begin() + 44 + dataSize);
    // Other sample sizes: their values on the 16-bit scale, averaged over 2n.
    const tw::SampleEncoding encoding = tw::CheckWaveBytes(file.data(), file.size()).layout.encoding;
    if (encoding != tw::SampleEncoding::Pcm16) {
        std::vector<std::uint8_t> values(2 * (dataSize / tw::ContainerBytes(encoding)));
        tw::ReadSamplesLe16(data.data(), encoding, 0, values.size() / 2, values.data());
        data = values;
        dataSize = static_cast<std::uint32_t>(values.size());
    }
    tw::WaveStats s = tw::MeasureWavePlain(data.data(), dataSize);
    return {tw::FormatNumber(le16(22)), tw::FormatNumber(le32(24)), tw::FormatNumber(le16(34)),
            tw::FormatNumber(s.peak), tw::FormatNumber(s.nadir), tw::FormatNumber(s.smallestPositive),
            tw::FormatNumber(s.average)};
}

void CheckShown(const Shown& want, const std::string& what) {
    Shown got = ShownNow();
    CheckEq(got.channels, want.channels, what + " channels");
    CheckEq(got.rate, want.rate, what + " rate");
    CheckEq(got.bits, want.bits, what + " bits");
    CheckEq(got.peak, want.peak, what + " peak");
    CheckEq(got.nadir, want.nadir, what + " nadir");
    CheckEq(got.smallest, want.smallest, what + " smallest positive");
    CheckEq(got.average, want.average, what + " average");
}

void LoadAndCheck(const std::string& path, const std::string& what) {
    DropFiles({path});
    Check(WaitIdle(), what + " load finishes");
    CheckEq(ControlText(1003), path, what + " path");
    CheckShown(ExpectedFor(ReadFileBytes(path)), what);
    Check(twt::CurrentWave() != nullptr, what + " samples held");
}

void CheckRealFiles() {
    const char* names[] = {"mono16.wav", "stereo16.wav", "mono8.wav", "stereo24.wav", "silence.wav", "speech.wav"};
    for (const char* n : names) LoadAndCheck(Fixture(n), n);
    LoadAndCheck(Fixture("stereo24.wav"), "24-bit");
    CheckEq(ControlText(1009), std::string("24"), "24-bit shown as 24");
    LoadAndCheck(Fixture("silence.wav"), "silence");
    CheckEq(ControlText(1024), std::string("9999999999"), "silence smallest positive");
    CheckEq(ControlText(1011), std::string("0"), "silence peak");
    CheckEq(ControlText(1028), std::string("0"), "silence average");
}

void CheckSyntheticFiles() {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* peak;
        const char* nadir;
        const char* average;
    };
    std::vector<std::uint8_t> seven = WaveFile({100, 200, 300}, 1, 8000, 7);
    seven.push_back(0x01);  // the odd seventh byte belongs to no sample
    std::vector<Case> cases = {
        {"extremes.wav", WaveFile({-32768, 0, 32767, 5}, 1, 8000), "32767", "-32768", "1"},
        {"seven.wav", seven, "300", "0", "171.428573608398"},
        {"beyond.wav", WaveFile({1000, 1000}, 1, 8000, 400), "1000", "0", "1000"},
        {"positive.wav", WaveFile({5, 6, 7}, 2, 8000), "7", "0", "6"},
        {"empty.wav", WaveFile({}, 1, 8000), "-9999999999", "0", "0"},
        // Sizes a tiny file cannot hold: measured as the samples it holds, no invented zeros.
        {"huge_claim.wav", WaveFile({100, -200, 300}, 1, 8000, 0xFFFFFFFFll), "300", "-200", "66.6666641235352"},
    };
    for (const Case& c : cases) {
        std::string path = WorkPath(c.name);
        WriteFileBytes(path, c.bytes);
        LoadAndCheck(path, c.name);
        CheckEq(ControlText(1011), std::string(c.peak), std::string(c.name) + " peak text");
        CheckEq(ControlText(1014), std::string(c.nadir), std::string(c.name) + " nadir text");
        CheckEq(ControlText(1028), std::string(c.average), std::string(c.name) + " average text");
    }
}

// The window's thread shows a refused drop's box; the drop behind it loads
// and shows while the box is still open. The box's own loop runs on this
// thread, so a second thread drops and looks.
void CheckBoxHoldsNothingUp() {
    ClearBoxes();
    SetBoxAnswer(0);  // a button no box has: the box stays open until closed below
    const DWORD windowThread = GetWindowThreadProcessId(tw::TheShell().main.handle, nullptr);
    bool shownWhileOpen = false, done = false;
    std::thread other([&] {
        HWND box = nullptr;
        for (int i = 0; i < 2000 && !box; ++i) {
            Sleep(10);
            if (Boxes().empty()) continue;
            EnumThreadWindows(windowThread, [](HWND w, LPARAM found) -> BOOL {
                char cls[32] = {0};
                GetClassNameA(w, cls, sizeof cls);
                if (std::strcmp(cls, "#32770") == 0) *reinterpret_cast<HWND*>(found) = w;
                return TRUE;
            }, reinterpret_cast<LPARAM>(&box));
        }
        DropFiles({Fixture("mono8.wav")});
        for (int i = 0; i < 2000 && ControlText(1003) != Fixture("mono8.wav"); ++i) Sleep(10);
        shownWhileOpen = box && IsWindow(box) && ControlText(1003) == Fixture("mono8.wav");
        if (box) PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        done = true;
    });
    DropFiles({Fixture("text.txt")});
    WaitUntil([&] { return done; }, 40000);
    other.join();
    SetBoxAnswer(IDOK);
    WaitIdle();
    Check(shownWhileOpen, "a refused drop's box holds up no drop behind it");
    CheckShown(ExpectedFor(ReadFileBytes(Fixture("mono8.wav"))), "the drop behind the refused one");
}

void CheckRejections() {
    LoadAndCheck(Fixture("mono16.wav"), "good file first");
    Shown before = ShownNow();
    std::string pathBefore = ControlText(1003);

    std::vector<std::uint8_t> lower = WaveFile({1, 2, 3});
    std::memcpy(lower.data(), "riff", 4);
    std::memcpy(lower.data() + 8, "wave", 4);
    std::vector<std::uint8_t> zeroTag = WaveFile({1, 2, 3});
    zeroTag[10] = 0;
    std::vector<std::uint8_t> list = WaveFile({1, 2, 3});
    std::memcpy(list.data() + 12, "LIST", 4);
    WriteFileBytes(WorkPath("zero_tag.wav"), zeroTag);
    WriteFileBytes(WorkPath("list.wav"), list);
    WriteFileBytes(WorkPath("short.wav"), std::vector<std::uint8_t>(lower.begin(), lower.begin() + 43));
    WriteFileBytes(WorkPath("empty_file.wav"), {});

    struct Rejected {
        std::string path;
        std::string text;
    };
    std::vector<Rejected> rejected = {
        // A file that is not WAV is named on the first line.
        {Fixture("text.txt"), Fixture("text.txt") + "\r\nWAVファイルではありません\r\nthisnot a wa"},
        {WorkPath("zero_tag.wav"), WorkPath("zero_tag.wav") + "\r\nWAVファイルではありません\r\nRIFFWA"},
        {WorkPath("list.wav"), "このWAVファイルの形式には対応していません\r\nfmt チャンクがありません\r\n" + WorkPath("list.wav")},
        {WorkPath("short.wav"), WorkPath("short.wav") + "\r\nWAVファイルではありません\r\nriffwavefmt "},
        {WorkPath("empty_file.wav"), WorkPath("empty_file.wav") + "\r\nWAVファイルではありません\r\n"},
        {WorkPath("missing.wav"), "ファイルを開けません\r\n" + WorkPath("missing.wav")},
        {WorkPath(""), "ファイルを開けません\r\n" + WorkPath("")},
    };
    for (const Rejected& r : rejected) {
        ClearBoxes();
        DropFiles({r.path});
        Check(WaitBoxes(1), r.path + " gives a message");
        WaitIdle();
        auto boxes = Boxes();
        if (!boxes.empty()) {
            CheckEq(boxes[0].caption, std::string("Error"), r.path + " caption");
            Check(boxes[0].text == r.text, r.path + " text [" + Hex(boxes[0].text) + "]");
            Check(boxes[0].owner == tw::TheShell().main.handle, r.path + " box owned by the main window");
        }
        // The status line says the load was refused, not that a file is being read.
        const std::string name = r.path.substr(r.path.find_last_of('\\') + 1);
        CheckEq(ControlText(1026), (name.empty() ? r.path : name) + " を読み込めませんでした", r.path + " status line");
        CheckEq(ControlText(1003), pathBefore, r.path + " keeps the earlier path");
        CheckShown(before, r.path + " keeps the earlier numbers");
        Check(twt::CurrentWave() != nullptr, r.path + " keeps the earlier samples");
    }
    Check(GetFileAttributesA(WorkPath("missing.wav").c_str()) == INVALID_FILE_ATTRIBUTES,
          "a vanished file is not created");

    // Lower-case tags are accepted.
    WriteFileBytes(WorkPath("lower.wav"), lower);
    LoadAndCheck(WorkPath("lower.wav"), "lower-case tags");

    // A file another program holds without sharing.
    HANDLE locked = CreateFileA(Fixture("stereo16.wav").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ClearBoxes();
    DropFiles({Fixture("stereo16.wav")});
    Check(WaitBoxes(1), "locked file gives a message");
    WaitIdle();
    CloseHandle(locked);
    CheckEq(ControlText(1003), WorkPath("lower.wav"), "locked file changes nothing");
    CheckBoxHoldsNothingUp();
}

std::wstring Wide(const std::string& s) {
    std::wstring w(s.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], static_cast<int>(w.size()));
    w.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return w;
}

void CheckDropEdges() {
    // Only the first of several files loads.
    DropFiles({Fixture("stereo16.wav"), Fixture("mono16.wav"), Fixture("mono8.wav")});
    Check(WaitIdle(), "three files load");
    CheckEq(ControlText(1003), Fixture("stereo16.wav"), "first of three");
    CheckEq(ControlText(1005), std::string("2"), "first of three channels");
    CheckEq(ControlText(1026), std::string("3 個のファイルがドロップされました。最初のファイルだけを読み込みます"),
            "first of three: the status line says so");

    // A path longer than 1024 bytes is taken whole.
    std::string dir = WorkPath("");
    std::string longDir = dir;
    while (longDir.size() < 1100) {
        longDir += std::string(200, 'd');
        CreateDirectoryW(Wide("\\\\?\\" + longDir).c_str(), nullptr);
        longDir += "\\";
    }
    std::string longPath = longDir + "long.wav";
    std::vector<std::uint8_t> bytes = WaveFile({7, -9, 11});
    HANDLE h = CreateFileW(Wide("\\\\?\\" + longPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool made = h != INVALID_HANDLE_VALUE && WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (made) {
        LoadAndCheck(longPath, "long path");
        CheckEq(ControlText(1011), std::string("11"), "long path peak");
    } else {
        Check(false, "could not make a file with a long path");
    }

    // A directory whose CP932 name has 0x5C as a trail byte ("ソ").
    std::string soDir = WorkPath("ソ");
    CreateDirectoryA(soDir.c_str(), nullptr);
    std::string soPath = soDir + "\\ソ.wav";
    WriteFileBytes(soPath, WaveFile({1, 2, 3, -4}));
    LoadAndCheck(soPath, "0x5C trail byte path");

    // A directory is refused with a message.
    ClearBoxes();
    DropFiles({soDir});
    Check(WaitBoxes(1), "directory gives a message");
    WaitIdle();
    CheckEq(ControlText(1003), soPath, "directory changes nothing");
}

// A file chosen in the open dialog (the method it calls) or named on the
// command line loads as a drop does: its path and numbers shown.
void CheckOpened() {
    CreateDirectoryA(WorkPath("with space").c_str(), nullptr);
    const std::string spaced = WorkPath("with space\\a b.wav");
    CopyFileA(Fixture("stereo16.wav").c_str(), spaced.c_str(), FALSE);
    CopyFileA(Fixture("mono8.wav").c_str(), WorkPath("relative.wav").c_str(), FALSE);
    struct Case {
        const char* what;
        std::wstring commandLine;  // empty: the dialog's method with `shown`
        std::string shown;         // the path then shown
        const char* status;        // after the graph, "" for none
    };
    const Case cases[] = {
        {"dialog", L"", Fixture("mono16.wav"), ""},
        {"dialog, a name with a space", L"", spaced, ""},
        {"command line, quoted", L"Tarnwick.exe \"" + Wide(spaced) + L"\"", spaced, ""},
        {"command line, relative to the current folder", L"\"Z:\\x\\Tarnwick.exe\" relative.wav", WorkPath("relative.wav"), ""},
        {"command line, two files", L"Tarnwick.exe " + Wide(Fixture("mono16.wav")) + L" \"" + Wide(spaced) + L"\"", Fixture("mono16.wav"),
         "2 個のファイルが指定されました。最初のファイルだけを読み込みます"},
    };
    for (const Case& c : cases) {
        DropFiles({Fixture("silence.wav")});
        WaitIdle();
        ClearBoxes();
        if (c.commandLine.empty())
            tw::TheShell().main.OpenFile(Wide(c.shown));
        else
            tw::TheShell().main.OpenCommandLine(c.commandLine.c_str());
        Check(WaitIdle(), std::string(c.what) + " load finishes");
        CheckEq(ControlText(1003), c.shown, std::string(c.what) + " path");
        CheckShown(ExpectedFor(ReadFileBytes(c.shown)), c.what);
        CheckEq(ControlText(1026), std::string(c.status), std::string(c.what) + " status line");
        CheckEq(Boxes().size(), size_t{0}, std::string(c.what) + " no message");
    }
    // No file named: nothing changes.
    tw::TheShell().main.OpenCommandLine(L"Tarnwick.exe");
    WaitIdle();
    CheckEq(ControlText(1003), Fixture("mono16.wav"), "command line without a file");
}

bool HeldIs(const std::vector<std::uint8_t>& file) {
    tw::WavePtr w = twt::CurrentWave();
    return w && file.size() >= 44 && w->dataSize() <= file.size() - 44 &&
           std::memcmp(w->bytes, file.data() + 44, w->dataSize()) == 0;
}

bool OpenExclusively(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

// The samples are read from a view of the file and moved into memory of
// their own once the graph is up. Afterwards the file is free; whatever
// another program does to it meanwhile never ends the program.
void CheckMappedFiles() {
    {
        // Pages that go away under a view read as zeros instead of faulting.
        WriteFileBytes(WorkPath("cut_short.wav"), WaveFile(std::vector<std::int16_t>(300000, 0x0401)));
        HANDLE h = CreateFileA(WorkPath("cut_short.wav").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        tw::WaveData view;
        view.layout.dataOffset = 44;
        view.layout.dataSize = 600000;
        Check(view.MapFile(h), "a view of the file");
        CloseHandle(h);
        Check(view.bytes[599999] == 4 && !view.Damaged(), "the view reads the file");
        Check(RunLinux("truncate -s 4096 cut_short.wav"), "another program cuts the file short");
        Check(view.bytes[500001] == 0 && view.Damaged(), "a page past the new end reads as zero, and is noticed");
    }
    Check(DeleteFileA(WorkPath("cut_short.wav").c_str()) != 0, "a view let go of lets go of its file");

    std::vector<std::int16_t> samples(40u * 1000 * 1000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>((i * 2654435761u) >> 16);
    const std::vector<std::uint8_t> big = WaveFile(samples);
    samples = {};
    const std::vector<std::uint8_t> small = WaveFile({3, -4, 5});
    WriteFileBytes(WorkPath("small.wav"), small);
    struct Case {
        const char* name;
        const char* meanwhile;  // run once the load has started
        bool dropSmall;         // a second drop once the numbers are up
    };
    const Case cases[] = {
        {"let_go.wav", nullptr, false},
        {"second_drop.wav", nullptr, true},
        {"truncated.wav", "truncate -s 100000 truncated.wav", false},
        {"rewritten.wav", "dd if=/dev/zero of=rewritten.wav bs=65536 seek=1 count=64 conv=notrunc status=none", false},
    };
    for (const Case& c : cases) {
        const std::string path = WorkPath(c.name);
        WriteFileBytes(path, big);
        ClearBoxes();
        DropFiles({path});
        if (c.meanwhile) {
            WaitUntil([] { return ControlText(1026) == "WAVファイルの読み込み中..."; }, 3000);
            Check(RunLinux(c.meanwhile), std::string(c.name) + ": another program changes the file");
        }
        if (c.dropSmall) {
            WaitUntil([&] { return ControlText(1003) == path; });
            DropFiles({WorkPath("small.wav")});
        }
        Check(WaitIdle(), std::string(c.name) + " load finishes");
        const std::string shown = ControlText(1003);
        const tw::WavePtr held = twt::CurrentWave();
        if (c.dropSmall) {
            CheckEq(shown, WorkPath("small.wav"), "the second drop is shown");
            Check(HeldIs(small), "the second drop's samples are held");
        } else if (!c.meanwhile) {
            CheckEq(shown, path, std::string(c.name) + " shown");
            Check(HeldIs(big), std::string(c.name) + " samples held");
        } else if (shown.empty()) {
            // The change came while the samples were still the file's.
            Check(!held, std::string(c.name) + ": nothing held when nothing is shown");
            Check(Boxes().size() == 1 && Boxes()[0].text == "ファイルを読み込めません\r\n" + path,
                  std::string(c.name) + ": the read failure is told");
        } else {
            // Loaded before or after the change: a file shown is a file held.
            CheckEq(shown, path, std::string(c.name) + " shown");
            Check(HeldIs(big) || HeldIs(ReadFileBytes(path)), std::string(c.name) + ": samples as measured");
        }
        Check(!held || !held->Mapped(), std::string(c.name) + ": the samples held are the program's own");
        Check(OpenExclusively(path), std::string(c.name) + ": the file is let go");
        if (held && !c.meanwhile && !c.dropSmall) {
            WriteFileBytes(path, small);
            Check(HeldIs(big), std::string(c.name) + ": overwriting the file changes nothing held");
        }
        std::printf("%s: %s\n", c.name, shown.empty() ? "read failure told" : shown.c_str());
        DeleteFileA(path.c_str());
    }
}

// F1 asks the system to open the guide beside the program: under Wine its
// viewer for .txt (notepad) comes up with the file; without the file, a box.
void CheckGuide() {
    char exe[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string guide = exe;
    guide = guide.substr(0, guide.find_last_of('\\') + 1) + "Tarnwick.txt";
    DeleteFileA(guide.c_str());
    ClearBoxes();
    SetFocus(tw::TheShell().main.handle);
    PressKey(VK_F1);
    if (Check(WaitBoxes(1), "no guide: a message"))
        CheckEq(Boxes()[0].text, "使い方のテキストが見つかりません\r\n" + guide, "no guide: its text");
    // A fresh Wine prefix knows notepad for "txtfile" but leaves .txt unassociated; Windows associates it.
    RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, "txtfile", 7);
    WriteFileBytes(guide, {'T', 'a', 'r', 'n', 'w', 'i', 'c', 'k', '\r', '\n'});
    ClearBoxes();
    SetFocus(tw::TheShell().main.handle);  // the box took it
    PressKey(VK_F1);
    // The viewer names the file in its caption once it has read it.
    HWND viewer = nullptr;
    char title[256] = {0};
    Check(WaitUntil([&] {
              viewer = FindWindowA("Notepad", nullptr);
              return viewer && GetWindowTextA(viewer, title, sizeof title) > 0 && std::strstr(title, "Tarnwick") != nullptr;
          }, 30000),
          std::string("F1 opens the guide in the system's viewer [") + title + "]");
    if (viewer) PostMessageA(viewer, WM_CLOSE, 0, 0);
    WaitUntil([] { return FindWindowA("Notepad", nullptr) == nullptr; }, 10000);
    CheckEq(Boxes().size(), size_t{0}, "no message when the guide opens");
    DeleteFileA(guide.c_str());
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    CheckWindowAndMenu();
    CheckControls();
    CheckNumbersFit();
    // TW_SHOT=/abs/path.png: a screenshot of the window as it opens, to see its layout.
    if (const char* shot = std::getenv("TW_SHOT")) {
        Pump(500);
        RunLinux(std::string("import -window root ") + shot);
    }
    CheckRealFiles();
    CheckSyntheticFiles();
    CheckRejections();
    CheckDropEdges();
    CheckOpened();
    CheckMappedFiles();
    CheckGuide();
    Check(twt::Cuts().Count() == 0, "loads leave the cut list alone");
    CloseMainWindow();
    return Finish();
}
