#include "marivane/acquisition/CoverageServer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/Binary.h"
#include "platform/Message.h"

namespace marivane {
namespace {

constexpr std::uint16_t kMessageHead = 0x4B51;  // "QK"
constexpr std::uint16_t kMessageTail = 0x5256;  // "VR"
constexpr std::uint8_t kMessageKind = 1;

platform::TcpServerOptions ServerOptions(const CoverageServerOptions& options,
                                         std::function<void(platform::TcpServerFault, int)> onFault) {
    platform::TcpServerOptions out;
    out.port = options.port;
    out.bindAddress = options.bindAddress;
    out.backlog = 10;
    out.clientBufferBytes = 64 * 1024;
    out.onFault = std::move(onFault);
    return out;
}

}  // namespace

std::int64_t ScaledTruncated(double value, double scale) {
    const double scaled = value * scale;
    if (std::isnan(scaled))
        return 0;
    // 2^63 is exact in a double; every double below it and above -2^63 converts without overflow.
    constexpr double kLimit = 9223372036854775808.0;
    if (scaled >= kLimit)
        return std::numeric_limits<std::int64_t>::max();
    if (scaled <= -kLimit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(scaled);  // truncates toward zero
}

CoverageRecord MakeCoverageRecord(const SwathEdge& edge, std::uint32_t sequence,
                                  const GridToGeoFunction& toGeo) {
    const GeoPoint port = toGeo ? toGeo(edge.portNorthing, edge.portEasting) : GeoPoint{};
    const GeoPoint starboard = toGeo ? toGeo(edge.starboardNorthing, edge.starboardEasting) : GeoPoint{};
    CoverageRecord r;
    r.sequence = sequence;
    r.portLongitude = ScaledTruncated(port.longitude, kCoverageDegreeScale);
    r.portLatitude = ScaledTruncated(port.latitude, kCoverageDegreeScale);
    r.starboardLongitude = ScaledTruncated(starboard.longitude, kCoverageDegreeScale);
    r.starboardLatitude = ScaledTruncated(starboard.latitude, kCoverageDegreeScale);
    r.timeMilliseconds = ScaledTruncated(edge.time, 1000.0);
    return r;
}

void AppendCoverageRecord(std::vector<std::uint8_t>& out, const CoverageRecord& record) {
    platform::ByteWriter w(out);
    w.Write(record.sequence);
    w.Write(record.portLongitude);
    w.Write(record.portLatitude);
    w.Write(record.starboardLongitude);
    w.Write(record.starboardLatitude);
    w.Write(record.timeMilliseconds);
}

std::vector<std::uint8_t> BuildCoverageMessage(std::span<const CoverageRecord> records) {
    std::vector<std::uint8_t> out;
    if (records.empty() || records.size() > kCoverageRecordsPerMessage)
        return out;
    const std::size_t length = kCoverageRecordSize * records.size() + kCoverageMessageOverhead;
    out.reserve(length);
    platform::ByteWriter w(out);
    w.Write(kMessageHead);
    w.Write(static_cast<std::uint16_t>(length));
    w.Write(kMessageKind);
    w.Write(static_cast<std::uint8_t>(records.size()));
    for (const CoverageRecord& r : records) AppendCoverageRecord(out, r);
    w.Write(kMessageTail);
    return out;
}

CoverageServer::CoverageServer(CoverageServerOptions options, GridToGeoFunction toGeo)
    : options_(std::move(options)),
      toGeo_(std::move(toGeo)),
      server_(ServerOptions(options_, [this](platform::TcpServerFault fault, int) { OnFault(fault); })) {}

CoverageServer::~CoverageServer() {
    server_.Stop();
}

bool CoverageServer::Start() {
    return server_.Start();
}
bool CoverageServer::Restart() {
    return server_.Restart();
}
void CoverageServer::Stop() {
    server_.Stop();
}

void CoverageServer::OnFault(platform::TcpServerFault fault) {
    switch (fault) {
        case platform::TcpServerFault::CreateFailed:
            platform::ShowBilingualMessage("Creat Error", "Creat Error");
            break;
        case platform::TcpServerFault::BindFailed:
            platform::ShowBilingualMessage("Bind Error", "Bind Error");
            break;
        case platform::TcpServerFault::ListenFailed:
            break;  // no message of its own; the server simply accepts nobody
        case platform::TcpServerFault::ClientBufferFailed:
            // Reported on the accept thread: shown later on the thread that runs the server.
            clientBufferFault_.store(true);
            break;
    }
}

void CoverageServer::ShowDeferredFault() {
    if (clientBufferFault_.exchange(false)) {
        platform::ShowBilingualMessage("g_sockConn_SONARsetsockopt SO_RCVBUF: ",
                                       "g_sockConn_SONARsetsockopt SO_RCVBUF: ");
    }
}

std::size_t CoverageServer::Waiting() const {
    std::lock_guard lock(backlogMutex_);
    return backlog_.size();
}

void CoverageServer::AddEdges(std::span<const SwathEdge> edges) {
    if (!options_.coverageOn)
        return;
    std::lock_guard lock(backlogMutex_);
    for (const SwathEdge& edge : edges) backlog_.push_back(MakeCoverageRecord(edge, nextSequence_++, toGeo_));
}

void CoverageServer::SendCoverage() {
    ShowDeferredFault();
    bool restart = false;
    {
        std::lock_guard lock(backlogMutex_);
        if (!options_.coverageOn) {
            backlog_.clear();
            return;
        }
        while (backlog_.size() > kCoverageBacklogLimit) backlog_.pop_front();

        // The rest of a message begun in an earlier round goes first.
        platform::SendResult result = server_.Flush();
        while (result == platform::SendResult::Sent && !backlog_.empty()) {
            const std::size_t k = std::min(backlog_.size(), kCoverageRecordsPerMessage);
            const std::vector<CoverageRecord> batch(backlog_.begin(),
                                                    backlog_.begin() + static_cast<std::ptrdiff_t>(k));
            result = server_.Send(BuildCoverageMessage(batch));
            if (result == platform::SendResult::Sent || result == platform::SendResult::Pending) {
                backlog_.erase(backlog_.begin(), backlog_.begin() + static_cast<std::ptrdiff_t>(k));
            }
        }
        restart = result == platform::SendResult::Failed;
    }
    // Restarting and any message it shows happen without the backlog lock.
    if (restart)
        Restart();
}

void CoverageServer::ProbeClient() {
    ShowDeferredFault();
    if (!options_.coverageOn || !server_.ClientConnected())
        return;
    if (server_.Probe() == platform::ProbeResult::Gone || server_.Flush() == platform::SendResult::Failed) {
        Restart();
    }
}

}  // namespace marivane
