#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "DecoderRig.h"
#include "TestPackets.h"
#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/acquisition/TrackFile.h"
#include "platform/Message.h"

namespace {

namespace fs = std::filesystem;
using marivane::RecordingOpenResult;
using testpackets::Bytes;
using testpackets::Concat;
using testpackets::Plain;

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Text8(const std::uint8_t* p) {
    return std::string(reinterpret_cast<const char*>(p), 8);
}
std::string Padded(const char* text) {
    return std::string(text) + std::string(8 - std::strlen(text), '\0');
}

double DoubleAt(const Bytes& b, std::size_t at) {
    double v;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}

class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("recording_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

// --- Raw data file ---------------------------------------------------------------------------------

marivane::RawFileDevice SampleDevice(int dualHead) {
    marivane::RawFileDevice d;
    d.modelNo = 2;
    d.dualHead = dualHead;
    for (int i = 0; i < 7; ++i) {
        d.transducer[i] = 1.0 + i;
        d.transducer2[i] = 11.0 + i;
        d.gnss[i] = 21.0 + i;
        d.attitude[i] = 31.0 + i;
        d.compass[i] = 41.0 + i;
    }
    return d;
}

TEST(RawFileHeader, Texts) {
    const auto h = marivane::MakeRawFileHeader(3);
    std::uint32_t rest;
    std::memcpy(&rest, h.data(), 4);
    EXPECT_EQ(rest, 1768u);
    EXPECT_EQ(Text8(h.data() + 4), Padded("1.0.0"));
    EXPECT_EQ(Text8(h.data() + 12), Padded("TR240H"));
    EXPECT_EQ(Text8(h.data() + 20), Padded("1.4.0"));
    EXPECT_EQ(Text8(h.data() + 28), Padded("1.2.0"));
    EXPECT_EQ(Text8(h.data() + 36), Padded("1.0.0"));
    for (std::size_t i = 44; i < 64; ++i) EXPECT_EQ(h[i], 0) << i;

    const std::pair<int, const char*> models[] = {{1, "TR120"}, {2, "TR240P"}, {3, "TR240H"}, {4, "TR9600"},
                                                  {0, "TR240"}, {5, "TR240"},  {-1, "TR240"}};
    for (const auto& [number, name] : models) {
        EXPECT_EQ(Text8(marivane::MakeRawFileHeader(number).data() + 12), Padded(name)) << number;
    }
}

TEST(RawFileHeader, DeviceBlockOffsets) {
    for (int dualHead : {0, 1, 2}) {
        SCOPED_TRACE(dualHead);
        const auto arr = marivane::MakeRawDeviceBlock(SampleDevice(dualHead));
        const Bytes b(arr.begin(), arr.end());
        std::uint32_t size;
        std::memcpy(&size, b.data(), 4);
        EXPECT_EQ(size, 512u);
        EXPECT_EQ(b[4], dualHead);
        for (std::size_t i = 5; i < 184; ++i) ASSERT_EQ(b[i], 0) << i;
        for (std::size_t i = 240; i < 288; ++i) ASSERT_EQ(b[i], 0) << i;
        if (dualHead == 1) {
            EXPECT_EQ(DoubleAt(b, 184), 11.0);
            EXPECT_EQ(DoubleAt(b, 184 + 48), 17.0);
        } else {
            for (std::size_t i = 184; i < 240; ++i) ASSERT_EQ(b[i], 0) << i;
        }
        EXPECT_EQ(DoubleAt(b, 288), 1.0);
        EXPECT_EQ(DoubleAt(b, 288 + 48), 7.0);
        EXPECT_EQ(DoubleAt(b, 344), 21.0);
        EXPECT_EQ(DoubleAt(b, 400 + 8), 32.0);
        EXPECT_EQ(DoubleAt(b, 456 + 48), 47.0);
    }
}

class RawRecorderTest : public TempDir {};

TEST_F(RawRecorderTest, FileHoldsThePreambleAndExactlyThePacketsTakenWhileOpen) {
    marivane::RawRecorder recorder;
    testrig::DecoderRig rig(marivane::Framer::kReceiveBufferSize, &recorder);
    geodesy::ParaOfGeo geo;
    std::strcpy(geo.CentralMeridian, "120000000000E");

    rig.Feed(Plain(3001, 10));  // nothing open: not recorded
    const fs::path path = dir_ / "20240301_140509.mbm";
    ASSERT_EQ(recorder.Open(path, SampleDevice(0), geo), RecordingOpenResult::Opened);
    EXPECT_EQ(recorder.Open(path, SampleDevice(0), geo), RecordingOpenResult::AlreadyOpen);

    testpackets::FullPing ping;
    const Bytes pingBytes = Build(ping);
    const Bytes undecoded = Plain(3001, 30);
    const Bytes recordOnly = Plain(5004, 20, 1);
    const Bytes discarded = Plain(3000, 50, 2);
    Bytes broken = Plain(5005, 24);
    broken.back() = 0;
    rig.Feed(Concat({pingBytes, discarded, undecoded, recordOnly}), 13);
    rig.Feed(broken);
    EXPECT_EQ(recorder.PacketsRecorded(), 3u);
    ASSERT_TRUE(recorder.Close());
    rig.Feed(Plain(3001, 10));  // closed again: not recorded

    const Bytes file = ReadAll(path);
    ASSERT_EQ(file.size(), 1832u + pingBytes.size() + undecoded.size() + recordOnly.size());
    const Bytes preamble = marivane::MakeRawFilePreamble(SampleDevice(0), geo);
    EXPECT_TRUE(std::equal(preamble.begin(), preamble.end(), file.begin()));
    const auto geoBlock = geodesy::ToBlock(geo);
    EXPECT_TRUE(std::equal(geoBlock.begin(), geoBlock.end(), file.begin() + 576));
    EXPECT_EQ(Bytes(file.begin() + 1832, file.end()), Concat({pingBytes, undecoded, recordOnly}));
    EXPECT_EQ(recorder.WriteErrors(), 0u);
}

TEST_F(RawRecorderTest, OpenFailureLeavesNothingOpen) {
    marivane::RawRecorder recorder;
    EXPECT_EQ(recorder.Open(dir_ / "missing" / "x.mbm", {}, {}), RecordingOpenResult::OpenFailed);
    EXPECT_FALSE(recorder.IsOpen());
    const Bytes p = Plain(3000);
    EXPECT_TRUE(recorder.RecordPacket(p.data(), p.size()));
    EXPECT_EQ(recorder.PacketsRecorded(), 0u);
}

TEST_F(RawRecorderTest, WriteErrorsAreReported) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    marivane::RawRecorder recorder;
    // Small writes are buffered: the failure shows when the file is closed.
    ASSERT_EQ(recorder.Open("/dev/full", {}, {}), RecordingOpenResult::Opened);
    const Bytes small = Plain(3000, 100);
    EXPECT_TRUE(recorder.RecordPacket(small.data(), small.size()));
    EXPECT_FALSE(recorder.Close());
    EXPECT_EQ(recorder.WriteErrors(), 1u);
    // A packet larger than any stdio buffer fails at once.
    ASSERT_EQ(recorder.Open("/dev/full", {}, {}), RecordingOpenResult::Opened);
    const Bytes big = Plain(3000, 200000);
    EXPECT_FALSE(recorder.RecordPacket(big.data(), big.size()));
    EXPECT_EQ(recorder.WriteErrors(), 2u);
    recorder.Close();
}

TEST_F(RawRecorderTest, ClosingOnAnotherThreadNeverCutsAPacket) {
    marivane::RawRecorder recorder;
    const fs::path path = dir_ / "threads.mbm";
    ASSERT_EQ(recorder.Open(path, {}, {}), RecordingOpenResult::Opened);
    const Bytes packet = Plain(3001, 996);
    std::atomic<bool> started{false};
    std::thread writer([&] {
        for (int i = 0; i < 5000; ++i) {
            recorder.RecordPacket(packet.data(), packet.size());
            started = true;
        }
    });
    while (!started) std::this_thread::yield();
    EXPECT_TRUE(recorder.Close());
    writer.join();
    const auto size = fs::file_size(path);
    EXPECT_EQ((size - 1832) % packet.size(), 0u);
    EXPECT_GE(size, 1832u + packet.size());
}

// --- Track file ------------------------------------------------------------------------------------

class TrackFileTest : public TempDir {
  protected:
    void SetUp() override {
        TempDir::SetUp();
        platform::SetMessagePresenter(&messages_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override {
        platform::SetMessagePresenter(nullptr);
        TempDir::TearDown();
    }
    struct Recorder final : platform::MessagePresenter {
        platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned box,
                                        bool) override {
            texts.emplace_back(text);
            boxes.push_back(box);
            return platform::MessageAnswer::Ok;
        }
        std::vector<std::string> texts;
        std::vector<unsigned> boxes;
    } messages_;
};

TEST_F(TrackFileTest, HeaderBytes) {
    const auto h = marivane::MakeTrackFileHeader();
    Bytes expected(64, 0);
    expected[0] = 64;
    expected[4] = 0x0F;
    expected[5] = 'T';
    expected[6] = 'R';
    expected[7] = 'A';
    expected[8] = '0';
    expected[9] = '1';
    expected[10] = '0';
    expected[11] = '0';
    for (int i = 12; i < 16; ++i) expected[i] = 0xFF;
    expected[60] = 'E';
    expected[61] = 'N';
    expected[62] = 'D';
    expected[63] = 0x0F;
    EXPECT_EQ(Bytes(h.begin(), h.end()), expected);
}

TEST_F(TrackFileTest, RoundTripIgnoresAnIncompleteLastBlock) {
    const fs::path path = dir_ / "a.tra";
    const std::vector<marivane::TrackPoint> points = {
        {1.5, 2.5, 3.5, 4.5}, {-1e6, 2e6, 0.0, -0.25}, {7, 8, 9, 10}};
    {
        marivane::TrackRecorder track;
        ASSERT_EQ(track.Open(path), RecordingOpenResult::Opened);
        for (const auto& p : points) ASSERT_TRUE(track.WriteTrackPoint(p));
        ASSERT_TRUE(track.Close());
        EXPECT_TRUE(track.WriteTrackPoint(points[0])) << "closed: nothing to write, no error";
    }
    EXPECT_EQ(fs::file_size(path), 64u + 3 * 32);
    Bytes bytes = ReadAll(path);
    bytes.insert(bytes.end(), 31, 0x11);
    WriteAll(path, bytes);

    marivane::LoadedTrackList list;
    ASSERT_TRUE(marivane::LoadTrackFile(list, path, true));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, path);
    EXPECT_TRUE(list[0].shown);
    ASSERT_EQ(list[0].points.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list[0].points[i].antennaEasting, points[i].antennaEasting);
        EXPECT_EQ(list[0].points[i].antennaNorthing, points[i].antennaNorthing);
        EXPECT_EQ(list[0].points[i].transducerEasting, points[i].transducerEasting);
        EXPECT_EQ(list[0].points[i].transducerNorthing, points[i].transducerNorthing);
    }
}

