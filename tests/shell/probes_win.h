// What the tests and benchmarks look at inside the shell: the workers still
// running and the picture installed. Defined beside what they count; declared
// here so the product's headers carry no test hooks.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tw {

int LoadsInFlight();
int SavesInFlight();
// Pause-cutting runs whose cuts have not been appended yet.
int PauseCutsInFlight();
// Size of the installed bitmap (0, 0 when none).
SIZE GraphViewSize();
// Copies the installed bitmap's pixels (32 bpp, top-down).
bool ReadGraphPixels(std::uint32_t* pixels, int width, int height);

}  // namespace tw
