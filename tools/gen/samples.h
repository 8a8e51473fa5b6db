#pragma once
// Whole sample recordings and sample memory cards, as the recorder writes them.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/gen/drive.h"
#include "tools/gen/gps0_writer.h"
#include "tools/gen/mp4_writer.h"

namespace tavrilo::gen {

// What the recordings show: the test pattern (coloured direction panels and a circling ball,
// easy for tests to read) or a drive through town.
enum class Scene { kPattern, kStreet };

struct RecordingSpec {
    Scene scene = Scene::kPattern;
    VideoOptions video;
    CameraBlockOptions camera;
    PieceOptions piece;
    // Film grain: each colour value moves by up to +-noise, differently in every frame. Makes
    // large files (benchmarks) since no frame predicts the next.
    int noise = 0;
};

// The sensor marks and parking state a recording of the given kind letter shows by default:
// an impact during a hard brake for G, a manual mark for M, standing still for P and T, a parked
// impact for S and U, the alert flags for O and R, nothing for A.
PieceOptions DefaultPieceForKind(char kindLetter, double seconds);

// Sensor records for a video of `frames` frames: ten a second, covering its duration.
int RecordCountFor(const VideoOptions& video);

// Writes one recording; the drive continues from where `drive` stands.
bool GenerateRecording(const std::filesystem::path& out, const RecordingSpec& spec,
                       DriveSimulator& drive, std::string* error);

// Appends a "gps0" box with the sensor records of `spec` (ten a second of its video) to an
// existing MP4 file, as the recorder would have written them behind another encoder's boxes.
bool AppendSensorRecords(const std::filesystem::path& file, const RecordingSpec& spec,
                         DriveSimulator& drive, std::string* error);

struct CardOptions {
    // The sample card as a recorder writes it on a drive through town (see TownCardPlan);
    // otherwise the small mixed card for tests, of `folders` x `perFolder` recordings of
    // `seconds` each.
    bool town = false;
    int folders = 3;
    int perFolder = 4;
    double seconds = 2.0;
    int size = 192;
    double fps = 30.0;
    std::string codec = "h264";
    std::string preset = "veryfast";
    int crf = 20;
    Scene scene = Scene::kPattern;
    DriveStart start;
    // Called before each recording is written (done of total so far) and once at the end.
    std::function<void(int done, int total, const std::filesystem::path& next)> progress;
};

// One recording of a card: its event kind, length, camera mode and what happens in it.
struct PlannedRecording {
    char kind = 'A';
    double seconds = 2.0;
    char mode = 'R';
    PieceOptions piece;
};
// The recordings of a card, folder by folder.
using CardPlan = std::vector<std::vector<PlannedRecording>>;

// The small card: continuous recordings most of the time and every other kind at least once
// on the default size, one two-part ('D') recording, a GPS gap in the third recording.
CardPlan TestCardPlan(int folders, int perFolder, double seconds);

// The town card: three folders of one morning's drive, 30 to 45 seconds a recording, with a
// manual mark, a speed-camera and a radar alert, 20 seconds without GPS fix (a tunnel), a hard
// brake with an impact, and the car parked at the end with a parking impact.
CardPlan TownCardPlan();

// Writes a card-like tree under `root`: "YYYYMMDD_NNN" folders of consecutive recordings
// named "NNN_HHMMSS_K.MP4" that continue each other in time and place, the recorder's
// SYSTEM.INI and, on the small card, a few files that are not recordings. Returns the
// recordings written, in writing order.
bool GenerateCard(const std::filesystem::path& root, const CardOptions& options,
                  std::vector<std::filesystem::path>* written, std::string* error);

}  // namespace tavrilo::gen
