// The sibling link of the whole program: another process asks for the message
// and is told when it is done.

#include "peers/SiblingProtocol.h"
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

TEST(SiblingProgram, PlayDuringAnAnnouncementLetsItPlayWholeAndAnswersDoneAtItsEnd)
{
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5, 30)), true, nullptr, QString(), true);
    const QString suffix = qEnvironmentVariable("AURAVOX_SIBLING_SUFFIX");
    ASSERT_FALSE(suffix.isEmpty());
    h.find<QCheckBox>("CheckBoxDate")->setChecked(false);
    h.wave().autoComplete = false;
    h.clickButton1();
    ASSERT_TRUE(h.form().player().isPlaying());
    const int stepWhilePlaying = h.form().announcer().step();

    // The request arrives while the first clip plays.
    Peer peer(suffix);
    peer.start({QStringLiteral("send"), Sibling::kPlay, QStringLiteral("--replies"), QStringLiteral("1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.form().announcer().siblingRequest(); }, kHangGuardMs));
    EXPECT_EQ(h.form().announcer().step(), stepWhilePlaying) << "the running step is not entered again";
    EXPECT_EQ(h.wave().sessions().size(), 1);

    h.wave().autoComplete = true;
    h.wave().completeNext();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_EQ(h.playedClips(), L({"SON_TIME_IS", "SON10", "SONO5", "SON_AM"}));
    EXPECT_EQ(peer.finish(), QStringList{Sibling::kDone}) << peer.errors().toStdString();
    EXPECT_FALSE(h.form().announcer().siblingRequest());
    EXPECT_FALSE(h.form().statusFieldText().startsWith(QStringLiteral("Err")))
        << h.form().statusFieldText().toStdString();
}

TEST(SiblingProgram, APeerThatShrinksTheBufferDoesNotStopTheAnnouncements)
{
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5, 30)), true, nullptr, QString(), true);
    const QString suffix = qEnvironmentVariable("AURAVOX_SIBLING_SUFFIX");
    ASSERT_FALSE(suffix.isEmpty());
    h.find<QCheckBox>("CheckBoxDate")->setChecked(false);
    const QStringList message = L({"SON_TIME_IS", "SON10", "SONO5", "SON_AM"});

    // The other program asks for the message, then shrinks the buffer while it
    // plays: its end ("ZORBEL_DONE") finds the buffer gone.
    h.wave().autoComplete = false;
    Peer player(suffix);
    player.start({QStringLiteral("send"), Sibling::kPlay, QStringLiteral("--until"), Sibling::kDone});
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.form().player().isPlaying(); }, kHangGuardMs));
    Peer shrink(suffix);
    shrink.start({QStringLiteral("truncate")});
    shrink.finish();
    ASSERT_EQ(shrink.exitCode(), 0) << shrink.errors().toStdString();
    h.wave().autoComplete = true;
    h.wave().completeNext();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_EQ(h.playedClips(), message);
    // "AURAVOX DONE", or already the echo of what came after it on the link.
    EXPECT_FALSE(h.form().statusFieldText().startsWith(QStringLiteral("Err")))
        << h.form().statusFieldText().toStdString();
    const QStringList heard = player.finish();
    EXPECT_EQ(player.exitCode(), 0) << player.errors().toStdString();
    ASSERT_FALSE(heard.isEmpty());
    EXPECT_EQ(heard.last(), Sibling::kDone);

    // Still announcing, and still on the link.
    EXPECT_EQ(h.announce(), message);
    Peer asker(suffix);
    asker.start({QStringLiteral("send"), Sibling::kHello, QStringLiteral("--until"), Sibling::kReady});
    EXPECT_EQ(asker.finish().value(0), Sibling::kReady) << asker.errors().toStdString();
}
