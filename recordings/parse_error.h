#pragma once
// Why a parser or scanner gave up: the check that failed, and whether the bytes ran out ("not
// enough data": a file cut short by a pulled card or a power loss) or contradict themselves
// ("corrupt"). A cancelled scan is neither.

#include <string>

namespace tavrilo {

struct ParseError {
    enum class Kind { kNone, kNotEnoughData, kCorrupt, kCancelled };
    Kind kind = Kind::kNone;
    std::string check;  // which check failed, in a few words
};

}  // namespace tavrilo
