#pragma once

#include "common/UniqueFd.h"
#include "peers/SiblingProtocol.h"

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
//   mutex   POSIX shared memory holding a process-shared robust pthread mutex
//           that keeps writers apart (the layout is in SiblingLink.cpp);
//   event   POSIX shared memory of 4 bytes holding a 32-bit pulse counter.
// A pulse increments the counter and wakes every thread waiting on it, in
// every process (a shared futex). A waiter sleeps while the counter still holds
// the value it last saw, so a pulse that comes while it is not asleep is not
// lost: it wakes at once, and finds the latest message in the buffer.
//
// Whichever program opens the objects first creates them (exclusively, mode
// 0600) and initialises the mutex; a program that opens an object someone else
// created waits until its mutex is initialised. Objects are only used when they
// belong to this program's user and give no access to anyone else: fixed names
// in a world-writable folder must not let another user join (or block) the
// link. They are never removed by the program: the other side may still use
// them, and a program that came later would otherwise create a second,
// separate set.
//
// A holder of the mutex that dies does not hold up the link: the next locker
// takes the mutex over at once (EOWNERDEAD) and marks it consistent.
//
// Another program can shrink an object under us. Every use checks the sizes
// first, and a shrink that slips in between the check and the access is caught
// by BusErrorGuard; either way the channel reports itself broken, and its owner
// closes and opens it again.
class SiblingChannel
{
public:
    // How each attempt to take the writers' mutex ended.
    struct LockCounts
    {
        int taken = 0;     // at once or after a wait
        int recovered = 0; // its holder had died: taken over and marked consistent
        int timedOut = 0;  // not obtained within 3000 ms
        int failed = 0;    // any other error
    };

    explicit SiblingChannel(Sibling::Names names = Sibling::Names::fromEnvironment());
    ~SiblingChannel();
    SiblingChannel(const SiblingChannel &) = delete;
    SiblingChannel &operator=(const SiblingChannel &) = delete;

    // Creates or opens the memory, then the mutex, then the event. Empty on
    // success; otherwise the object's name and the reason, and nothing stays
    // open. refused() tells an object that is not ours from other failures.
    QString open();
    void close();
    bool isOpen() const { return m_buffer != nullptr; }
    const Sibling::Names &names() const { return m_names; }
    // The last open() found an object of another user, or one that others
    // may use, and refused it.
    bool refused() const { return m_refused; }
    // An object has shrunk since it was opened: nothing more is sent or read
    // until the channel is closed and opened again.
    bool broken() const { return m_broken.load(); }

    // Writes one message and pulses the event, holding the mutex (waited for at
    // most 3000 ms; the message is written anyway). `message` is N and the
    // text, as Sibling::encodeMessage builds it; a longer one is refused.
    // Returns the counter value the pulse left, nullopt when nothing was sent
    // (closed, too long, or broken).
    std::optional<std::uint32_t> send(const QByteArray &message);
    std::optional<std::uint32_t> sendText(const QString &text);
    // Wakes every thread waiting on the event without a pulse (the counter
    // stays); a shrunk event object is given its size back first. False when
    // that fails. A waiter with an interrupt flag set then gives up its wait.
    bool wakeWaiters();

    // The pulse counter now (0 when closed).
    std::uint32_t pulseCount() const;
    // Sleeps while the counter equals `seen`; returns the new value, or nullopt
    // when `timeout` (if given) ran out, `*interrupt` is found set after a
    // wake, the channel is closed or it broke.
    std::optional<std::uint32_t> waitPulse(std::uint32_t seen,
                                           std::optional<std::chrono::milliseconds> timeout = {},
                                           const std::atomic<bool> *interrupt = nullptr) const;
    // A copy of the whole buffer taken under the mutex (at most 3000 ms, copied
    // anyway), and in *counter the pulse count at that moment: every pulse up
    // to it is covered by this copy. Empty when closed or broken.
    QByteArray copyBuffer(std::uint32_t *counter = nullptr);

    // The writers' mutex, waited for at most 3000 ms; true when obtained
    // (also when taken over from a holder that died). The peer tool uses these
    // to hold the mutex on purpose.
    bool lockMutex();
    void unlockMutex();
    LockCounts lockCounts() const;

    // Removes the named objects from the system. For tests and the peer tool,
    // which use private names; the program itself never calls it.
    static void removeObjects(const Sibling::Names &names);

private:
    // All three objects still have their full size; marks the channel broken
    // otherwise.
    bool intact() const;
    bool objectWhole(int fd, std::size_t size) const;

    Sibling::Names m_names;
    unsigned char *m_buffer = nullptr;
    std::uint32_t *m_counter = nullptr;
    void *m_mutex = nullptr; // the shared mutex object (SiblingLink.cpp)
    UniqueFd m_memoryFd;
    UniqueFd m_mutexFd;
    UniqueFd m_eventFd;
    bool m_refused = false;
    mutable std::atomic<bool> m_broken{false};
    std::atomic<int> m_taken{0};
    std::atomic<int> m_recovered{0};
    std::atomic<int> m_timedOut{0};
    std::atomic<int> m_failed{0};
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
    // the text does not fit the buffer. A broken channel (an object shrunk by
    // another program) is renewed first.
    bool send(const QString &text);
    // The last connect refused an object that is not ours.
    bool refused() const { return m_channel.refused(); }
    // Why the last connect failed (empty after a success).
    const QString &lastError() const { return m_lastError; }
    // The channel itself, for its lock counts.
    const SiblingChannel &channel() const { return m_channel; }

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
    // An object shrank under the link; it has been connected again (`renewed`)
    // or is closed now.
    void linkRepaired(bool renewed);

private:
    void listen(std::uint32_t seen);
    // On the main thread: a broken channel is disconnected and connected again.
    void repair();
    void post(std::function<void()> call);

    SiblingChannel m_channel;
    std::function<bool()> m_busy;
    std::chrono::milliseconds m_helloDelay{Sibling::kHelloReplyDelayMs};
    std::thread m_listener;
    std::atomic<bool> m_stop{false};
    // The stop request could not be signalled with a message (a broken
    // channel): the listener ends when it is woken without one.
    std::atomic<bool> m_stopUnheard{false};
    std::atomic<bool> m_listening{false};
    QString m_lastError;
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
