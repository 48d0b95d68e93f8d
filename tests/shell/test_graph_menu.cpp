// The graph's right-click menu in the real main window: what each item does
// to the cut list and the picture, greyed items, undo, and playback heard for
// real: the runner points ALSA's default device at a file (the .pre.sh hook),
// so every byte played lands in captured.raw.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "shell/app/main_window_ids.h"
#include "core/cut/hand_cut.h"
#include "graph_model_win.h"
#include "harness_win.h"
#include "shell/workers/play_win.h"

using namespace twt;

namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const kTexts[] = {"このピースを再生\tSpace", "ここから再生", "停止", "このカットを削除\tDel", "すべてのカットを削除",
                             "元に戻す\tCtrl+Z"};
const UINT kIds[] = {tw::kIdMenuPlayPiece, tw::kIdMenuPlayFromHere, tw::kIdMenuStop,
                     tw::kIdMenuDeleteCut, tw::kIdMenuDeleteAllCuts, tw::kIdMenuUndo};

// Which items are greyed, in menu order, as "0"/"1" per item.
std::string GreyedOf(const PopupMenu& menu) {
    std::string g;
    for (const MenuItem& item : menu.items) g += item.greyed ? '1' : '0';
    return g;
}

void CheckMenu(int x, const std::string& greyed, const std::string& what) {
    PopupMenu menu = RightClickGraph(x, 80);
    if (!Check(menu.opened, what + ": the menu opens") || !CheckEq(menu.items.size(), size_t(6), what + ": six items")) return;
    for (size_t i = 0; i < 6; ++i) {
        CheckEq(menu.items[i].text, std::string(kTexts[i]), what + ": item text");
        CheckEq(menu.items[i].id, kIds[i], what + ": item id");
    }
    CheckEq(GreyedOf(menu), greyed, what + ": greyed items");
    POINT cursor;
    GetCursorPos(&cursor);
    Check(menu.at.x == cursor.x && menu.at.y == cursor.y, what + ": opens at the cursor");
}

bool Load(const std::string& path) {
    DropFiles({path});
    return Check(WaitIdle() && ControlText(1003) == path, "loaded " + path);
}

Bytes DataOf(const std::string& path) {
    Bytes file = ReadFileBytes(path);
    return file.size() > 44 ? Bytes(file.begin() + 44, file.end()) : Bytes{};
}

int Column(double position) {
    std::int32_t c = -1;
    tw::CutLineColumn(position, gm::GraphControlSize().cx, twt::CurrentWave()->dataSize(), &c);
    return c;
}

void RunAutoCut(const char* threshold) {
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, threshold);
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
}

// ---- editing --------------------------------------------------------------

// Loud square wave with three silent gaps: auto cutting places three cuts.
Bytes GapsFile() {
    std::vector<std::int16_t> s(44100);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>((i / 20) % 2 ? 6000 : -6000);
    for (int g : {8000, 20000, 32000})
        for (int i = g; i < g + 1000; ++i) s[static_cast<size_t>(i)] = 0;
    return WaveFile(s);
}

