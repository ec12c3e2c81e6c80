#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/shell/StatusMonitor.h"
#include "platform/Clock.h"
#include "platform/Message.h"

namespace {

using marivane::AlarmSettings;
using marivane::PaneLook;
using marivane::PaneView;
using marivane::StatusInputs;
using marivane::StatusPanes;
using marivane::StreamAges;

constexpr int kOn = 4;   // an even tick: alarms show
constexpr int kOff = 5;  // an odd tick: alarms hidden

// Surveying, link up, one head, every stream fresh and an RTK fixed solution.
StatusInputs Healthy() {
    StatusInputs in;
    in.projectOpen = true;
    in.idle = false;
    in.linkAlive = true;
    in.english = true;
    in.ages = StreamAges{0, 0, 0, 0, 0, 0, 4};
    return in;
}

StreamAges AllSilent() {
    return StreamAges{10, 10, 10, 10, 10, 10, 4};
}

const PaneView kNormal{};

// Panes 3..7 other than `except` are normal.
void ExpectOthersNormal(const StatusPanes& out, int except = 0) {
    for (int pane = 3; pane <= 7; ++pane) {
        if (pane != except) {
            EXPECT_EQ(out.Pane(pane), kNormal) << "pane " << pane;
        }
    }
}

TEST(StreamAge, CountsAcrossMidnight) {
    struct Case {
        std::uint32_t now, stamp, age;
    };
    const Case cases[] = {
        {100, 90, 10}, {100, 100, 0}, {5, 86398, 7}, {0, 86399, 1}, {86399, 0, 86399},
    };
    for (const Case& c : cases)
        EXPECT_EQ(marivane::StreamAge(c.now, c.stamp), c.age) << c.now << " " << c.stamp;
}

TEST(StatusPanes, StreamSilentSinceJustBeforeMidnightRaisesItsAlarm) {
    // Every stream reported at 00:00:04 except the time message, last seen at 23:59:58.
    marivane::LastSeenStamps stamps{4, 4, 4, 4, 4, 86398, 4};
    marivane::AcquisitionEngine engine;
    engine.stamps.Set(stamps);
    const platform::FixedClock clock({2024, 5, 2, 0, 0, 5, 0});

    StatusInputs in = Healthy();
    in.ages = marivane::ReadStreamAges(engine, clock);
    EXPECT_EQ(in.ages.timeSignal, 7u);
    EXPECT_EQ(in.ages.gnss, 1u);

    const StatusPanes out = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn);
    EXPECT_EQ(out.Pane(3), (PaneView{PaneLook::Alarm, "No ZDA Data"}));
    ExpectOthersNormal(out, 3);
    EXPECT_EQ(out.beeps, 1);
}

TEST(StatusPanes, StayBlankWithoutARunningSurvey) {
    StatusInputs noProject = Healthy();
    noProject.projectOpen = false;
    noProject.idle = false;
    noProject.linkAlive = false;
    StatusInputs idle = Healthy();
    idle.idle = true;
    idle.linkAlive = false;
    for (StatusInputs in : {noProject, idle}) {
        in.ages = AllSilent();
        const StatusPanes out = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn);
        EXPECT_EQ(out.Pane(2), kNormal);
        ExpectOthersNormal(out);
        EXPECT_FALSE(out.Beep());
    }
}

TEST(StatusPanes, LinkDownBlinksThePaneAndJudgesNoStream) {
    StatusInputs in = Healthy();
    in.linkAlive = false;
    in.ages = AllSilent();

    const StatusPanes on = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn);
    EXPECT_EQ(on.Pane(2), (PaneView{PaneLook::Alarm, "Net Disconnected"}));
    ExpectOthersNormal(on);
    EXPECT_EQ(on.beeps, 1);

    const StatusPanes off = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOff);
    EXPECT_EQ(off.Pane(2), kNormal);
    ExpectOthersNormal(off);
    EXPECT_EQ(off.beeps, 0);

    in.english = false;
    EXPECT_EQ(marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn).Pane(2).text, "网络已断开");
}

TEST(StatusPanes, DataAlarmOffShowsOnlyTheLink) {
    StatusInputs in = Healthy();
    in.ages = AllSilent();
    in.ages.gnssQuality = 0;
    AlarmSettings alarm;
    alarm.deviceDataAlarm = 0;
    const StatusPanes out = marivane::UpdateStatusPanes(in, alarm, kOn);
    EXPECT_EQ(out.Pane(2), (PaneView{PaneLook::Connected, "Net Connected"}));
    ExpectOthersNormal(out);
    EXPECT_EQ(out.beeps, 0);
}

