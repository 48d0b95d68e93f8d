// Playback with no audio device (ALSA's default names a missing card, set by
// the .pre.sh hook): the play items stay enabled, and choosing one says so in
// a message box and changes nothing else.
#include <windows.h>

#include <cstdio>

#include "shell/app/main_window_ids.h"
#include "graph_model_win.h"
#include "harness_win.h"
#include "shell/workers/play_win.h"

using namespace twt;

int main() {
    InitHarness();
    OpenMainWindow();
    const std::string path = Fixture("bursts.wav");
    DropFiles({path});
    Check(WaitIdle() && ControlText(1003) == path, "loaded");
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, "300");
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    const std::vector<double> cuts = twt::Cuts().Snapshot();
    const gm::Picture picture = gm::InstalledPicture();
    for (UINT item : {tw::kIdMenuPlayPiece, tw::kIdMenuPlayFromHere}) {
        const std::string what = "item " + std::to_string(item);
        PopupMenu menu = RightClickGraph(200, 80);
        Check(!menu.Greyed(item) && menu.Greyed(tw::kIdMenuStop), what + ": enabled, stop greyed");
        ClearBoxes();
        ChooseMenuItem(item);
        Check(WaitBoxes(1), what + ": a message");
        Pump(200);
        const std::vector<BoxRecord> boxes = Boxes();
        // The system's reason on the second line.
        const std::string head = "音声を再生できません\r\n";
        Check(boxes.size() == 1 && boxes[0].text.compare(0, head.size(), head) == 0 &&
                  boxes[0].text.size() > head.size() && boxes[0].caption == "Error" &&
                  boxes[0].owner == tw::TheShell().main.handle,
              what + ": cannot play, owned by the main window");
        if (!boxes.empty()) std::printf("%s: [%s]\n", what.c_str(), boxes[0].text.c_str());
        Check(!twt::PlaybackActive(), what + ": nothing plays");
        Check(twt::Cuts().Snapshot() == cuts, what + ": cuts unchanged");
        gm::SamePicture(gm::InstalledPicture(), picture, what + ": picture unchanged");
        gm::ControlShowsBitmap(what);
    }
    CloseMainWindow();
    return Finish();
}
