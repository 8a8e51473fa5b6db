#include "recordings/track_reader.h"

#include <utility>

namespace tavrilo {

std::recursive_mutex& FindMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

bool TrackReader::OpenMapped(const std::string& path) {
    CloseFile();
    if (!File.Open(path)) {
        Path.clear();
        FileSize = 0;
        return false;
    }
    Path = path;
    FileSize = File.size();
    Source = &File;
    AllocationGranularity = MappedFile::AllocationGranularity();
    return true;
}

void TrackReader::OpenBytes(const ByteSource& bytes, std::string name) {
    CloseFile();
    Path = std::move(name);
    FileSize = bytes.size();
    Source = &bytes;
    AllocationGranularity = MappedFile::AllocationGranularity();
}

void TrackReader::CloseFile() {
    File.Close();
    Source = nullptr;
}

void FreeTrack(TrackReader& reader) {
    reader.GpsSamples = {};
    reader.GSamples = {};
    reader.FrameIndex = {};
    reader.HasArrays = false;
    reader.Camera = CameraInfo{};
}

bool MoveTrack(TrackReader& source, TrackReader& destination) {
    FreeTrack(destination);
    destination.GpsSamples = std::exchange(source.GpsSamples, {});
    destination.GSamples = std::exchange(source.GSamples, {});
    destination.FrameIndex = std::exchange(source.FrameIndex, {});
    destination.HasArrays = std::exchange(source.HasArrays, false);
    destination.Camera = std::exchange(source.Camera, CameraInfo{});
    destination.MaxG = std::exchange(source.MaxG, 0.0);
    destination.MatchCount = std::exchange(source.MatchCount, 0);
    destination.Path = std::exchange(source.Path, std::string());
    return !destination.GpsSamples.empty();
}

}  // namespace tavrilo
