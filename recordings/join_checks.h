#pragma once
// What must hold before two recordings are joined: checked before any table is touched, so a
// refused join leaves both documents as they were.

#include <optional>
#include <string>
#include <vector>

#include "recordings/box_tree.h"

namespace tavrilo {

// True when `b` can be merged behind `a`; otherwise `error` says why in one line.
bool CheckJoinable(const Mp4Document& a, const Mp4Document& b, std::string* error);

// What decides whether two pieces decode as one stream, from a sample description ("stsd")
// payload: each entry's type, picture size (video) or channel count and sample rate (audio),
// and its decoder configuration ("avcC", "hvcC", the audio specific config inside "esds").
// Bit rates ("btrt", the rate fields of "esds") change with every clip and are left out.
// nullopt when the description cannot be read that way; the whole payloads are compared then.
std::optional<std::vector<uint8_t>> DecodingKey(const std::vector<uint8_t>& stsd);

}  // namespace tavrilo
