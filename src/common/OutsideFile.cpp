#include "common/OutsideFile.h"

#include "common/UniqueFd.h"

#include <QDir>
#include <QFile>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace auravox {

namespace {

// One helper thread runs the jobs in turn. A job that outlives its bound keeps
// that thread; the thread is then retired (it ends after that job) and the
// next job starts a new one.
class Helper
{
public:
    struct Task
    {
        std::function<void()> job;
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };

    static std::shared_ptr<Helper> start()
    {
        auto helper = std::make_shared<Helper>();
        std::thread([helper] { helper->run(); }).detach();
        return helper;
    }

    void push(const std::shared_ptr<Task> &task)
    {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(task);
        }
        m_cv.notify_one();
    }

    void retire()
    {
        {
            std::lock_guard lock(m_mutex);
            m_retired = true;
        }
        m_cv.notify_one();
    }

private:
    void run()
    {
        for (;;) {
            std::shared_ptr<Task> task;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [this] { return m_retired || !m_tasks.empty(); });
                if (m_tasks.empty())
                    return; // retired, nothing left
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task->job();
            task->job = nullptr; // what the job held is let go here, on this thread
            std::lock_guard lock(task->mutex);
            task->done = true;
            task->cv.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::shared_ptr<Task>> m_tasks;
    bool m_retired = false;
};

std::mutex g_helperMutex;
std::shared_ptr<Helper> &currentHelper()
{
    static auto *helper = new std::shared_ptr<Helper>(); // never destroyed: a job may still run at exit
    return *helper;
}

OutsideFile::Status statusOfErrno(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG ? OutsideFile::Status::Missing
                                                                        : OutsideFile::Status::Unreadable;
}

OutsideFile::Status probeNow(const QByteArray &name)
{
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return statusOfErrno(errno);
    return S_ISREG(st.st_mode) ? OutsideFile::Status::Ok : OutsideFile::Status::NotRegular;
}

QDateTime modifiedTime(const struct stat &st)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(st.st_mtim.tv_sec) * 1000
                                          + st.st_mtim.tv_nsec / 1000000);
}

struct Opened
{
    OutsideFile::Status status = OutsideFile::Status::Missing;
    std::shared_ptr<UniqueFd> fd;
    qint64 size = 0;
    QDateTime modified;
};

// Refused before it is opened when it is no regular file; opened without
// waiting, and checked again on the descriptor (the path may have changed).
void openNow(const QByteArray &name, Opened *result)
{
    result->status = probeNow(name);
    if (result->status != OutsideFile::Status::Ok)
        return;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result->status = statusOfErrno(errno);
        return;
    }
    auto holder = std::make_shared<UniqueFd>(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result->status = OutsideFile::Status::Unreadable;
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        result->status = OutsideFile::Status::NotRegular;
        return;
    }
    result->fd = std::move(holder);
    result->size = static_cast<qint64>(st.st_size);
    result->modified = modifiedTime(st);
}

bool readNow(int fd, qint64 offset, qint64 length, QByteArray *out)
{
    out->resize(static_cast<qsizetype>(length));
    qint64 got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, out->data() + got, static_cast<size_t>(length - got), offset + got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out->clear();
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    out->resize(static_cast<qsizetype>(got));
    return true;
}

// Runs `job` directly, or bounded when the file system may hang.
bool run(bool bounded, const std::function<void()> &job, int boundMs)
{
    if (!bounded) {
        job();
        return true;
    }
    return OutsideFile::runBounded(job, boundMs);
}

QByteArray unescapeMountField(const QByteArray &field)
{
    // Blanks and backslashes in mount points are written as octal escapes.
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int c = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(static_cast<char>(c));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

} // namespace

