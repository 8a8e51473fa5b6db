// gpx and kml: the route of a recording, a folder or a card.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/engine.h"
#include "platform/atomic_file.h"
#include "platform/settings.h"
#include "recordings/names.h"
#include "recordings/route_export.h"
#include "recordings/sensor_track.h"
#include "tools/cli/commands.h"

namespace tavrilo::cli {
namespace {

// The recorder's clock is local time in its zone; the route's UTC times take that zone's offset
// at each record's date. A zone is an IANA name ("Asia/Tokyo") or a POSIX rule ("JST-9").
bool UseRecorderZone(const std::string& zone) {
    if (zone.empty()) {
        return true;  // the machine's own zone
    }
    std::error_code ec;
    const bool known = std::filesystem::is_regular_file("/usr/share/zoneinfo/" + zone, ec) ||
                       zone.find_first_of("0123456789") != std::string::npos;
    if (!known || zone.find("..") != std::string::npos) {
        return false;
    }
    setenv("TZ", zone.c_str(), 1);
    tzset();
    return true;
}

int ExportRoute(const char* command, const Args& args, std::string (*write)(const RouteSource&)) {
    const std::string usage = std::string("usage: tavrilo-cli ") + command + " SOURCE OUT." +
                              command + " [--force] [--tz ZONE]";
    bool force = false;
    // The zone: --tz, else [DISPLAY] TIMEZONE of the settings file here, else the machine's.
    std::string zone = Settings().ReadSetting("DISPLAY", "TIMEZONE");
    Args rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--force") {
            force = true;
        } else if (args[i] == "--tz" && i + 1 < args.size()) {
            zone = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    std::error_code ec;
    if (rest.size() != 2 || !std::filesystem::exists(rest[0], ec)) {
        return Fail(command, rest.size() != 2 ? usage : "no such file or folder: " + rest[0]);
    }
    if (!UseRecorderZone(zone)) {
        return Fail(command, "unknown time zone " + zone + " (an IANA name such as Asia/Tokyo)");
    }
    EngineContext ctx;
    const EngineOps& ops = GetEngineOps();
    ops.Init(&ctx, nullptr);
    ctx.Ready = 1;
    RecordingLibrary library(engine::ContentTestOf(&ctx));
    RouteSource route;
    route.name = std::filesystem::path(rest[0]).filename().string();
    const RecordingList list = library.BuildListForSource(rest[0]);
    if (list.empty()) {
        ops.Shutdown(&ctx);
        return Fail(command, "no recordings in " + rest[0] + "; nothing written");
    }
    for (const RecordingEntry& e : list) {
        TrackReader reader;
        reader.ScanMutex = &FindMutex();
        if (!ParseTrack(reader, e.Path)) {
            continue;  // a damaged recording adds nothing to the route
        }
        route.recordings.push_back({e.Name, std::move(reader.GpsSamples),
                                    std::move(reader.GSamples), GetEventKind(e.Name)});
    }
    ops.Shutdown(&ctx);
    const size_t points = ValidPointCount(route);
    if (points == 0) {
        return Fail(command, "no GPS fix in " + rest[0] + "; nothing written");
    }
    AtomicFile out;
    std::string error;
    if (!out.Open(rest[1], &error) || !out.Write(write(route)) || !out.Commit(force, &error)) {
        return Fail(command, error.empty() ? "cannot write " + rest[1] : error);
    }
    std::puts(nlohmann::ordered_json{
        {"file", rest[1]}, {"recordings", route.recordings.size()}, {"points", points}}
                  .dump(2)
                  .c_str());
    return 0;
}

}  // namespace

int Gpx(const Args& args) {
    return ExportRoute("gpx", args, WriteGpx);
}

int Kml(const Args& args) {
    return ExportRoute("kml", args, WriteKml);
}

}  // namespace tavrilo::cli
