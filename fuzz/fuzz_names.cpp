// The recording and folder name rules on any text.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "recordings/names.h"

using namespace tavrilo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    IsRecordingName(name);
    GetEventKind(name);
    GetEventLabel(name);
    ParkingFlag(name);
    IsRecordingFolderName(name);
    int32_t kinds = 0;
    AddEventKindBit(name, &kinds);
    return 0;
}
