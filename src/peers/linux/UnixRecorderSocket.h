#pragma once

#include "peers/RecorderControl.h"

namespace auravox {

// The recorder's window as a Unix stream socket: "the window exists" means the
// socket accepts a connection. Only a recorder of this program's user is
// spoken to: the socket file must be a socket that belongs to us (in /tmp
// anyone can make the file first), and the process listening behind it must
// run as us too. A Unix socket connects at once or not at all; a recorder
// whose queue is full counts as absent.
class UnixRecorderSocket final : public RecorderSocket
{
public:
    bool present(const QString &path, QString *refusal) override;
    std::optional<qint32> exchange(const QString &path, const QByteArray &message, int replyLimitMs,
                                   QString *refusal) override;
};

} // namespace auravox
