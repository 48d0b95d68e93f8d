// Reads of a mapped view of a file that never end the program: should the
// file's pages go away under the view (medium removed, file cut short by
// another program), the whole view turns into zero pages at the same address
// and the read goes on; the owner asks ViewDamaged() and gives the data up.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw {

struct GuardedView;

// Takes over [base, base + size), the whole of a view MapViewOfFile returned.
GuardedView* GuardView(void* base, std::size_t size);
// True once a read of the view failed: its bytes are no longer the file's.
bool ViewDamaged(const GuardedView* view);
// Unmaps the view (or frees the zero pages that took its place).
void ReleaseGuardedView(GuardedView* view);

}  // namespace tw
