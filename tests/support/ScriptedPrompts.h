#pragma once

#include "platform/UserPrompts.h"

#include <QStringList>

namespace auravox::test {

// Answers dialogs from a script and remembers what was asked.
class ScriptedPrompts final : public UserPrompts
{
public:
    void beep() override { ++beeps; }
    void message(const QString &text) override { messages << text; }
    QString openFileName(const QString &filter, const QString &defaultSuffix, const QString &) override
    {
        lastFilter = filter;
        lastSuffix = defaultSuffix;
        ++fileDialogs;
        return nextFileNames.isEmpty() ? QString() : nextFileNames.takeFirst();
    }

    QString existingFolder(const QString &) override
    {
        ++folderDialogs;
        return nextFolders.isEmpty() ? QString() : nextFolders.takeFirst();
    }

    bool openDocument(const QString &path) override
    {
        documents << path;
        return true;
    }

    bool openAddress(const QString &url) override
    {
        addresses << url;
        return true;
    }

    QStringList documents;
    QStringList addresses;
    int beeps = 0;
    int fileDialogs = 0;
    QStringList messages;
    QStringList nextFileNames; // answers of the next file dialogs; empty = cancel
    int folderDialogs = 0;
    QStringList nextFolders; // answers of the next folder dialogs; empty = cancel
    QString lastFilter;
    QString lastSuffix;
};

} // namespace auravox::test
