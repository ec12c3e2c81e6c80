#pragma once
// The raw data file reader of the converter: loads one raw data file (".mbm") into five time-ordered
// sample lists, with every position in grid coordinates of the file's (or the converter's own)
// coordinate system, the installation set and the file's default sound velocity; the writers then walk
// the lists in time order with NextRecordInTime.
//
// File layout as read: a 64-byte header whose first uint32 is the size of the parameter area that
// follows and whose 8 bytes at offset 28 are the body format:
//   512  "1.0.0"  512-byte legacy parameter block, text records
//   1768 "1.1.0"  512-byte device block and 1256-byte geodetic block, text records
//   1768 "1.2.0"  as "1.1.0", then sonar packets framed exactly as the live stream is
// Any other header reads nothing.

#include <cstddef>
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "geodesy/ParaOfGeo.h"
#include "platform/MappedFile.h"
#include "quillfen/Messages.h"
#include "quillfen/SampleLists.h"
#include "quillfen/Samples.h"
#include "quillfen/TextBody.h"

namespace quillfen {

struct ReaderOptions {
    // Use `ownParameters` (the converter's own coordinate system) instead of the file's.
    bool resetCoordinateSystem = false;
    geodesy::ParaOfGeo ownParameters = geodesy::DefaultParaOfGeo();
    // The user's surface sound velocity, which then is the file's default sound velocity.
    bool surfaceSoundVelocity = false;
    double surfaceSoundVelocityValue = 1500.0;
};

enum class BodyFormat { None, Text, Binary };

enum class OpenStatus {
    Ok,
    OpenFailed,     // the file could not be opened
    ReadFailed,     // reading failed part way
    Empty,          // no bytes at all
    Truncated,      // the file ends inside its header or parameter area
    UnknownFormat,  // the header names no format this reader knows
};

// What a body held that was not data: nothing of it is fatal to the reading, but every item means
// that bytes of the file were passed over.
struct BodyDamage {
    std::uint64_t bytesSkipped = 0;      // bytes between packets that began no packet
    std::uint64_t brokenPackets = 0;     // a wrong tail or an impossible length
    std::uint64_t bytesDropped = 0;      // buffered bytes thrown away with them (text: records cut away)
    std::uint64_t malformedPackets = 0;  // a good tail, but too short for the fields of their type
    std::uint64_t trailingBytes = 0;     // an unfinished packet or record at the end of the file

    bool Any() const {
        return bytesSkipped != 0 || brokenPackets != 0 || bytesDropped != 0 || malformedPackets != 0 ||
               trailingBytes != 0;
    }
};

// The lists NextRecordInTime compares, in its tie order.
enum RecordList : int { kNoRecord = -1, kAttitudeList = 0, kFixList = 1, kPingList = 2, kHeadingList = 3 };

// How far a writer has read each list.
struct RecordCursor {
    std::size_t attitude = 0, fix = 0, ping = 0, heading = 0;
};

class RawDataReader {
  public:
    static constexpr std::size_t kChunkSize = 65536;
    static constexpr std::size_t kBufferSize = 16 * 1024 * 1024;
    static constexpr std::size_t kRestartFill = 0xFF0000;  // the packet buffer starts again beyond this

    RawDataReader();

    // Clears every list and reads the whole file. The result's message is empty on success; on an
    // open failure it is "Open the File Failed", otherwise it says what is wrong with the file.
    struct OpenResult {
        OpenStatus status = OpenStatus::Ok;
        BilingualText message;
        bool Ok() const { return status == OpenStatus::Ok; }
    };
    OpenResult OpenRawFile(const std::filesystem::path& path, const ReaderOptions& options = {});
    // The same from bytes in memory (a copy is kept), read in the same chunks as a file.
    OpenResult OpenRawBytes(std::span<const std::uint8_t> bytes, const ReaderOptions& options = {});

