// tavrilo-gen: writes sample recordings and sample memory cards for tests, benchmarks and the
// viewer's built-in sample card.

#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/gen/samples.h"

namespace {

using namespace tavrilo::gen;

constexpr const char* kUsage = R"(usage:
  tavrilo-gen recording OUT.MP4 [options]
  tavrilo-gen card DIR
                      the sample card: three folders of a drive through town, eleven
                      recordings of 30 to 45 s at 1440 x 1440 (about a minute and a half)
  tavrilo-gen card DIR --folders N | --per-folder N | --size N | --seconds S [options]
                      a small card of mixed kinds for tests (3 x 4 recordings, 192, 2 s)
  tavrilo-gen card DIR --town [--size N] [options]
                      the sample card's drive at another frame size (or scene, codec...)
  tavrilo-gen sensors FILE.MP4 [options]
                      appends the recorder's "gps0" box (the sensor records of --seconds of
                      the drive, and the camera block) to an MP4 another program wrote

options:
  --size N            square frame size in pixels (even; default 320, card 192)
  --seconds S         length of each recording (default 5, card 2)
  --fps F             frame rate, e.g. 30 or 27.5 (default 30)
  --start TIME        recorder clock at the start, "YYYY-MM-DD hh:mm:ss" (default 2026-06-01 10:00:00)
  --lat D --lon D     start position in signed degrees (default 35.681236 139.767125)
  --heading D         start heading in degrees (default 30)
  --mode R|D          camera mode: round fisheye or two-part picture (default R)
  --kind LETTER       event kind A M G P S T U O R: its default sensor marks (default A)
  --event T:MARK      a sensor mark at T seconds: X Y Z (impact axis), D1 D2 (mark bytes),
                      F9 F8 (flag bytes); repeatable, replaces the kind's default marks
  --no-fix FROM:TO    seconds without GPS fix
  --correction N      seconds correction written into every record (default none: '*')
  --firmware DDDDD    firmware digits in the camera block (default 10405)
  --seed N            seed of the drive (default 1)
  --scene street|pattern
                      what the recordings show: a drive through town, or the test pattern
                      (default: street for the sample card, pattern otherwise)
  --codec h264|h265   video codec (default h264)
  --preset P          encoder preset (default veryfast)
  --crf N | --qp N    encoder quality or constant quantiser (qp 0 is lossless)
  --noise N           film grain of +-N per colour value (large files for benchmarks)
  --no-audio          no audio track
The same options give the same bytes.
)";

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "tavrilo-gen: %s\n", message.c_str());
    std::exit(1);
}

double ParseNumber(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v)) {
        Fail(option + " needs a number, got '" + text + "'");
    }
    return v;
}

int ParseInt(const std::string& option, const std::string& text) {
    const double v = ParseNumber(option, text);
    if (v != std::floor(v) || std::abs(v) > 1e9) {
        Fail(option + " needs a whole number, got '" + text + "'");
    }
    return static_cast<int>(v);
}

struct Options {
    std::string command;
    std::string target;
    RecordingSpec spec;
    CardOptions card;
    DriveStart start;
    char kind = 'A';
    bool eventsGiven = false;
    bool sizeGiven = false;
    bool secondsGiven = false;
    bool layoutGiven = false;  // --folders or --per-folder
    bool town = false;
    bool presetGiven = false;
    bool crfGiven = false;
    std::optional<Scene> scene;
    double seconds = 5.0;
};

