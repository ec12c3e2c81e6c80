// Writes the seed corpora of the converter's fuzz tests: raw data files of each format with every
// kind of packet or record, and text bodies for the text parsers.

#include <cstdio>
#include <filesystem>

#include "ConverterTestSupport.h"

namespace {

using namespace qftest;

std::string SonarRecords() {
    std::string hex;
    for (int k = 0; k < 512; ++k) hex += k % 3 == 0 ? "01A0" : "00ff";
    std::string tr2400 = "$TR2400,x,5,040506.50,1,3,2024,8,1,3,1500,f11,10," + hex + ",f14";
    for (int k = 15; k <= 22; ++k) tr2400 += "#" + std::to_string(k % 10);
    tr2400 += std::string(2300 - tr2400.size(), ' ');
    std::string tr1200 = "$TR2401,ABCDE,6,040507.50,1,3,2024,0,b,3,1480,0,20," + hex;
    for (int k = 14; k <= 34; ++k)
        tr1200 += "," + std::string(k == 27 ? "xxxx-05xxxxx" : k == 15 ? "7" : "1");
    tr1200 += std::string(2400 - tr1200.size(), ' ');
    return tr2400 + "\r\n" + tr1200 + "\r\n";
}

std::string TextBody() {
    const Clock c{};
    std::string body;
    body += "$GPGGA,040506.00,3030.0000,N,11715.0000,E,4,12,0.8,5.0,M,10.0,M,,*5C\r\n" + Marker("GPSI", c);
    body += "$GPGGA,235958.00,3030.0000,S,11715.0000,W,2,7,1.8,5.0,M,10.0,M,,*5C\r\n" +
            Marker("GPSO", Clock{2024, 3, 2, 0, 0, 1, 0});
    body += ":12345 -0123  0456 -0789\r\n" + Marker("ATTI", c.Plus(0.1));
    body += ":00A000 -0012Q 0150  0275\r\n" + Marker("ATTO", c.Plus(0.2));
    body += "$HEHDT,271.5,T*00\r\n" + Marker("HEADO", c.Plus(0.3));
    body += "$HEAPP,x,040510.50,x,95.5,1.25,2.5,x,-0.75*00\r\n" + Marker("ATTO", c.Plus(0.4));
    body += "$PASHR,040506.25,200.0,T,-1.0,0.5,0.25,a,b,c,d,e*00\r\n" + Marker("ATTO", c.Plus(0.5));
    body += "$PSV 1512.30 m/s\r\n" + Marker("SVPI", c.Plus(0.6));
    body += SonarRecords() + Marker("DEPTH", c.Plus(0.7));
    return body;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <raw corpus dir> <text corpus dir>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path raw(argv[1]), text(argv[2]);
    std::filesystem::create_directories(raw);
    std::filesystem::create_directories(text);

    const Clock c{};
    PingSpec ping;
    ping.clock = c;
    ping.counts = {1000, 2000, 3000, 4000, 5000};
    ping.angles = {-4000, -2000, 0, 2000, 4000};
    PingSpec second = ping;
    second.head = 1;
    second.clock = c.Plus(0.1);
    Bytes shortPing = Packet(3004, 88 + 2 * 4);
    std::memcpy(shortPing.data() + 24, "TR240", 5);
    PutClock(shortPing, 44, 52, c.Plus(0.2));
    shortPing[68] = 5;
    Put<float>(shortPing, 72, -3.0f);
    Put<std::uint16_t>(shortPing, 70, 4);
    Put<float>(shortPing, 80, 1e-5f);
    Bytes flagged = FullPing(ping);
    Put<std::uint32_t>(flagged, 12, 1);
    marivane::RawFileDevice device;
    device.dualHead = 1;
    device.gnss = {0.5, -2.4, -6.8, 0, 0, 0, 0};
    WriteAll(raw / "binary", BinaryFile({Attitude(c, 1, 2, 0.5f), Heading(c, 359), Fix(c, 30.5, 117.25),
                                         FullPing(ping), FullPing(second), shortPing, flagged,
                                         Packet(5000, 40), Fix(c.Plus(1), 30.5001, 117.25),
                                         Heading(c.Plus(1), 1), Attitude(c.Plus(1), -1, 0, 0)},
                                        device));
    std::array<std::int32_t, 12> inputs{};
    inputs[3] = 1;  // motion on port 1 ...
    inputs[4] = 3;  // ... in $HEAPP format
    inputs[6] = 3;  // heading sentences
    inputs[9] = 1;  // sound velocity on port 1
    WriteAll(raw / "text_1_1_0", TextFile(TextBody(), inputs));
    WriteAll(raw / "text_1_0_0", TextFile(TextBody(), {}, "1.0.0"));

    // Text corpus: one settings byte, then the body.
    for (const int settings : {0x00, 0x1F, 0x2A}) {
        const std::string body = TextBody();
        Bytes b(1, static_cast<std::uint8_t>(settings));
        b.insert(b.end(), body.begin(), body.end());
        WriteAll(text / ("body_" + std::to_string(settings)), b);
    }
    return 0;
}
