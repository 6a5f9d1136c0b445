#include "internet/Favourites.h"

#include "common/ConfigRegistry.h"

#include <QStringList>

namespace auravox {

Favourites::Favourites(const QString &keyPrefix, QObject *parent) : QObject(parent), m_prefix(keyPrefix)
{}

QString Favourites::entry(int n) const
{
    return n >= 1 && n <= kCount ? m_entries[static_cast<size_t>(n - 1)] : QString();
}

void Favourites::setEntry(int n, const QString &text)
{
    if (n < 1 || n > kCount || m_entries[static_cast<size_t>(n - 1)] == text)
        return;
    m_entries[static_cast<size_t>(n - 1)] = text;
    emit entryChanged(n, text);
}

void Favourites::declareConfig(ConfigRegistry &registry, int section, int position)
{
    ConfigKey k;
    k.section = section;
    k.position = position;
    k.key = m_prefix;
    k.family = true;
    k.save = [this] {
        QStringList lines;
        for (int n = 1; n <= kCount; ++n) {
            if (!entry(n).isEmpty())
                lines << m_prefix + QString::number(n) + QLatin1Char('=') + entry(n);
        }
        return lines;
    };
    k.load = [this](const QString &key, const QString &value) {
        // The number between the prefix and "=": 1 to 10, anything else ignored.
        const QString number = key.mid(m_prefix.size(), key.size() - m_prefix.size() - 1);
        int n = 0;
        if (ConfigRegistry::parseInt(number, &n))
            setEntry(n, value);
    };
    registry.add(k);
}

} // namespace auravox
