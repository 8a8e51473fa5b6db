#pragma once
// The memory cards the desktop has mounted: removable volumes, found through Qt's list of
// mounted volumes and the kernel's removable flag. Behind an interface so that tests can offer
// drives of their own.

#include <string>
#include <vector>

namespace tavrilo {

struct Volume {
    std::string root;  // the mount point; a drive text such as "E:\" where drives have letters
    bool removable = false;
    bool ready = true;  // holds media
};

class DriveSource {
  public:
    virtual ~DriveSource() = default;
    virtual std::vector<Volume> Volumes() const = 0;
};

// The desktop's mounted volumes; removable when the block device says so in
// /sys/block/<disk>/removable or sits on a USB or MMC bus.
class SystemDrives : public DriveSource {
  public:
    std::vector<Volume> Volumes() const override;
};

// Fills `roots` with the removable drives in order, leaving out drive A; returns the index of
// the last one (the one proposed), or -1 when there is none.
int EnumRemovableDrives(const DriveSource& drives, std::vector<std::string>* roots);

}  // namespace tavrilo