bool OutsideFile::mayHang(const QString &absolutePath, const QByteArray &mountInfo)
{
    if (mountInfo.isEmpty())
        return true;
    const QByteArray path = QFile::encodeName(QDir::cleanPath(absolutePath));
    qsizetype bestLength = -1;
    QByteArray bestType;
    for (const QByteArray &line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size())
            continue;
        const QByteArray mountPoint = unescapeMountField(fields[4]);
        const bool under = mountPoint == "/" || path == mountPoint || path.startsWith(mountPoint + '/');
        if (under && mountPoint.size() >= bestLength) {
            bestLength = mountPoint.size();
            bestType = fields[dash + 1];
        }
    }
    if (bestLength < 0)
        return true;
    static const QList<QByteArray> kRemote = {"nfs",  "nfs4", "cifs",  "smb3",      "smbfs", "ncpfs", "9p",
                                               "afs",  "ceph", "coda",  "glusterfs", "lustre", "gfs2", "ocfs2",
                                               "davfs", "sshfs", "virtiofs"};
    return bestType.startsWith("fuse") || kRemote.contains(bestType);
}

bool OutsideFile::mayHang(const QString &path)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    const QByteArray mountInfo = table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
    return mayHang(QDir::current().absoluteFilePath(path), mountInfo);
}

bool OutsideFile::runBounded(std::function<void()> job, int boundMs)
{
    auto task = std::make_shared<Helper::Task>();
    task->job = std::move(job);
    std::shared_ptr<Helper> helper;
    {
        std::lock_guard lock(g_helperMutex);
        std::shared_ptr<Helper> &current = currentHelper();
        if (!current)
            current = Helper::start();
        helper = current;
    }
    helper->push(task);
    std::unique_lock lock(task->mutex);
    if (task->cv.wait_for(lock, std::chrono::milliseconds(std::max(boundMs, 0)), [&] { return task->done; }))
        return true;
    lock.unlock();
    {
        std::lock_guard helperLock(g_helperMutex);
        std::shared_ptr<Helper> &current = currentHelper();
        if (current == helper)
            current.reset();
    }
    helper->retire();
    return false;
}

OutsideFile::~OutsideFile()
{
    close();
}

OutsideFile::Status OutsideFile::open(const QString &path, int boundMs)
{
    close();
    m_boundMs = boundMs;
    auto result = std::make_shared<Opened>();
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return Status::Missing;
    m_bounded = mayHang(path);
    if (!run(m_bounded, [result, name] { openNow(name, result.get()); }, boundMs))
        return Status::TimedOut;
    if (result->status == Status::Ok) {
        m_fd = std::move(result->fd);
        m_size = result->size;
        m_modified = result->modified;
    }
    return result->status;
}

void OutsideFile::close()
{
    m_fd.reset(); // a read still running elsewhere keeps the descriptor until it ends
    m_size = 0;
    m_modified = QDateTime();
}

bool OutsideFile::readAt(qint64 offset, qint64 length, QByteArray *out)
{
    out->clear();
    if (!m_fd || offset < 0 || length < 0)
        return false;
    struct Read
    {
        QByteArray data;
        bool ok = false;
    };
    auto read = std::make_shared<Read>();
    const std::shared_ptr<UniqueFd> fd = m_fd;
    if (!run(m_bounded, [read, fd, offset, length] { read->ok = readNow(fd->get(), offset, length, &read->data); },
             m_boundMs)) {
        close(); // a file that hangs once is not asked again in this reading
        return false;
    }
    if (!read->ok)
        return false;
    *out = std::move(read->data);
    return true;
}

OutsideFile::Contents OutsideFile::readWhole(const QString &path, qint64 maxBytes, int boundMs)
{
    Contents contents;
    OutsideFile file;
    contents.status = file.open(path, boundMs);
    if (contents.status != Status::Ok)
        return contents;
    contents.modified = file.modified();
    // Read to the end as it is now, which may be past the size seen at open.
    QByteArray chunk;
    const qint64 piece = 1024 * 1024;
    while (contents.data.size() < maxBytes) {
        const qint64 want = std::min(piece, maxBytes - contents.data.size());
        if (!file.readAt(contents.data.size(), want, &chunk)) {
            contents.status = file.isOpen() ? Status::Unreadable : Status::TimedOut;
            contents.data.clear();
            return contents;
        }
        contents.data += chunk;
        if (chunk.size() < want)
            break;
    }
    return contents;
}

OutsideFile::Status OutsideFile::probe(const QString &path, int boundMs)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return Status::Missing;
    auto status = std::make_shared<Status>(Status::Missing);
    if (!run(mayHang(path), [status, name] { *status = probeNow(name); }, boundMs))
        return Status::TimedOut;
    return *status;
}

} // namespace auravox
