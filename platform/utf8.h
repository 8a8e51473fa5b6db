#pragma once
// UTF-8 helpers. The core keeps text as UTF-8 std::string; where a rule counts or matches
// characters (file-name patterns, length limits) it works on code points, as a wide-character
// program would.

#include <string>
#include <string_view>

namespace tavrilo {

// Decodes UTF-8 into one wchar_t per code point (wchar_t is 32 bits on the platforms we
// build for). Malformed bytes become U+FFFD, so a damaged name never matches a pattern.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// Number of code points in `text`, counting each malformed byte as one.
size_t CodePointCount(std::string_view text);

// Last component of a path, accepting both '/' and '\\' as separators.
std::string_view LastPathComponent(std::string_view path);

}  // namespace tavrilo
