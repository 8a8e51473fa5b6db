#include "tools/gen/samples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "tools/gen/scene.h"

namespace tavrilo::gen {
namespace {

// The scene's still part costs a pass of trigonometry per pixel; a card reuses it for every
// recording of the same size.
const FisheyeScene& SceneFor(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<FisheyeScene>> cache;
    auto& slot = cache[{width, height}];
    if (!slot) {
        slot = std::make_unique<FisheyeScene>(width, height);
    }
    return *slot;
}

bool WriteText(const std::filesystem::path& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

// A fast, fixed pseudo-random grain so that the same options give the same bytes.
void AddGrain(uint8_t* rgb, size_t bytes, int amplitude, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    const int span = 2 * amplitude + 1;
    for (size_t i = 0; i < bytes; ++i) {
        state = state * 1664525u + 1013904223u;
        const int v =
            rgb[i] + static_cast<int>((state >> 16) % static_cast<uint32_t>(span)) - amplitude;
        rgb[i] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
}

}  // namespace

PieceOptions DefaultPieceForKind(char kind, double seconds) {
    PieceOptions p;
    const double middle = std::floor(seconds * 5.0) / 10.0;  // on a record boundary
    switch (kind) {
        case 'G':
            p.events.push_back({middle, MarkKind::kAxisX, 0.5});
            break;
        case 'M':
            p.events.push_back({middle, MarkKind::kMark1, 0.5});
            break;
        case 'P':
        case 'T':
            p.parked = true;
            break;
        case 'S':
        case 'U':
            p.parked = true;
            p.events.push_back({middle, MarkKind::kAxisZ, 0.5});
            break;
        case 'O':
            p.events.push_back({middle, MarkKind::kFlagA9, 0.5});
            break;
        case 'R':
            p.events.push_back({middle, MarkKind::kFlag88, 0.5});
            break;
        default:
            break;
    }
    return p;
}

int RecordCountFor(const VideoOptions& video) {
    return static_cast<int>(std::llround(video.frames * FrameDeltaMicros(video.fps) / 100000.0));
}

bool GenerateRecording(const std::filesystem::path& out, const RecordingSpec& spec,
                       DriveSimulator& drive, std::string* error) {
    const int count = RecordCountFor(spec.video);
    if (count > static_cast<int>(kMaxRecords)) {
        *error = "too long: a recording holds at most 65535 sensor records (109 minutes)";
        return false;
    }
    const std::vector<SensorRecord> records = drive.Record(count, spec.piece);
    const std::vector<uint8_t> box = MakeGps0Box(MakeCameraBlock(spec.camera), records);
    const FisheyeScene& scene = SceneFor(spec.video.width, spec.video.height);
    const double delta = FrameDeltaMicros(spec.video.fps) / 1e6;
    const size_t bytes = static_cast<size_t>(spec.video.width) * spec.video.height * 3;
    auto render = [&scene, delta, bytes, noise = spec.noise](int index, uint8_t* rgb) {
        scene.Render(static_cast<uint32_t>(index), index * delta, rgb);
        if (noise > 0) {
            AddGrain(rgb, bytes, noise, static_cast<uint32_t>(index));
        }
    };
    return WriteRecording(out, spec.video, render, box, error);
}

bool AppendSensorRecords(const std::filesystem::path& file, const RecordingSpec& spec,
                         DriveSimulator& drive, std::string* error) {
    const int count = RecordCountFor(spec.video);
    if (count > static_cast<int>(kMaxRecords)) {
        *error = "too long: a recording holds at most 65535 sensor records (109 minutes)";
        return false;
    }
    CameraBlockOptions camera = spec.camera;
    camera.numberA = spec.video.width;
    camera.numberB = spec.video.height;
    camera.numberC = static_cast<int>(std::lround(spec.video.fps));
    const std::vector<uint8_t> box =
        MakeGps0Box(MakeCameraBlock(camera), drive.Record(count, spec.piece));
    std::ofstream out(file, std::ios::binary | std::ios::app);
    if (!std::filesystem::is_regular_file(file) || !out) {
        *error = "cannot append to " + file.string();
        return false;
    }
    out.write(reinterpret_cast<const char*>(box.data()), static_cast<std::streamsize>(box.size()));
    if (!out.flush()) {
        *error = "cannot write " + file.string();
        return false;
    }
    return true;
}

bool GenerateCard(const std::filesystem::path& root, const CardOptions& o,
                  std::vector<std::filesystem::path>* written, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec) {
        *error = "cannot create " + root.string() + ": " + ec.message();
        return false;
    }
    // Continuous recordings most of the time, every other kind at least once on a
    // default-sized card.
    static constexpr char kKinds[] = "AGAMPSATUAORA";
    DriveSimulator drive(o.start);
    std::filesystem::path firstFolder;
    int serial = 0;
    for (int f = 0; f < o.folders; ++f) {
        const CivilTime now = drive.Now();
        char folderName[32];
        std::snprintf(folderName, sizeof folderName, "%04d%02d%02d_%03d", now.year, now.month,
                      now.day, f + 1);
        const std::filesystem::path folder = root / folderName;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            *error = "cannot create " + folder.string() + ": " + ec.message();
            return false;
        }
        if (firstFolder.empty()) {
            firstFolder = folder;
        }
        for (int k = 0; k < o.perFolder; ++k, ++serial) {
            const char kind = kKinds[serial % (sizeof kKinds - 1)];
            const CivilTime start = drive.Now();
            char name[32];
            std::snprintf(name, sizeof name, "%03d_%02d%02d%02d_%c.MP4", k + 1, start.hour,
                          start.minute, start.second, kind);
            RecordingSpec spec;
            spec.video.width = spec.video.height = o.size;
            spec.video.fps = o.fps;
            spec.video.codec = o.codec;
            spec.video.frames = std::max(1, static_cast<int>(std::lround(o.seconds * o.fps)));
            spec.camera.mode = (f == 1 && k == 1) ? 'D' : 'R';
            spec.camera.numberA = o.size;
            spec.camera.numberB = o.size;
            spec.camera.numberC = static_cast<int>(std::lround(o.fps));
            spec.piece = DefaultPieceForKind(kind, o.seconds);
            if (serial == 2) {
                spec.piece.noFix = std::make_pair(0.0, o.seconds / 2);  // a tunnel
            }
            const std::filesystem::path path = folder / name;
            if (!GenerateRecording(path, spec, drive, error)) {
                return false;
            }
            if (written != nullptr) {
                written->push_back(path);
            }
        }
    }
    // What else a card holds: the recorder's own files and things a user left there.
    return WriteText(root / "SYSTEM.INI", "[SYSTEM]\r\nMODEL=TAVRILO-SAMPLE\r\n", error) &&
           WriteText(root / "readme.txt", "Sample card written by tavrilo-gen.\n", error) &&
           (firstFolder.empty() ||
            (WriteText(firstFolder / "notes.txt", "not a recording\n", error) &&
             WriteText(firstFolder / "999_235959_A.MP4",
                       "a file with a recording's name but not its content\n", error)));
}

}  // namespace tavrilo::gen
