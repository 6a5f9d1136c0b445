// How numbers become clips.

#include "common/Rounding.h"
#include "engine/NumberSpeech.h"

#include "support/Lists.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace auravox;
namespace NS = auravox::NumberSpeech;

TEST(NumberSpeech, TwelveHourClock)
{
    EXPECT_EQ(NS::hour(0), L({"son12"}));
    EXPECT_EQ(NS::hour(1), L({"son1"}));
    EXPECT_EQ(NS::hour(12), L({"son12"}));
    EXPECT_EQ(NS::hour(13), L({"son1"}));
    EXPECT_EQ(NS::hour(23), L({"son11"}));
}

TEST(NumberSpeech, MinutesDaysAndYears)
{
    EXPECT_TRUE(NS::minutes(0).isEmpty());
    EXPECT_EQ(NS::minutes(5), L({"sono5"}));
    EXPECT_EQ(NS::minutes(9), L({"sono9"}));
    EXPECT_EQ(NS::minutes(10), L({"son10"}));
    EXPECT_EQ(NS::minutes(59), L({"son59"}));
    EXPECT_EQ(NS::dayOfMonth(1), L({"son_first"}));
    EXPECT_EQ(NS::dayOfMonth(2), L({"son_second"}));
    EXPECT_EQ(NS::dayOfMonth(3), L({"son_third"}));
    EXPECT_EQ(NS::dayOfMonth(4), L({"son4"}));
    EXPECT_EQ(NS::dayOfMonth(31), L({"son31"}));
    EXPECT_TRUE(NS::year(2000).isEmpty());
    EXPECT_EQ(NS::year(2001), L({"son2000", "son1"}));
    EXPECT_EQ(NS::year(2026), L({"son2000", "son26"}));
    EXPECT_EQ(NS::year(2059), L({"son2000", "son59"}));
    EXPECT_TRUE(NS::year(2060).isEmpty());
}

TEST(NumberSpeech, SignedTemperatures)
{
    EXPECT_EQ(NS::signedNumber(0), L({"son0"}));
    EXPECT_EQ(NS::signedNumber(-4), L({"son_minus", "son4"}));
    EXPECT_EQ(NS::signedNumber(99), L({"son99"}));
    EXPECT_EQ(NS::signedNumber(100), L({"son100"}));
    EXPECT_EQ(NS::signedNumber(104), L({"son100_and", "son4"}));
    EXPECT_EQ(NS::signedNumber(-120), L({"son_minus", "son100_and", "son20"}));
    // Rounding half to even before speaking: -3.5 is -4, 0.4 is 0, 2.5 is 2.
    EXPECT_EQ(NS::signedNumber(static_cast<int>(roundHalfEven(-3.5))), L({"son_minus", "son4"}));
    EXPECT_EQ(NS::signedNumber(static_cast<int>(roundHalfEven(0.4))), L({"son0"}));
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(32767.5), 32768);
}

TEST(NumberSpeech, ZeroWordLeavesOutTheUnit)
{
    bool unit = true;
    EXPECT_EQ(NS::withZeroWord(0, &unit), L({"son_null"}));
    EXPECT_FALSE(unit);
    EXPECT_EQ(NS::withZeroWord(12, &unit), L({"son12"}));
    EXPECT_TRUE(unit);
    EXPECT_EQ(NS::withZeroWord(100), L({"son100"}));
    EXPECT_EQ(NS::withZeroWord(150), L({"son100_and", "son50"}));
}

TEST(NumberSpeech, Millibars)
{
    EXPECT_EQ(NS::millibars(1000), L({"son1000"}));
    EXPECT_EQ(NS::millibars(1013), L({"son1000_and", "son13"}));
    EXPECT_EQ(NS::millibars(998), L({"son900_and", "son98"}));
    EXPECT_EQ(NS::millibars(900), L({"son900_and"})) << "a rest of 0 speaks no number";
    EXPECT_EQ(NS::millibars(1100), L({"son1000_and"})) << "a rest of 100 speaks no number";
}

TEST(NumberSpeech, DecimalsAndPercent)
{
    EXPECT_EQ(NS::decimal(29.92), L({"son29", "son_point", "son9", "son2"}));
    EXPECT_EQ(NS::decimal(30.00), L({"son30"}));
    EXPECT_EQ(NS::decimal(0.10), L({"son0", "son_point", "son1", "son0"}));
    EXPECT_EQ(NS::decimal(0.25), L({"son0", "son_point", "son2", "son5"}));
    EXPECT_EQ(NS::decimal(30.004), L({"son30"})) << "less than 0.01 over the whole part";
    EXPECT_EQ(NS::percent(0), L({"son_null"}));
    EXPECT_EQ(NS::percent(77), L({"son77", "son_percent"}));
}
