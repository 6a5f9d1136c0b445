#include "common/TextFile.h"

#include "common/OutsideFile.h"
#include "common/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace auravox::TextFile {

namespace {
// 0x80..0x9F of Windows-1252; 0 where the code page has no character.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}
} // namespace

QString decodeCp1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
            out.append(QChar(kHigh[b - 0x80]));
        else
            out.append(QChar(b)); // Latin-1 elsewhere; unassigned bytes keep their value
    }
    return out;
}

QByteArray encodeCp1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u >= 0x80 && u <= 0x9F)) {
            out.append(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (size_t i = 0; i < kHigh.size(); ++i) {
            if (kHigh[i] == u) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.append(mapped);
    }
    return out;
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << current;
            current.clear();
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

QByteArray joinLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines) {
        out += encodeCp1252(line);
        out += "\r\n";
    }
    return out;
}

bool readLines(const QString &path, QStringList *lines)
{
    // Also files from outside (a report, a WXNOW.TXT): never a pipe, never a hang.
    const OutsideFile::Contents file = OutsideFile::readWhole(path);
    if (file.status != OutsideFile::Status::Ok)
        return false;
    *lines = splitLines(decodeCp1252(file.data));
    return true;
}

bool writeLinesAtomically(const QString &path, const QString &tempPath, const QStringList &lines,
                          unsigned permissions, QString *why)
{
    const QByteArray temp = QFile::encodeName(tempPath);
    const QByteArray target = QFile::encodeName(path);
    // The reason is taken from errno before the clean-up can change it.
    const auto refuse = [why](const char *step, const QString &file) {
        if (why)
            *why = QStringLiteral("can't %1 %2: %3").arg(QLatin1String(step), file,
                                                         QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    const auto fail = [&](const char *step, const QString &file) {
        refuse(step, file);
        ::unlink(temp.constData());
        return false;
    };
    ::unlink(temp.constData()); // a temporary file left by an interrupted save
    UniqueFd fd(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        return refuse("create", tempPath); // not unlinked: what holds the name is not ours
    if (!writeAll(fd.get(), joinLines(lines)) || ::fsync(fd.get()) != 0)
        return fail("write", tempPath);
    if (::fchmod(fd.get(), static_cast<mode_t>(permissions)) != 0)
        return fail("set the permissions of", tempPath);
    if (!fd.close())
        return fail("write", tempPath);
    if (::rename(temp.constData(), target.constData()) != 0)
        return fail("replace", path);
    // Make the rename itself durable.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    UniqueFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

} // namespace auravox::TextFile
