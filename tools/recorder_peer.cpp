// A stand-in for the wave recorder Tamboril, for trying the recorder control
// by hand and for its tests. It listens on the recorder's socket, prints each
// command it receives (one line, as sent, without the zero byte) and answers
// with a little-endian int32.
//
//   recorder_peer [options]
//
//   --socket PATH        listen there (default: where Auravox looks,
//                        $XDG_RUNTIME_DIR/TFormQuillon.TAMBORIL)
//   --reply-record N     reply to "Quillon record" (default 1)
//   --reply-stop N       reply to "Quillon stop" (default 2)
//   --reply-close N      reply to "Quillon close" (default 3)
//   --reply-other N      reply to anything else (default 0)
//   --silent             read and print the commands, never answer
//   --exit-on-close      end after the reply to "Quillon close"
//   --log FILE           also append every printed line to FILE
//   --pid-file FILE      write the process id there once listening
//   --lifetime MS        end after MS milliseconds whatever happens
//
// Started with no arguments (as Auravox starts its recorder program), it takes
// its options from $AURAVOX_RECORDER_PEER_ARGS (separated by blanks).
//
// A connection closed before a zero byte is a look for the recorder and prints
// nothing, unless it carried text: that prints as "(no zero byte) TEXT".
// The socket appears only once it accepts connections (it is bound under a
// temporary name and renamed), and it is removed at the end. Notes go to stderr.
// Exit status: 0 after --exit-on-close or a signal, 3 when the lifetime ran
// out, 1 on wrong use, when the socket can't be made or another recorder
// already listens there.

#include "common/UniqueFd.h"
#include "peers/RecorderControl.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

struct Options
{
    std::string socket;
    std::map<std::string, std::int32_t> replies{
        {"Quillon record", 1}, {"Quillon stop", 2}, {"Quillon close", 3}};
    std::int32_t otherReply = 0;
    bool silent = false;
    bool exitOnClose = false;
    std::string log;
    std::string pidFile;
    long long lifetimeMs = -1;
};

int usage()
{
    std::fprintf(stderr, "usage: recorder_peer [--socket PATH] [--reply-record N] [--reply-stop N] [--reply-close N]\n"
                         "                     [--reply-other N] [--silent] [--exit-on-close] [--log FILE]\n"
                         "                     [--pid-file FILE] [--lifetime MS]\n");
    return 1;
}

bool number(const std::string &s, long long *out)
{
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || end == s.c_str() || *end != '\0')
        return false;
    *out = v;
    return true;
}

std::optional<Options> parse(const std::vector<std::string> &args)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        long long v = 0;
        auto reply = [&](const char *command) {
            if (!hasValue || !number(args[i + 1], &v) || v < INT32_MIN || v > INT32_MAX)
                return false;
            o.replies[command] = static_cast<std::int32_t>(v);
            ++i;
            return true;
        };
        if (a == "--socket" && hasValue) {
            o.socket = args[++i];
        } else if (a == "--reply-record") {
            if (!reply("Quillon record"))
                return std::nullopt;
        } else if (a == "--reply-stop") {
            if (!reply("Quillon stop"))
                return std::nullopt;
        } else if (a == "--reply-close") {
            if (!reply("Quillon close"))
                return std::nullopt;
        } else if (a == "--reply-other" && hasValue && number(args[i + 1], &v) && v >= INT32_MIN && v <= INT32_MAX) {
            o.otherReply = static_cast<std::int32_t>(v);
            ++i;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--exit-on-close") {
            o.exitOnClose = true;
        } else if (a == "--log" && hasValue) {
            o.log = args[++i];
        } else if (a == "--pid-file" && hasValue) {
            o.pidFile = args[++i];
        } else if (a == "--lifetime" && hasValue && number(args[i + 1], &v) && v >= 0) {
            o.lifetimeMs = v;
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return o;
}

long long monotonicMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

class Printer
{
public:
    explicit Printer(const std::string &log) : m_log(log) {}
    void line(const std::string &text) const
    {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        if (m_log.empty())
            return;
        if (std::FILE *f = std::fopen(m_log.c_str(), "a")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fputc('\n', f);
            std::fclose(f);
        }
    }

private:
    std::string m_log;
};

bool fillAddress(const std::string &path, sockaddr_un *address)
{
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address->sun_path))
        return false;
    std::memcpy(address->sun_path, path.data(), path.size());
    return true;
}

