// Recording while the receiving side runs on its own thread: recordings started and stopped on the
// user-interface thread never lose a packet that reached the framer while their file was open, and
// the survey commands start and end the link's threads.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../project/ShellTestSupport.h"
#include "RecordingSupport.h"
#include "marivane/acquisition/RawFile.h"
#include "platform/Socket.h"

namespace {

namespace fs = std::filesystem;
using namespace marivane;
using namespace std::chrono_literals;

class RecordingThreads : public shelltest::ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        CreateProject("Live");
        folder_ = data_ / "Live";
    }
    fs::path folder_;
};

TEST_F(RecordingThreads, NoPacketIsLostWhileItsFileIsOpen) {
    engine_.surveyState.Set(SurveyState::Surveying());
    std::atomic<bool> stop{false};
    std::atomic<std::uint32_t> fed{0};
    // The receiving thread: one packet after the other, each in its own chunk.
    std::thread receiver([&] {
        for (std::uint32_t seq = 1; !stop.load() && seq < 2000000; ++seq) {
            recordingtest::Feed(pipeline_, recordingtest::Packet(seq, 0, 48 + (seq % 5) * 8));
            fed.store(seq);
            if (seq % 64 == 0)
                std::this_thread::sleep_for(100us);
        }
    });
    constexpr int kRecordings = 6;
    for (int r = 0; r < kRecordings; ++r) {
        clock_.Set({2024, 3, 1, 14, 5, r, 0});
        ASSERT_TRUE(session_->StartRecording());
        // Every packet fed from here on belongs in this file. Wait until a good number went by; a
        // loaded machine (sanitizers, parallel tests) may take long, so the wait is by count.
        const std::uint32_t opened = fed.load();
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (fed.load() < opened + 200 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_GE(fed.load(), opened + 200) << "the receiving thread stalled";
        ASSERT_TRUE(session_->StopRecording());
    }
    stop.store(true);
    receiver.join();

    int checked = 0;
    for (const auto& entry : fs::directory_iterator(folder_ / "Multibeam Files")) {
        const std::string text = shelltest::ReadText(entry.path());
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        std::vector<std::uint32_t> seqs;
        ASSERT_TRUE(recordingtest::Sequences(bytes, kRawFilePreambleSize, seqs)) << entry.path();
        ASSERT_GT(seqs.size(), 100u) << entry.path();
        for (std::size_t i = 1; i < seqs.size(); ++i)
            ASSERT_EQ(seqs[i], seqs[i - 1] + 1) << entry.path() << " loses packets after " << seqs[i - 1];
        ++checked;
    }
    EXPECT_EQ(checked, kRecordings);
}

TEST_F(RecordingThreads, SurveyStartsAndEndsTheLinkThreads) {
    auto listener = platform::ListeningSocket::Listen("127.0.0.1", 0, 1);
    const std::uint16_t closed = listener.Port();
    listener.Close();
    pipeline_.Link().SetEndpoints({"127.0.0.1", closed}, {"127.0.0.1", closed});

    ASSERT_TRUE(session_->StartSurvey());
    EXPECT_EQ(session_->State(), SurveyState::Surveying());
    EXPECT_TRUE(pipeline_.Link().Running());
    EXPECT_FALSE(session_->StartSurvey());
    EXPECT_FALSE(session_->OpenProject());  // refused while surveying
    EXPECT_FALSE(session_->NewProject());
    EXPECT_EQ(presenter_.Count("while recording or surveying"), 2u);

    ASSERT_TRUE(session_->StartRecording());
    EXPECT_FALSE(session_->StopSurvey());  // recording must stop first
    ASSERT_TRUE(session_->StopRecording());
    ASSERT_TRUE(session_->StopSurvey());
    EXPECT_EQ(session_->State(), SurveyState::Idle());
    EXPECT_FALSE(pipeline_.Link().Running());
}

}  // namespace