void CheckEditing() {
    CheckMenu(100, "111111", "no file");
    const std::string path = WorkPath("gaps.wav");
    const Bytes file = GapsFile();
    WriteFileBytes(path, file);
    if (!Load(path)) return;
    CheckMenu(100, "001111", "loaded, no cuts");

    SendMessageA(Control(1001), BM_CLICK, 0, 0);  // cutting mode: one cut by hand
    ClickGraph(40, 80);
    SendMessageA(Control(1001), BM_CLICK, 0, 0);
    const std::vector<double> byHand = twt::Cuts().Snapshot();
    RunAutoCut("100");
    const std::vector<double> afterAuto = twt::Cuts().Snapshot();
    if (!CheckEq(afterAuto.size(), size_t(4), "a hand cut and three auto cuts")) return;
    const double second = afterAuto[2];
    std::vector<double> deleted = afterAuto;
    deleted.erase(deleted.begin() + 2);

    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<double> after;
        std::string greyedAfter;  // the menu opened at the second auto cut's line
        bool redrawn = true;      // lines where a fresh drawing puts them
    };
    const Step steps[] = {
        {"line five columns off", [&] { CheckMenu(Column(second) + 5, "001000", "near a line"); }, afterAuto, "001000", false},
        {"line six columns off", [&] { CheckMenu(Column(second) - 6, "001100", "off a line"); }, afterAuto, "001000", false},
        {"delete this cut", [&] { ChooseMenuItem(tw::kIdMenuDeleteCut); }, deleted, "001100"},
        {"delete all, answered No", [] { SetBoxAnswer(IDNO); ChooseMenuItem(tw::kIdMenuDeleteAllCuts); }, deleted, "001100"},
        {"delete all, answered Yes", [] { SetBoxAnswer(IDYES); ChooseMenuItem(tw::kIdMenuDeleteAllCuts); }, {}, "001110"},
        {"undo the clear", [] { ChooseMenuItem(tw::kIdMenuUndo); }, deleted, "001100"},
        {"undo the deletion", [] { ChooseMenuItem(tw::kIdMenuUndo); }, afterAuto, "001000"},
        {"undo the auto run", [] { ChooseMenuItem(tw::kIdMenuUndo); }, byHand, "001100"},
        {"undo the click", [] { ChooseMenuItem(tw::kIdMenuUndo); }, {}, "001111"},
        {"nothing left to undo", [] { ChooseMenuItem(tw::kIdMenuUndo); }, {}, "001111"},
    };
    for (const Step& step : steps) {
        const size_t boxes = Boxes().size();
        step.act();
        Pump(100);
        SetBoxAnswer(IDOK);
        Check(twt::Cuts().Snapshot() == step.after, std::string(step.what) + ": cut list");
        if (step.redrawn) gm::CheckPictureOf(file, std::string(step.what) + ": picture");
        gm::ControlShowsBitmap(step.what);
        const bool asked = std::strstr(step.what, "delete all") != nullptr;
        if (CheckEq(Boxes().size() - boxes, size_t(asked ? 1 : 0), std::string(step.what) + ": boxes") && asked) {
            const BoxRecord box = Boxes().back();
            Check(box.owner == tw::TheShell().main.handle && box.text == "すべてのカットを削除しますか？",
                  std::string(step.what) + ": the question, owned by the main window");
        }
        CheckMenu(Column(second), step.greyedAfter, std::string(step.what) + ": menu after");
    }

    // A save after a deletion writes the pieces of the cuts that are left.
    RunAutoCut("100");
    RightClickGraph(Column(second), 80);
    ChooseMenuItem(tw::kIdMenuDeleteCut);
    std::vector<double> left = twt::Cuts().Snapshot();
    std::sort(left.begin(), left.end());
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, WorkPath("edited").c_str());
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    Check(WaitIdle(), "save after a deletion ends");
    const Bytes data(file.begin() + 44, file.end());
    size_t at = 0;
    for (size_t k = 0; k <= left.size(); ++k) {
        const size_t end = k < left.size() ? 2 * static_cast<size_t>(left[k]) : data.size();
        char name[32];
        std::snprintf(name, sizeof name, "edited_%03u.wav", static_cast<unsigned>(k));
        Check(DataOf(WorkPath(name)) == Bytes(data.begin() + at, data.begin() + end), std::string(name) + " is its piece");
        at = end;
    }
    Check(ReadFileBytes(WorkPath("edited_003.wav")).empty(), "no piece for the deleted cut");
}

// ---- keys -------------------------------------------------------------------

int ScrollPos() { return twt::Graph().scroll.pos; }

// The scroll position the graph control sits at, and the furthest one.
bool GraphAt(int pos) {
    RECT rc{};
    GetWindowRect(Control(1000), &rc);
    POINT left{rc.left, rc.top};
    ScreenToClient(tw::TheShell().main.handle, &left);
    return ScrollPos() == pos && left.x == -pos;
}

