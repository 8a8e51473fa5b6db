#pragma once
// The one settings file, Default_Folder.ini in the folder the program was started from. Every
// write sets one key; every read returns one value or the empty string.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrilo {

inline constexpr std::string_view kSettingsFileName = "Default_Folder.ini";

class Settings {
  public:
    // `startFolder` holds the file; by default the current directory at construction.
    explicit Settings(std::string startFolder = CurrentFolder());

    const std::string& path() const { return path_; }

    // Writes one key, then marks the file hidden (which a POSIX file system has no attribute
    // for). False when the write failed; callers ignore it, as the file is only a convenience.
    bool WriteSetting(std::string_view section, std::string_view key, std::string_view value) const;
    std::string ReadSetting(std::string_view section, std::string_view key) const;

    // On first start (no file yet): DISPLAY/INFOCHECK = 31, ASPECT = on, VOLUME = 65535, in
    // that order. Returns true when it wrote them.
    bool WriteFirstStartDefaults() const;

    // DISPLAY/VOLUME: empty reads as 65535, anything else as a C decimal integer (a value
    // that is no number reads as 0), kept within 0..65535.
    uint16_t ReadVolume() const;
    void WriteVolume(uint16_t volume) const;

    // DECODE/HW is "on", exactly (case included).
    bool ReadHardwareDecode() const;

    static std::string CurrentFolder();

  private:
    std::string path_;
};

}  // namespace tavrilo
