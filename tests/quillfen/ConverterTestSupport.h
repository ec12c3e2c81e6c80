#pragma once
// Helpers of the converter's tests, written without the converter's own code: packets and raw data
// files built byte by byte, a plain walk over the packets of a raw data file, and readers of the HSX
// and XTF files the converter writes.

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/RawFile.h"

namespace qftest {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
  public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("quillfen_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& Path() const { return path_; }

    // Every file name in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline Bytes ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::filesystem::path& file) {
    const Bytes b = ReadAll(file);
    return std::string(b.begin(), b.end());
}

inline void WriteAll(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

template <typename T>
void Put(Bytes& b, std::size_t at, T v) {
    std::memcpy(b.data() + at, &v, sizeof v);
}

template <typename T>
T Get(const Bytes& b, std::size_t at) {
    T v{};
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

template <typename T>
T GetBE(const Bytes& b, std::size_t at) {
    std::uint8_t tmp[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) tmp[i] = b[at + sizeof(T) - 1 - i];
    T v{};
    std::memcpy(&v, tmp, sizeof v);
    return v;
}

inline std::string TextAt(const Bytes& b, std::size_t at, std::size_t width) {
    std::string s(reinterpret_cast<const char*>(b.data() + at), width);
    return s.substr(0, s.find('\0'));
}

// ---- Packets ---------------------------------------------------------------------------------------

struct Clock {
    int year = 2024, month = 3, day = 1, hour = 4, minute = 5, second = 6;
    std::uint32_t micros = 0;

    Clock Plus(double seconds) const {  // within the same day only
        Clock c = *this;
        const double total = hour * 3600.0 + minute * 60.0 + second + micros * 1e-6 + seconds;
        const auto whole = static_cast<long>(std::floor(total));
        c.hour = static_cast<int>(whole / 3600);
        c.minute = static_cast<int>(whole / 60 % 60);
        c.second = static_cast<int>(whole % 60);
        c.micros = static_cast<std::uint32_t>(std::llround((total - static_cast<double>(whole)) * 1e6));
        if (c.micros >= 1000000) {
            c.micros -= 1000000;
            ++c.second;  // tests keep clear of minute boundaries here
        }
        return c;
    }
};

// A packet of `length` bytes: header (magic, 24, 0x0102, length, flags, type), zero body, tail.
inline Bytes Packet(std::uint32_t type, std::size_t length, std::uint32_t flags = 0) {
    Bytes b(length, 0);
    const std::uint8_t magic[4] = {'W', 'L', 'N', 0};
    std::memcpy(b.data(), magic, 4);
    Put<std::uint16_t>(b, 4, 24);
    Put<std::uint16_t>(b, 6, 0x0102);
    Put<std::uint32_t>(b, 8, static_cast<std::uint32_t>(length));
    Put<std::uint32_t>(b, 12, flags);
    Put<std::uint32_t>(b, 20, type);
    Put<std::uint32_t>(b, length - 4, 0x77EEEE77u);
    return b;
}

inline void PutClock(Bytes& b, std::size_t yearAt, std::size_t microsAt, const Clock& c) {
    Put<std::uint16_t>(b, yearAt, static_cast<std::uint16_t>(c.year));
    b[yearAt + 2] = static_cast<std::uint8_t>(c.month);
    b[yearAt + 3] = static_cast<std::uint8_t>(c.day);
    b[yearAt + 4] = static_cast<std::uint8_t>(c.hour);
    b[yearAt + 5] = static_cast<std::uint8_t>(c.minute);
    b[yearAt + 6] = static_cast<std::uint8_t>(c.second);
    Put<std::uint32_t>(b, microsAt, c.micros);
}

struct PingSpec {
    int head = 0;
    Clock clock;
    std::uint32_t pingNumber = 1;
    std::string model = "TR240";
    std::string device = "7";
    float soundVelocity = 1500.0f;
    std::uint16_t flags = 0;
    float rangeScale = 1e-5f;
    float angleScale = 0.01f;
    std::vector<std::uint16_t> counts;  // two-way samples
    std::vector<std::int16_t> angles;   // angle counts
    int declaredBeams = -1;             // the beam count field; -1: counts.size()
};

inline Bytes FullPing(const PingSpec& s) {
    const std::size_t n = s.counts.size();
    const std::size_t even = (n + 1) & ~std::size_t{1};
    Bytes b = Packet(s.head == 0 ? 3000 : 3300, 148 + 8 * even);
    std::memcpy(b.data() + 24, s.model.data(), std::min<std::size_t>(8, s.model.size()));
    std::memcpy(b.data() + 32, s.device.data(), std::min<std::size_t>(8, s.device.size()));
    Put<std::uint32_t>(b, 40, s.pingNumber);
    PutClock(b, 44, 52, s.clock);
    Put<float>(b, 56, 0.25f);
    Put<float>(b, 92, s.soundVelocity);
    Put<std::uint16_t>(b, 120, s.flags);
    Put<std::uint16_t>(b, 122, static_cast<std::uint16_t>(s.declaredBeams < 0 ? n : s.declaredBeams));
    Put<float>(b, 128, 130.0f);
    Put<float>(b, 132, s.rangeScale);
    Put<float>(b, 136, s.angleScale);
    for (std::size_t i = 0; i < n; ++i) {
        Put<std::uint16_t>(b, 144 + 2 * i, s.counts[i]);
        Put<std::int16_t>(b, 144 + 6 * even + 2 * i, i < s.angles.size() ? s.angles[i] : std::int16_t{0});
    }
    return b;
}

inline Bytes Fix(const Clock& c, double latitude, double longitude, float altitude = 5.0f,
                 float separation = 10.0f, std::uint8_t quality = 4, std::uint8_t satellites = 12,
                 float hdop = 0.8f) {
    Bytes b = Packet(5001, 72);
    PutClock(b, 24, 32, c);
    Put<double>(b, 36, latitude);
    Put<double>(b, 44, longitude);
    b[52] = quality;
    b[53] = satellites;
    Put<float>(b, 56, hdop);
    Put<float>(b, 60, altitude);
    Put<float>(b, 64, separation);
    return b;
}

inline Bytes Heading(const Clock& c, float heading) {
    Bytes b = Packet(5004, 44);
    PutClock(b, 24, 32, c);
    Put<float>(b, 36, heading);
    return b;
}

inline Bytes Attitude(const Clock& c, float roll, float pitch, float heave) {
    Bytes b = Packet(5005, 52);
    PutClock(b, 24, 32, c);
    Put<float>(b, 36, roll);
    Put<float>(b, 40, pitch);
    Put<float>(b, 44, heave);
    return b;
}

// A binary (1.2.0) raw data file: the acquisition program's preamble, then the packets.
inline Bytes BinaryFile(const std::vector<Bytes>& packets, const marivane::RawFileDevice& device = {},
                        const geodesy::ParaOfGeo& geo = geodesy::DefaultParaOfGeo()) {
    Bytes file = marivane::MakeRawFilePreamble(device, geo);
    for (const Bytes& p : packets) file.insert(file.end(), p.begin(), p.end());
    return file;
}

// A text-body raw data file: "1.1.0" (device block and geodetic block) or "1.0.0" (legacy block).
// `inputs` are the twelve int32 of the input settings at block offset 240.
inline Bytes TextFile(const std::string& body, const std::array<std::int32_t, 12>& inputs,
                      const std::string& version = "1.1.0", const Bytes& legacyBlock = {}) {
    marivane::RawFileDevice device;
    Bytes file = marivane::MakeRawFilePreamble(device, geodesy::DefaultParaOfGeo());
    std::memset(file.data() + 28, 0, 8);
    std::memcpy(file.data() + 28, version.data(), version.size());
    if (version == "1.0.0") {
        file.resize(64 + 512);
        Put<std::uint32_t>(file, 0, 512);
        if (!legacyBlock.empty())
            std::memcpy(file.data() + 64, legacyBlock.data(), 512);
    }
    for (std::size_t k = 0; k < 12; ++k) Put<std::int32_t>(file, 64 + 240 + 4 * k, inputs[k]);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

inline std::string Marker(const std::string& tag, const Clock& c) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "$MARKTIME,%s,%04d,%02d,%02d,%02d,%02d,%02d,%06u*\r\n", tag.c_str(),
                  c.year, c.month, c.day, c.hour, c.minute, c.second, c.micros);
    return buffer;
}

// ---- Walking a raw data file -----------------------------------------------------------------------

struct RawPacket {
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    Bytes bytes;
};

// The packets after the preamble of a file written without faults.
inline std::vector<RawPacket> WalkPackets(const Bytes& file) {
    std::vector<RawPacket> out;
    std::size_t at = marivane::kRawFilePreambleSize;
    while (at + 28 <= file.size()) {
        const auto length = Get<std::uint32_t>(file, at + 8);
        if (Get<std::uint32_t>(file, at) != 0x004E4C57u || length < 28 || at + length > file.size())
            break;
        RawPacket p;
        p.type = Get<std::uint32_t>(file, at + 20);
        p.flags = Get<std::uint32_t>(file, at + 12);
        p.bytes.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + length));
        out.push_back(std::move(p));
        at += length;
    }
    return out;
}