// The bounds keep the graph's home width (570 in the window as it opens) in view.
int LastPos() {
    RECT client{};
    GetClientRect(tw::TheShell().main.handle, &client);
    return gm::GraphControlSize().cx - (client.right - 4);
}

std::string BoxText(int id) { return ControlText(id); }

DWORD Selection(int id) { return static_cast<DWORD>(SendMessageA(Control(id), EM_GETSEL, 0, 0)); }

// The main window's commands 1056, 1057 and the guide's 1082 as they arrive,
// kept from the window (they would open a dialog or the system's viewer).
std::vector<int> g_fileCommands;
WNDPROC g_mainProc = nullptr;
LRESULT CALLBACK KeepFileCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && (LOWORD(wParam) == tw::kIdMenuOpen || LOWORD(wParam) == tw::kIdMenuSaveCuts ||
                                  LOWORD(wParam) == tw::kIdMenuGuide)) {
        g_fileCommands.push_back(LOWORD(wParam));
        return 0;
    }
    return CallWindowProcA(g_mainProc, window, message, wParam, lParam);
}


// Every key of the main window, with the focus on the graph, a button, a
// check box, the window itself or a box being typed in.
void CheckKeys() {
    const std::string path = WorkPath("gaps.wav");
    if (!Load(path)) return;
    HWND main = tw::TheShell().main.handle;
    twt::CutEdits().Reset();
    RunAutoCut("100");
    const std::vector<double> cuts = twt::Cuts().Snapshot();
    if (!CheckEq(cuts.size(), size_t(3), "keys: three cuts")) return;
    std::vector<double> deleted = cuts;
    deleted.erase(deleted.begin() + 1);
    int width = 0;  // the graph's width before the row's key
    const int lines = [] { UINT n = 3; SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &n, 0); return static_cast<int>(n); }();
    g_mainProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeepFileCommands)));
    const std::string longPath = WorkPath("keys_long.wav");
    gm::WriteBusyFile(longPath, 44100 * 40);

    enum Input { Key, HeldKey, Wheel, Tilt };
    struct Row {
        const char* what;
        int focus;  // a control's id; 0: the main window itself
        Input input;
        int key;    // the key, or the wheel's turn
        bool ctrl, shift;
        std::function<void()> before;
        std::function<bool()> after;
    };
    const auto widthTimes = [&](double f) { return [&, f] { return gm::GraphControlSize().cx == static_cast<int>(width * f); }; };
    const auto narrower = [&] { return gm::GraphControlSize().cx < width; };
    const auto sameWidth = [&] { return gm::GraphControlSize().cx == width; };
    const Row rows[] = {
        {"Delete takes the cut at the last click", 1000, Key, VK_DELETE, false, false,
         [&] { RightClickGraph(Column(cuts[1]) + 4, 80); }, [&] { return twt::Cuts().Snapshot() == deleted; }},
        {"Delete with no cut near does nothing", 1000, Key, VK_DELETE, false, false, nullptr,
         [&] { return twt::Cuts().Snapshot() == deleted; }},
        {"Delete in a box is the box's", 1016, Key, VK_DELETE, false, false,
         [] { SendMessageA(Control(1016), EM_SETSEL, 0, 0); RightClickGraph(Column(twt::Cuts().Snapshot()[0]), 80); SetFocus(Control(1016)); },
         [&] { return BoxText(1016) == "00" && twt::Cuts().Snapshot() == deleted; }},
        {"Ctrl+Z on a button undoes", 1029, Key, 'Z', true, false, nullptr, [&] { return twt::Cuts().Snapshot() == cuts; }},
        {"Ctrl+Z in a box undoes its typing", 1016, Key, 'Z', true, false, nullptr,
         [&] { return BoxText(1016) == "100" && twt::Cuts().Snapshot() == cuts; }},
        {"Ctrl+A in a box selects its text", 1016, Key, 'A', true, false, [] { SendMessageA(Control(1016), EM_SETSEL, 1, 1); },
         [] { return Selection(1016) == MAKELONG(0, 3); }},
        {"+ zooms in", 1001, Key, VK_OEM_PLUS, false, false, nullptr, widthTimes(1.5)},
        {"numpad + zooms in", 0, Key, VK_ADD, false, false, nullptr, widthTimes(1.5)},
        {"- in a box is the box's", 1016, Key, VK_OEM_MINUS, false, false, [] { SendMessageA(Control(1016), EM_SETSEL, 0, 0); },
         [&] { return sameWidth() && BoxText(1016) == "-100"; }},
        // The zooms kept the last click in place; from the start again.
        {"Right scrolls", 1000, Key, VK_RIGHT, false, false,
         [] { SendMessageA(tw::TheShell().main.handle, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0),
                           reinterpret_cast<LPARAM>(Control(1031))); },
         [] { return GraphAt(5); }},
        {"End goes to the end", 1033, Key, VK_END, false, false, nullptr, [] { return GraphAt(LastPos()); }},
        {"Left scrolls back", 1000, Key, VK_LEFT, false, false, nullptr, [] { return GraphAt(LastPos() - 5); }},
        {"Home goes to the start", 1000, Key, VK_HOME, false, false, nullptr, [] { return GraphAt(0); }},
        {"End in a box is the box's", 1016, Key, VK_END, false, false, [] { SendMessageA(Control(1016), EM_SETSEL, 0, 0); },
         [] { return GraphAt(0) && Selection(1016) == MAKELONG(4, 4); }},
        {"the wheel turned back scrolls on", 1000, Wheel, -WHEEL_DELTA, false, false, nullptr, [&] { return GraphAt(5 * lines); }},
        {"the wheel turned forward scrolls back", 1016, Wheel, WHEEL_DELTA, false, false, nullptr, [] { return GraphAt(0); }},
        {"half a notch twice is one", 1000, Wheel, -WHEEL_DELTA / 2, false, false, [] { TurnWheel(-WHEEL_DELTA / 2); },
         [&] { return GraphAt(5 * lines); }},
        {"the wheel tilted left scrolls back", 1000, Tilt, -WHEEL_DELTA, false, false, nullptr, [] { return GraphAt(0); }},
        {"Ctrl+wheel forward zooms in", 1000, Wheel, WHEEL_DELTA, true, false, nullptr, widthTimes(1.5)},
        {"Ctrl+wheel back zooms out", 1000, Wheel, -WHEEL_DELTA, true, false, nullptr, narrower},
        {"- zooms out", 1030, Key, VK_OEM_MINUS, false, false, nullptr, narrower},
        {"numpad - zooms out", 1000, Key, VK_SUBTRACT, false, false, nullptr, narrower},
        {"Tab moves to the next box", 1016, Key, VK_TAB, false, false, [] { SetDlgItemTextA(tw::TheShell().main.handle, 1019, "abc"); },
         [] { return GetFocus() == Control(1019) && Selection(1019) == MAKELONG(0, 3); }},
        {"Shift+Tab moves back", 1019, Key, VK_TAB, false, true, nullptr, [] { return GetFocus() == Control(1016); }},
        {"Tab from the saving's last box goes to the piece list", 1081, Key, VK_TAB, false, false, nullptr,
         [] { return GetFocus() == Control(1062); }},
        {"Tab from the last goes round to the first", 1062, Key, VK_TAB, false, false, nullptr,
         [] { return GetFocus() == Control(1001); }},
        {"Shift+Tab from the graph goes to the last", 1000, Key, VK_TAB, false, true, nullptr,
         [] { return GetFocus() == Control(1062); }},
        {"Enter presses the button Tab came to", 1001, Key, VK_RETURN, false, false, nullptr,
         [] { return SendMessageA(Control(1001), BM_GETCHECK, 0, 0) == BST_CHECKED; }},
        {"Enter again", 1001, Key, VK_RETURN, false, false, nullptr,
         [] { return SendMessageA(Control(1001), BM_GETCHECK, 0, 0) == BST_UNCHECKED; }},
        {"F1 opens the user guide", 1000, Key, VK_F1, false, false, nullptr,
         [] { return g_fileCommands == std::vector<int>{tw::kIdMenuGuide}; }},
        {"F1 in a box too", 1016, Key, VK_F1, false, false, [] { g_fileCommands.clear(); },
         [] { return g_fileCommands == std::vector<int>{tw::kIdMenuGuide}; }},
        {"Ctrl+O", 1016, Key, 'O', true, false, [] { g_fileCommands.clear(); },
         [] { return g_fileCommands == std::vector<int>{tw::kIdMenuOpen}; }},
        {"Ctrl+S", 1000, Key, 'S', true, false, nullptr,
         [] { return g_fileCommands == std::vector<int>{tw::kIdMenuOpen, tw::kIdMenuSaveCuts}; }},
        {"Space plays the piece at the last click", 1029, Key, VK_SPACE, false, false,
         [&] { Load(longPath); RightClickGraph(100, 80); SetFocus(Control(1029)); }, [] { return twt::PlaybackActive(); }},
        {"Space held down repeats nothing", 1029, HeldKey, VK_SPACE, false, false, nullptr,
         [] { return twt::PlaybackActive(); }},
        {"Space again stops", 1001, Key, VK_SPACE, false, false, nullptr,
         [] { return !twt::PlaybackActive() && SendMessageA(Control(1001), BM_GETCHECK, 0, 0) == BST_UNCHECKED; }},
        {"Space in a box is the box's", 1016, Key, VK_SPACE, false, false, [] { SendMessageA(Control(1016), EM_SETSEL, 0, 0); },
         [] { return !twt::PlaybackActive() && BoxText(1016) == " -100"; }},
    };
    SetDlgItemTextA(main, 1016, "100");
    for (const Row& r : rows) {
        SetFocus(r.focus ? Control(r.focus) : main);
        if (r.before) r.before();
        SetFocus(r.focus ? Control(r.focus) : main);
        width = gm::GraphControlSize().cx;
        if (!Check(GetFocus() == (r.focus ? Control(r.focus) : main), std::string(r.what) + ": focus where the row puts it")) continue;
        if (r.input == Key || r.input == HeldKey) PressKey(static_cast<WPARAM>(r.key), r.ctrl, r.shift, r.input == HeldKey);
        else TurnWheel(r.key, r.ctrl, r.input == Tilt ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL);
        Pump(50);
        Check(r.after(), r.what);
    }
    twt::StopPlayback();
    SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_mainProc));
    SetDlgItemTextA(main, 1016, "");
    SetDlgItemTextA(main, 1019, "");
}

