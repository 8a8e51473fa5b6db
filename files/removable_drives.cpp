#include "files/removable_drives.h"

#include <QStorageInfo>
#include <filesystem>
#include <fstream>

namespace tavrilo {
namespace {

namespace fs = std::filesystem;

// The disk a partition such as "mmcblk0p1" or "sdb1" belongs to, through sysfs.
bool IsRemovableDevice(const std::string& device) {
    const std::string name = fs::path(device).filename().string();
    std::error_code ec;
    fs::path sys = fs::canonical(fs::path("/sys/class/block") / name, ec);
    if (ec) {
        return false;
    }
    if (!fs::exists(sys / "removable", ec) && fs::exists(sys / "partition", ec)) {
        sys = sys.parent_path();  // a partition: its disk holds the flag
    }
    int flag = 0;
    std::ifstream(sys / "removable") >> flag;
    const std::string path = sys.string();
    return flag == 1 || path.find("/usb") != std::string::npos ||
           path.find("/mmc") != std::string::npos;
}

}  // namespace

std::vector<Volume> SystemDrives::Volumes() const {
    std::vector<Volume> out;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const std::string device = v.device().toStdString();
        if (device.rfind("/dev/", 0) != 0) {
            continue;  // not a block device (proc, tmpfs, overlays)
        }
        out.push_back({v.rootPath().toStdString(), IsRemovableDevice(device), v.isReady()});
    }
    return out;
}

int EnumRemovableDrives(const DriveSource& drives, std::vector<std::string>* roots) {
    roots->clear();
    for (const Volume& v : drives.Volumes()) {
        const bool driveA =
            v.root.size() >= 2 && (v.root[0] == 'A' || v.root[0] == 'a') && v.root[1] == ':';
        if (v.removable && !driveA) {
            roots->push_back(v.root);
        }
    }
    return static_cast<int>(roots->size()) - 1;
}

}  // namespace tavrilo
