#pragma once
// Where to cut a recording to test its readers on truncated files: every box's start, its
// payload's start and end, and the middle of each payload.

#include <cstdint>
#include <set>

#include "recordings/box_tree.h"

namespace tavrilo::test {

inline void CutPoints(const BoxNode& node, std::set<uint64_t>* cuts) {
    if (node.Depth > 0) {
        const uint64_t start = node.Offset >= 8 ? node.Offset - 8 : 0;
        for (uint64_t at : {start, start + 4, node.Offset, node.Offset + node.Size / 2,
                            node.Offset + node.Size - 1}) {
            cuts->insert(at);
        }
    }
    for (const BoxNode& child : node.Children) {
        CutPoints(child, cuts);
    }
}

}  // namespace tavrilo::test
