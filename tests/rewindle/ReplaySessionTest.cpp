// The replay's states, buttons, messages and send tick against a scripted server: chunk sizes and
// tick counts from the speed table, and no byte lost or repeated within a client's stream whatever
// the socket takes, wherever the client goes.

#include "rewindle/ReplaySession.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

using rewindle::ReplayControls;
using rewindle::ReplaySession;
using rewindle::ReplayState;
using rewindle::TickOutcome;
using rewindle_test::MessageLog;
using rewindle_test::PatternBytes;
using rewindle_test::ScriptedLink;
using rewindle_test::Slice;
using rewindle_test::TempFolder;
using Texts = std::vector<std::string>;

class ReplaySessionTest : public ::testing::Test {
  protected:
    // A session with `size` bytes of file opened, a client connected, sending.
    void StartWith(std::size_t size, int level = rewindle::kInitialLevel) {
        file_ = PatternBytes(size);
        ASSERT_TRUE(
            session_.OpenFile(rewindle_test::WriteFile(folder_.Path() / "survey.mbm", file_).string()));
        session_.SetLevel(level);
        link_.Connect();
        session_.StartOrPause();
        ASSERT_EQ(session_.State(), ReplayState::Sending);
    }
    // Ticks until the replay completes (or `limit` ticks); the outcomes in order.
    std::vector<TickOutcome> RunToEnd(int limit = 100000) {
        std::vector<TickOutcome> outcomes;
        while (limit-- > 0) {
            outcomes.push_back(session_.SendTick());
            if (outcomes.back() == TickOutcome::Completed || outcomes.back() == TickOutcome::ReadFailed)
                break;
        }
        return outcomes;
    }

    MessageLog messages_;
    TempFolder folder_;
    ScriptedLink link_;
    ReplaySession session_{link_};
    std::vector<std::uint8_t> file_;
};

TEST(ReplayControls, FollowStateAndLevel) {
    struct Case {
        ReplayState state;
        int level;
        ReplayControls expected;
    };
    const Case cases[] = {
        {ReplayState::Stopped, 3, {false, false, false, false}},
        {ReplayState::Stopped, 0, {false, false, false, false}},
        {ReplayState::Sending, 3, {true, true, true, true}},
        {ReplayState::Sending, 0, {true, true, false, true}},
        {ReplayState::Sending, 8, {true, false, true, true}},
        {ReplayState::Paused, 8, {false, false, true, true}},
        {ReplayState::Paused, 0, {false, true, false, true}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rewindle::ControlsFor(c.state, c.level), c.expected)
            << "state " << static_cast<int>(c.state) << " level " << c.level;
    }
}

TEST_F(ReplaySessionTest, StartIsRefusedWithoutAClientThenWithoutAFile) {
    session_.StartOrPause();
    EXPECT_EQ(session_.State(), ReplayState::Stopped);
    link_.Connect();
    session_.StartOrPause();
    EXPECT_EQ(session_.State(), ReplayState::Stopped);
    EXPECT_EQ(messages_.Take(), (Texts{"Please connect the Marivane first!", "Please open the file first!"}));
    EXPECT_EQ(session_.SendTick(), TickOutcome::Idle);
    EXPECT_EQ(link_.Sends(), 0);
}

TEST_F(ReplaySessionTest, OpenFileMessages) {
    std::filesystem::create_directory(folder_.Path() / "folder.mbm");
    const std::string good = rewindle_test::WriteFile(folder_.Path() / "good.mbm", PatternBytes(10)).string();

    EXPECT_TRUE(session_.OpenFile(good));
    EXPECT_FALSE(session_.OpenFile(""));
    EXPECT_FALSE(session_.OpenFile((folder_.Path() / "absent.mbm").string()));
    EXPECT_FALSE(session_.OpenFile(std::string("good.mbm\0x", 10)));
    EXPECT_TRUE(session_.HasFile()) << "an empty or missing path keeps the open file";
    EXPECT_FALSE(session_.OpenFile((folder_.Path() / "folder.mbm").string()));
    EXPECT_FALSE(session_.HasFile()) << "a file that cannot be opened closes the one before";
    // A named pipe is refused at once instead of waiting for a writer.
    const std::string pipe = (folder_.Path() / "pipe.mbm").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(session_.OpenFile(pipe));
    EXPECT_EQ(messages_.Take(),
              (Texts{"Please open the file you want to send first!", "The file path opened is not valid!",
                     "The file path opened is not valid!", "File open failed!", "File open failed!"}));
}

