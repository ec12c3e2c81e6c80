#include "marivane/shell/StatusMonitor.h"

#include <string_view>
#include <utility>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "platform/Message.h"

namespace marivane {
namespace {

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | (g << 8) | (b << 16);
}

constexpr int kTickLimit = 2147483639;

struct Bilingual {
    std::string_view english;
    std::string_view chinese;
    std::string_view In(bool en) const { return en ? english : chinese; }
};

constexpr Bilingual kNetDisconnected{"Net Disconnected", "网络已断开"};
constexpr Bilingual kNetConnected{"Net Connected", "网络已连接"};
constexpr Bilingual kNoTime{"No ZDA Data", "无ZDA时间同步"};
constexpr Bilingual kNoGnss{"No GPS data", "无GGA定位数据"};
constexpr Bilingual kNoMotion{"No Motion data", "无姿态数据"};
constexpr Bilingual kNoHeading{"No Heading data", "无艏向数据"};
constexpr Bilingual kNoSonar{"No Sonar Data", "无声呐数据"};
constexpr Bilingual kNoDualSonar{"Dual Sonar NO Data", "两个探头无数据"};
constexpr Bilingual kNoSlaveSonar{"Slave Sonar NO Data", "从探头无数据"};
constexpr Bilingual kNoMasterSonar{"Master Sonar NO Data", "主探头无数据"};

struct QualityEntry {
    int quality;
    Bilingual name;
    int level;
};

constexpr QualityEntry kQualities[] = {
    {0, {"Initializing", "初始化"}, 0}, {1, {"Stand Alone", "单点定位"}, 1},
    {2, {"Differential", "码差分"}, 2}, {3, {"RTK Float", "浮点解"}, 2},
    {4, {"RTK Fixed", "固定解"}, 4},    {5, {"RTK Float", "浮点解"}, 2},
    {6, {"Estimated", "正在估算"}, 0},  {9, {"WAAS Diff", "WAAS差分"}, 2},
};

const QualityEntry* FindQuality(int quality) {
    for (const QualityEntry& e : kQualities) {
        if (e.quality == quality)
            return &e;
    }
    return nullptr;
}

bool Silent(std::uint32_t age) {
    return age > kStreamSilentAfter;
}

// Shows the alarm in the on phase (with one beep) and the normal look in the off phase.
void Blink(StatusPanes& out, int pane, std::string text, bool on) {
    if (!on)
        return;
    out.Pane(pane) = PaneView{PaneLook::Alarm, std::move(text)};
    ++out.beeps;
}

}  // namespace

std::uint32_t StreamAge(std::uint32_t now, std::uint32_t stamp) {
    return (now % kSecondsPerDay + kSecondsPerDay - stamp % kSecondsPerDay) % kSecondsPerDay;
}

StreamAges AgesAt(const LastSeenStamps& stamps, std::uint32_t now) {
    StreamAges ages;
    ages.timeSignal = StreamAge(now, stamps.timeSignal);
    ages.gnss = StreamAge(now, stamps.gnss);
    ages.attitude = StreamAge(now, stamps.attitude);
    ages.heading = StreamAge(now, stamps.heading);
    ages.head1 = StreamAge(now, stamps.pingHead1);
    ages.head2 = StreamAge(now, stamps.pingHead2);
    ages.gnssQuality = stamps.gnssQuality;
    return ages;
}

StreamAges ReadStreamAges(const AcquisitionEngine& engine, const platform::Clock& clock) {
    const LastSeenStamps stamps = engine.stamps.Copy();
    return AgesAt(stamps, LocalSecondsOfDay(clock));
}

std::string GnssQualityName(int quality, bool english) {
    if (const QualityEntry* e = FindQuality(quality))
        return std::string(e->name.In(english));
    return (english ? std::string("Unknown mode ") : std::string("未知模式 ")) + std::to_string(quality);
}

int GnssQualityLevel(int quality) {
    const QualityEntry* e = FindQuality(quality);
    return e ? e->level : 0;
}

std::string GnssQualityPaneText(int quality, bool english) {
    return (english ? std::string("GPS status:") : std::string("GPS状态：")) +
           GnssQualityName(quality, english);
}

PaneColours PaneColoursOf(PaneLook look) {
    switch (look) {
        case PaneLook::Alarm:
            return {Rgb(255, 255, 255), Rgb(225, 0, 0)};
        case PaneLook::Connected:
            return {Rgb(0, 0, 0), Rgb(238, 238, 238)};
        case PaneLook::Normal:
            break;
    }
    return {Rgb(238, 238, 238), Rgb(238, 238, 238)};
}

int NextTick(int tick) {
    if (tick < 0 || tick >= kTickLimit)
        return 0;
    return tick + 1;
}

StatusPanes UpdateStatusPanes(const StatusInputs& in, const AlarmSettings& alarm, int tick) {
    StatusPanes out;
    if (!in.projectOpen || in.idle)
        return out;
    const bool on = BlinkOn(tick);
    const bool en = in.english;
    const StreamAges& a = in.ages;

    if (!in.linkAlive) {
        Blink(out, kPaneNetwork, std::string(kNetDisconnected.In(en)), on);
        return out;
    }
    out.Pane(kPaneNetwork) = PaneView{PaneLook::Connected, std::string(kNetConnected.In(en))};
    if (!alarm.DeviceDataAlarmOn())
        return out;

    if (Silent(a.timeSignal))
        Blink(out, kPaneTimeSignal, std::string(kNoTime.In(en)), on);

    if (Silent(a.gnss)) {
        Blink(out, kPaneGnss, std::string(kNoGnss.In(en)), on);
    } else if (alarm.GnssQualityAlarmOn() && a.gnssQuality >= 0 &&
               GnssQualityLevel(a.gnssQuality) < alarm.gnssQualityThreshold) {
        Blink(out, kPaneGnss, GnssQualityPaneText(a.gnssQuality, en), on);
    }

    if (Silent(a.attitude))
        Blink(out, kPaneMotion, std::string(kNoMotion.In(en)), on);
    if (Silent(a.heading))
        Blink(out, kPaneHeading, std::string(kNoHeading.In(en)), on);

    const bool head1Silent = Silent(a.head1);
    if (!in.dualHead) {
        if (head1Silent)
            Blink(out, kPaneSonar, std::string(kNoSonar.In(en)), on);
    } else {
        const bool head2Silent = Silent(a.head2);
        if (head1Silent && head2Silent)
            Blink(out, kPaneSonar, std::string(kNoDualSonar.In(en)), on);
        else if (head2Silent)
            Blink(out, kPaneSonar, std::string(kNoSlaveSonar.In(en)), on);
        else if (head1Silent)
            Blink(out, kPaneSonar, std::string(kNoMasterSonar.In(en)), on);
    }
    return out;
}

StatusPanes StatusMonitor::Update(const StatusInputs& inputs, const AlarmSettings& alarm) {
    tick_ = NextTick(tick_);
    return UpdateStatusPanes(inputs, alarm, tick_);
}

bool CheckFreeDisk(int freeGiB) {
    if (freeGiB != 0)
        return false;
    platform::ShowBilingualMessage("当前工程所在磁盘剩余空间不足1G！",
                                   "The free hard disk space is less than 1G !", platform::kBoxWarning);
    return true;
}

}  // namespace marivane
