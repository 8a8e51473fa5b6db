// info, track, names: what one recording holds.

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/utf8.h"
#include "recordings/box_tree.h"
#include "recordings/content_test.h"
#include "recordings/frame_times.h"
#include "recordings/mp4_scan.h"
#include "recordings/names.h"
#include "recordings/sensor_track.h"
#include "tools/cli/commands.h"

namespace tavrilo::cli {
namespace {

using nlohmann::ordered_json;

template <typename T>
ordered_json OrNull(const std::optional<T>& v) {
    return v ? ordered_json(*v) : ordered_json(nullptr);
}

ordered_json TimeOrNull(const std::optional<SystemTime>& t) {
    return t && !t->IsZero() ? ordered_json(FormatSystemTime(*t)) : ordered_json(nullptr);
}

ordered_json BoxJson(const BoxNode& node) {
    ordered_json children = ordered_json::array();
    for (const BoxNode& c : node.Children) {
        children.push_back(BoxJson(c));
    }
    return {{"type", node.Type},
            {"offset", node.Offset >= 8 ? node.Offset - 8 : node.Offset},
            {"size", node.Size + 8},
            {"raw", node.Raw != 0},
            {"children", std::move(children)}};
}

ordered_json NameJson(const std::string& path) {
    const std::string name(LastPathComponent(path));
    return {{"name", name},
            {"is_recording_name", IsRecordingName(name)},
            {"event_kind", GetEventKind(name)},
            {"event_label", GetEventLabel(name)},
            {"parking", ParkingFlag(name)}};
}

void Print(const ordered_json& j) {
    std::puts(j.dump(2).c_str());
}

// Parses an optional "--frames N" and returns the file argument.
bool TrackArgs(const Args& args, std::string* file, std::optional<int64_t>* frames) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--frames" && i + 1 < args.size()) {
            char* end = nullptr;
            const long long n = std::strtoll(args[++i].c_str(), &end, 10);
            if (*end != '\0' || n <= 0 || n > 100000000) {
                return false;
            }
            *frames = n;
        } else if (file->empty()) {
            *file = args[i];
        } else {
            return false;
        }
    }
    return !file->empty();
}

}  // namespace

int Fail(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "tavrilo-cli %s: %s\n", command.c_str(), message.c_str());
    return 1;
}

int Names(const Args& args) {
    ordered_json out = ordered_json::array();
    for (const std::string& path : args) {
        out.push_back(NameJson(path));
    }
    Print(out);
    return 0;
}

int Info(const Args& args) {
    if (args.size() != 1) {
        return Fail("info", "usage: tavrilo-cli info FILE");
    }
    const std::string& path = args[0];
    const VideoTrackInfo video = ReadVideoTrack(path);
    if (!video.times) {
        return Fail("info", path + ": " + video.error.check);
    }
    const auto doc = ParseBoxTree(path, true);
    if (!doc) {
        return Fail("info", path + ": the box structure cannot be read");
    }
    TrackReader reader;
    reader.ScanMutex = &FindMutex();
    if (!reader.OpenMapped(path)) {
        return Fail("info", path + ": the file cannot be opened");
    }
    const FrameTimes& frames = *video.times;
    const auto movieSeconds = ReadMovieSeconds(reader);
    CameraInfo camera;
    ScanPattern cameraScan{0, "gps0", [&camera](TrackReader&, ByteView v) {
                               ParseCameraBlock(v, camera);
                               return 0;
                           }};
    FindFirstGps0(reader, cameraScan);

    const BoxNode* gps0 = doc->First(BoxList::kGps0);
    ordered_json out = NameJson(path);
    out["is_recording_file"] = IsRecordingFileContent(path);
    out["file_size"] = doc->FileSize;
    out["frames"] = frames.count();
    out["frame_duration_ms"] = frames.MeanDurationMs();
    out["video_seconds"] = static_cast<double>(frames.Duration100ns()) / 1e7;
    out["timescale"] = frames.timescale();
    out["movie_seconds"] = OrNull(movieSeconds);
    out["width"] = video.width > 0 ? ordered_json(video.width) : ordered_json(nullptr);
    out["height"] = video.height > 0 ? ordered_json(video.height) : ordered_json(nullptr);
    out["sample_count"] = OrNull(GetSampleCount(*doc));
    out["frame_rate"] =
        static_cast<double>(frames.count()) * 1e7 / static_cast<double>(frames.Duration100ns());
    out["start_time"] = TimeOrNull(GetStartTime(*doc));
    out["camera"] = {{"mode", camera.Mode == 0 ? std::string() : std::string(1, camera.Mode)},
                     {"tag", std::string(camera.Tag.data(), strnlen(camera.Tag.data(), 4))},
                     {"tag2", std::string(camera.Tag2.data(), strnlen(camera.Tag2.data(), 2))}};
    out["record_count"] = gps0 ? gps0->RecordCount : 0;
    out["boxes"] = BoxJson(doc->Root)["children"];
    Print(out);
    return 0;
}

