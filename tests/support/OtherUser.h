#pragma once

// A second local user, for the tests that check that objects of another user
// are refused. Only root can make one and act as it: the tests skip otherwise.

#include "common/UniqueFd.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace auravox::test {

struct OtherUser
{
    uid_t uid = 0;
    gid_t gid = 0;
};

inline constexpr const char *kOtherUserName = "auravox-other";

// The other user, made with useradd the first time; nullopt, with the reason
// in *why, when that can't be done.
inline std::optional<OtherUser> otherUser(QString *why)
{
    if (::geteuid() != 0) {
        *why = QStringLiteral("needs root, to create a second user and act as it");
        return std::nullopt;
    }
    if (!::getpwnam(kOtherUserName)) {
        QProcess useradd;
        useradd.start(QStringLiteral("useradd"),
                      {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                       QStringLiteral("/usr/sbin/nologin"), QString::fromLatin1(kOtherUserName)});
        if (!useradd.waitForFinished(60000) || useradd.exitStatus() != QProcess::NormalExit
            || useradd.exitCode() != 0) {
            *why = QStringLiteral("useradd %1 failed: %2%3")
                       .arg(QString::fromLatin1(kOtherUserName), useradd.errorString(),
                            QString::fromLocal8Bit(useradd.readAllStandardError()));
            return std::nullopt;
        }
    }
    const passwd *pw = ::getpwnam(kOtherUserName);
    if (!pw || pw->pw_uid == ::geteuid()) {
        *why = QStringLiteral("no second user %1").arg(QString::fromLatin1(kOtherUserName));
        return std::nullopt;
    }
    return OtherUser{pw->pw_uid, pw->pw_gid};
}

// A child process that has become the other user, ran `setup` and stays
// (holding whatever it opened) until release() or the end of this object.
class AsOtherUser
{
public:
    AsOtherUser() = default;
    AsOtherUser(const AsOtherUser &) = delete;
    AsOtherUser &operator=(const AsOtherUser &) = delete;
    ~AsOtherUser() { release(); }

    // True when the child became the user and `setup` returned true. `setup`
    // runs in the forked child: it should make system calls only.
    bool start(const OtherUser &user, const std::function<bool()> &setup)
    {
        int readyPipe[2];
        int holdPipe[2];
        if (::pipe(readyPipe) != 0)
            return false;
        UniqueFd readyRead(readyPipe[0]), readyWrite(readyPipe[1]);
        if (::pipe(holdPipe) != 0)
            return false;
        UniqueFd holdRead(holdPipe[0]), holdWrite(holdPipe[1]);
        m_pid = ::fork();
        if (m_pid == 0) {
            readyRead.reset();
            holdWrite.reset();
            char ok = ::setgroups(0, nullptr) == 0 && ::setgid(user.gid) == 0 && ::setuid(user.uid) == 0
                      && setup();
            (void)!::write(readyWrite.get(), &ok, 1);
            char c;
            (void)!::read(holdRead.get(), &c, 1); // until the parent closes its end
            ::_exit(0);
        }
        readyWrite.reset();
        holdRead.reset();
        m_hold = std::move(holdWrite);
        char ok = 0;
        const bool answered = m_pid > 0 && ::read(readyRead.get(), &ok, 1) == 1;
        return answered && ok;
    }

    void release()
    {
        m_hold.reset();
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    UniqueFd m_hold;
};

} // namespace auravox::test
