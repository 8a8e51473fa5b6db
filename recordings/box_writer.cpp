#include "recordings/box_writer.h"

#include <algorithm>
#include <cstring>

#include "platform/atomic_file.h"
#include "recordings/sensor_track.h"

namespace tavrilo {
namespace {

constexpr uint64_t kCopyPiece = 32ull << 20;

bool WriteFailed(const AtomicFile& out, std::string* error) {
    *error = "writing failed: " + out.writeError();
    return false;
}

bool CopyFromSource(const std::string& source, uint64_t offset, uint64_t length, AtomicFile& out,
                    std::string* error) {
    MappedFile file;
    if (!file.Open(source)) {
        *error = "cannot open " + source;
        return false;
    }
    for (uint64_t done = 0; done < length;) {
        const uint64_t piece = std::min(kCopyPiece, length - done);
        const auto view = file.MapRange(offset + done, piece, file.size());
        if (!view || view->bytes().size() != piece) {
            *error = "cannot read " + source + " at byte " + std::to_string(offset + done) +
                     " (the file is shorter than its boxes say)";
            return false;
        }
        if (!out.Write(view->bytes().data(), static_cast<size_t>(piece))) {
            return WriteFailed(out, error);
        }
        done += piece;
    }
    return true;
}

// The node itself, then the nodes chained behind it in join order.
template <class Visit>
bool ForEachJoined(const BoxNode& n, Visit visit) {
    for (const BoxNode* p = &n; p != nullptr; p = p == &n ? n.FirstJoined : p->NextJoined) {
        if (!visit(*p)) {
            return false;
        }
    }
    return true;
}

uint64_t WrittenSize(const BoxNode& n) {
    if (n.Type == "gps0") {
        uint64_t records = 0;
        ForEachJoined(n, [&records](const BoxNode& p) {
            records += p.RecordBytes;
            return true;
        });
        return 8 + kGps0PayloadFraming + records;
    }
    if (n.Raw) {
        return n.Size + 8;
    }
    uint64_t total = 8;
    for (const BoxNode& c : n.Children) {
        total += WrittenSize(c);
    }
    return total;
}

bool WriteGps0(const BoxNode& n, AtomicFile& out, std::string* error) {
    const uint64_t count = n.JoinedCount != 0 ? n.JoinedCount : n.RecordCount;
    const uint8_t countBytes[2] = {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
    if (!out.Write("CSODAT", 6)) {
        return WriteFailed(out, error);
    }
    if (!CopyFromSource(*n.Source, n.OrigOffset + 6, kCameraBlockSize, out, error)) {
        return false;
    }
    if (!out.Write(countBytes, 2)) {
        return WriteFailed(out, error);
    }
    const bool copied = ForEachJoined(n, [&](const BoxNode& p) {
        return CopyFromSource(*p.Source, p.OrigOffset + 34, p.RecordBytes, out, error);
    });
    if (!copied) {
        return false;
    }
    return out.Write("CSOEND", 6) || WriteFailed(out, error);
}

bool WriteNode(const BoxNode& n, AtomicFile& out, std::string* error) {
    const uint64_t size = WrittenSize(n);
    if (size > UINT32_MAX) {
        *error = "the " + n.Type + " box would pass 4 GiB";
        return false;
    }
    uint8_t header[8];
    header[0] = static_cast<uint8_t>(size >> 24);
    header[1] = static_cast<uint8_t>(size >> 16);
    header[2] = static_cast<uint8_t>(size >> 8);
    header[3] = static_cast<uint8_t>(size);
    std::memcpy(header + 4, n.Type.data(), 4);
    if (!out.Write(header, sizeof header)) {
        return WriteFailed(out, error);
    }
    if (n.Type == "mdat") {
        return ForEachJoined(n, [&](const BoxNode& p) {
            return CopyFromSource(*p.Source, p.OrigOffset, p.OrigSize, out, error);
        });
    }
    if (n.Type == "gps0") {
        return WriteGps0(n, out, error);
    }
    if (n.Raw) {
        if (!n.HasData || n.Data.size() != n.Size) {
            *error = "the " + n.Type + " box was not read into memory";
            return false;
        }
        return out.Write(n.Data.data(), n.Data.size()) || WriteFailed(out, error);
    }
    return WriteBoxTree(n, out, error);
}

}  // namespace

bool WriteBoxTree(const BoxNode& root, AtomicFile& out, std::string* error) {
    return std::all_of(root.Children.begin(), root.Children.end(),
                       [&](const BoxNode& child) { return WriteNode(child, out, error); });
}

}  // namespace tavrilo
