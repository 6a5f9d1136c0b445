#pragma once

#include <unistd.h>

namespace auravox {

// The one owner of a file descriptor: closes it when it goes, moves but never
// copies. -1 (or any negative value) means "no descriptor".
class UniqueFd
{
public:
    UniqueFd() noexcept = default;
    // Takes `fd` over; a negative value (a failed open) gives an empty owner.
    explicit UniqueFd(int fd) noexcept : m_fd(fd < 0 ? -1 : fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    // The descriptor, still owned here; -1 when there is none.
    int get() const noexcept { return m_fd; }
    bool isValid() const noexcept { return m_fd >= 0; }
    explicit operator bool() const noexcept { return isValid(); }

    // Gives the descriptor up without closing it; the owner is empty after.
    int release() noexcept
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes the descriptor held (if any) and takes `fd` over.
    void reset(int fd = -1) noexcept
    {
        const int old = m_fd;
        m_fd = fd < 0 ? -1 : fd;
        if (old >= 0 && old != m_fd)
            ::close(old);
    }
    // Closes now and says whether close() succeeded (errno tells why not):
    // a file written through the descriptor may report its last write error
    // only here. True when there was nothing to close.
    bool close() noexcept
    {
        const int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

} // namespace auravox
