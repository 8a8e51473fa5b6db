#pragma once
// Where a parser's bytes come from: a mapped file in the program, a buffer in tests and
// fuzzers. Parsers take a source, never a file name, so both run the same code.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/byte_view.h"

namespace tavrilo {

// One view of a byte source: a mapping of a file, unmapped when destroyed, bytes read into a
// buffer of its own, or bytes borrowed from a buffer that outlives it.
class MappedView {
  public:
    MappedView() = default;
    static MappedView Borrowed(ByteView bytes);
    // Bytes read into a buffer the view owns.
    static MappedView Owned(std::vector<uint8_t> bytes);
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
    int guard_ = -1;              // the mapping guard's slot
    std::vector<uint8_t> owned_;  // moving it keeps its bytes where they are
    ByteView view_;
};

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // The bytes [offset, offset + length) clipped at `limit` and at the end of the source.
    // nullopt for an empty range or when the bytes cannot be had.
    virtual std::optional<MappedView> View(uint64_t offset, uint64_t length,
                                           uint64_t limit) const = 0;
};

// Bytes in memory, owned by the source.
class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint64_t size() const override { return bytes_.size(); }
    std::optional<MappedView> View(uint64_t offset, uint64_t length, uint64_t limit) const override;

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace tavrilo
