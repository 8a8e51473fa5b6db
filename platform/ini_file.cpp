#include "platform/ini_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace tavrilo {
namespace {

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// "[name]" gives name; anything else nullopt-like empty with ok=false.
bool SectionName(std::string_view line, std::string_view* name) {
    const std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[') {
        return false;
    }
    const auto close = t.find(']');
    if (close == std::string_view::npos) {
        return false;
    }
    *name = Trim(t.substr(1, close - 1));
    return true;
}

bool KeyValue(std::string_view line, std::string_view* key, std::string_view* value) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    *key = Trim(line.substr(0, eq));
    *value = Trim(line.substr(eq + 1));
    return true;
}

}  // namespace

std::string ReadIniValue(const std::string& path, std::string_view section, std::string_view key) {
    bool inSection = false;
    for (const std::string& line : ReadLines(path)) {
        std::string_view name, k, v;
        if (SectionName(line, &name)) {
            inSection = SameName(name, section);
        } else if (inSection && KeyValue(line, &k, &v) && SameName(k, key)) {
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
                v = v.substr(1, v.size() - 2);
            }
            return std::string(v);
        }
    }
    return {};
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
    std::vector<std::string> lines = ReadLines(path);
    const std::string entry = std::string(key) + "=" + std::string(value);
    bool inSection = false;
    bool done = false;
    size_t sectionEnd = std::string::npos;  // where a missing key of the section goes
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string_view name, k, v;
        if (SectionName(lines[i], &name)) {
            if (inSection) {
                break;
            }
            inSection = SameName(name, section);
            if (inSection) {
                sectionEnd = i + 1;
            }
        } else if (inSection) {
            if (KeyValue(lines[i], &k, &v) && SameName(k, key)) {
                lines[i] = entry;
                done = true;
            } else if (!Trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionEnd != std::string::npos) {
            lines.insert(lines.begin() + static_cast<long>(sectionEnd), entry);
        } else {
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(entry);
        }
    }
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) {
            out << line << "\r\n";
        }
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace tavrilo
