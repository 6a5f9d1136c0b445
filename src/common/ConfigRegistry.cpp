#include "common/ConfigRegistry.h"

#include <algorithm>

namespace auravox {

void ConfigRegistry::add(ConfigKey key)
{
    const auto after = std::upper_bound(m_keys.begin(), m_keys.end(), key, [](const ConfigKey &a, const ConfigKey &b) {
        return a.section != b.section ? a.section < b.section : a.position < b.position;
    });
    m_keys.insert(after, std::move(key));
}

void ConfigRegistry::apply(const QStringList &lines) const
{
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq + 1);
        const QString value = line.mid(eq + 1);
        const ConfigKey *match = nullptr;
        for (const ConfigKey &k : m_keys) {
            if (k.family ? key.startsWith(k.key) : key == k.key) {
                match = &k;
                if (!k.family)
                    break;
            }
        }
        if (match && match->load)
            match->load(key, value);
    }
}

QStringList ConfigRegistry::lines(const QString &header) const
{
    QStringList out{header};
    for (const ConfigKey &k : m_keys) {
        if (k.save)
            out << k.save();
    }
    return out;
}

bool ConfigRegistry::parseInt(const QString &value, int *out)
{
    bool ok = false;
    const int n = value.toInt(&ok, 10);
    if (!ok || value.isEmpty() || value.at(0).isSpace() || value.back().isSpace() || value.startsWith(QLatin1Char('+')))
        return false;
    *out = n;
    return true;
}

} // namespace auravox
