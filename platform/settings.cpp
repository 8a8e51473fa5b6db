#include "platform/settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/ini_file.h"

namespace tavrilo {

Settings::Settings(std::string startFolder)
    : path_((std::filesystem::path(startFolder) / kSettingsFileName).string()) {}

std::string Settings::CurrentFolder() {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return ec ? std::string(".") : cwd.string();
}

bool Settings::WriteSetting(std::string_view section, std::string_view key,
                            std::string_view value) const {
    return WriteIniValue(path_, section, key, value);
}

std::string Settings::ReadSetting(std::string_view section, std::string_view key) const {
    return ReadIniValue(path_, section, key);
}

bool Settings::WriteFirstStartDefaults() const {
    std::error_code ec;
    if (std::filesystem::exists(path_, ec)) {
        return false;
    }
    WriteSetting("DISPLAY", "INFOCHECK", "31");
    WriteSetting("DISPLAY", "ASPECT", "on");
    WriteSetting("DISPLAY", "VOLUME", "65535");
    return true;
}

uint16_t Settings::ReadVolume() const {
    const std::string value = ReadSetting("DISPLAY", "VOLUME");
    if (value.empty()) {
        return 65535;
    }
    const long v = std::strtol(value.c_str(), nullptr, 10);
    return static_cast<uint16_t>(std::clamp(v, 0L, 65535L));
}

void Settings::WriteVolume(uint16_t volume) const {
    WriteSetting("DISPLAY", "VOLUME", std::to_string(volume));
}

bool Settings::ReadHardwareDecode() const {
    return ReadSetting("DECODE", "HW") == "on";
}

}  // namespace tavrilo
