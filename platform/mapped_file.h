#pragma once
// Read-only file mapping behind bounds-checked views. A file's bytes are only ever read
// through a ByteView, which refuses any access past the view, whatever the file claims.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tavrilo {

// A bounds-checked window on bytes someone else owns.
class ByteView {
  public:
    ByteView() = default;
    explicit ByteView(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    const uint8_t* data() const { return bytes_.data(); }
    bool Has(size_t offset, size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    std::optional<uint8_t> U8(size_t offset) const;
    std::optional<uint16_t> Be16(size_t offset) const;
    std::optional<uint32_t> Be32(size_t offset) const;
    std::optional<uint64_t> Be64(size_t offset) const;
    // True when the bytes at `offset` equal `text`.
    bool Equals(size_t offset, std::string_view text) const;
    // The sub-view [offset, offset + length) clipped to this view; empty past the end.
    ByteView Sub(size_t offset, size_t length = SIZE_MAX) const;

  private:
    std::span<const uint8_t> bytes_;
};

// One mapped view of a file. Unmaps itself when destroyed.
class MappedView {
  public:
    MappedView() = default;
    MappedView(void* base, size_t mappedLength, size_t lead, size_t length);
    MappedView(MappedView&& other) noexcept;
    MappedView& operator=(MappedView&& other) noexcept;
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    ~MappedView();

    // The bytes from the requested offset to the end of the view.
    ByteView bytes() const { return view_; }

  private:
    void Release();
    void* base_ = nullptr;
    size_t mappedLength_ = 0;
    ByteView view_;
};

// An open file that views are mapped from. Closing it does not invalidate views already
// mapped (the kernel keeps their pages).
class MappedFile {
  public:
    MappedFile() = default;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { Close(); }

    // Closes any previous file, then opens an existing regular file for reading.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    uint64_t size() const { return size_; }

    // Maps [offset, offset + length) clipped at `limit` (and at the file's end). The view starts
    // at the offset rounded down to the allocation granularity; the returned bytes start at
    // `offset` itself. nullopt for an empty range (silently) or a mapping failure (reported).
    std::optional<MappedView> MapRange(uint64_t offset, uint64_t length, uint64_t limit) const;

    static uint32_t AllocationGranularity();

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// Where mapping failures are reported (the window layer shows them in a message box titled
// "Error Message"). The default reporter does nothing. Thread-safe.
void SetMappingErrorReporter(std::function<void(const std::string& message)> reporter);

}  // namespace tavrilo
