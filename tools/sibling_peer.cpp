// A stand-in for the other program on the sibling link, for wiring another
// program to Auravox and for the tests:
//
//   sibling_peer send TEXT [--replies K]   send TEXT, then print the next K messages
//                  [--until WORD]          (or every message up to one that holds WORD)
//   sibling_peer listen [--count N]        print every message (N of them, or until killed)
//   sibling_peer flood N [--text TEXT]     send TEXT (ZORBEL_HELLO) N times, each after
//                                          the reply to the one before, and count the replies
//   sibling_peer hold                      take the writers' mutex, print "holding" and
//                                          keep it until killed (a program that dies holding it)
//   sibling_peer truncate [OBJECT]         shrink an object to 0 bytes: memory (default),
//                                          mutex or event (a misbehaving program)
//   sibling_peer remove                    remove the shared objects from the system
//
// Options:
//   --suffix S     use the objects' names followed by S (default $AURAVOX_SIBLING_SUFFIX)
//   --timeout MS   longest wait for each message (default 5000; listen: none)
//   --length N     send: write N as the length, whatever the text (a text shorter
//                  than a valid N is padded with blanks)
//   --stats        at the end, print how the writers' mutex was taken to stderr:
//                  "locks: taken T recovered R timed-out W failed F"
//
// Received messages go to stdout, one per line, as UTF-8; a line break or a
// backslash in a message is written as \n, \r or \\. A buffer whose length is
// outside 0..65532 prints as "(ignored: length N)". Notes go to stderr.
// Exit status: 0 when every awaited message came, 2 when one did not, 1 on
// wrong use or when the objects can't be opened.

#include "common/UniqueFd.h"
#include "peers/SiblingProtocol.h"
#include "peers/linux/SiblingLink.h"

#include <QtEndian>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace auravox;
using std::chrono::milliseconds;

namespace {

struct Options
{
    std::string command;
    std::vector<QString> args;
    std::optional<QString> suffix;
    std::optional<milliseconds> timeout;
    std::optional<qint64> length;
    long long replies = 0;
    long long count = -1;
    bool stats = false;
    std::optional<QString> until;
    QString text = Sibling::kHello;
};

int usage()
{
    std::fprintf(stderr,
                 "usage: sibling_peer [--suffix S] [--timeout MS] send TEXT [--length N] [--replies K | --until WORD]\n"
                 "       sibling_peer [--suffix S] [--timeout MS] listen [--count N]\n"
                 "       sibling_peer [--suffix S] [--timeout MS] flood N [--text TEXT]\n"
                 "       sibling_peer [--suffix S] hold\n"
                 "       sibling_peer [--suffix S] truncate [memory|mutex|event]\n"
                 "       sibling_peer [--suffix S] remove\n"
                 "       (any command: --stats)\n");
    return 1;
}

bool number(const char *s, long long *out)
{
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0')
        return false;
    *out = v;
    return true;
}

std::optional<Options> parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        long long v = 0;
        if (a == "--suffix" && hasValue) {
            o.suffix = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--timeout" && hasValue && number(argv[i + 1], &v) && v >= 0) {
            o.timeout = milliseconds(v);
            ++i;
        } else if (a == "--length" && hasValue && number(argv[i + 1], &v)) {
            o.length = v;
            ++i;
        } else if (a == "--replies" && hasValue && number(argv[i + 1], &v) && v >= 0) {
            o.replies = v;
            ++i;
        } else if (a == "--count" && hasValue && number(argv[i + 1], &v) && v >= 0) {
            o.count = v;
            ++i;
        } else if (a == "--until" && hasValue) {
            o.until = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--stats") {
            o.stats = true;
        } else if (a == "--text" && hasValue) {
            o.text = QString::fromLocal8Bit(argv[++i]);
        } else if (a.rfind("--", 0) == 0) {
            return std::nullopt;
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.args.push_back(QString::fromLocal8Bit(argv[i]));
        }
    }
    return o;
}

void printLine(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            shown += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            shown += QStringLiteral("\\r");
        else
            shown += c;
    }
    const QByteArray bytes = shown.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Opens the link again after another program shrank one of its objects.