// ---- playback ---------------------------------------------------------------

const std::string kCapture = "captured.raw";

Bytes Captured() { return ReadFileBytes(WorkPath(kCapture)); }

bool WaitPlaybackEnd(DWORD ms) { return WaitUntil([] { return !twt::PlaybackActive(); }, ms); }

// Chooses an item of the menu opened at column x, and waits for the playback.
Bytes PlayAt(int x, UINT item) {
    RightClickGraph(x, 80);
    ChooseMenuItem(item);
    Check(WaitPlaybackEnd(30000), "playback ends by itself");
    Pump(100);
    return Captured();
}

// What was heard against what should have been. A Wine device left open goes
// on playing silence, so zeros may follow the last byte played until the
// program has closed it (well under a quarter of a second of the device's
// time); anything else is a fault. `whole`: all of `want`, else a start of it.
bool Heard(const Bytes& got, const Bytes& want, std::uint32_t bytesPerSecond, bool whole, const std::string& what) {
    size_t same = 0;
    while (same < got.size() && same < want.size() && got[same] == want[same]) ++same;
    const bool zeros = std::all_of(got.begin() + static_cast<std::ptrdiff_t>(same), got.end(), [](std::uint8_t b) { return b == 0; });
    const bool enough = whole ? same == want.size() : same > 0 && same < want.size();
    return Check(enough && zeros && got.size() - same <= bytesPerSecond / 4,
                 what + ": heard " + std::to_string(same) + " of " + std::to_string(want.size()) + " bytes, then " +
                     std::to_string(got.size() - same) + (zeros ? " zeros" : " others"));
}

