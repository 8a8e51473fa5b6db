#pragma once
// Builds MP4-shaped byte buffers for parser tests, one field at a time, and writes them to
// temporary files.

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace tavrilo::test {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}
inline void AppendText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
inline void Be16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
inline void Be32(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) {
        out.push_back(static_cast<uint8_t>(v >> s));
    }
}

// A box: 32-bit size (header included), type, payload.
inline Bytes Box(std::string_view type, const Bytes& payload) {
    Bytes b;
    Be32(b, static_cast<uint32_t>(payload.size() + 8));
    AppendText(b, type);
    Append(b, payload);
    return b;
}
// A box whose size field says `size`, whatever follows.
inline Bytes BoxWithSize(uint32_t size, std::string_view type, const Bytes& payload) {
    Bytes b;
    Be32(b, size);
    AppendText(b, type);
    Append(b, payload);
    return b;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        Append(out, p);
    }
    return out;
}
inline Bytes Text(std::string_view t) {
    return Bytes(t.begin(), t.end());
}

// The offset of the first box of `type` in `bytes` (its size field), for tests that change
// one field of a well-formed file.
inline size_t BoxAt(const Bytes& bytes, std::string_view type) {
    const std::string text(bytes.begin(), bytes.end());
    return text.find(type) - 4;
}

inline void SetBe32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
}

// "stts" payload: version/flags, entry count, (count, delta) pairs.
inline Bytes Stts(const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
    Bytes p(4, 0);
    Be32(p, static_cast<uint32_t>(entries.size()));
    for (auto [count, delta] : entries) {
        Be32(p, count);
        Be32(p, delta);
    }
    return p;
}

// Version-0 "mvhd" payload with a timescale and duration.
inline Bytes Mvhd(uint32_t timescale, uint32_t duration) {
    Bytes p(12, 0);
    Be32(p, timescale);
    Be32(p, duration);
    p.resize(100, 0);
    return p;
}

// Version-0 "mdhd" payload with a timescale.
inline Bytes Mdhd(uint32_t timescale) {
    Bytes p(12, 0);
    Be32(p, timescale);
    p.resize(24, 0);
    return p;
}

// "hdlr" payload naming the track's handler ("vide", "soun").
inline Bytes Hdlr(std::string_view handler) {
    Bytes p(8, 0);
    AppendText(p, handler);
    p.resize(25, 0);
    return p;
}

// A video track whose stbl holds `tables` (boxes), timed in `timescale` ticks a second.
inline Bytes VideoTrak(const Bytes& tables, uint32_t timescale = 1000000,
                       std::string_view handler = "vide") {
    return Box("trak", Box("mdia", Cat({Box("mdhd", Mdhd(timescale)), Box("hdlr", Hdlr(handler)),
                                        Box("minf", Box("stbl", tables))})));
}

// A movie of `milliseconds` whose first track, a video track in microseconds, has the given
// stts entries.
inline Bytes MoovWithStts(const Bytes& sttsPayload, uint32_t milliseconds = 5000) {
    return Box("moov",
               Cat({Box("mvhd", Mvhd(1000, milliseconds)), VideoTrak(Box("stts", sttsPayload))}));
}

// A 79-byte record from its text fields; unset bytes are '0'.
struct RecordText {
    char flag = '0';
    char status = 'A';
    std::string latitude = "3539.1234";
    char latitudeSign = 'N';
    std::string longitude = "13945.6789";
    char longitudeSign = 'E';
    std::string speed = "0042";
    std::string clock = "260601100000";
    std::string correction = "*00";
    std::string gy = "00000", gx = "01000", gz = "01000";
    char mark1 = '0', axis = '0', mark2 = '0', gStatus = '0';
};

inline Bytes Record(const RecordText& r) {
    Bytes b(79, '0');
    auto put = [&b](size_t at, std::string_view s) {
        std::copy(s.begin(), s.end(), b.begin() + at);
    };
    b[0] = static_cast<uint8_t>(r.flag);
    b[5] = static_cast<uint8_t>(r.status);
    put(6, r.latitude);
    b[15] = static_cast<uint8_t>(r.latitudeSign);
    put(16, r.longitude);
    b[26] = static_cast<uint8_t>(r.longitudeSign);
    put(27, r.speed);
    put(31, r.clock);
    put(44, r.correction);
    put(57, r.gy);
    put(62, r.gx);
    put(67, r.gz);
    b[72] = static_cast<uint8_t>(r.mark1);
    b[73] = static_cast<uint8_t>(r.axis);
    b[74] = static_cast<uint8_t>(r.mark2);
    b[78] = static_cast<uint8_t>(r.gStatus);
    return b;
}

inline Bytes CameraBlock(char mode = 'R', std::string_view tag = "F104",
                         std::string_view tag2 = "05") {
    Bytes b = Text(tag);
    AppendText(b, tag2);
    AppendText(b, "14401440003");
    AppendText(b, "0");
    b.push_back(static_cast<uint8_t>(mode));
    AppendText(b, "0000000");
    return b;
}

// A "gps0" payload: "CSODAT", camera block, count, records, "CSOEND". `count` may differ from
// the records given (damaged files).
inline Bytes Gps0Payload(const std::vector<Bytes>& records, int count = -1,
                         const Bytes& camera = CameraBlock()) {
    Bytes p = Text("CSODAT");
    Append(p, camera);
    Be16(p, static_cast<uint32_t>(count < 0 ? records.size() : static_cast<size_t>(count)));
    for (const Bytes& r : records) {
        Append(p, r);
    }
    AppendText(p, "CSOEND");
    return p;
}

// ftyp, mdat, moov, gps0: the recorder's layout.
inline Bytes Recording(const Bytes& gps0Payload,
                       const Bytes& moov = MoovWithStts(Stts({{30, 33333}}))) {
    Bytes ftyp = Text("isom");
    Be32(ftyp, 512);
    AppendText(ftyp, "isomiso2avc1mp41");
    return Cat({Box("ftyp", ftyp), Box("mdat", Bytes(300, 0x11)), moov, Box("gps0", gps0Payload)});
}

// A file in the test's temporary folder, removed when the object goes.
class TempFile {
  public:
    explicit TempFile(const Bytes& content, std::string_view name = "") {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tavrilo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
                 std::string(name));
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
    }
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace tavrilo::test
