// The favourites of the Internet sources as the configuration and the page
// see them, without their windows.

#include "common/ConfigRegistry.h"
#include "internet/Favourites.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace auravox;

TEST(Favourites, LoadOnlyNumbersOneToTenAndSaveOnlyTheFilledOnesInOrder)
{
    Favourites metar(QStringLiteral("METAR_FAV"));
    Favourites aprs(QStringLiteral("APRS_FAV"));
    ConfigRegistry registry;
    metar.declareConfig(registry, ConfigSection::Metar, 230);
    aprs.declareConfig(registry, ConfigSection::Aprs, 230);
    QSignalSpy changed(&metar, &Favourites::entryChanged);

    registry.apply({QStringLiteral("METAR_FAV10=https://b/?icao=EGLL //London"),
                    QStringLiteral("METAR_FAV3=https://a/?icao=LFPG"), QStringLiteral("METAR_FAV11=https://c"),
                    QStringLiteral("METAR_FAV0=https://d"), QStringLiteral("METAR_FAVx=e"),
                    QStringLiteral("APRS_FAV1=C:/wx/WXNOW.TXT")});
    EXPECT_EQ(metar.entry(3), QStringLiteral("https://a/?icao=LFPG"));
    EXPECT_EQ(metar.entry(10), QStringLiteral("https://b/?icao=EGLL //London"));
    EXPECT_EQ(metar.entry(11), QString());
    EXPECT_EQ(metar.entry(1), QString()) << "APRS keys stay with APRS";
    EXPECT_EQ(aprs.entry(1), QStringLiteral("C:/wx/WXNOW.TXT"));
    EXPECT_EQ(changed.size(), 2);

    metar.setEntry(3, QString());
    metar.setEntry(5, QStringLiteral("https://x/?icao=KJFK"));
    metar.setEntry(5, QStringLiteral("https://x/?icao=KJFK"));
    EXPECT_EQ(changed.size(), 4) << "setting the same text again changes nothing";
    EXPECT_EQ(changed.last().at(0).toInt(), 5);

    EXPECT_EQ(registry.lines(QStringLiteral("[h]")),
              QStringList({QStringLiteral("[h]"), QStringLiteral("APRS_FAV1=C:/wx/WXNOW.TXT"),
                           QStringLiteral("METAR_FAV5=https://x/?icao=KJFK"),
                           QStringLiteral("METAR_FAV10=https://b/?icao=EGLL //London")}));
}
