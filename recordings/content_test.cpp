#include "recordings/content_test.h"

#include <sys/stat.h>
#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>

namespace tavrilo {

bool IsRecordingFileContent(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size < 260) {
        return false;  // shorter than the head the test reads (and than its 85-byte tail)
    }
    std::array<char, 85> tail{};
    in.seekg(static_cast<std::streamoff>(size - tail.size()));
    if (!in.read(tail.data(), tail.size())) {
        return false;
    }
    std::replace(tail.begin(), tail.end(), '\0', ' ');
    if (std::string_view(tail.data(), tail.size()).find("CSOEND") == std::string_view::npos) {
        return false;
    }
    std::array<char, 260> head{};
    in.seekg(0);
    if (!in.read(head.data(), head.size())) {
        return false;
    }
    return std::string_view(head.data() + 4, 4) == "ftyp";
}

}  // namespace tavrilo
