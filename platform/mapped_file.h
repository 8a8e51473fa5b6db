#pragma once
// Read-only file mapping behind bounds-checked views. A file's bytes are only ever read
// through a ByteView, which refuses any access past the view, whatever the file claims. A
// mapped file is one kind of ByteSource; a buffer in memory is the other.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/byte_source.h"

namespace tavrilo {

// An open file that views are mapped from. Closing it does not invalidate views already
// mapped (the kernel keeps their pages).
class MappedFile : public ByteSource {
  public:
    MappedFile() = default;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() override { Close(); }

    // Closes any previous file, then opens an existing regular file for reading.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    uint64_t size() const override { return size_; }

    // Maps [offset, offset + length) clipped at `limit` (and at the file's end). The view starts
    // at the offset rounded down to the allocation granularity; the returned bytes start at
    // `offset` itself. nullopt for an empty range (silently) or a mapping failure (reported).
    std::optional<MappedView> MapRange(uint64_t offset, uint64_t length, uint64_t limit) const;
    std::optional<MappedView> View(uint64_t offset, uint64_t length,
                                   uint64_t limit) const override {
        return MapRange(offset, length, limit);
    }

    static uint32_t AllocationGranularity();

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// Where mapping failures are reported (the window layer shows them in a message box titled
// "Error Message"). The default reporter does nothing. Thread-safe.
void SetMappingErrorReporter(std::function<void(const std::string& message)> reporter);

}  // namespace tavrilo
