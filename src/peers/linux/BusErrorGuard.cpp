#include "peers/linux/BusErrorGuard.h"

#include <array>
#include <cstdint>
#include <mutex>

#include <csignal>
#include <sys/mman.h>

namespace auravox::BusErrorGuard {

namespace {

struct Range
{
    std::atomic<std::uintptr_t> start{0};
    std::atomic<std::size_t> length{0};
    std::atomic<std::atomic<bool> *> broken{nullptr};
};

std::array<Range, 32> g_ranges;
// Registration and removal are rare; the handler reads the table without it.
std::mutex g_tableLock;
struct sigaction g_previous{};
std::once_flag g_installed;

void passOn(int signal, siginfo_t *info, void *context)
{
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) {
            g_previous.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    // The default action: put it back. A fault happens again when the
    // instruction is retried; a signal sent by another process is raised again.
    ::signal(SIGBUS, SIG_DFL);
    if (info->si_code <= 0)
        ::raise(SIGBUS);
}

void onBusError(int signal, siginfo_t *info, void *context)
{
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    // Only a fault (not a signal another process sent) can be a shrunk object.
    for (Range &r : g_ranges) {
        if (info->si_code <= 0)
            break;
        const std::uintptr_t start = r.start.load();
        const std::size_t length = r.length.load();
        if (start == 0 || address < start || address - start >= length)
            continue;
        // Private zero pages where the shared object has gone: the access is
        // retried on them and completes.
        ::mmap(reinterpret_cast<void *>(start), length, PROT_READ | PROT_WRITE,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (std::atomic<bool> *broken = r.broken.load())
            broken->store(true);
        return;
    }
    passOn(signal, info, context);
}

void install()
{
    struct sigaction action{};
    action.sa_sigaction = &onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous);
}

} // namespace

bool guard(void *start, std::size_t length, std::atomic<bool> *broken)
{
    std::call_once(g_installed, install);
    const std::lock_guard lock(g_tableLock);
    for (Range &r : g_ranges) {
        if (r.start.load() != 0)
            continue;
        r.broken.store(broken);
        r.length.store(length);
        r.start.store(reinterpret_cast<std::uintptr_t>(start));
        return true;
    }
    return false;
}

void unguard(void *start)
{
    const std::lock_guard lock(g_tableLock);
    for (Range &r : g_ranges) {
        if (r.start.load() == reinterpret_cast<std::uintptr_t>(start)) {
            r.start.store(0);
            r.length.store(0);
            r.broken.store(nullptr);
        }
    }
}

} // namespace auravox::BusErrorGuard
