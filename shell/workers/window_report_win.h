// What the shell's workers tell the user, and all they know of the window:
// shell/app implements it on the main window. Every report is carried out by
// the window's thread: at once when made there, otherwise queued in the order
// made and not waited for. Workers never touch a control.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "shell/workers/wave_data_win.h"

namespace tw {

class WindowReport {
public:
    // The status line.
    virtual void Status(const std::string& text) = 0;
    // The dropped file's name and what its measurement found.
    virtual void Numbers(const std::string& path, const WaveLayout& layout, const WaveStats& stats) = 0;
    // After a failure that let go of the samples: no name, numbers, status or graph.
    virtual void NoFile() = 0;
    // The progress bar: a run from 0 to 100, its positions (not waited for,
    // still shown in order), and back at 0.
    virtual void ProgressBegin() = 0;
    virtual void Progress(int percent) = 0;
    virtual void ProgressEnd() = 0;
    // A message box owned by the main window; the button chosen (0 from a
    // worker, which goes on while the box is open).
    virtual int Message(const std::string& text, const std::string& caption, unsigned style) = 0;
    // A new recording is about to be shown (none is held until then): what the
    // window kept for the one before, its cuts and a threshold it estimated,
    // means nothing for it. A refused drop never comes this far.
    virtual void NewRecording() = 0;
    // Every piece of a save was written: the cuts of `recording` at
    // `cutRevision` (CutBook::Revision at the click) are saved.
    virtual void Saved(std::uint64_t recording, std::uint64_t cutRevision) = 0;
    // A recording now shown, whose graph is to be drawn.
    virtual void Loaded(const WavePtr& wave) = 0;
    // A graph is being drawn (a load leaves it the machine first).
    virtual bool Drawing() = 0;
    // The main window has gone: start nothing new, tell nothing more.
    virtual bool Closing() = 0;
    // Runs `task` on the window's thread, as the reports above are run.
    virtual void OnWindowThread(std::function<void()> task) = 0;

protected:
    ~WindowReport() = default;
};

}  // namespace tw