// The sample under column x as value mode finds it.
std::uint64_t SampleAt(int x) {
    std::uint64_t i = 0;
    tw::SampleIndexForClick(x, gm::GraphControlSize().cx, twt::CurrentWave()->dataSize(), &i);
    return i;
}

// Play piece k of a mono and a stereo recording: what is heard is the data of
// the piece file a save writes, byte for byte; then from a point to the end.
void CheckPiecesHeard() {
    struct Row { const char* fixture; const char* prefix; std::uint32_t frame; };
    const Row rows[] = {{"bursts.wav", "mono", 2}, {"left_only.wav", "stereo", 4}};
    const std::uint32_t rate = 22050 * 4;  // bytes per second of either, at the most
    for (const Row& r : rows) {
        if (!Load(Fixture(r.fixture))) continue;
        twt::Cuts().Clear();
        RunAutoCut("300");
        const size_t cuts = twt::Cuts().Count();
        Check(cuts >= 3, std::string(r.fixture) + ": auto cuts placed");
        SetDlgItemTextA(tw::TheShell().main.handle, 1019, WorkPath(r.prefix).c_str());
        SendMessageA(Control(1030), BM_CLICK, 0, 0);
        WaitIdle();
        const Bytes data = DataOf(Fixture(r.fixture));
        // Every piece, found through the saved files' lengths alone.
        const int width = gm::GraphControlSize().cx;
        size_t start = 0;
        for (unsigned k = 0; k <= cuts; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "%s_%03u.wav", r.prefix, k);
            const Bytes piece = DataOf(WorkPath(name));
            const size_t end = start + piece.size();
            int x = 0;
            while (x < width && !(2 * SampleAt(x) >= start && 2 * SampleAt(x) < end)) ++x;
            if (x < width) Heard(PlayAt(x, tw::kIdMenuPlayPiece), piece, rate, true, name);
            start = end;
        }
        const int x = width / 3;
        const size_t from = 2 * SampleAt(x) - (2 * SampleAt(x)) % r.frame;
        Heard(PlayAt(x, tw::kIdMenuPlayFromHere), Bytes(data.begin() + static_cast<std::ptrdiff_t>(from), data.end()), rate,
              true, std::string(r.fixture) + ": from the point to the end");
    }
}

