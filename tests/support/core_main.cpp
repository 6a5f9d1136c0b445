#include <QCoreApplication>
#include <gtest/gtest.h>

// The logic's test program runs a QCoreApplication only: what it tests must
// work without a window, as on a station without a screen.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
