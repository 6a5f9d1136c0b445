#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs a QApplication (offscreen), so widgets, timers and
// queued calls work as they do in the program.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
