#pragma once
// A file that appears under its name only when complete: written to a temporary file beside
// the target, flushed to disk, then renamed into place. Until Commit succeeds the target is
// untouched; an abandoned file removes its temporary.

#include <cstdint>
#include <cstdio>
#include <string>

namespace tavrilo {

class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile() { Abort(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file in the target's folder. False with `error` set when the
    // folder cannot be written.
    bool Open(const std::string& target, std::string* error);
    bool Write(const void* data, size_t size);
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }
    uint64_t written() const { return written_; }

    // Flushes and moves the file into place. Without `overwrite` an existing target is left
    // alone and Commit fails. After a failure nothing of the temporary remains.
    bool Commit(bool overwrite, std::string* error);
    void Abort();

    // The error of the first write that failed (e.g. "No space left on device").
    const std::string& writeError() const { return writeError_; }

  private:
    std::string target_;
    std::string temp_;
    FILE* file_ = nullptr;
    uint64_t written_ = 0;
    std::string writeError_;
};

// Bytes free for an unprivileged user on the file system that holds `folder`; nullopt-like
// UINT64_MAX when it cannot be told.
uint64_t AvailableSpace(const std::string& folder);

}  // namespace tavrilo
