#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

namespace auravox {

class UniqueFd;

// A file the program reads but does not own: a station's history file, a
// header or hello WAV, a WXNOW.TXT or METAR report, the configuration. It may
// be a named pipe (opening one for reading waits for a writer), a device, or
// sit on a network share that hangs. So:
// - only regular files are read; anything else is refused before it is opened
//   (a serial device would raise its lines on open), and opening is
//   non-blocking (O_NONBLOCK) against a file swapped for a pipe meanwhile;
// - on a file system that can wait on a server or another process (NFS, SMB,
//   FUSE...), every call that touches the file (stat, open, read) runs on a
//   helper thread and is waited for at most a bound; a call that takes longer
//   fails with TimedOut and is left to finish on its own (the helper thread is
//   replaced), so the caller's thread is never held longer than the bound.
//   After a timeout the file counts as failed: later reads fail at once. Local
//   files are read directly (a local disk does not hang, and a hand-off per
//   call costs more than the read). The file system is the one mounted at the
//   path as written (a symbolic link into a share is not followed).
class OutsideFile
{
public:
    enum class Status {
        Ok,
        Missing,    // no such file
        NotRegular, // a pipe, a device, a folder...
        Unreadable, // it exists but can't be opened or read
        TimedOut,   // the file system did not answer within the bound
    };

    // How long one call may hold the caller. A local disk answers in
    // microseconds; a share that takes this long is as good as gone.
    static constexpr int kBoundMs = 1500;
    // Whole-file reads stop here.
    static constexpr qint64 kMaxWholeBytes = 256LL * 1024 * 1024;

    OutsideFile() = default;
    ~OutsideFile();
    OutsideFile(const OutsideFile &) = delete;
    OutsideFile &operator=(const OutsideFile &) = delete;

    Status open(const QString &path, int boundMs = kBoundMs);
    bool isOpen() const { return m_fd != nullptr; }
    void close();
    // Size and modification time when the file was opened.
    qint64 size() const { return m_size; }
    QDateTime modified() const { return m_modified; }
    // Up to `length` bytes from `offset` (fewer at the end of the file); false
    // when the read fails or takes longer than the bound.
    bool readAt(qint64 offset, qint64 length, QByteArray *out);

    struct Contents
    {
        Status status = Status::Missing;
        QByteArray data;     // at most maxBytes
        QDateTime modified;  // local time
    };
    static Contents readWhole(const QString &path, qint64 maxBytes = kMaxWholeBytes, int boundMs = kBoundMs);

    // What is at `path`, without opening it (Ok: a regular file).
    static Status probe(const QString &path, int boundMs = kBoundMs);

    // Runs `job` on the helper thread and waits for it at most `boundMs`. False
    // when it took longer: it then runs on to its end on its own, so it must
    // own (or share) everything it touches. The next job gets a fresh thread.
    static bool runBounded(std::function<void()> job, int boundMs);

    // Whether `absolutePath` lies on a file system whose calls may wait on a
    // server or another process, by the mount table `mountInfo` (the text of
    // /proc/self/mountinfo). An unreadable table counts as "may".
    static bool mayHang(const QString &absolutePath, const QByteArray &mountInfo);
    static bool mayHang(const QString &path);

private:
    // Shared with a read still running on the helper thread, which keeps the
    // descriptor open until it ends.
    std::shared_ptr<UniqueFd> m_fd;
    qint64 m_size = 0;
    QDateTime m_modified;
    int m_boundMs = kBoundMs;
    bool m_bounded = true;
};

} // namespace auravox