TEST_F(TrackFileTest, HeaderChecks) {
    Bytes good(64, 0);
    const auto h = marivane::MakeTrackFileHeader();
    std::copy(h.begin(), h.end(), good.begin());
    Bytes record(32, 0);
    const double one = 1.0;
    std::memcpy(record.data(), &one, 8);
    good.insert(good.end(), record.begin(), record.end());

    struct Case {
        std::size_t offset;
        std::uint8_t value;
        bool binary;
    };
    const Case cases[] = {
        {0, 65, false},    {4, 0x0E, false}, {7, 'B', false}, {12, 0xFE, false},
        {63, 0x0E, false}, {60, 'e', false}, {8, 'X', true},  // the version text is not checked
        {40, 0x5A, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        Bytes b = good;
        b[c.offset] = c.value;
        const auto points = marivane::ParseTrackFile(b);
        const bool readAsBinary = points.size() == 1 && points[0].antennaEasting == 1.0;
        EXPECT_EQ(readAsBinary, c.binary);
    }
    // Shorter than a header: text.
    EXPECT_EQ(marivane::ParseTrackFile(Bytes(h.begin(), h.begin() + 63)).size(), 1u);
}

TEST_F(TrackFileTest, TextForm) {
    const std::string text = "100.5 200.25\n300 400abc\r\nxyz 5\n7\n\n 8 9\n1e3\t2e3\n-4.5  6";
    const Bytes bytes(text.begin(), text.end());
    const auto points = marivane::ParseTrackFile(bytes);
    const std::pair<double, double> expected[] = {{100.5, 200.25}, {300, 400}, {0, 5},       {7, 0},
                                                  {0, 0},          {0, 8},     {1000, 2000}, {-4.5, 6}};
    ASSERT_EQ(points.size(), std::size(expected));
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].antennaEasting, expected[i].first) << i;
        EXPECT_EQ(points[i].antennaNorthing, expected[i].second) << i;
        EXPECT_EQ(points[i].transducerEasting, 0.0);
        EXPECT_EQ(points[i].transducerNorthing, 0.0);
    }
    EXPECT_TRUE(marivane::ParseTrackFile(Bytes{}).empty());
}

