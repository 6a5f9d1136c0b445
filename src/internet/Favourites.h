#pragma once

#include <QObject>
#include <QString>

#include <array>

namespace auravox {

class ConfigRegistry;

// The ten favourite entries of an Internet source ("METAR_FAV1=" … "METAR_FAV10=",
// "APRS_FAV…"): each has the form of the source's entry (an address, or for
// APRS a file, with an optional " //" label). Opening one is the source
// window's business; this only keeps them.
class Favourites final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCount = 10;

    // `keyPrefix` is "METAR_FAV" or "APRS_FAV".
    explicit Favourites(const QString &keyPrefix, QObject *parent = nullptr);

    const QString &keyPrefix() const { return m_prefix; }
    // Favourite n (1..10); empty for none, and for a number outside.
    QString entry(int n) const;
    // Sets favourite n; a number outside 1..10 is ignored.
    void setEntry(int n, const QString &text);

    // One family of keys at `position` in `section`: only the non-empty
    // entries are written; on loading, a number outside 1..10 is ignored.
    void declareConfig(ConfigRegistry &registry, int section, int position);

signals:
    void entryChanged(int n, const QString &text);

private:
    QString m_prefix;
    std::array<QString, kCount> m_entries;
};

} // namespace auravox