TEST_F(ReplaySessionTest, TwoMebibytesAtLevelThreeTake103Ticks) {
    StartWith(2 * 1024 * 1024);
    EXPECT_EQ(rewindle::SendingTicks(2 * 1024 * 1024, 3), 103u);
    const std::vector<TickOutcome> outcomes = RunToEnd();
    ASSERT_EQ(outcomes.size(), 104u);
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), TickOutcome::Sent), 103);
    EXPECT_EQ(outcomes.back(), TickOutcome::Completed);
    EXPECT_EQ(link_.Streams().at(0), file_);
    EXPECT_EQ(messages_.Take(), Texts{"File Send complete!"});
    EXPECT_EQ(session_.State(), ReplayState::Stopped);
    EXPECT_EQ(session_.ProgressText(), "0.00 %");
}

TEST_F(ReplaySessionTest, ChunkSizesFollowTheLevel) {
    struct Case {
        std::size_t size;
        int level;
        std::uint64_t ticks;
    };
    // An exact multiple of the chunk, one byte more, the fastest and slowest levels, an empty file.
    const Case cases[] = {
        {20480 * 5, 3, 5}, {20480 * 5 + 1, 3, 6}, {100000, 0, 5}, {100000, 8, 11}, {0, 3, 0}};
    for (const Case& c : cases) {
        ScriptedLink link;
        ReplaySession session(link);
        const auto path = rewindle_test::WriteFile(folder_.Path() / "f.mbm", PatternBytes(c.size));
        ASSERT_TRUE(session.OpenFile(path.string()));
        session.SetLevel(c.level);
        link.Connect();
        session.StartOrPause();
        std::uint64_t sent = 0;
        while (session.SendTick() == TickOutcome::Sent) ++sent;
        EXPECT_EQ(sent, c.ticks) << c.size << " bytes at level " << c.level;
        EXPECT_EQ(sent, rewindle::SendingTicks(c.size, c.level));
        EXPECT_EQ(link.Streams().at(0).size(), c.size);
    }
    messages_.Take();
}

TEST_F(ReplaySessionTest, SlowClientNeitherRestartsNorLosesBytes) {
    StartWith(100000);  // level 3: chunks of 20480
    ASSERT_EQ(session_.SendTick(), TickOutcome::Sent);

    link_.SetTakes(0);  // the client reads nothing: the chunk is not taken
    EXPECT_EQ(session_.SendTick(), TickOutcome::Waiting);
    EXPECT_EQ(session_.HandedBytes(), 20480u);
    EXPECT_EQ(session_.ProgressText(), "20.48 %");

    link_.SetTakes(5000);  // part of a chunk: the rest waits in the server
    EXPECT_EQ(session_.SendTick(), TickOutcome::Sent);
    EXPECT_EQ(session_.Position(), 40960u);
    EXPECT_EQ(session_.HandedBytes(), 25480u) << "progress counts only what the socket took";
    EXPECT_EQ(session_.ProgressText(), "25.48 %");
    EXPECT_EQ(session_.SendTick(), TickOutcome::Waiting) << "the rest goes first; nothing new is read";
    EXPECT_EQ(session_.HandedBytes(), 30480u);

    link_.SetTakes(ScriptedLink::kTakesAll);
    RunToEnd();
    EXPECT_EQ(link_.Restarts(), 0);
    ASSERT_EQ(link_.Streams().size(), 1u);
    EXPECT_EQ(link_.Streams()[0], file_);
}

TEST_F(ReplaySessionTest, FailedSendGoesToTheNextClientFromTheFailedChunk) {
    StartWith(100000);
    session_.SendTick();
    session_.SendTick();
    link_.FailNextSend();
    EXPECT_EQ(session_.SendTick(), TickOutcome::Lost);
    EXPECT_EQ(link_.Restarts(), 1);
    EXPECT_EQ(session_.Position(), 40960u);
    EXPECT_EQ(session_.SendTick(), TickOutcome::Idle) << "no client yet";

    link_.Connect();
    RunToEnd();
    ASSERT_EQ(link_.Streams().size(), 2u);
    EXPECT_EQ(link_.Streams()[0], Slice(file_, 0, 40960));
    EXPECT_EQ(link_.Streams()[1], Slice(file_, 40960));
}

