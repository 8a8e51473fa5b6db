#pragma once
// A bounds-checked window on bytes someone else owns: every parser reads through one, and any
// access past its end yields nothing instead of reading outside the bytes.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tavrilo {

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

}  // namespace tavrilo