TEST(StatusPanes, EachStreamAlarmsOnceOlderThanTwoSeconds) {
    struct Case {
        std::uint32_t StreamAges::*age;
        int pane;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {&StreamAges::timeSignal, 3, "No ZDA Data", "无ZDA时间同步"},
        {&StreamAges::gnss, 4, "No GPS data", "无GGA定位数据"},
        {&StreamAges::attitude, 5, "No Motion data", "无姿态数据"},
        {&StreamAges::heading, 6, "No Heading data", "无艏向数据"},
        {&StreamAges::head1, 7, "No Sonar Data", "无声呐数据"},
    };
    for (const Case& c : cases) {
        StatusInputs in = Healthy();
        in.ages.*c.age = 2;
        StatusPanes out = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn);
        ExpectOthersNormal(out);
        EXPECT_EQ(out.beeps, 0) << c.english;

        in.ages.*c.age = 3;
        out = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn);
        EXPECT_EQ(out.Pane(c.pane), (PaneView{PaneLook::Alarm, c.english}));
        ExpectOthersNormal(out, c.pane);
        EXPECT_EQ(out.beeps, 1) << c.english;
        EXPECT_EQ(marivane::UpdateStatusPanes(in, AlarmSettings{}, kOff).Pane(c.pane), kNormal) << c.english;

        in.english = false;
        EXPECT_EQ(marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn).Pane(c.pane).text, c.chinese);
    }
}

TEST(StatusPanes, EverySilentStreamBeepsOnceInTheOnPhase) {
    StatusInputs in = Healthy();
    in.ages = AllSilent();
    const StatusPanes on = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn);
    EXPECT_EQ(on.Pane(2).look, PaneLook::Connected);
    for (int pane = 3; pane <= 7; ++pane) EXPECT_EQ(on.Pane(pane).look, PaneLook::Alarm) << pane;
    EXPECT_EQ(on.beeps, 5);

    const StatusPanes off = marivane::UpdateStatusPanes(in, AlarmSettings{}, kOff);
    EXPECT_EQ(off.Pane(2).look, PaneLook::Connected);
    ExpectOthersNormal(off);
    EXPECT_EQ(off.beeps, 0);
}

TEST(StatusPanes, FixQualityBelowTheThresholdBlinks) {
    struct Case {
        int quality;
        int threshold;
        int qualityAlarm;
        const char* expected;  // nullptr: pane 4 stays normal
    };
    const Case cases[] = {
        {5, 3, 1, "GPS status:RTK Float"},
        {3, 3, 1, "GPS status:RTK Float"},
        {4, 3, 1, nullptr},
        {-1, 3, 1, nullptr},  // no GNSS record since connecting
        {0, 1, 1, "GPS status:Initializing"},
        {6, 1, 1, "GPS status:Estimated"},
        {1, 1, 1, nullptr},
        {1, 2, 1, "GPS status:Stand Alone"},
        {2, 2, 1, nullptr},
        {9, 2, 1, nullptr},
        {9, 3, 1, "GPS status:WAAS Diff"},
        {2, 3, 1, "GPS status:Differential"},
        {7, 1, 1, "GPS status:Unknown mode 7"},
        {5, 3, 0, nullptr},
    };
    for (const Case& c : cases) {
        StatusInputs in = Healthy();
        in.ages.gnssQuality = c.quality;
        AlarmSettings alarm;
        alarm.gnssQualityThreshold = c.threshold;
        alarm.gnssQualityAlarm = c.qualityAlarm;
        const StatusPanes out = marivane::UpdateStatusPanes(in, alarm, kOn);
        const PaneView expected = c.expected ? PaneView{PaneLook::Alarm, c.expected} : kNormal;
        EXPECT_EQ(out.Pane(4), expected) << "quality " << c.quality << " threshold " << c.threshold;
        EXPECT_EQ(out.beeps, c.expected ? 1 : 0);
    }
}

TEST(StatusPanes, SilentGnssOutranksItsQuality) {
    StatusInputs in = Healthy();
    in.ages.gnss = 3;
    in.ages.gnssQuality = -1;
    EXPECT_EQ(marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn).Pane(4).text, "No GPS data");
    in.ages.gnssQuality = 0;
    EXPECT_EQ(marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn).Pane(4).text, "No GPS data");
}

