#pragma once
// The receiving side put together for tests: engine, coordinate calculator, message queue, a set
// clock, a ping processing stand-in, decoders and framer, and a receive buffer fed in chunks.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/Decoders.h"
#include "marivane/acquisition/Framer.h"
#include "marivane/acquisition/PingSink.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"

namespace testrig {

class CountingProcessor final : public marivane::PingProcessor {
  public:
    std::size_t ProcessPings() override {
        ++calls;
        return result;
    }
    std::size_t calls = 0;
    std::size_t result = 0;  // what every call reports
};

struct DecoderRig {
    explicit DecoderRig(std::size_t bufferSize = marivane::Framer::kReceiveBufferSize,
                        marivane::PacketRecorder* recorder = nullptr)
        : clock(platform::LocalDateTime{2024, 3, 1, 14, 5, 9, 0}),
          decoders(engine, coordinates, sink, clock),
          framer(&decoders, recorder, bufferSize),
          capacity(bufferSize) {
        decoders.SetPingProcessor(&processor);
    }

    // Appends `bytes` to the receive buffer `chunk` bytes at a time (0: all at once), framing after
    // each chunk as the receiving thread does. A buffer that would overflow is emptied first.
    void Feed(const std::vector<std::uint8_t>& bytes, std::size_t chunk = 0) {
        if (chunk == 0)
            chunk = bytes.empty() ? 1 : bytes.size();
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            const std::size_t n = std::min(chunk, bytes.size() - at);
            bool continuing = true;
            if (fill + n > capacity) {
                fill = 0;
                continuing = false;
            }
            // A heap block of exactly the buffered size, so that a read past the data is caught by
            // the address sanitizer.
            std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[fill + n]);
            if (fill > 0)
                std::memcpy(exact.get(), buffer.data(), fill);
            std::memcpy(exact.get() + fill, bytes.data() + at, n);
            const marivane::FrameResult r = framer.Frame(exact.get(), fill + n, continuing);
            fill = r.fill;
            lastStatus = r.status;
            buffer.assign(exact.get(), exact.get() + fill);
        }
    }

    marivane::AcquisitionEngine engine;
    geodesy::CCoordinateCal coordinates;
    platform::QueueMessageSink sink;
    platform::FixedClock clock;
    CountingProcessor processor;
    marivane::Decoders decoders;
    marivane::Framer framer;
    std::size_t capacity;
    std::vector<std::uint8_t> buffer;
    std::size_t fill = 0;
    unsigned lastStatus = 0;
};

}  // namespace testrig
