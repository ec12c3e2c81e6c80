#pragma once
// The coverage output: one outside client may connect and receive the swath edges of the survey as
// they are measured, as geographic coordinates. Records wait in a backlog of at most 600 until a
// client takes them; they go out in messages of up to 255 records:
//
//   "QK" | uint16 length = 44 k + 8 | uint8 kind = 1 | uint8 k | k records of 44 bytes | "VR"
//
// The server is used from the user-interface thread (AddEdges, SendCoverage, ProbeClient, Start,
// Restart, Stop); only its accept thread runs beside it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "marivane/acquisition/Records.h"
#include "platform/TcpServer.h"

namespace marivane {

struct GeoPoint {
    double latitude = 0.0;   // degrees, south negative
    double longitude = 0.0;  // degrees, west negative
};

// Turns a grid position (northing, easting; height 0) into latitude and longitude.
using GridToGeoFunction = std::function<GeoPoint(double northing, double easting)>;

// One swath edge on the wire: 44 bytes, packed, little-endian, fields in this order.
struct CoverageRecord {
    std::uint32_t sequence = 0;      // 0 for the first record after start-up, then +1 per record
    std::int64_t portLongitude = 0;  // degrees × 10,000,000, truncated toward zero
    std::int64_t portLatitude = 0;
    std::int64_t starboardLongitude = 0;
    std::int64_t starboardLatitude = 0;
    std::int64_t timeMilliseconds = 0;  // epoch time × 1000, truncated toward zero
    friend bool operator==(const CoverageRecord&, const CoverageRecord&) = default;
};

inline constexpr std::size_t kCoverageRecordSize = 44;
inline constexpr std::size_t kCoverageMessageOverhead = 8;
inline constexpr std::size_t kCoverageRecordsPerMessage = 255;
inline constexpr std::size_t kCoverageBacklogLimit = 600;
inline constexpr double kCoverageDegreeScale = 10'000'000.0;

// value × scale truncated toward zero; 0 for NaN, and the nearest end of the range for values beyond
// what 64 bits hold.
std::int64_t ScaledTruncated(double value, double scale);

CoverageRecord MakeCoverageRecord(const SwathEdge& edge, std::uint32_t sequence,
                                  const GridToGeoFunction& toGeo);
void AppendCoverageRecord(std::vector<std::uint8_t>& out, const CoverageRecord& record);
// A whole message of 1 to 255 records (an empty or longer span gives an empty result).
std::vector<std::uint8_t> BuildCoverageMessage(std::span<const CoverageRecord> records);

struct CoverageServerOptions {
    bool coverageOn = false;              // CoverageOn of the network settings
    std::uint16_t port = 6688;            // 0 picks a free port
    std::string bindAddress = "0.0.0.0";  // every local address
};

class CoverageServer {
public:
    CoverageServer(CoverageServerOptions options, GridToGeoFunction toGeo);
    ~CoverageServer();
    CoverageServer(const CoverageServer&) = delete;
    CoverageServer& operator=(const CoverageServer&) = delete;

    // Listens and starts the accept thread. A socket that cannot be created shows "Creat Error", a
    // port that cannot be bound "Bind Error"; the accept thread runs all the same.
    bool Start();
    // Closes every socket, listens again and restarts the accept thread.
    bool Restart();
    void Stop();

    // Appends one record per edge to the backlog when coverage is on, numbering them in turn.
    void AddEdges(std::span<const SwathEdge> edges);
    // Sends what waits: nothing (and an emptied backlog) with coverage off; otherwise the backlog cut
    // to its newest 600 records, then messages of up to 255 records while a client takes them. A
    // message the client takes only in part is finished first in the next round; a real socket error
    // restarts the server.
    void SendCoverage();
    // The once-a-second look at the client: a client that closed or failed restarts the server; the
    // rest of a message begun earlier is sent on.
    void ProbeClient();

    bool CoverageOn() const { return options_.coverageOn; }
    std::size_t Waiting() const;
    bool ClientConnected() const { return server_.ClientConnected(); }
    std::uint16_t Port() const { return server_.Port(); }
    std::size_t PendingBytes() const { return server_.PendingBytes(); }

private:
    void OnFault(platform::TcpServerFault fault);
    void ShowDeferredFault();

    CoverageServerOptions options_;
    GridToGeoFunction toGeo_;
    std::atomic<bool> clientBufferFault_{false};
    platform::TcpServer server_;

    mutable std::mutex backlogMutex_;
    std::deque<CoverageRecord> backlog_;  // under backlogMutex_
    std::uint32_t nextSequence_ = 0;      // under backlogMutex_
};

}  // namespace marivane
