#pragma once
// Text in the user's locale character set, for files other programs open (the CSV summary).

#include <optional>
#include <string>

namespace tavrilo {

// The character set of the user's locale (LC_CTYPE from the environment), e.g. "UTF-8",
// "EUC-JP", "SHIFT_JIS".
std::string LocaleCharset();

// `utf8` converted to `charset`; nullopt when a character has no form there. A locale without
// a real character set (the plain C locale's ASCII) keeps UTF-8: it could not hold the
// Japanese texts, and losing them is worse than an encoding the locale does not name.
std::optional<std::string> ToLocaleCharset(const std::string& utf8, const std::string& charset);

}  // namespace tavrilo
