#pragma once

#include "links/SiblingProtocol.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

namespace auravox {

// The three shared objects of the sibling link, as any program on the link
// (this one, Zorbel, tools/sibling_peer) opens them:
//   memory  POSIX shared memory of 65536 bytes, one message (SiblingProtocol.h);
//   mutex   POSIX named semaphore, initial value 1, keeps writers apart;
//   event   POSIX shared memory of 4 bytes holding a 32-bit pulse counter.
// A pulse increments the counter and wakes every thread waiting on it, in
// every process (a shared futex). A waiter sleeps while the counter still holds
// the value it last saw, so a pulse that comes while it is not asleep is not
// lost: it wakes at once, and finds the latest message in the buffer.
//
// Whichever program opens the objects first creates them. They are never
// removed by the program: the other side may still use them, and a program that
// came later would otherwise create a second, separate set.
class SiblingChannel
{
public:
    explicit SiblingChannel(Sibling::Names names = Sibling::Names::fromEnvironment());
    ~SiblingChannel();
    SiblingChannel(const SiblingChannel &) = delete;
    SiblingChannel &operator=(const SiblingChannel &) = delete;

    // Creates or opens the memory, then the mutex, then the event. Empty on
    // success; otherwise the object's name and the system's error, and nothing
    // stays open.
    QString open();
    void close();
    bool isOpen() const { return m_buffer != nullptr; }
    const Sibling::Names &names() const { return m_names; }

    // Writes one message and pulses the event, holding the mutex (waited for at
    // most 3000 ms; the message is written anyway). `message` is N and the
    // text, as Sibling::encodeMessage builds it; a longer one is refused.
    // Returns the counter value the pulse left, nullopt when nothing was sent.
    std::optional<std::uint32_t> send(const QByteArray &message);
    std::optional<std::uint32_t> sendText(const QString &text);

    // The pulse counter now (0 when closed).
    std::uint32_t pulseCount() const;
    // Sleeps while the counter equals `seen`; returns the new value, or nullopt
    // when `timeout` (if given) ran out or the channel is closed.
    std::optional<std::uint32_t> waitPulse(std::uint32_t seen,
                                           std::optional<std::chrono::milliseconds> timeout = {}) const;
    // A copy of the whole buffer taken under the mutex (at most 3000 ms, copied
    // anyway), and in *counter the pulse count at that moment: every pulse up
    // to it is covered by this copy. Empty when closed.
    QByteArray copyBuffer(std::uint32_t *counter = nullptr);

    // Removes the named objects from the system. For tests and the peer tool,
    // which use private names; the program itself never calls it.
    static void removeObjects(const Sibling::Names &names);

private:
    bool lockMutex();
    void unlockMutex();

    Sibling::Names m_names;
    unsigned char *m_buffer = nullptr;
    std::uint32_t *m_counter = nullptr;
    void *m_mutex = nullptr; // sem_t*
};

// The link as this program runs it: connect, disconnect, renew, send, and the
// listener thread (TListener) that copies every message, answers
// "ZORBEL_HELLO" itself and hands the rest to the main thread.
//
// Signals are emitted on the thread this object lives in (the main thread), in
// the order the listener received the messages.
class SiblingLink : public QObject
{
    Q_OBJECT
public:
    explicit SiblingLink(Sibling::Names names = Sibling::Names::fromEnvironment(), QObject *parent = nullptr);
    ~SiblingLink() override;

    // Read on the listener thread when a hello is answered: must be safe to
    // call from there (the announcement's atomic busy flag). Unset: not busy.
    void setBusyProbe(std::function<bool()> busy);
    void setHelloReplyDelay(std::chrono::milliseconds delay) { m_helloDelay = delay; }

    // ConnectSiblingLink: open the objects, start the listener, send the
    // arrival message. Empty on success, the system's error otherwise (the
    // link then stays closed). Does nothing while connected.
    QString connectLink();
    // DisconnectSiblingLink: stop the listener, send the departure message
    // (which wakes the listener so it can end), close the objects.
    void disconnectLink();
    // RenewSiblingLink: disconnect, then connect; true when connected again.
    bool renew();
    // SendToSibling from the main thread; false when the link is not open or
    // the text does not fit the buffer.
    bool send(const QString &text);

    bool isConnected() const { return m_channel.isOpen(); }
    bool isListening() const { return m_listening.load(); }
    // Connected, but the listener has ended after "ZORBEL_OCCUPIED".
    bool isDeaf() const { return isConnected() && !isListening(); }
    const Sibling::Names &names() const { return m_channel.names(); }
    // The message in the buffer now, nullopt when there is none (or no link).
    std::optional<QString> currentMessage();

signals:
    // Every message the listener copied, its own included (the echo).
    void messageArrived(const QString &text);
    // "ZORBEL_PLAY": start an announcement as Button1 does.
    void playRequested();
    // A buffer whose length is outside 0..65532; nothing else happens.
    void messageIgnored(qint64 length);
    // A reply could not be sent from the listener thread.
    void sendFailed();
    // The listener answered "ZORBEL_OCCUPIED" and has ended.
    void wentDeaf();

private:
    void listen(std::uint32_t seen);
    void post(std::function<void()> call);

    SiblingChannel m_channel;
    std::function<bool()> m_busy;
    std::chrono::milliseconds m_helloDelay{Sibling::kHelloReplyDelayMs};
    std::thread m_listener;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_listening{false};
};

// What the main window needs of the sibling link, put together: it owns the
// link and turns its signals into the main window's actions.
struct SiblingCallbacks
{
    // AnnounceBusy. Called on the listener thread.
    std::function<bool()> busy;
    // ZORBEL_PLAY, on the main thread: set SiblingRequest, then Button1Click.
    std::function<void()> startAnnouncement;
    // EditData: its text and a way to set it, on the main thread. Unset: no echo.
    std::function<QString()> statusText;
    std::function<void(const QString &)> showStatus;
};

class SiblingResponder : public QObject
{
    Q_OBJECT
public:
    explicit SiblingResponder(SiblingCallbacks callbacks,
                              Sibling::Names names = Sibling::Names::fromEnvironment(),
                              QObject *parent = nullptr);
    ~SiblingResponder() override;

    // At the main window's creation. Shows "AURAVOX connected" (unless EditData
    // shows an error); returns the system's error, to be shown, on failure.
    QString connectLink();
    // At the main window's close.
    void disconnectLink();
    // The end of an announcement the sibling did not ask for, and the watchdog
    // reset: disconnect and connect; failures are silent.
    void renew();
    // The end of an announcement the sibling asked for: "ZORBEL_DONE".
    void sendDone();
    // SendToSibling: "Err: MapViewOfFile" in EditData when it fails.
    bool send(const QString &text);

    SiblingLink &link() { return m_link; }

private:
    void echo(const QString &text);
    void showStatus(const QString &text);

    SiblingCallbacks m_callbacks;
    SiblingLink m_link;
};

} // namespace auravox
