#pragma once

#include "platform/UserPrompts.h"

class QWidget;

namespace auravox {

// Message boxes, file dialogs and the beep with Qt's own dialogs.
class QtUserPrompts final : public UserPrompts
{
public:
    explicit QtUserPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

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
};

} // namespace auravox