TEST_F(ReplaySessionTest, BytesWaitingForALostClientGoToTheNextOne) {
    struct Case {
        const char* how;
        std::function<void(ScriptedLink&)> lose;
    };
    const Case cases[] = {
        {"the flush fails", [](ScriptedLink& l) { l.FailNextSend(); }},
        {"the client closes", [](ScriptedLink& l) { l.ClientCloses(); }},
        {"a new client replaces it between ticks", [](ScriptedLink& l) { l.Connect(); }},
    };
    for (const Case& c : cases) {
        ScriptedLink link;
        ReplaySession session(link);
        const auto bytes = PatternBytes(100000, 7);
        ASSERT_TRUE(session.OpenFile(rewindle_test::WriteFile(folder_.Path() / "f.mbm", bytes).string()));
        link.Connect();
        session.StartOrPause();
        link.SetTakes(3000);
        ASSERT_EQ(session.SendTick(), TickOutcome::Sent);  // 3000 out, 17480 wait in the server
        link.SetTakes(ScriptedLink::kTakesAll);
        c.lose(link);
        session.SendTick();
        if (!link.ClientConnected())
            link.Connect();
        while (session.SendTick() != TickOutcome::Completed) {
        }
        ASSERT_EQ(link.Streams().size(), 2u) << c.how;
        EXPECT_EQ(link.Streams()[0], Slice(bytes, 0, 3000)) << c.how;
        EXPECT_EQ(link.Streams()[1], Slice(bytes, 3000)) << c.how;
    }
    messages_.Take();
}

TEST_F(ReplaySessionTest, AClientComingInDuringATickGetsNothingOutOfOrder) {
    StartWith(100000);
    session_.SendTick();
    // While the second chunk goes out, a new client is taken in: it cannot be told which client had it.
    link_.DuringNextSend([this] { link_.Connect(); });
    EXPECT_EQ(session_.SendTick(), TickOutcome::Lost);
    EXPECT_EQ(link_.Restarts(), 1) << "the new client is let go";
    EXPECT_EQ(session_.HandedBytes(), 20480u);

    link_.Connect();
    RunToEnd();
    ASSERT_EQ(link_.Streams().size(), 3u);
    EXPECT_TRUE(link_.Streams()[1].empty());
    EXPECT_EQ(link_.Streams()[2], Slice(file_, 20480));
}

TEST_F(ReplaySessionTest, PauseHoldsAndStopStartsOver) {
    StartWith(100000);
    session_.SendTick();
    session_.StartOrPause();
    EXPECT_EQ(session_.State(), ReplayState::Paused);
    EXPECT_EQ(session_.SendTick(), TickOutcome::Idle);
    session_.StartOrPause();
    session_.SendTick();
    session_.Stop();
    EXPECT_EQ(session_.State(), ReplayState::Stopped);
    EXPECT_EQ(session_.ProgressText(), "0.00 %");
    session_.StartOrPause();
    RunToEnd();
    std::vector<std::uint8_t> expected = Slice(file_, 0, 40960);
    expected.insert(expected.end(), file_.begin(), file_.end());
    EXPECT_EQ(link_.Streams().at(0), expected);
}

TEST_F(ReplaySessionTest, LevelsStayWithinTheTable) {
    session_.SetLevel(7);
    session_.SlowDown();
    session_.SlowDown();
    EXPECT_EQ(session_.Level(), 8);
    EXPECT_EQ(session_.Interval(), std::chrono::milliseconds(200));
    for (int i = 0; i < 10; ++i) session_.SpeedUp();
    EXPECT_EQ(session_.Level(), 0);
    EXPECT_EQ(session_.Interval(), std::chrono::milliseconds(10));
}

TEST_F(ReplaySessionTest, AutoStartWaitsForAClient) {
    const auto path = rewindle_test::WriteFile(folder_.Path() / "f.mbm", PatternBytes(30000));
    ASSERT_TRUE(session_.OpenFile(path.string()));
    session_.SetAutoStart(true);
    EXPECT_EQ(session_.SendTick(), TickOutcome::Idle);
    EXPECT_EQ(session_.State(), ReplayState::Stopped);
    link_.Connect();
    EXPECT_EQ(session_.SendTick(), TickOutcome::Sent);
    EXPECT_EQ(session_.State(), ReplayState::Sending);
    EXPECT_TRUE(messages_.Take().empty());
}

TEST_F(ReplaySessionTest, AClientThatClosedIsNotHandedAChunk) {
    StartWith(100000);
    session_.SendTick();
    link_.ClientCloses();
    EXPECT_EQ(session_.SendTick(), TickOutcome::Lost);
    EXPECT_EQ(link_.Streams()[0].size(), 20480u);
    EXPECT_EQ(session_.Position(), 20480u);
}

TEST_F(ReplaySessionTest, AFileThatCannotBeReadIsNotReportedAsSent) {
    // A regular file whose reads fail: this process's own memory at address 0.
    if (!session_.OpenFile("/proc/self/mem"))
        GTEST_SKIP() << "no /proc/self/mem here";
    link_.Connect();
    session_.StartOrPause();
    EXPECT_EQ(session_.SendTick(), TickOutcome::ReadFailed);
    EXPECT_EQ(session_.State(), ReplayState::Stopped);
    EXPECT_EQ(messages_.Take(), Texts{"File read failed!"});
}

}  // namespace
