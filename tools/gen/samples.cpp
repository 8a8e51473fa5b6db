#include "tools/gen/samples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <tuple>

#include "tools/gen/scene.h"
#include "tools/gen/street_scene.h"

namespace tavrilo::gen {
namespace {

// A scene of the given frame size, made once: its precomputed part costs a pass of
// trigonometry per pixel, and a card reuses it for every recording of the same size (the
// street scene also keeps the last picture it drew).
template <typename Scene, typename... Size>
Scene& SceneFor(Size... size) {
    static std::map<std::tuple<Size...>, std::unique_ptr<Scene>> cache;
    auto& slot = cache[std::tuple<Size...>(size...)];
    if (!slot) {
        slot = std::make_unique<Scene>(size...);
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
            // Something hit while braking hard.
            p.hardBrake = std::max(0.0, middle - 0.6);
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
    std::vector<DrivePose> poses;
    const std::vector<SensorRecord> records = drive.Record(count, spec.piece, &poses);
    const std::vector<uint8_t> box = MakeGps0Box(MakeCameraBlock(spec.camera), records);
    const double delta = FrameDeltaMicros(spec.video.fps) / 1e6;
    if (spec.scene == Scene::kStreet) {
        if (spec.video.width != spec.video.height) {
            *error = "the street scene needs square frames";
            return false;
        }
        StreetScene& scene = SceneFor<StreetScene>(spec.video.width);
        auto render = [&scene, &poses, delta](int index, const YuvFrame& out) {
            scene.Render(StreetScene::PoseAt(poses, index * delta), static_cast<uint32_t>(index),
                         out);
        };
        return WriteRecording(out, spec.video, render, box, error);
    }
    const FisheyeScene& scene = SceneFor<FisheyeScene>(spec.video.width, spec.video.height);
    const size_t bytes = static_cast<size_t>(spec.video.width) * spec.video.height * 3;
    auto render = [&scene, delta, bytes, noise = spec.noise](int index, uint8_t* rgb) {
        scene.Render(static_cast<uint32_t>(index), index * delta, rgb);
        if (noise > 0) {
            AddGrain(rgb, bytes, noise, static_cast<uint32_t>(index));
        }
    };
    return WriteRecording(out, spec.video, FromRgb(spec.video.width, spec.video.height, render),
                          box, error);
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

CardPlan TestCardPlan(int folders, int perFolder, double seconds) {
    static constexpr char kKinds[] = "AGAMPSATUAORA";
    CardPlan plan(static_cast<size_t>(std::max(folders, 0)));
    int serial = 0;
    for (int f = 0; f < folders; ++f) {
        for (int k = 0; k < perFolder; ++k, ++serial) {
            PlannedRecording r;
            r.kind = kKinds[serial % (sizeof kKinds - 1)];
            r.seconds = seconds;
            r.mode = (f == 1 && k == 1) ? 'D' : 'R';
            r.piece = DefaultPieceForKind(r.kind, seconds);
            if (serial == 2) {
                r.piece.noFix = std::make_pair(0.0, seconds / 2);  // a tunnel
            }
            plan[static_cast<size_t>(f)].push_back(r);
        }
    }
    return plan;
}

CardPlan TownCardPlan() {
    auto make = [](char kind, double seconds) {
        PlannedRecording r;
        r.kind = kind;
        r.seconds = seconds;
        r.piece = DefaultPieceForKind(kind, seconds);
        return r;
    };
    PlannedRecording manual = make('M', 30);
    manual.piece.events = {{11.0, MarkKind::kMark1, 0.5}};
    PlannedRecording tunnel = make('A', 30);
    tunnel.piece.noFix = std::make_pair(6.0, 26.0);
    PlannedRecording parked = make('P', 40);
    PlannedRecording parkedImpact = make('S', 30);
    parkedImpact.piece.events = {{12.0, MarkKind::kAxisZ, 0.4}};
    return {
        {make('A', 30), make('A', 30), manual, make('O', 30)},
        {tunnel, make('R', 30), make('G', 30)},
        {make('A', 30), make('A', 45), parked, parkedImpact},
    };
}

bool GenerateCard(const std::filesystem::path& root, const CardOptions& o,
                  std::vector<std::filesystem::path>* written, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec) {
        *error = "cannot create " + root.string() + ": " + ec.message();
        return false;
    }
    const CardPlan plan = o.town ? TownCardPlan() : TestCardPlan(o.folders, o.perFolder, o.seconds);
    int total = 0;
    for (const auto& folder : plan) {
        total += static_cast<int>(folder.size());
    }
    DriveSimulator drive(o.start);
    std::filesystem::path firstFolder;
    int done = 0;
    for (size_t f = 0; f < plan.size(); ++f) {
        const CivilTime now = drive.Now();
        char folderName[32];
        std::snprintf(folderName, sizeof folderName, "%04d%02d%02d_%03zu", now.year, now.month,
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
        for (size_t k = 0; k < plan[f].size(); ++k) {
            const PlannedRecording& planned = plan[f][k];
            const CivilTime start = drive.Now();
            char name[32];
            std::snprintf(name, sizeof name, "%03zu_%02d%02d%02d_%c.MP4", k + 1, start.hour,
                          start.minute, start.second, planned.kind);
            RecordingSpec spec;
            spec.scene = o.scene;
            spec.video.width = spec.video.height = o.size;
            spec.video.fps = o.fps;
            spec.video.codec = o.codec;
            spec.video.preset = o.preset;
            spec.video.crf = o.crf;
            spec.video.frames = std::max(1, static_cast<int>(std::lround(planned.seconds * o.fps)));
            spec.camera.mode = planned.mode;
            spec.camera.numberA = o.size;
            spec.camera.numberB = o.size;
            spec.camera.numberC = static_cast<int>(std::lround(o.fps));
            spec.piece = planned.piece;
            const std::filesystem::path path = folder / name;
            if (o.progress) {
                o.progress(done, total, path);
            }
            if (!GenerateRecording(path, spec, drive, error)) {
                return false;
            }
            ++done;
            if (written != nullptr) {
                written->push_back(path);
            }
        }
    }
    if (o.progress) {
        o.progress(done, total, {});
    }
    // What else a card holds: the recorder's own files and, on the test card, things a user
    // left there.
    if (!WriteText(root / "SYSTEM.INI", "[SYSTEM]\r\nMODEL=TAVRILO-SAMPLE\r\n", error)) {
        return false;
    }
    return o.town ||
           (WriteText(root / "readme.txt", "Sample card written by tavrilo-gen.\n", error) &&
            (firstFolder.empty() ||
             (WriteText(firstFolder / "notes.txt", "not a recording\n", error) &&
              WriteText(firstFolder / "999_235959_A.MP4",
                        "a file with a recording's name but not its content\n", error))));
}

}  // namespace tavrilo::gen