bool someoneListens(const std::string &path)
{
    sockaddr_un address;
    if (!fillAddress(path, &address))
        return false;
    const auravox::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd && ::connect(fd.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

// Binds under a temporary name, listens, then renames into place, so the path
// never exists without a listener behind it. Returns the socket, or none.
auravox::UniqueFd listenAt(const std::string &path, struct stat *made)
{
    if (someoneListens(path)) {
        std::fprintf(stderr, "recorder_peer: a recorder already listens on %s\n", path.c_str());
        return {};
    }
    ::unlink(path.c_str()); // a socket left behind by a recorder that ended badly
    const std::string temporary = path + "." + std::to_string(::getpid());
    sockaddr_un address;
    if (!fillAddress(temporary, &address)) {
        std::fprintf(stderr, "recorder_peer: socket path too long: %s\n", path.c_str());
        return {};
    }
    auravox::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return {};
    ::unlink(temporary.c_str());
    // Only its own user may connect (connecting takes write permission).
    if (::bind(fd.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::chmod(temporary.c_str(), 0600) != 0 || ::listen(fd.get(), 16) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0 || ::stat(path.c_str(), made) != 0) {
        std::fprintf(stderr, "recorder_peer: can't listen on %s: %s\n", path.c_str(), std::strerror(errno));
        ::unlink(temporary.c_str());
        return {};
    }
    return fd;
}

// Removes the socket file if it is still the one this peer made.
void removeSocket(const std::string &path, const struct stat &made)
{
    struct stat now;
    if (::stat(path.c_str(), &now) == 0 && now.st_dev == made.st_dev && now.st_ino == made.st_ino)
        ::unlink(path.c_str());
}

struct Client
{
    auravox::UniqueFd fd;
    std::string pending; // bytes after the last zero byte
};

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        if (const char *env = std::getenv("AURAVOX_RECORDER_PEER_ARGS")) {
            std::istringstream words(env);
            for (std::string w; words >> w;)
                args.push_back(w);
        }
    }
    std::optional<Options> parsed = parse(args);
    if (!parsed)
        return usage();
    Options &o = *parsed;
    if (o.socket.empty())
        o.socket = QFile::encodeName(auravox::Recorder::defaultSocketPath()).toStdString();

    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    struct stat made{};
    const auravox::UniqueFd listener = listenAt(o.socket, &made);
    if (!listener)
        return 1;
    if (!o.pidFile.empty()) {
        if (std::FILE *f = std::fopen(o.pidFile.c_str(), "w")) {
            std::fprintf(f, "%d\n", static_cast<int>(::getpid()));
            std::fclose(f);
        }
    }
    std::fprintf(stderr, "recorder_peer: listening on %s\n", o.socket.c_str());
    std::fflush(stderr);

    const Printer printer(o.log);
    const long long end = o.lifetimeMs >= 0 ? monotonicMs() + o.lifetimeMs : -1;
    std::vector<Client> clients;
    int status = 0;
    bool done = false;
    while (!done && !g_stop) {
        std::vector<pollfd> fds{{listener.get(), POLLIN, 0}};
        for (const Client &c : clients)
            fds.push_back({c.fd.get(), POLLIN, 0});
        int timeout = -1;
        if (end >= 0) {
            const long long left = end - monotonicMs();
            if (left <= 0) {
                std::fprintf(stderr, "recorder_peer: lifetime over\n");
                status = 3;
                break;
            }
            timeout = static_cast<int>(std::min<long long>(left, 60000));
        }
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;

        for (size_t i = 1; i < fds.size() && !done; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Client &c = clients[i - 1];
            char buffer[512];
            const ssize_t n = ::recv(c.fd.get(), buffer, sizeof buffer, 0);
            if (n <= 0) {
                if (!c.pending.empty())
                    printer.line("(no zero byte) " + c.pending);
                c.fd.reset();
                continue;
            }
            c.pending.append(buffer, static_cast<size_t>(n));
            for (size_t zero; !done && (zero = c.pending.find('\0')) != std::string::npos;) {
                const std::string command = c.pending.substr(0, zero);
                c.pending.erase(0, zero + 1);
                printer.line(command);
                if (o.silent)
                    continue;
                const auto known = o.replies.find(command);
                const std::int32_t reply = known != o.replies.end() ? known->second : o.otherReply;
                char bytes[4];
                qToLittleEndian<qint32>(reply, bytes);
                if (::send(c.fd.get(), bytes, sizeof bytes, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof bytes))
                    std::fprintf(stderr, "recorder_peer: reply not sent: %s\n", std::strerror(errno));
                if (command == "Quillon close" && o.exitOnClose)
                    done = true;
            }
        }
        std::erase_if(clients, [](const Client &c) { return !c.fd; });

        if (!done && (fds[0].revents & POLLIN)) {
            auravox::UniqueFd fd(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (fd)
                clients.push_back({std::move(fd), {}});
        }
    }

    removeSocket(o.socket, made);
    return status;
}