TEST_F(TrackFileTest, LoadedListHoldsEachPathOnceAndReloadMovesItToTheEnd) {
    const fs::path a = dir_ / "a.txt";
    const fs::path b = dir_ / "b.txt";
    WriteAll(a, Bytes{'1', ' ', '2', '\n'});
    WriteAll(b, Bytes{'3', ' ', '4', '\n', '5', ' ', '6'});
    marivane::LoadedTrackList list;
    ASSERT_TRUE(marivane::LoadTrackFile(list, a, false));
    ASSERT_TRUE(marivane::LoadTrackFile(list, b, true));
    ASSERT_TRUE(marivane::LoadTrackFile(list, a, true));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, b);
    EXPECT_EQ(list[1].path, a);
    EXPECT_TRUE(list[1].shown);
    EXPECT_EQ(list[0].points.size(), 2u);
    EXPECT_TRUE(messages_.texts.empty());

    // A failed reload removes the old entry and adds nothing.
    fs::remove(b);
    EXPECT_FALSE(marivane::LoadTrackFile(list, b, true));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, a);
    ASSERT_EQ(messages_.texts.size(), 1u);
    EXPECT_EQ(messages_.texts[0], "Failed to open the file\"" + b.string() + "\"");
    EXPECT_EQ(messages_.boxes[0], platform::kBoxError);

    platform::SetMessageLanguageEnglish(false);
    EXPECT_FALSE(marivane::LoadTrackFile(list, dir_, true));  // a folder cannot be read
    ASSERT_EQ(messages_.texts.size(), 2u);
    EXPECT_EQ(messages_.texts[1], "打开\"" + dir_.string() + "\"文件失败");
    EXPECT_EQ(list.size(), 1u);
}

}  // namespace
