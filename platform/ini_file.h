#pragma once
// INI files with the semantics of the classic profile routines: one key per write (the rest of
// the file is kept as it is), section and key names compared without regard to ASCII case,
// values read back without surrounding blanks or quotes, an empty default. Values of any
// length; "[SECTION]\r\nKEY=value\r\n" lines, so any INI reader can read the file.

#include <string>
#include <string_view>

namespace tavrilo {

// The value of `key` in `section` of the file at `path`; empty when the file, the section or
// the key is missing.
std::string ReadIniValue(const std::string& path, std::string_view section, std::string_view key);

// Sets `key` in `section` to `value`, creating the file, the section or the key as needed, and
// replaces the file in one step (written beside it, then renamed). False when it cannot be
// written; the file is then as it was.
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace tavrilo
