#pragma once
// The sonar's side of the TCP link: listens on one address, serves one client at a time with the
// packet stream, paced to the packets' send times (or faster), and reads and throws away whatever the
// client sends (its keep-alives). When a client goes away the server waits for the next one and goes
// on with the packet it was sending, from that packet's first byte. Every wait is bounded.

#include <cstdint>
#include <ostream>
#include <string>

#include "tools/sonarsim/FaultInjector.h"

namespace sonarsim {

class ItemSource {
  public:
    virtual ~ItemSource() = default;
    virtual bool Next(StreamItem& item) = 0;
};

struct ServeSettings {
    double speed = 1.0;          // times faster than the send times; 0 sends as fast as the client reads
    double waitClient = 120.0;   // seconds to wait for a client before giving up
    double maxRuntime = 0;       // seconds after which the run stops; 0: only when the stream ends
    double stallTimeout = 10.0;  // a client that takes nothing for this long counts as gone
};

struct ServeResult {
    bool completed = false;  // the whole stream went out
    std::uint64_t clients = 0;
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesReceived = 0;
    std::string error;
};

class StreamServer {
  public:
    StreamServer() = default;
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    // Dotted IPv4 address; port 0 picks a free port (see Port()).
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t Port() const { return port_; }

    // Streams until the source ends, the run time is up or no client comes. `log` (may be null) gets
    // one line per client event.
    ServeResult Serve(ItemSource& source, const ServeSettings& settings, std::ostream* log);

  private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace sonarsim
