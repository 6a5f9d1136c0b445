// The descriptor owner: each descriptor is closed exactly once, by whoever
// holds it last, and never while someone still holds it.

#include "common/UniqueFd.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

using namespace auravox;

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

// Both ends of a new pipe; the test checks them right after each step, before
// any other open could reuse the numbers.
struct Pipe
{
    int read = -1;
    int write = -1;
    Pipe()
    {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        read = fds[0];
        write = fds[1];
    }
};

} // namespace

TEST(UniqueFd, ClosesOnceWhenTheLastOwnerGoes)
{
    Pipe p;
    {
        UniqueFd first(p.read);
        EXPECT_TRUE(first.isValid());
        UniqueFd second(std::move(first));
        EXPECT_FALSE(first.isValid());
        EXPECT_EQ(first.get(), -1);
        EXPECT_EQ(second.get(), p.read);
        {
            UniqueFd third;
            third = std::move(second);
            EXPECT_TRUE(isOpen(p.read)) << "a move must not close";
        }
        EXPECT_FALSE(isOpen(p.read)) << "the last owner closes";
    }
    ::close(p.write);
}

TEST(UniqueFd, ResetClosesTheOldDescriptorAndTakesTheNew)
{
    Pipe p;
    UniqueFd owner(p.read);
    owner.reset(p.write);
    EXPECT_FALSE(isOpen(p.read));
    EXPECT_TRUE(isOpen(p.write));
    owner.reset(p.write); // the same descriptor again: kept, not closed
    EXPECT_TRUE(isOpen(p.write));
    owner.reset();
    EXPECT_FALSE(isOpen(p.write));
    EXPECT_FALSE(owner);
}

TEST(UniqueFd, MovingOntoAnOwnerClosesWhatItHeld)
{
    Pipe p;
    UniqueFd a(p.read);
    UniqueFd b(p.write);
    a = std::move(b);
    EXPECT_FALSE(isOpen(p.read));
    EXPECT_EQ(a.get(), p.write);
    a = std::move(a); // onto itself: nothing changes
    EXPECT_TRUE(isOpen(p.write));
}

TEST(UniqueFd, ReleaseGivesTheDescriptorUpWithoutClosing)
{
    Pipe p;
    int released = -1;
    {
        UniqueFd owner(p.read);
        released = owner.release();
        EXPECT_FALSE(owner.isValid());
    }
    EXPECT_EQ(released, p.read);
    EXPECT_TRUE(isOpen(p.read));
    ::close(p.read);
    ::close(p.write);
}

TEST(UniqueFd, AFailedOpenGivesAnEmptyOwnerAndCloseReportsFailures)
{
    UniqueFd failed(::open("/nonexistent/auravox", O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.get(), -1);
    EXPECT_TRUE(failed.close()) << "nothing to close is no failure";

    Pipe p;
    UniqueFd owner(p.read);
    EXPECT_TRUE(owner.close());
    EXPECT_FALSE(isOpen(p.read));
    EXPECT_FALSE(owner.isValid());

    // A descriptor someone else already closed: close() says so.
    UniqueFd stale(p.write);
    ::close(p.write);
    EXPECT_FALSE(stale.close());
    EXPECT_EQ(errno, EBADF);
}
