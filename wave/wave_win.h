// Loading a dropped file and saving the cut pieces on worker threads.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace tw {

void StartWaveLoad(HDROP drop);
void StartSaveCuts();

}  // namespace tw
