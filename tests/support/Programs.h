#pragma once

// The two programs a whole-program test runs: the desktop one (auravox) and
// the one without a window (auravoxd). A test that must give the same result
// with both is a value-parametrised test over kPrograms.

#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <string>

namespace auravox::test {

inline const char *const kPrograms[] = {AURAVOX_PROGRAM, AURAVOX_DAEMON};

// "auravox" or "auravoxd", as the program names itself on standard error.
inline QString programName(const char *path)
{
    return QFileInfo(QString::fromLocal8Bit(path)).fileName();
}

// "Desktop" and "Headless", the instances' names in the test list.
inline std::string programCase(const ::testing::TestParamInfo<const char *> &info)
{
    return programName(info.param) == QLatin1String("auravoxd") ? "Headless" : "Desktop";
}

} // namespace auravox::test

// Runs `suite` (a ::testing::TestWithParam<const char *>) against both programs.
#define AURAVOX_ON_BOTH_PROGRAMS(suite)                                                                                \
    INSTANTIATE_TEST_SUITE_P(Programs, suite, ::testing::ValuesIn(::auravox::test::kPrograms),                         \
                             ::auravox::test::programCase)
