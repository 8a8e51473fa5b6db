#include "platform/charset.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <vector>

namespace tavrilo {

std::string LocaleCharset() {
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) {
        return "UTF-8";
    }
    std::string codeset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return codeset;
}

std::optional<std::string> ToLocaleCharset(const std::string& utf8, const std::string& charset) {
    if (charset.empty() || charset == "UTF-8" || charset == "utf8" || charset == "ANSI_X3.4-1968" ||
        charset == "ASCII") {
        return utf8;
    }
    iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::vector<char> out(utf8.size() * 4 + 16);
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        return std::nullopt;
    }
    return std::string(out.data(), out.size() - outLeft);
}

}  // namespace tavrilo