int Track(const Args& args) {
    std::string path;
    std::optional<int64_t> frames;
    if (!TrackArgs(args, &path, &frames)) {
        return Fail("track", "usage: tavrilo-cli track FILE [--frames N]  (N from 1 to 100000000)");
    }
    const VideoTrackInfo video = ReadVideoTrack(path);
    if (!video.times) {
        return Fail("track", path + ": " + video.error.check);
    }
    // --frames ties the records to the first N pictures only, as a video cut short would.
    FrameTimes times = *video.times;
    if (frames && *frames < times.count()) {
        std::vector<int64_t> starts(times.starts().begin(), times.starts().begin() + *frames);
        const int64_t end = times.starts()[static_cast<size_t>(*frames)];
        times = FrameTimes(times.timescale(), std::move(starts), end);
    }
    frames = times.count();
    TrackReader reader;
    reader.ScanMutex = &FindMutex();
    if (!ParseTrack(reader, path)) {
        return Fail("track", path + ": the sensor records cannot be read");
    }
    reader.FrameDurationMs = static_cast<float>(times.MeanDurationMs());
    if (!BuildFrameIndex(reader, times)) {
        return Fail("track", path + ": the records cannot be tied to the video's pictures");
    }
    ordered_json gps = ordered_json::array();
    for (const GpsSample& s : reader.GpsSamples) {
        gps.push_back({{"index", s.Index},
                       {"frame", s.Frame},
                       {"valid", s.Valid},
                       {"lat", s.Latitude},
                       {"lng", s.Longitude},
                       {"speed", s.Speed},
                       {"time", TimeOrNull(s.Time)}});
    }
    ordered_json g = ordered_json::array();
    for (const GSample& s : reader.GSamples) {
        g.push_back(
            {{"index", s.Index},
             {"frame", s.Frame},
             {"mark", s.MarkCode},
             {"axis", s.Axis},
             {"status", s.Status},
             {"gx", s.Gx},
             {"gy", s.Gy},
             {"gz", s.Gz},
             {"flag_high", s.FlagHigh},
             {"flag_low", s.FlagLow},
             {"gps_link", s.GpsLink < 0 ? ordered_json(nullptr) : ordered_json(s.GpsLink)}});
    }
    ordered_json index = ordered_json::array();
    for (int32_t k : reader.FrameIndex) {
        index.push_back(k < 0 ? ordered_json(nullptr) : ordered_json(k));
    }
    Print({{"frames", *frames},
           {"frame_duration_ms", reader.FrameDurationMs},
           {"max_g", reader.MaxG},
           {"camera", {{"mode", std::string(reader.Camera.Mode ? 1 : 0, reader.Camera.Mode)}}},
           {"gps", std::move(gps)},
           {"g", std::move(g)},
           {"frame_index", std::move(index)}});
    return 0;
}

}  // namespace tavrilo::cli
