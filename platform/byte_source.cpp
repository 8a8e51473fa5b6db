#include "platform/byte_source.h"

#include "platform/mapping_guard.h"

#include <sys/mman.h>

#include <algorithm>
#include <utility>

namespace tavrilo {

MappedView MappedView::Borrowed(ByteView bytes) {
    MappedView v;
    v.view_ = bytes;
    return v;
}

MappedView MappedView::Owned(std::vector<uint8_t> bytes) {
    MappedView v;
    v.owned_ = std::move(bytes);
    v.view_ = ByteView(std::span<const uint8_t>(v.owned_.data(), v.owned_.size()));
    return v;
}

MappedView::MappedView(MappedView&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      mappedLength_(std::exchange(other.mappedLength_, 0)),
      guard_(std::exchange(other.guard_, -1)),
      owned_(std::move(other.owned_)),
      view_(std::exchange(other.view_, ByteView())) {}

MappedView& MappedView::operator=(MappedView&& other) noexcept {
    if (this != &other) {
        Release();
        base_ = std::exchange(other.base_, nullptr);
        mappedLength_ = std::exchange(other.mappedLength_, 0);
        guard_ = std::exchange(other.guard_, -1);
        owned_ = std::move(other.owned_);
        view_ = std::exchange(other.view_, ByteView());
    }
    return *this;
}

MappedView::~MappedView() {
    Release();
}

void MappedView::Release() {
    if (base_ != nullptr) {
        ReleaseMappingGuard(std::exchange(guard_, -1));
        munmap(base_, mappedLength_);
        base_ = nullptr;
    }
}

std::optional<MappedView> MemorySource::View(uint64_t offset, uint64_t length,
                                             uint64_t limit) const {
    const uint64_t end = std::min<uint64_t>(limit, bytes_.size());
    if (offset >= end || length == 0) {
        return std::nullopt;
    }
    const uint64_t n = std::min(length, end - offset);
    return MappedView::Borrowed(
        ByteView(std::span<const uint8_t>(bytes_.data() + offset, static_cast<size_t>(n))));
}

}  // namespace tavrilo
