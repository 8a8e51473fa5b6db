#pragma once
// Joins consecutive recordings into one MP4: the media data are concatenated, the sample
// tables of every track merged, the durations added, and the sensor records of all inputs
// gathered into one "gps0" box under the first file's camera block.
//
// Only what the merge handles correctly is joined; anything else is refused with a reason:
// 64-bit chunk offsets, different track lists, codec set-ups (what decides decoding, not the
// bit rates) or timescales, edit lists of several edits, a video track without sync samples,
// record totals above 65,535 and sizes past the 32-bit fields. Composition offsets (B-frames)
// and sample dependencies ("sdtp") are merged; the summary of composition shifts ("cslg") is
// left out of the joined file.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "recordings/box_tree.h"
#include "recordings/box_writer.h"

namespace tavrilo {

// Merges `b` into `a`. `b` must outlive the writing of `a`: a's chains point into it. On
// failure `a` may be half merged and must be dropped.
bool JoinDocuments(Mp4Document& a, const Mp4Document& b, std::string* error);

struct JoinOptions {
    bool overwrite = false;
    // Called with (done, total) after each appended input and at the end.
    std::function<void(int done, int total)> progress;
    // Cleared by another thread to stop before the next input; nothing is written then.
    const std::atomic<bool>* running = nullptr;
};

enum class JoinResult { kDone, kCancelled, kFailed };

// Checks the free space, joins `inputs` in order and writes `output`. The output appears only
// when complete; a failed or cancelled join leaves the output's folder as it was.
JoinResult JoinRecordings(const std::vector<std::string>& inputs, const std::string& output,
                          const JoinOptions& options, std::string* error);

}  // namespace tavrilo