// With a margin a piece is heard as the save writes it: trimmed to its
// sound and the margin, found in the source by its bytes.
void CheckTrimmedPiecesHeard() {
    if (!Load(Fixture("lecture.wav"))) return;
    twt::CutEdits().Reset();
    HWND main = tw::TheShell().main.handle;
    SendMessageA(Control(1040), BM_SETCHECK, BST_CHECKED, 0);
    RunAutoCut("");
    WaitIdle();
    SetDlgItemTextA(main, 1050, "100");
    SetDlgItemTextA(main, 1019, WorkPath("trimmed").c_str());
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    WaitIdle();
    const Bytes data = DataOf(Fixture("lecture.wav"));
    const int width = gm::GraphControlSize().cx;
    size_t heard = 0, total = 0;
    for (unsigned k = 0; k <= twt::Cuts().Count(); ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "trimmed_%03u.wav", k);
        const Bytes piece = DataOf(WorkPath(name));
        total += piece.size();
        const auto at = std::search(data.begin(), data.end(), piece.begin(), piece.end());
        if (piece.empty() || at == data.end()) continue;
        const size_t start = static_cast<size_t>(at - data.begin()), end = start + piece.size();
        int x = 0;
        while (x < width && !(2 * SampleAt(x) >= start && 2 * SampleAt(x) < end)) ++x;
        if (x < width) heard += Heard(PlayAt(x, tw::kIdMenuPlayPiece), piece, 22050 * 2, true, std::string(name) + " trimmed");
    }
    Check(total < data.size() && heard > 3, "pieces trimmed by the margin, heard as written (" + std::to_string(heard) + ")");
    // Space in the piece list plays the row selected there, as it is written.
    LVITEMA select{};
    select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(Control(1062), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&select));
    SetFocus(Control(1062));
    PressKey(VK_SPACE);
    Check(WaitPlaybackEnd(30000), "the list's piece ends by itself");
    Pump(100);
    Heard(Captured(), DataOf(WorkPath("trimmed_001.wav")), 22050 * 2, true, "Space in the piece list");
    SetDlgItemTextA(main, 1050, "");
    SendMessageA(Control(1040), BM_SETCHECK, BST_UNCHECKED, 0);
}

