#include "engine/NumberSpeech.h"

#include <cmath>
#include <cstdlib>

namespace auravox::NumberSpeech {

namespace {
QString son(long long n) { return QStringLiteral("son") + QString::number(n); }

// 0..99 as one clip, 100 as son100, 101..199 as son100_and and the rest; larger
// values give a clip name that is not in the catalogue, so the player refuses it.
QStringList upTo199(int value, bool zeroIsNull)
{
    if (value == 0)
        return {zeroIsNull ? QStringLiteral("son_null") : son(0)};
    if (value > 100 && value < 200) {
        QStringList clips{QStringLiteral("son100_and")};
        clips << son(value - 100);
        return clips;
    }
    return {son(value)};
}
} // namespace

QStringList hour(int h)
{
    if (h == 0)
        return {son(12)};
    return {son(h > 12 ? h - 12 : h)};
}

QStringList minutes(int m)
{
    if (m == 0)
        return {};
    if (m >= 1 && m <= 9)
        return {QStringLiteral("sono") + QString::number(m)};
    return {son(m)};
}

QStringList dayOfMonth(int d)
{
    switch (d) {
    case 1: return {QStringLiteral("son_first")};
    case 2: return {QStringLiteral("son_second")};
    case 3: return {QStringLiteral("son_third")};
    default: return {son(d)};
    }
}

QStringList year(int y)
{
    if (y < 2001 || y > 2059)
        return {};
    return {QStringLiteral("son2000"), son(y - 2000)};
}

QStringList signedNumber(int value)
{
    QStringList clips;
    if (value < 0) {
        clips << QStringLiteral("son_minus");
        value = -value;
    }
    clips << upTo199(value, false);
    return clips;
}

QStringList withZeroWord(int value, bool *unitFollows)
{
    if (unitFollows)
        *unitFollows = value != 0;
    return upTo199(value, true);
}

QStringList millibars(int value)
{
    if (value == 1000)
        return {QStringLiteral("son1000")};
    QStringList clips;
    const int rest = value < 1000 ? value - 900 : value - 1000;
    clips << (value < 1000 ? QStringLiteral("son900_and") : QStringLiteral("son1000_and"));
    if (rest >= 1 && rest <= 99)
        clips << son(rest);
    return clips;
}

QStringList decimal(double value)
{
    const double whole = std::trunc(value);
    QStringList clips{son(static_cast<long long>(whole))};
    // A hair of tolerance, so that 29.92 stored as 29.91999... still counts.
    if (value - whole >= 0.01 - 1e-9) {
        const QString text = QString::number(value, 'f', 2);
        const qsizetype dot = text.indexOf(QLatin1Char('.'));
        if (dot >= 0 && dot + 2 < text.size()) {
            clips << QStringLiteral("son_point") << son(text.at(dot + 1).digitValue())
                  << son(text.at(dot + 2).digitValue());
        }
    }
    return clips;
}

QStringList percent(int value)
{
    if (value == 0)
        return {QStringLiteral("son_null")};
    return {son(value), QStringLiteral("son_percent")};
}

} // namespace auravox::NumberSpeech
