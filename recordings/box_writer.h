#pragma once
// Writes a box tree back to a file. Data boxes are written from their in-memory copies; the
// media data ("mdat") and the sensor records ("gps0") are copied from their source files,
// followed by the same boxes of every file joined behind them.

#include <string>

#include "recordings/box_tree.h"

namespace tavrilo {

class AtomicFile;

// Writes the tree below `root` (the root's own header is not written), copying "mdat" and
// "gps0" payloads from their source files in pieces of at most 32 MiB. Fails when a piece
// cannot be read or written, or a box would pass the 32-bit size field.
bool WriteBoxTree(const BoxNode& root, AtomicFile& out, std::string* error);

}  // namespace tavrilo
