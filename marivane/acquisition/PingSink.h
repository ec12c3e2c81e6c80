#pragma once
// What the ping decoders call after queueing a ping: the ping processing, seen only through this
// interface so that decoding does not depend on how pings are positioned.

#include <cstddef>

namespace marivane {

class PingProcessor {
  public:
    virtual ~PingProcessor() = default;
    // Processes the queued pings; returns how many positioned pings now wait in the positioned-ping
    // queue (0 when this call produced none).
    virtual std::size_t ProcessPings() = 0;
};

}  // namespace marivane
