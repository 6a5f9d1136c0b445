#pragma once

#include <QDateTime>
#include <QStringList>

namespace auravox {

// The log: a title line, then one line per entry (short date, long time,
// text), at most 2160 lines; the oldest entries go first, the title stays.
// The file "auravox.log" is a copy of it, rewritten after every entry.
class LogBook
{
public:
    static constexpr int kMaxLines = 2160;

    LogBook() : m_lines{QStringLiteral("Log ZORBEL"), QString()} {}

    const QStringList &lines() const { return m_lines; }
    // Replaces the lines by the file's; false (and nothing changed) when it can't be read.
    bool load(const QString &path);
    // Adds an entry and writes the whole log to `path`; a failure to write is
    // ignored (the entry stays in the list). Returns the line added.
    QString add(const QDateTime &now, const QString &text, const QString &path);

    static QString entryLine(const QDateTime &now, const QString &text);

private:
    QStringList m_lines;
};

} // namespace auravox
