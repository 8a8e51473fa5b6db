#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tavrilo {

bool AtomicFile::Open(const std::string& target, std::string* error) {
    Abort();
    namespace fs = std::filesystem;
    const fs::path path(target);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + path.filename().string() + ".tavrilo-XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        *error = "cannot write in " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        unlink(pattern.c_str());
        *error = std::strerror(errno);
        return false;
    }
    target_ = target;
    temp_ = pattern;
    written_ = 0;
    writeError_.clear();
    return true;
}

bool AtomicFile::Write(const void* data, size_t size) {
    if (file_ == nullptr || !writeError_.empty()) {
        return false;
    }
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) {
        writeError_ = std::strerror(errno);
        return false;
    }
    written_ += size;
    return true;
}

bool AtomicFile::Commit(bool overwrite, std::string* error) {
    if (file_ == nullptr) {
        *error = "nothing to commit";
        return false;
    }
    bool ok = writeError_.empty();
    if (ok && (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0)) {
        writeError_ = std::strerror(errno);
        ok = false;
    }
    if (std::fclose(file_) != 0 && ok) {
        writeError_ = std::strerror(errno);
        ok = false;
    }
    file_ = nullptr;
    if (!ok) {
        *error = "writing " + target_ + " failed: " + writeError_;
        Abort();
        return false;
    }
    // link() refuses an existing name, so a file that appeared meanwhile is never replaced.
    const int rc = overwrite ? std::rename(temp_.c_str(), target_.c_str())
                             : link(temp_.c_str(), target_.c_str());
    if (rc != 0) {
        *error = (errno == EEXIST ? target_ + " already exists"
                                  : "cannot create " + target_ + ": " + std::strerror(errno));
        Abort();
        return false;
    }
    if (!overwrite) {
        unlink(temp_.c_str());
    }
    temp_.clear();
    return true;
}

void AtomicFile::Abort() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        unlink(temp_.c_str());
        temp_.clear();
    }
}

uint64_t AvailableSpace(const std::string& folder) {
    std::error_code ec;
    const auto info = std::filesystem::space(folder.empty() ? "." : folder, ec);
    return ec ? UINT64_MAX : info.available;
}

}  // namespace tavrilo
