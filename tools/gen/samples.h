#pragma once
// Whole sample recordings and sample memory cards, as the recorder writes them.

#include <filesystem>
#include <string>
#include <vector>

#include "tools/gen/drive.h"
#include "tools/gen/gps0_writer.h"
#include "tools/gen/mp4_writer.h"

namespace tavrilo::gen {

struct RecordingSpec {
    VideoOptions video;
    CameraBlockOptions camera;
    PieceOptions piece;
    // Film grain: each colour value moves by up to +-noise, differently in every frame. Makes
    // large files (benchmarks) since no frame predicts the next.
    int noise = 0;
};

// The sensor marks and parking state a recording of the given kind letter shows by default:
// an impact for G, a manual mark for M, standing still for P and T, a parked impact for S and U,
// the alert flags for O and R, nothing for A.
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
    int folders = 3;
    int perFolder = 4;
    double seconds = 2.0;
    int size = 192;
    double fps = 30.0;
    std::string codec = "h264";
    DriveStart start;
};

// Writes a card-like tree under `root`: "YYYYMMDD_NNN" folders of consecutive recordings
// named "NNN_HHMMSS_K.MP4" that continue each other in time and place, with mixed event kinds
// (parking ones included), one two-part ('D') recording and a few files that are not
// recordings. Returns the recordings written, in writing order.
bool GenerateCard(const std::filesystem::path& root, const CardOptions& options,
                  std::vector<std::filesystem::path>* written, std::string* error);

}  // namespace tavrilo::gen
