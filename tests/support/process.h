#pragma once
// Helpers for tests that run the project's programs and FFmpeg's.

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tavrilo::test {

struct CommandResult {
    int status = -1;     // as pclose returns it; 0 is success
    std::string output;  // stdout and stderr together
};

inline CommandResult RunCommand(const std::string& command) {
    CommandResult r;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return r;
    }
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) {
        r.output.append(buf.data(), n);
    }
    r.status = pclose(pipe);
    return r;
}

// Quotes a path for the shell.
inline std::string Quote(const std::filesystem::path& p) {
    std::string out = "'";
    for (char c : p.string()) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

inline std::vector<uint8_t> ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace tavrilo::test