Options Parse(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, stdout);
        std::exit(args.empty() ? 1 : 0);
    }
    Options o;
    o.command = args[0];
    if (o.command != "recording" && o.command != "card" && o.command != "sensors") {
        Fail("unknown command '" + o.command + "' (recording, card or sensors); see --help");
    }
    if (args.size() < 2) {
        Fail(o.command + " needs an output path");
    }
    o.target = args[1];
    VideoOptions& v = o.spec.video;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--no-audio") {
            v.audio = false;
            continue;
        }
        if (a == "--town") {
            o.town = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            Fail(a + " needs a value (or is unknown); see --help");
        }
        const std::string value = args[++i];
        if (a == "--size") {
            v.width = v.height = ParseInt(a, value);
            o.sizeGiven = true;
        } else if (a == "--seconds") {
            o.seconds = ParseNumber(a, value);
            o.secondsGiven = true;
        } else if (a == "--fps") {
            v.fps = ParseNumber(a, value);
        } else if (a == "--start") {
            const auto t = ParseCivilTime(value);
            if (!t) {
                Fail("--start needs \"YYYY-MM-DD hh:mm:ss\" between 2000 and 2099");
            }
            o.start.time = *t;
        } else if (a == "--lat") {
            o.start.latitude = ParseNumber(a, value);
        } else if (a == "--lon") {
            o.start.longitude = ParseNumber(a, value);
        } else if (a == "--heading") {
            o.start.headingDeg = ParseNumber(a, value);
        } else if (a == "--mode") {
            if (value != "R" && value != "D") {
                Fail("--mode is R or D");
            }
            o.spec.camera.mode = value[0];
        } else if (a == "--kind") {
            if (value.size() != 1 || std::string("AMGPSTUOR").find(value[0]) == std::string::npos) {
                Fail("--kind is one of A M G P S T U O R");
            }
            o.kind = value[0];
        } else if (a == "--event") {
            const auto e = ParseSensorEvent(value);
            if (!e) {
                Fail("--event needs SECONDS:MARK with MARK one of X Y Z D1 D2 F9 F8");
            }
            o.spec.piece.events.push_back(*e);
            o.eventsGiven = true;
        } else if (a == "--no-fix") {
            const size_t colon = value.find(':');
            if (colon == std::string::npos) {
                Fail("--no-fix needs FROM:TO in seconds");
            }
            o.spec.piece.noFix = std::make_pair(ParseNumber(a, value.substr(0, colon)),
                                                ParseNumber(a, value.substr(colon + 1)));
        } else if (a == "--correction") {
            o.start.correction = ParseInt(a, value);
            if (*o.start.correction < -99 || *o.start.correction > 99) {
                Fail("--correction is between -99 and 99 seconds");
            }
        } else if (a == "--firmware") {
            if (value.size() != 5 || value.find_first_not_of("0123456789") != std::string::npos) {
                Fail("--firmware needs five digits");
            }
            o.spec.camera.firmware = value;
        } else if (a == "--seed") {
            o.start.seed = static_cast<uint32_t>(ParseInt(a, value));
        } else if (a == "--scene") {
            if (value != "street" && value != "pattern") {
                Fail("--scene is street or pattern");
            }
            o.scene = value == "street" ? Scene::kStreet : Scene::kPattern;
        } else if (a == "--codec") {
            v.codec = value;
        } else if (a == "--preset") {
            v.preset = value;
            o.presetGiven = true;
        } else if (a == "--crf") {
            v.crf = ParseInt(a, value);
            o.crfGiven = true;
        } else if (a == "--qp") {
            v.qp = ParseInt(a, value);
        } else if (a == "--noise") {
            o.spec.noise = ParseInt(a, value);
            if (o.spec.noise < 0 || o.spec.noise > 127) {
                Fail("--noise is between 0 and 127");
            }
        } else if (a == "--folders") {
            o.card.folders = ParseInt(a, value);
            o.layoutGiven = true;
        } else if (a == "--per-folder") {
            o.card.perFolder = ParseInt(a, value);
            o.layoutGiven = true;
        } else {
            Fail("unknown option " + a + "; see --help");
        }
    }
    if (v.width <= 0 || v.width % 2 != 0) {
        Fail("--size must be even and positive");
    }
    if (!(o.seconds > 0) || !(v.fps > 0) || v.fps > 240) {
        Fail("--seconds and --fps must be positive (fps at most 240)");
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options o = Parse(argc, argv);
    av_log_set_level(AV_LOG_ERROR);
    std::string error;
    if (o.command == "card") {
        CardOptions& c = o.card;
        if (o.town && (o.secondsGiven || o.layoutGiven)) {
            Fail("--town sets the folders and the recordings' lengths itself");
        }
        c.town = o.town || (!o.sizeGiven && !o.secondsGiven && !o.layoutGiven);
        c.start = o.start;
        c.fps = o.spec.video.fps;
        c.codec = o.spec.video.codec;
        c.preset = o.spec.video.preset;
        c.crf = o.spec.video.crf;
        c.scene = o.scene.value_or(c.town ? Scene::kStreet : Scene::kPattern);
        if (c.town) {
            // Large frames: the fastest preset keeps the first start of the viewer short.
            c.size = 1440;
            c.preset = o.presetGiven ? c.preset : "ultrafast";
            c.crf = o.crfGiven ? c.crf : 28;
            const bool terminal = isatty(fileno(stderr)) != 0;
            // On a terminal one line rewritten in place; elsewhere a line a recording.
            c.progress = [terminal](int done, int total, const std::filesystem::path& next) {
                const char* begin = terminal ? "\r\033[K" : "";
                if (next.empty()) {
                    std::fprintf(stderr, "%ssample card: %d recordings\n", begin, done);
                    return;
                }
                std::fprintf(stderr, "%ssample card: %d of %d, writing %s%s", begin, done, total,
                             (next.parent_path().filename() / next.filename()).c_str(),
                             terminal ? "" : "\n");
                std::fflush(stderr);
            };
        }
        if (o.sizeGiven) {
            c.size = o.spec.video.width;
        }
        if (o.secondsGiven) {
            c.seconds = o.seconds;
        }
        std::vector<std::filesystem::path> written;
        if (!GenerateCard(o.target, c, &written, &error)) {
            Fail(error);
        }
        std::printf("%zu recordings in %s\n", written.size(), o.target.c_str());
        return 0;
    }
    RecordingSpec& spec = o.spec;
    spec.scene = o.scene.value_or(Scene::kPattern);
    spec.video.frames = std::max(1, static_cast<int>(std::lround(o.seconds * spec.video.fps)));
    if (o.command == "sensors") {
        PieceOptions piece = DefaultPieceForKind(o.kind, o.seconds);
        if (o.eventsGiven) {
            piece.events = spec.piece.events;
        }
        spec.piece = piece;
        DriveSimulator drive(o.start);
        if (!AppendSensorRecords(o.target, spec, drive, &error)) {
            Fail(error);
        }
        std::printf("%s: %d sensor records appended\n", o.target.c_str(),
                    RecordCountFor(spec.video));
        return 0;
    }
    spec.camera.numberA = spec.video.width;
    spec.camera.numberB = spec.video.height;
    spec.camera.numberC = static_cast<int>(std::lround(spec.video.fps));
    PieceOptions defaults = DefaultPieceForKind(o.kind, o.seconds);
    spec.piece.parked = defaults.parked;
    if (!o.eventsGiven) {
        spec.piece.events = defaults.events;
    }
    DriveSimulator drive(o.start);
    if (!GenerateRecording(o.target, spec, drive, &error)) {
        Fail(error);
    }
    std::printf("%s: %d frames, %d sensor records\n", o.target.c_str(), spec.video.frames,
                RecordCountFor(spec.video));
    return 0;
}