// Red columns on the control, and whether the bitmap has any red at all.
int PlayLineOnControl(int* count) {
    HWND graph = Control(1000);
    HDC dc = GetDC(graph);
    int found = -1;
    *count = 0;
    for (int x = 0; x < 570; ++x)
        if (GetPixel(dc, x, 80) == RGB(255, 0, 0)) {
            found = x;
            ++*count;
        }
    ReleaseDC(graph, dc);
    return found;
}

bool BitmapHasRed() {
    gm::Picture p = gm::InstalledPicture();
    return std::any_of(p.pixels.begin(), p.pixels.end(), [](std::uint32_t c) { return c == 0xFF0000; });
}

// A long recording: the play line, stop, a new playback, a drop and closing.
void CheckLongPlayback() {
    const std::string path = WorkPath("long.wav");
    gm::WriteBusyFile(path, 44100 * 40);
    if (!Load(path)) return;
    twt::CutEdits().Reset();
    // Column 0 holds sample 1 (as a value-mode click finds it): heard from there.
    const Bytes all = DataOf(path);
    const Bytes data(all.begin() + 2, all.end());
    const std::uint32_t rate = 44100 * 2;

    struct Row {
        const char* what;
        std::function<void()> interrupt;
    };
    const Row rows[] = {
        {"stop", [] {
             CheckMenu(300, "000111", "while playing");
             ChooseMenuItem(tw::kIdMenuStop);
         }},
        {"another playback", [] {
             RightClickGraph(400, 80);
             ChooseMenuItem(tw::kIdMenuPlayFromHere);
         }},
        {"a drop", [] { DropFiles({Fixture("mono16.wav")}); }},
    };
    for (const Row& r : rows) {
        if (twt::CurrentWave() && ControlText(1003) != path && !Load(path)) return;
        RightClickGraph(0, 80);
        ChooseMenuItem(tw::kIdMenuPlayFromHere);
        Check(twt::PlaybackActive(), std::string(r.what) + ": playing");
        Pump(300);
        int count = 0;
        const int first = PlayLineOnControl(&count);
        Check(count == 1 && first >= 0, std::string(r.what) + ": one play line on the graph");
        Check(!BitmapHasRed(), std::string(r.what) + ": the play line is not in the bitmap");
        Pump(300);
        Check(PlayLineOnControl(&count) > first, std::string(r.what) + ": the play line moves on");
        r.interrupt();
        const bool another = std::strcmp(r.what, "another playback") == 0;
        Check(twt::PlaybackActive() == another, std::string(r.what) + ": the first playback stops at once");
        if (another) {
            twt::StopPlayback();
        } else {
            Pump(100);
            Heard(Captured(), data, rate, false, r.what);
        }
        PlayLineOnControl(&count);
        CheckEq(count, 0, std::string(r.what) + ": no play line afterwards");
        WaitIdle();
    }
    Load(path);
    RightClickGraph(0, 80);
    ChooseMenuItem(tw::kIdMenuPlayFromHere);
    Pump(200);
    CloseMainWindow();
    Check(!twt::PlaybackActive(), "closing the window stops the playback");
    Heard(Captured(), data, rate, false, "closing");
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    CheckEditing();
    CheckKeys();
    CheckPiecesHeard();
    CheckTrimmedPiecesHeard();
    CheckLongPlayback();
    return Finish();
}
