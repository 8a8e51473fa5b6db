// The settings file reader on any file contents.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/ini_file.h"

using namespace tavrilo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/tavrilo-fuzz-" + std::to_string(getpid()) + ".ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (const char* key : {"VOLUME", "ASPECT", "SERVER", "TILES"}) {
        ReadIniValue(path, "DISPLAY", key);
        ReadIniValue(path, "UPDATE", key);
    }
    return 0;
}
