#include "platform/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace tavrilo {
namespace {

constexpr size_t kSlots = 4096;
// The handler reads these without locks: a slot's end is written before its begin, and a
// begin of 0 marks a free slot.
std::array<std::atomic<uintptr_t>, kSlots> g_begin{};
std::array<std::atomic<uintptr_t>, kSlots> g_end{};
std::atomic<bool> g_shrank{false};
struct sigaction g_previous {};

void OnBus(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (size_t i = 0; i < kSlots; ++i) {
        const uintptr_t begin = g_begin[i].load(std::memory_order_acquire);
        if (begin != 0 && at >= begin && at < g_end[i].load(std::memory_order_acquire)) {
            const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
            void* where = reinterpret_cast<void*>(at - at % page);
            if (mmap(where, page, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
                MAP_FAILED) {
                g_shrank.store(true, std::memory_order_relaxed);
                return;  // the read is made again and finds zeros
            }
            break;
        }
    }
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

void InstallOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBus;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previous);
    });
}

}  // namespace

int GuardMapping(const void* base, size_t length) {
    InstallOnce();
    const auto begin = reinterpret_cast<uintptr_t>(base);
    for (size_t i = 0; i < kSlots; ++i) {
        uintptr_t expected = 0;
        // Claimed with a marker first, so that the end is in place before the begin is seen.
        if (g_begin[i].compare_exchange_strong(expected, UINTPTR_MAX)) {
            g_end[i].store(begin + length, std::memory_order_release);
            g_begin[i].store(begin, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ReleaseMappingGuard(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < kSlots) {
        g_begin[static_cast<size_t>(slot)].store(0, std::memory_order_release);
    }
}

bool MappingShrankSeen() {
    return g_shrank.load(std::memory_order_relaxed);
}

}  // namespace tavrilo