    const std::vector<RawAttitude>& Attitudes() const { return lists_.attitudes; }
    const std::vector<RawFix>& Fixes() const { return lists_.fixes; }
    const PingList& Pings() const { return lists_.pings; }
    // The beams of ping `index` (of Pings()): binary pings are decoded from the file now, with every
    // bound checked again; slots above the ping's beam count, and every slot of a ping that is no
    // longer readable, are 0.
    void DecodeBeams(std::size_t index, PingBeams& out) const;
    PingBeams BeamsOf(std::size_t index) const;
    // True when the file became shorter while it was being read or converted: what was read of
    // the missing part was zeros, and the conversion must not be reported as a success.
    bool SourceShortened() const;
    const std::vector<RawHeading>& Headings() const { return lists_.headings; }
    const std::vector<RawSoundVelocity>& SoundVelocities() const { return lists_.soundVelocities; }

    // The list whose next unread sample is the earliest (ties: attitude, fix, ping, heading), or
    // kNoRecord when all are read; its date and time become the current time. A list is left out of
    // the comparison by giving its cursor its size.
    int NextRecordInTime(const RecordCursor& cursor);
    // The same without touching the current time (`time`, when given, points at the sample's), so
    // that several threads may walk the lists at once.
    int PeekNextRecord(const RecordCursor& cursor, const TimeHead** time = nullptr) const;
    const TimeHead& CurrentTime() const { return current_; }

    // Empties the sample lists and lets go of the file (the writers do when they are done).
    void ClearLists();

    const InstallationSet& Installation() const { return installation_; }
    bool DualHead() const { return dualHead_; }
    int BeamCount() const { return lists_.beamCount; }
    double DefaultSoundVelocity() const { return defaultSoundVelocity_; }
    // The model text of the last ping read (the array constant of the refraction correction).
    const std::string& LastPingModel() const { return lists_.lastPingModel; }
    const geodesy::CCoordinateCal& Coordinates() const { return coordinates_; }
    // The coordinate system the file carries (built from the legacy block for format "1.0.0").
    const geodesy::ParaOfGeo& FileParameters() const { return fileParameters_; }
    const std::string& FormatVersion() const { return formatVersion_; }
    BodyFormat Format() const { return format_; }
    const InputSettings& Inputs() const { return inputs_; }
    const BodyDamage& Damage() const { return damage_; }
    // Samples refused by the date checks, the duplicate rule or a range check.
    std::uint64_t RefusedSamples() const { return lists_.refused; }
    std::uint64_t FileSize() const { return fileSize_; }

  private:
    struct ByteCursor;
    OpenResult Read(const ReaderOptions& options, const std::string& name);
    OpenResult ReadParameters(ByteCursor& source, const ReaderOptions& options, const std::string& name);
    void ReadBinaryBody(ByteCursor& source);
    void ReadTextBody(ByteCursor& source);
    void Reset();
    std::span<const std::uint8_t> PacketOf(const BeamPlace& place) const;
    bool OwnAngles(const BeamPlace& place, std::array<float, kBeamSlots>& angle) const;

    platform::MappedFile file_;
    bool shortened_ = false;  // the file shrank under a reading now closed

    geodesy::CCoordinateCal coordinates_;
    SampleLists lists_;
    geodesy::ParaOfGeo fileParameters_ = geodesy::DefaultParaOfGeo();
    InstallationSet installation_{};
    bool dualHead_ = false;
    InputSettings inputs_;
    double defaultSoundVelocity_ = 1500.0;
    std::string formatVersion_;
    BodyFormat format_ = BodyFormat::None;
    BodyDamage damage_;
    TimeHead current_;
    std::uint64_t fileSize_ = 0;
};

// The coordinate system of a format "1.0.0" legacy parameter block (512 bytes).
geodesy::ParaOfGeo ParaOfGeoFromLegacyBlock(std::span<const std::uint8_t, 512> block);

}  // namespace quillfen
