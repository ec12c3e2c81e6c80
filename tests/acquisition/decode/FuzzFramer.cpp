#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "DecoderRig.h"
#include "marivane/acquisition/PacketHandlers.h"

// Any bytes as a received stream, fed to the framer and every decoder in reads whose sizes come
// from the first input byte, through a receive buffer handed over at its exact size. Also every
// decoder on the whole input as one packet, whatever its header says.
namespace {

struct CheckingRecorder final : marivane::PacketRecorder {
    bool RecordPacket(const std::uint8_t* bytes, std::size_t length) override {
        // Only whole packets with the magic at the front and the tail at the end reach the recorder.
        static const std::uint8_t kTail[4] = {0x77, 0xEE, 0xEE, 0x77};
        if (length < 28 || std::memcmp(bytes, "WLN", 4) != 0 ||
            std::memcmp(bytes + length - 4, kTail, 4) != 0) {
            __builtin_trap();
        }
        return true;
    }
};

void CheckRecords(const marivane::AcquisitionEngine& engine) {
    const marivane::PingRecord ping = engine.currentPing.Copy();
    if (ping.beamCount > marivane::kMaxBeams || ping.model[7] != 0)
        __builtin_trap();
    if (engine.fixHistory.Copy().size() > marivane::AcquisitionEngine::kFixHistoryLength)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    CheckingRecorder recorder;
    testrig::DecoderRig rig(4096, &recorder);
    rig.processor.result = data[0] & 1;
    const std::size_t chunk = 1 + data[0] % 97;
    rig.Feed(std::vector<std::uint8_t>(data + 1, data + size), chunk);
    if (rig.fill > 4096)
        __builtin_trap();
    CheckRecords(rig.engine);

    testrig::DecoderRig direct;
    const std::span<const std::uint8_t> whole(data, size);
    direct.decoders.DecodePing(whole, 0);
    direct.decoders.DecodePing(whole, 1);
    direct.decoders.DecodeShortPing(whole);
    direct.decoders.DecodeGnss(whole);
    direct.decoders.DecodeHeading(whole);
    direct.decoders.DecodeAttitude(whole);
    direct.decoders.DecodeTime(whole);
    direct.decoders.Decode(whole);
    CheckRecords(direct.engine);
    return 0;
}
