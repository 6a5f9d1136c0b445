#pragma once

// What the tests of the transmitter port kinds share: a stand-in hidraw node,
// the main window on a chosen device factory, and the COM window's kind
// controls worked as a user works them.

#include "support/MainWindowHarness.h"

#include <QByteArray>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace auravox::test {

// A pseudo-terminal in raw mode standing in for /dev/hidrawN: the program
// opens the path, the test reads what it writes (the output reports) and
// writes what the fob would send (the input reports) on the other side.
class StandInHidraw
{
public:
    StandInHidraw()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_path = QString::fromLocal8Bit(::ptsname(m_master));
        termios t{};
        ::tcgetattr(m_master, &t);
        ::cfmakeraw(&t); // no line discipline: bytes go through as they are
        ::tcsetattr(m_master, TCSANOW, &t);
    }
    ~StandInHidraw()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    StandInHidraw(const StandInHidraw &) = delete;
    StandInHidraw &operator=(const StandInHidraw &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    const QString &path() const { return m_path; }

    // Everything written since the last call.
    QByteArray take()
    {
        QByteArray out;
        char buf[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, n);
        }
        m_all += out;
        return out;
    }
    // Every byte written while the test ran.
    QByteArray all()
    {
        take();
        return m_all;
    }
    // One input report: byte 0 holds the button bits.
    void sendButtons(quint8 bits)
    {
        const char report[4] = {static_cast<char>(bits), 0, 0, 0};
        EXPECT_EQ(::write(m_master, report, sizeof report), 4);
    }

private:
    int m_master = -1;
    QString m_path;
    QByteArray m_all;
};

// The output report a fob is sent: report ID, OR0, data, direction, OR3.
inline QByteArray report(quint8 data, quint8 direction)
{
    return QByteArray("\0\0", 2) + char(data) + char(direction) + QByteArray("\0", 1);
}

// The kind controls of the COM window, as a user works them.
class KindControls
{
public:
    explicit KindControls(MainWindowHarness &h) : m_h(h) { h.com().show(); }

    template <typename T> T *find(const char *name)
    {
        T *w = m_h.com().findChild<T *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void chooseKind(int index) { find<QComboBox>("ComboBoxPttKind")->setCurrentIndex(index); }
    // "Use these settings", then the device opens on the event loop.
    void use()
    {
        auto *button = find<QPushButton>("ButtonPttUse");
        QTest::mouseClick(button, Qt::LeftButton);
        m_h.pump();
    }
    QString outcome() { return find<QLabel>("LabelPttOutcome")->text(); }

private:
    MainWindowHarness &m_h;
};

} // namespace auravox::test
