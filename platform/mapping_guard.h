#pragma once
// Keeps a file that shrinks while it is mapped from killing the process: touching a mapped page
// past the file's new end raises SIGBUS, and for the pages of our own views the guard maps a page
// of zeros there instead, so the read goes on and the bounds-checked parsers see no valid data.
// SIGBUS anywhere else goes to the handler that was there before.

#include <cstddef>

namespace tavrilo {

// Registers [base, base + length); the slot to release, or -1 when no slot was free.
int GuardMapping(const void* base, size_t length);
void ReleaseMappingGuard(int slot);
// Whether a guarded page was ever replaced because its file had shrunk.
bool MappingShrankSeen();

}  // namespace tavrilo
