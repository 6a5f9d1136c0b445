// The sibling link of the whole program: another process asks for the message
// and is told when it is done.

#include "links/SiblingProtocol.h"
#include "support/Lists.h"
#include "support/MainWindowHarness.h"
#include "support/SiblingPeer.h"

#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

TEST(SiblingProgram, PlayFromTheOtherProgramSpeaksAndAnswersDone)
{
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5, 30)), true, nullptr, QString(), true);
    const QString suffix = qEnvironmentVariable("AURAVOX_SIBLING_SUFFIX");
    ASSERT_FALSE(suffix.isEmpty());
    h.find<QCheckBox>("CheckBoxDate")->setChecked(false);

    Peer peer(suffix);
    peer.start({QStringLiteral("send"), Sibling::kPlay, QStringLiteral("--replies"), QStringLiteral("1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.wave().sessions().isEmpty(); }, kHangGuardMs))
        << "the announcement did not start";
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_EQ(peer.finish(), QStringList{Sibling::kDone}) << peer.errors().toStdString();
    EXPECT_EQ(h.playedClips(), L({"SON_TIME_IS", "SON10", "SONO5", "SON_AM"}));
    EXPECT_FALSE(h.form().announcer().siblingRequest());
}