bool reopen(SiblingChannel &channel)
{
    std::fprintf(stderr, "sibling_peer: a shared object was shrunk; opening the link again\n");
    channel.close();
    const QString error = channel.open();
    if (!error.isEmpty())
        std::fprintf(stderr, "sibling_peer: %s\n", error.toLocal8Bit().constData());
    return error.isEmpty();
}

// Waits for the next pulse after `*seen` and reads the buffer; nullopt on timeout.
std::optional<Sibling::Received> receive(SiblingChannel &channel, std::uint32_t *seen,
                                         std::optional<milliseconds> timeout)
{
    std::uint32_t copied = *seen;
    QByteArray copy;
    for (;;) {
        if (!channel.waitPulse(*seen, timeout)) {
            if (channel.broken() && reopen(channel))
                continue;
            return std::nullopt;
        }
        copy = channel.copyBuffer(&copied);
        if (!channel.broken())
            break;
        if (!reopen(channel))
            return std::nullopt;
    }
    if (copied - *seen > 1)
        std::fprintf(stderr, "sibling_peer: %u message(s) replaced before they could be read\n",
                     static_cast<unsigned>(copied - *seen - 1));
    *seen = copied;
    return Sibling::readBuffer(copy);
}

void printReceived(const Sibling::Received &r)
{
    if (r.status == Sibling::Received::Status::Text)
        printLine(r.text);
    else if (r.status == Sibling::Received::Status::BadLength)
        printLine(QStringLiteral("(ignored: length %1)").arg(r.length));
    else
        printLine(QStringLiteral("(ignored: no length)"));
}

// Prints up to `count` messages (-1: no end); false when one did not come in time.
bool printMessages(SiblingChannel &channel, std::uint32_t seen, long long count, std::optional<milliseconds> timeout)
{
    for (long long i = 0; count < 0 || i < count; ++i) {
        const std::optional<Sibling::Received> r = receive(channel, &seen, timeout);
        if (!r) {
            std::fprintf(stderr, "sibling_peer: no message after %lld of %lld\n", i, count);
            return false;
        }
        printReceived(*r);
    }
    return true;
}

QByteArray rawMessage(const QString &text, qint64 length)
{
    QByteArray bytes = Sibling::encodeMessage(text).value_or(QByteArray(Sibling::kHeaderSize, '\0'));
    qToLittleEndian<qint32>(static_cast<qint32>(length), bytes.data());
    const qint64 textSize = bytes.size() - Sibling::kHeaderSize;
    if (length >= 0 && length <= Sibling::kMaxTextLength && length > textSize)
        bytes.append(static_cast<qsizetype>(length - textSize), ' ');
    return bytes;
}

int sendCommand(SiblingChannel &channel, const Options &o)
{
    if (o.args.size() != 1)
        return usage();
    const QString &text = o.args.front();
    if (!o.length && !Sibling::encodeMessage(text)) {
        std::fprintf(stderr, "sibling_peer: the text is longer than %d bytes\n", Sibling::kMaxTextLength);
        return 1;
    }
    const QByteArray message = o.length ? rawMessage(text, *o.length) : *Sibling::encodeMessage(text);
    std::optional<std::uint32_t> seen = channel.send(message);
    if (!seen && channel.broken() && reopen(channel))
        seen = channel.send(message);
    if (!seen)
        return 1;
    const milliseconds timeout = o.timeout.value_or(milliseconds(5000));
    if (!o.until)
        return printMessages(channel, *seen, o.replies, timeout) ? 0 : 2;
    for (;;) {
        const std::optional<Sibling::Received> r = receive(channel, &*seen, timeout);
        if (!r) {
            std::fprintf(stderr, "sibling_peer: no message holding %s\n", o.until->toLocal8Bit().constData());
            return 2;
        }
        printReceived(*r);
        if (r->status == Sibling::Received::Status::Text && r->text.contains(*o.until))
            return 0;
    }
}

