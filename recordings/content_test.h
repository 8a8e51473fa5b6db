#pragma once

#include <string>

namespace tavrilo {

// The content test for recorder MP4 files: the last 85 bytes hold "CSOEND" (zero bytes read as
// spaces) and bytes 4..7 are "ftyp". Reads only those 85 + 260 bytes. False for files shorter
// than 260 bytes, unreadable files and directories.
bool IsRecordingFileContent(const std::string& path);

}  // namespace tavrilo
