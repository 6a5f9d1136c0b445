#pragma once

#include <QString>

namespace auravox {

// Message boxes, file dialogs and the beep. The program asks through this one
// interface so that tests answer in advance instead of running a modal loop.
class UserPrompts
{
public:
    virtual ~UserPrompts() = default;

    virtual void beep() = 0;
    // An information or error box with an OK button.
    virtual void message(const QString &text) = 0;
    // A file-open dialog. `filter` uses the "Description|pattern" form
    // ("Fichiers son *.wav|*.wav"); `defaultSuffix` is added to a name typed
    // without one. Returns the chosen path, or an empty string when cancelled.
    virtual QString openFileName(const QString &filter, const QString &defaultSuffix,
                                 const QString &startPath) = 0;
    // A folder choice dialog. Returns the chosen folder, or an empty string
    // when cancelled.
    virtual QString existingFolder(const QString &startPath) = 0;
    // Opens a document (the help page) with the desktop's viewer; false when
    // nothing could open it.
    virtual bool openDocument(const QString &path) = 0;
    // Opens a web address in the desktop's browser; false when nothing could.
    virtual bool openAddress(const QString &url) = 0;
};

} // namespace auravox
