#include "platform/mapped_file.h"

#include "platform/mapping_guard.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace tavrilo {
namespace {

// Ranges up to this size are read into memory (headers, small boxes, sensor records).
constexpr uint64_t kReadLimit = 256ull << 10;

std::mutex g_reporterMutex;
std::function<void(const std::string&)> g_reporter;

void ReportMappingError(int error) {
    std::function<void(const std::string&)> reporter;
    {
        std::lock_guard lock(g_reporterMutex);
        reporter = g_reporter;
    }
    if (reporter) {
        reporter(std::strerror(error));
    }
}

}  // namespace

MappedView::MappedView(void* base, size_t mappedLength, size_t lead, size_t length)
    : base_(base),
      mappedLength_(mappedLength),
      guard_(GuardMapping(base, mappedLength)),
      view_(std::span<const uint8_t>(static_cast<const uint8_t*>(base) + lead, length)) {}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

bool MappedFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

void MappedFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    size_ = 0;
}

uint32_t MappedFile::AllocationGranularity() {
    static const uint32_t page = static_cast<uint32_t>(sysconf(_SC_PAGESIZE));
    return page;
}

std::optional<MappedView> MappedFile::MapRange(uint64_t offset, uint64_t length,
                                               uint64_t limit) const {
    if (fd_ < 0) {
        return std::nullopt;
    }
    limit = std::min(limit, size_);
    if (offset >= limit) {
        return std::nullopt;
    }
    length = std::min(length, limit - offset);
    if (length == 0 || length > SIZE_MAX / 2) {
        return std::nullopt;
    }
    if (length <= kReadLimit) {
        // Read, not mapped: a file that shrinks under us (truncated by another program, a card
        // pulled) then gives a short view. Larger views are mapped under the mapping guard.
        std::vector<uint8_t> bytes(static_cast<size_t>(length));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::pread(fd_, bytes.data() + got, bytes.size() - got,
                                      static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<size_t>(n);
        }
        if (got == 0) {
            return std::nullopt;
        }
        bytes.resize(got);
        return MappedView::Owned(std::move(bytes));
    }
    const uint64_t viewOffset = offset - offset % AllocationGranularity();
    const uint64_t lead = offset - viewOffset;
    const uint64_t viewLength = length + lead;
    void* base = mmap(nullptr, static_cast<size_t>(viewLength), PROT_READ, MAP_SHARED, fd_,
                      static_cast<off_t>(viewOffset));
    if (base == MAP_FAILED) {
        ReportMappingError(errno);
        return std::nullopt;
    }
    return MappedView(base, static_cast<size_t>(viewLength), static_cast<size_t>(lead),
                      static_cast<size_t>(length));
}

void SetMappingErrorReporter(std::function<void(const std::string& message)> reporter) {
    std::lock_guard lock(g_reporterMutex);
    g_reporter = std::move(reporter);
}

}  // namespace tavrilo
