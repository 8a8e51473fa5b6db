#pragma once
// What must hold before two recordings are joined: checked before any table is touched, so a
// refused join leaves both documents as they were.

#include <optional>
#include <string>
#include <vector>

#include "recordings/box_tree.h"
#include "recordings/library.h"

namespace tavrilo {

// What one join may take: up to 99 recordings, 1024 MB together.
inline constexpr uint64_t kJoinLimitMb = 1024;
inline constexpr int kJoinMostRows = 99;

// The rules a join's inputs keep, on the command line as in the window: two to 99 files, none
// given twice, at most 1024 MB together, and recordings the recorder named (all of them) one
// run of consecutive entries of `folderList` (their folder's list, in the recorder's order),
// in that order. False with `error` saying why in one line.
bool CheckJoinInputs(const std::vector<std::string>& inputs, const RecordingList& folderList,
                     std::string* error);

// True when `b` can be merged behind `a`; otherwise `error` says why in one line.
bool CheckJoinable(const Mp4Document& a, const Mp4Document& b, std::string* error);

// What decides whether two pieces decode as one stream, from a sample description ("stsd")
// payload: each entry's type, picture size (video) or channel count and sample rate (audio),
// and its decoder configuration ("avcC", "hvcC", the audio specific config inside "esds").
// Bit rates ("btrt", the rate fields of "esds") change with every clip and are left out.
// nullopt when the description cannot be read that way; the whole payloads are compared then.
std::optional<std::vector<uint8_t>> DecodingKey(const std::vector<uint8_t>& stsd);

}  // namespace tavrilo