TEST(GnssQuality, NamesAndLevels) {
    struct Case {
        int quality;
        const char* english;
        const char* chinese;
        int level;
    };
    const Case cases[] = {
        {0, "Initializing", "初始化", 0},
        {1, "Stand Alone", "单点定位", 1},
        {2, "Differential", "码差分", 2},
        {3, "RTK Float", "浮点解", 2},
        {4, "RTK Fixed", "固定解", 4},
        {5, "RTK Float", "浮点解", 2},
        {6, "Estimated", "正在估算", 0},
        {7, "Unknown mode 7", "未知模式 7", 0},
        {9, "WAAS Diff", "WAAS差分", 2},
        {-3, "Unknown mode -3", "未知模式 -3", 0},
        {255, "Unknown mode 255", "未知模式 255", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(marivane::GnssQualityName(c.quality, true), c.english);
        EXPECT_EQ(marivane::GnssQualityName(c.quality, false), c.chinese);
        EXPECT_EQ(marivane::GnssQualityLevel(c.quality), c.level) << c.quality;
    }
    EXPECT_EQ(marivane::GnssQualityPaneText(3, false), "GPS状态：浮点解");
}

TEST(StatusPanes, DualHeadNamesTheSilentHead) {
    struct Case {
        bool dual;
        std::uint32_t head1, head2;
        const char* expected;
    };
    const Case cases[] = {
        {true, 3, 3, "Dual Sonar NO Data"},
        {true, 0, 3, "Slave Sonar NO Data"},
        {true, 3, 0, "Master Sonar NO Data"},
        {true, 2, 2, nullptr},
        {false, 0, 30, nullptr},  // one head: the second is not watched
        {false, 3, 0, "No Sonar Data"},
    };
    for (const Case& c : cases) {
        StatusInputs in = Healthy();
        in.dualHead = c.dual;
        in.ages.head1 = c.head1;
        in.ages.head2 = c.head2;
        const PaneView expected = c.expected ? PaneView{PaneLook::Alarm, c.expected} : kNormal;
        EXPECT_EQ(marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn).Pane(7), expected)
            << c.dual << " " << c.head1 << " " << c.head2;
    }
    StatusInputs in = Healthy();
    in.dualHead = true;
    in.english = false;
    in.ages.head2 = 5;
    EXPECT_EQ(marivane::UpdateStatusPanes(in, AlarmSettings{}, kOn).Pane(7).text, "从探头无数据");
}

TEST(StatusMonitor, AlternatesPhasesAndWrapsTheTickWithoutBreakingTheBlink) {
    EXPECT_EQ(marivane::NextTick(0), 1);
    EXPECT_EQ(marivane::NextTick(2147483638), 2147483639);
    EXPECT_EQ(marivane::NextTick(2147483639), 0);
    EXPECT_EQ(marivane::NextTick(2147483647), 0);
    EXPECT_EQ(marivane::NextTick(-8), 0);

    StatusInputs in = Healthy();
    in.ages.heading = 9;
    marivane::StatusMonitor monitor;
    std::vector<PaneLook> looks;
    for (int i = 0; i < 4; ++i) looks.push_back(monitor.Update(in, AlarmSettings{}).Pane(6).look);
    EXPECT_EQ(monitor.Tick(), 4);
    EXPECT_EQ(looks,
              (std::vector<PaneLook>{PaneLook::Normal, PaneLook::Alarm, PaneLook::Normal, PaneLook::Alarm}));
}

TEST(PaneColours, AreWindowsColourValues) {
    const auto normal = marivane::PaneColoursOf(PaneLook::Normal);
    const auto alarm = marivane::PaneColoursOf(PaneLook::Alarm);
    const auto connected = marivane::PaneColoursOf(PaneLook::Connected);
    EXPECT_EQ(normal.text, 0xEEEEEEu);
    EXPECT_EQ(normal.background, 0xEEEEEEu);
    EXPECT_EQ(alarm.text, 0xFFFFFFu);
    EXPECT_EQ(alarm.background, 0x0000E1u);  // red 225 in the low byte
    EXPECT_EQ(connected.text, 0x000000u);
    EXPECT_EQ(connected.background, 0xEEEEEEu);
}

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned boxType,
                                    bool) override {
        shown.emplace_back(text);
        boxes.push_back(boxType);
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> shown;
    std::vector<unsigned> boxes;
};

TEST(CheckFreeDisk, WarnsOnlyBelowOneGiB) {
    RecordingPresenter presenter;
    platform::SetMessagePresenter(&presenter);
    platform::SetMessageLanguageEnglish(true);
    struct Case {
        int freeGiB;
        bool warns;
    };
    const Case cases[] = {{-1, false}, {0, true}, {1, false}, {500, false}, {0, true}};
    for (const Case& c : cases) {
        presenter.shown.clear();
        presenter.boxes.clear();
        EXPECT_EQ(marivane::CheckFreeDisk(c.freeGiB), c.warns) << c.freeGiB;
        if (c.warns) {
            EXPECT_EQ(presenter.shown,
                      std::vector<std::string>{"The free hard disk space is less than 1G !"});
            EXPECT_EQ(presenter.boxes, std::vector<unsigned>{0x30});
        } else {
            EXPECT_TRUE(presenter.shown.empty()) << c.freeGiB;
        }
    }
    platform::SetMessageLanguageEnglish(false);
    presenter.shown.clear();
    marivane::CheckFreeDisk(0);
    EXPECT_EQ(presenter.shown, std::vector<std::string>{"当前工程所在磁盘剩余空间不足1G！"});
    platform::SetMessagePresenter(nullptr);
}

}  // namespace
