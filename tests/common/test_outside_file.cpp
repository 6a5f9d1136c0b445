// Files from outside: only regular files are read, nothing ever waits for a
// writer of a named pipe, and a call that hangs is given up after its bound.

#include "common/OutsideFile.h"
#include "common/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <sys/stat.h>

using namespace auravox;

namespace {

QString makeFifo(const QTemporaryDir &dir, const char *name)
{
    const QString path = dir.filePath(QLatin1String(name));
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

} // namespace

TEST(OutsideFile, ReadsARegularFileWholeAndInPieces)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.dat"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0123456789");
    f.close();

    const OutsideFile::Contents whole = OutsideFile::readWhole(path);
    EXPECT_EQ(whole.status, OutsideFile::Status::Ok);
    EXPECT_EQ(whole.data, QByteArray("0123456789"));
    EXPECT_TRUE(whole.modified.isValid());
    EXPECT_EQ(OutsideFile::readWhole(path, 4).data, QByteArray("0123")) << "no more than asked for";

    OutsideFile file;
    ASSERT_EQ(file.open(path), OutsideFile::Status::Ok);
    EXPECT_EQ(file.size(), 10);
    QByteArray bytes;
    ASSERT_TRUE(file.readAt(7, 10, &bytes));
    EXPECT_EQ(bytes, QByteArray("789")) << "fewer at the end";
    ASSERT_TRUE(file.readAt(12, 4, &bytes));
    EXPECT_TRUE(bytes.isEmpty());
    file.close();
    EXPECT_FALSE(file.readAt(0, 1, &bytes));
}

TEST(OutsideFile, RefusesWhatIsNoRegularFileWithoutWaitingForIt)
{
    QTemporaryDir dir;
    const QString fifo = makeFifo(dir, "wx.fifo"); // nobody ever writes to it
    EXPECT_EQ(OutsideFile::probe(fifo), OutsideFile::Status::NotRegular);
    OutsideFile file;
    EXPECT_EQ(file.open(fifo), OutsideFile::Status::NotRegular);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(OutsideFile::readWhole(fifo).status, OutsideFile::Status::NotRegular);
    EXPECT_EQ(OutsideFile::readWhole(dir.path()).status, OutsideFile::Status::NotRegular) << "a folder";
    EXPECT_EQ(OutsideFile::readWhole(QStringLiteral("/dev/null")).status, OutsideFile::Status::NotRegular);
    EXPECT_EQ(OutsideFile::readWhole(dir.filePath(QStringLiteral("gone.txt"))).status, OutsideFile::Status::Missing);
    EXPECT_EQ(OutsideFile::readWhole(QString()).status, OutsideFile::Status::Missing);

    QStringList lines{QStringLiteral("kept")};
    EXPECT_FALSE(TextFile::readLines(fifo, &lines)) << "a report file that is a pipe";
    EXPECT_EQ(lines, QStringList{QStringLiteral("kept")});
}

// A call that hangs (a share that does not answer) is given up after the
// bound; the next call gets a fresh helper and goes through; the one given up
// ends on its own once the file system answers.
TEST(OutsideFile, ACallThatHangsIsGivenUpAfterItsBound)
{
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable cv;
        bool open = false;
        std::atomic<bool> passed{false};
    };
    auto gate = std::make_shared<Gate>();
    const bool finished = OutsideFile::runBounded(
        [gate] {
            std::unique_lock lock(gate->mutex);
            gate->cv.wait(lock, [&] { return gate->open; });
            gate->passed = true;
        },
        50);
    EXPECT_FALSE(finished);
    EXPECT_FALSE(gate->passed);

    int answer = 0;
    EXPECT_TRUE(OutsideFile::runBounded([&answer] { answer = 42; }, 20000));
    EXPECT_EQ(answer, 42) << "the next call does not queue behind the hung one";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("WXNOW.TXT"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Dec 08 2026 1205\r\n");
    f.close();
    EXPECT_EQ(OutsideFile::readWhole(path).data, QByteArray("Dec 08 2026 1205\r\n"));

    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->cv.notify_all();
    EXPECT_TRUE(QTest::qWaitFor([&] { return gate->passed.load(); }, 20000));
}

// Which files are read through the bounded helper: those on a file system that
// waits on a server or another process, by the mount under the path.
TEST(OutsideFile, SharesAndFuseMountsMayHangLocalDisksDoNot)
{
    const QByteArray table = "22 1 0:21 / / rw,relatime - ext4 /dev/sda1 rw\n"
                             "30 22 0:40 / /mnt/share rw - nfs4 server:/export rw\n"
                             "31 22 0:41 / /mnt/share\\040two rw - cifs //server/x rw\n"
                             "32 30 0:42 / /mnt/share/local rw - tmpfs tmpfs rw\n"
                             "33 22 0:43 / /home/op/remote rw - fuse.sshfs op@host: rw\n";
    EXPECT_FALSE(OutsideFile::mayHang(QStringLiteral("/var/lib/history.dat"), table));
    EXPECT_TRUE(OutsideFile::mayHang(QStringLiteral("/mnt/share/history.dat"), table));
    EXPECT_TRUE(OutsideFile::mayHang(QStringLiteral("/mnt/share two/WXNOW.TXT"), table));
    EXPECT_FALSE(OutsideFile::mayHang(QStringLiteral("/mnt/share/local/x.wav"), table)) << "the nearest mount counts";
    EXPECT_FALSE(OutsideFile::mayHang(QStringLiteral("/mnt/shared/x.wav"), table)) << "whole folder names only";
    EXPECT_TRUE(OutsideFile::mayHang(QStringLiteral("/home/op/remote/../remote/2026-03.wlk"), table));
    EXPECT_TRUE(OutsideFile::mayHang(QStringLiteral("/any"), QByteArray())) << "no table: bounded";
}
