#include <QCoreApplication>
#include <gtest/gtest.h>

// The logic on its own: a QCoreApplication, no QApplication, no platform plugin.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
