#pragma once

#include <QString>
#include <QStringList>

// How numbers are spoken with the clips SON0 ... SON100 and their companions.
// Every function returns clip names in the order they are spoken (lower case,
// as the catalogue is looked up without regard to case).
namespace auravox::NumberSpeech {

// 12-hour clock: 0 -> son12, 13..23 -> son1..son11.
QStringList hour(int hour);
// 0 -> nothing, 1..9 -> sono1..sono9, 10..59 -> son10..son59.
QStringList minutes(int minute);
// 1, 2, 3 -> son_first, son_second, son_third; 4..31 -> son4..son31.
QStringList dayOfMonth(int day);
// 2001..2059 -> son2000 and the rest; any other year -> nothing.
QStringList year(int year);
// Temperatures: son_minus for a negative value, then 0..99, son100, son100_and + rest.
QStringList signedNumber(int value);
// Speeds and millimetres of rain: 0 -> son_null. `unitFollows` is set false when
// the unit word after the number must be left out.
QStringList withZeroWord(int value, bool *unitFollows = nullptr);
// Millibars: son1000, son900_and + rest, son1000_and + rest (rest spoken when 1..99).
QStringList millibars(int value);
// Inches: whole part, then son_point and two digits when the fraction is 0.01 or more.
QStringList decimal(double value);
// Humidity: 0 -> son_null alone, else the number and son_percent.
QStringList percent(int value);

} // namespace auravox::NumberSpeech
