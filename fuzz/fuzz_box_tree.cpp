// The MP4 box tree and the joiner's checks on any bytes: the input is cut in two documents.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/byte_source.h"
#include "recordings/box_tree.h"
#include "recordings/join_checks.h"
#include "recordings/joiner.h"

using namespace tavrilo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte says where the second document begins.
    const size_t cut = size > 1 ? 1 + (size - 1) * data[0] / 255 : size;
    const MemorySource a(std::vector<uint8_t>(data + (size > 0 ? 1 : 0), data + cut));
    const MemorySource b(std::vector<uint8_t>(data + cut, data + size));
    auto first = ParseBoxTree(a, "a", true);
    auto second = ParseBoxTree(b, "b", true);
    if (first) {
        GetVideoSize(*first);
    }
    if (first && second) {
        std::string error;
        if (CheckJoinable(*first, *second, &error)) {
            JoinDocuments(*first, *second, &error);
        }
    }
    return 0;
}