int listenCommand(SiblingChannel &channel, const Options &o)
{
    if (!o.args.empty())
        return usage();
    const std::uint32_t seen = channel.pulseCount();
    std::fprintf(stderr, "sibling_peer: listening on %s\n", channel.names().memory.toLocal8Bit().constData());
    std::fflush(stderr);
    return printMessages(channel, seen, o.count, o.timeout) ? 0 : 2;
}

int floodCommand(SiblingChannel &channel, const Options &o)
{
    long long n = 0;
    if (o.args.size() != 1 || !number(o.args.front().toLocal8Bit().constData(), &n) || n < 0)
        return usage();
    const milliseconds timeout = o.timeout.value_or(milliseconds(5000));
    long long ready = 0;
    long long occupied = 0;
    long long lost = 0;
    for (long long i = 0; i < n; ++i) {
        std::optional<std::uint32_t> seen = channel.sendText(o.text);
        if (!seen) {
            std::fprintf(stderr, "sibling_peer: the text does not fit the buffer\n");
            return 1;
        }
        // Messages that are not replies (an arrival, a departure) are passed over.
        bool replied = false;
        while (!replied) {
            const std::optional<Sibling::Received> r = receive(channel, &*seen, timeout);
            if (!r)
                break;
            if (r->status != Sibling::Received::Status::Text)
                continue;
            if (r->text.contains(Sibling::kReady)) {
                ++ready;
                replied = true;
            } else if (r->text.contains(Sibling::kOccupied)) {
                ++occupied;
                replied = true;
            }
        }
        if (!replied)
            ++lost;
    }
    printLine(QStringLiteral("sent %1 replies %2 ready %3 occupied %4 lost %5")
                  .arg(n)
                  .arg(ready + occupied)
                  .arg(ready)
                  .arg(occupied)
                  .arg(lost));
    return lost == 0 ? 0 : 2;
}

int holdCommand(SiblingChannel &channel, const Options &o)
{
    if (!o.args.empty())
        return usage();
    if (!channel.lockMutex()) {
        std::fprintf(stderr, "sibling_peer: the writers' mutex could not be taken\n");
        return 2;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

int truncateCommand(const Sibling::Names &names, const Options &o)
{
    const QString which = o.args.empty() ? QStringLiteral("memory") : o.args.front();
    QString name;
    if (which == QLatin1String("memory"))
        name = names.memory;
    else if (which == QLatin1String("mutex"))
        name = names.mutex;
    else if (which == QLatin1String("event"))
        name = names.event;
    if (name.isEmpty() || o.args.size() > 1)
        return usage();
    const UniqueFd fd(::shm_open(name.toLocal8Bit().constData(), O_RDWR, 0));
    if (!fd || ::ftruncate(fd.get(), 0) != 0) {
        std::perror("sibling_peer: truncate");
        return 1;
    }
    return 0;
}

void printStats(const SiblingChannel &channel)
{
    const SiblingChannel::LockCounts c = channel.lockCounts();
    std::fprintf(stderr, "locks: taken %d recovered %d timed-out %d failed %d\n", c.taken, c.recovered, c.timedOut,
                 c.failed);
}

} // namespace

int main(int argc, char **argv)
{
    const std::optional<Options> o = parse(argc, argv);
    if (!o || o->command.empty())
        return usage();
    const Sibling::Names names = o->suffix ? Sibling::Names::withSuffix(*o->suffix) : Sibling::Names::fromEnvironment();
    if (o->command == "remove") {
        SiblingChannel::removeObjects(names);
        return 0;
    }
    if (o->command == "truncate")
        return truncateCommand(names, *o);

    SiblingChannel channel(names);
    const QString error = channel.open();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "sibling_peer: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    int status = -1;
    if (o->command == "send")
        status = sendCommand(channel, *o);
    else if (o->command == "listen")
        status = listenCommand(channel, *o);
    else if (o->command == "flood")
        status = floodCommand(channel, *o);
    else if (o->command == "hold")
        status = holdCommand(channel, *o);
    else
        return usage();
    if (o->stats)
        printStats(channel);
    return status;
}
