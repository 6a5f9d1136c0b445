#include "peers/RecorderControl.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "platform/UserPrompts.h"

#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

namespace auravox {

namespace Recorder {

QByteArray commandText(Command command)
{
    switch (command) {
    case Command::Record:
        return QByteArrayLiteral("Quillon record");
    case Command::Stop:
        return QByteArrayLiteral("Quillon stop");
    case Command::Close:
        return QByteArrayLiteral("Quillon close");
    case Command::None:
        break;
    }
    return {};
}

std::optional<QString> statusForReply(qint32 reply)
{
    switch (reply) {
    case 0:
        return kNoAnswer;
    case 1:
        return QStringLiteral("Tamboril record");
    case 2:
        return QStringLiteral("Tamboril stop");
    case 3:
        return QStringLiteral("Tamboril close");
    default:
        return std::nullopt;
    }
}

QString defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QLatin1Char('/') + kSocketName;
    return QStringLiteral("/tmp/") + kSocketName + QLatin1Char('.') + QString::number(::getuid());
}

} // namespace Recorder

RecorderControl::RecorderControl(Clock &clock, UserPrompts &prompts, RecorderSocket &socket, Hooks hooks)
    : m_clock(clock), m_prompts(prompts), m_socket(socket), m_hooks(std::move(hooks))
{
}

void RecorderControl::show(const QString &text)
{
    if (m_hooks.showStatus)
        m_hooks.showStatus(text);
}

bool RecorderControl::recording() const
{
    return !m_hooks.recording || m_hooks.recording();
}

bool RecorderControl::pause(int ms, quint64 generation)
{
    m_clock.waitPumping(ms);
    return m_generation == generation;
}

void RecorderControl::noteRefusal(const QString &refusal) const
{
    // Said once, not at each of the thirty looks of a start.
    if (refusal != m_lastRefusal && !refusal.isEmpty())
        qCWarning(lcLink).noquote() << "recorder refused:" << refusal;
    m_lastRefusal = refusal;
}

bool RecorderControl::recorderPresent() const
{
    QString refusal;
    const bool present = m_socket.present(m_socketPath(), &refusal);
    noteRefusal(refusal);
    return present;
}

std::optional<qint32> RecorderControl::SendRecorderCommand(Command command)
{
    m_command = command;
    QString refusal;
    const std::optional<qint32> reply =
        m_socket.exchange(m_socketPath(), Recorder::commandText(command) + '\0', qMax(0, m_replyLimitMs), &refusal);
    noteRefusal(refusal);
    if (!reply) {
        show(Recorder::kNotFound);
        return std::nullopt;
    }
    if (const std::optional<QString> text = Recorder::statusForReply(*reply))
        show(*text);
    return reply;
}

void RecorderControl::StartRecorder()
{
    const quint64 generation = ++m_generation;
    m_command = Command::None;
    m_wasRunning = false;
    if (!recording())
        return;

    const QString path = m_hooks.programPath ? m_hooks.programPath() : QString();
    const QFileInfo program(path);
    if (path.isEmpty() || !program.isFile()) {
        show(Recorder::kPathError);
        m_prompts.beep();
        return;
    }

    // The previous announcement started the recorder and is still waiting to
    // close it: this announcement carries on with it and closes it at its end.
    const bool takenOver = m_closePending;
    m_closePending = false;

    if (recorderPresent()) {
        m_wasRunning = !takenOver;
        if (pause(Recorder::kRunningPauseMs, generation))
            SendRecorderCommand(Command::Record);
        return;
    }

    if (!QProcess::startDetached(program.absoluteFilePath(), {}, program.absolutePath())) {
        // Nothing to wait for: the program could not be run at all.
        show(Recorder::kNotStarted);
        m_prompts.beep();
        return;
    }
    for (int look = 0; look < Recorder::kLooks; ++look) {
        if (!pause(Recorder::kLookPauseMs, generation))
            return;
        if (recorderPresent()) {
            SendRecorderCommand(Command::Record);
            return;
        }
    }
    show(Recorder::kNotStarted);
    m_prompts.beep();
}

void RecorderControl::StopRecorder()
{
    if (!recording() || m_command != Command::Record)
        return;
    SendRecorderCommand(Command::Stop);
    if (m_wasRunning)
        return; // the recorder stays open as the user had it

    m_closePending = true;
    m_clock.waitPumping(Recorder::kCloseDelayMs);
    if (!m_closePending)
        return; // a new announcement took the recorder over during the wait
    m_closePending = false;
    SendRecorderCommand(Command::Close);
}

} // namespace auravox
