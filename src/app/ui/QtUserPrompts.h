#pragma once

#include "platform/UserPrompts.h"

#include <functional>

class QWidget;

namespace auravox {

// Message boxes, file dialogs and the beep with Qt's own dialogs.
//
// Without a screen (the offscreen or minimal platform, a repeater box run as a
// service) nobody could close a modal box and everything behind it would wait
// for good: a message then goes to the status field (the sink) and the log
// instead, and a file dialog answers "cancelled".
class QtUserPrompts final : public UserPrompts
{
public:
    explicit QtUserPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    // Where a message goes when there is no screen (the main window's status field).
    void setStatusSink(std::function<void(const QString &)> sink) { m_statusSink = std::move(sink); }
    // The platform has no screen that a user could see.
    static bool noScreen();

    void beep() override;
    void message(const QString &text) override;
    QString openFileName(const QString &filter, const QString &defaultSuffix, const QString &startPath) override;
    QString existingFolder(const QString &startPath) override;
    bool openDocument(const QString &path) override;
    bool openAddress(const QString &url) override;

    // "Fichiers son *.wav|*.wav" -> "Fichiers son *.wav (*.wav)".
    static QString toQtFilter(const QString &filter);

private:
    QWidget *m_parent;
    std::function<void(const QString &)> m_statusSink;
};

} // namespace auravox