// Seconds since 1970 of a packet's clock, 8 hours later (the converter's local time).
inline double LocalEpoch(const Bytes& p, std::size_t yearAt, std::size_t microsAt) {
    const int y = Get<std::uint16_t>(p, yearAt), m = p[yearAt + 2], d = p[yearAt + 3];
    // Days from civil (proleptic Gregorian).
    const int yy = y - (m <= 2 ? 1 : 0);
    const int era = yy / 400;
    const int yoe = yy - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long days = era * 146097L + yoe * 365L + yoe / 4 - yoe / 100 + doy - 719468L;
    return static_cast<double>(days) * 86400.0 + p[yearAt + 4] * 3600.0 + p[yearAt + 5] * 60.0 +
           p[yearAt + 6] + Get<std::uint32_t>(p, microsAt) * 1e-6 + 8 * 3600.0;
}

// ---- Reading HSX -----------------------------------------------------------------------------------

struct HsxRecord {
    std::string name;
    std::vector<std::string> fields;          // after the name
    std::vector<std::vector<double>> values;  // RMB: the three value lines
    std::string line;
};

struct HsxFile {
    std::vector<std::string> header;  // "FTP NEW 2" up to "EOH"
    std::vector<HsxRecord> records;   // after EOH
};

inline std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

inline HsxFile ParseHsx(const std::string& text) {
    HsxFile f;
    std::istringstream in(text);
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (header) {
            f.header.push_back(line);
            header = line != "EOH";
            continue;
        }
        HsxRecord r;
        r.line = line;
        const std::vector<std::string> w = Words(line);
        if (w.empty())
            continue;
        r.name = w[0];
        r.fields.assign(w.begin() + 1, w.end());
        if (r.name == "RMB") {
            for (int k = 0; k < 3; ++k) {
                std::string values;
                std::getline(in, values);
                std::vector<double> v;
                for (const std::string& s : Words(values)) v.push_back(std::stod(s));
                r.values.push_back(v);
            }
        }
        f.records.push_back(std::move(r));
    }
    return f;
}

// ---- Reading XTF -----------------------------------------------------------------------------------

struct XtfPacket {
    std::uint8_t type = 0;
    Bytes bytes;  // the whole packet
};

struct XtfFile {
    Bytes header;  // 1024 bytes
    std::vector<XtfPacket> packets;
    bool wellFormed = true;
};

inline XtfFile ParseXtf(const Bytes& file) {
    XtfFile x;
    if (file.size() < 1024) {
        x.wellFormed = false;
        return x;
    }
    x.header.assign(file.begin(), file.begin() + 1024);
    std::size_t at = 1024;
    while (at < file.size()) {
        if (at + 14 > file.size() || Get<std::uint16_t>(file, at) != 0xFACE) {
            x.wellFormed = false;
            break;
        }
        const auto length = Get<std::uint32_t>(file, at + 10);
        if (length < 14 || at + length > file.size()) {
            x.wellFormed = false;
            break;
        }
        XtfPacket p;
        p.type = file[at + 2];
        p.bytes.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + length));
        x.packets.push_back(std::move(p));
        at += length;
    }
    return x;
}

}  // namespace qftest
