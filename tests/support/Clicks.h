#pragma once

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

namespace auravox::test {

// A left click on a button, as the user makes it.
inline void click(QAbstractButton *b)
{
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
}

} // namespace auravox::test
