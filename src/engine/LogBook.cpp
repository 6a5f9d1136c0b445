#include "engine/LogBook.h"

#include "common/TextFile.h"

#include <QFile>
#include <QLocale>

namespace auravox {

bool LogBook::load(const QString &path)
{
    QStringList lines;
    if (!TextFile::readLines(path, &lines))
        return false;
    m_lines = lines;
    return true;
}

QString LogBook::entryLine(const QDateTime &now, const QString &text)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t')); // Qt's long format carries the time zone name
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + locale.toString(now.time(), timeFormat.trimmed()) + QLatin1Char(' ') + text;
}

QString LogBook::add(const QDateTime &now, const QString &text, const QString &path)
{
    const QString line = entryLine(now, text);
    m_lines << line;
    while (m_lines.size() > kMaxLines)
        m_lines.removeAt(1);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(TextFile::joinLines(m_lines));
    return line;
}

} // namespace auravox
