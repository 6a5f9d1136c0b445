#pragma once

// The sibling_peer tool run as the other program of the sibling link, for the
// two-process tests.

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace auravox::test {

// How long a test waits for the other process before it counts as hung.
constexpr int kHangGuardMs = 20000;

inline QString peerPath()
{
    const QString fromEnv = qEnvironmentVariable("AURAVOX_SIBLING_PEER");
    if (!fromEnv.isEmpty())
        return fromEnv;
    // Built beside the tests: <build>/tests/test_peers, <build>/tools/sibling_peer.
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/sibling_peer");
}

class Peer
{
public:
    explicit Peer(const QString &suffix) : m_suffix(suffix) {}

    void start(const QStringList &args)
    {
        m_process.start(peerPath(), QStringList{QStringLiteral("--suffix"), m_suffix} + args);
        ASSERT_TRUE(m_process.waitForStarted(kHangGuardMs)) << m_process.errorString().toStdString();
    }
    // For `listen`: returns once the peer is waiting.
    bool waitListening()
    {
        return QTest::qWaitFor(
            [this] {
                m_errors += QString::fromUtf8(m_process.readAllStandardError());
                return m_errors.contains(QStringLiteral("listening"));
            },
            kHangGuardMs);
    }
    // Returns once the peer has printed `text` on stdout (kept for finish()).
    bool waitOutput(const QString &text)
    {
        return QTest::qWaitFor(
            [this, &text] {
                m_output += m_process.readAllStandardOutput();
                return QString::fromUtf8(m_output).contains(text);
            },
            kHangGuardMs);
    }
    // Ends the peer at once (SIGKILL), as a crash would.
    void killNow()
    {
        m_process.kill();
        EXPECT_TRUE(m_process.waitForFinished(kHangGuardMs));
    }
    // Runs the event loop until the peer has ended; its stdout lines.
    QStringList finish(int timeoutMs = kHangGuardMs)
    {
        const bool ended = QTest::qWaitFor([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
        EXPECT_TRUE(ended) << "sibling_peer still running";
        if (!ended) {
            m_process.kill();
            m_process.waitForFinished(kHangGuardMs);
        }
        m_exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        m_output += m_process.readAllStandardOutput();
        QStringList lines = QString::fromUtf8(m_output).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    int exitCode() const { return m_exitCode; }
    QString errors() const { return m_errors; }

private:
    QString m_suffix;
    QProcess m_process;
    QString m_errors;
    QByteArray m_output;
    int m_exitCode = -1;
};

} // namespace auravox::test
