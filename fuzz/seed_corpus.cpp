// SPDX-License-Identifier: MIT
// Writes the seed corpus of the fuzz targets: a few small, well-formed inputs per target,
// built with the program-stream builder of the tests, each led by the control bytes its
// target expects.
//
//   morvale_fuzz_seeds <folder>    writes <folder>/<target>/<name> for every target

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sample_disc/hd_subpicture_unit.h"
#include "support/bit_writer.h"
#include "support/program_stream_builder.h"

namespace morvale::testing {
namespace {

namespace fs = std::filesystem;

// ---- Elementary streams ----

// SMPTE 421M advanced-profile sequence header of a 1920x1080 stream at 24000/1001.
Bytes vc1SequenceHeader(int aspectRatio = 1, bool frameRateInd = false) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x0F});
    w.bits(3, 2).bits(3, 3).bits(1, 2).bits(7, 3).bits(31, 5).flag(true);
    w.bits(959, 12).bits(539, 12).flag(true).flag(false);
    w.flag(true).flag(false).flag(true).flag(false);
    w.flag(true).bits(1919, 14).bits(1079, 14);  // DISPLAY_EXT
    w.flag(true).bits(aspectRatio, 4);
    if (aspectRatio == 15) w.bits(16, 8).bits(9, 8);
    w.flag(true).flag(frameRateInd);
    if (frameRateInd) {
        w.bits(0x2FF, 16);
    } else {
        w.bits(1, 8).bits(2, 4);
    }
    w.flag(false).flag(false).flag(true).alignWithZeros();
    return w.data();
}

const Bytes kVc1EntryPoint = {0x00, 0x00, 0x01, 0x0E, 0x48, 0xD1, 0xE0, 0x80};
const Bytes kVc1Frame = {0x00, 0x00, 0x01, 0x0D, 0x3B, 0x5C, 0xA1, 0x77, 0x12, 0x80};

// ISO/IEC 13818-2 sequence header, sequence extension, group of pictures and pictures.
Bytes mpeg2SequenceHeader(int frameRateCode = 4) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0xB3});
    w.bits(720, 12).bits(576, 12).bits(3, 4).bits(frameRateCode, 4);
    w.bits(0x3FFFF, 18).flag(true).bits(597, 10).flag(false).flag(false).flag(false);
    return w.data();
}

Bytes mpeg2SequenceExtension() {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0xB5});
    w.bits(1, 4).bits(0x48, 8).flag(false).bits(1, 2).bits(0, 2).bits(0, 2);
    w.bits(0, 12).flag(true).bits(0, 8).flag(false).bits(0, 2).bits(0, 5);
    return w.data();
}

Bytes mpeg2Picture(int codingType) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x00});
    w.bits(0, 10).bits(codingType, 3).bits(0xFFFF, 16);
    if (codingType == 2 || codingType == 3) w.flag(false).bits(7, 3);
    if (codingType == 3) w.flag(false).bits(7, 3);
    w.flag(false).alignWithZeros();
    w.bytes({0x00, 0x00, 0x01, 0xB5});  // picture coding extension
    w.bits(8, 4).bits(0x1FFF, 16).bits(1, 2).bits(3, 2).bits(0b1000001110, 10).alignWithZeros();
    w.bytes({0x00, 0x00, 0x01, 0x01, 0x13, 0xF8, 0x7D});  // a slice
    return w.data();
}

const Bytes kGroupOfPictures = {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40};

// ISO/IEC 14496-10 access unit delimiter and sequence parameter set.
Bytes h264Delimiter(int primaryPicType) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x00, 0x01, 0x09}).bits(primaryPicType, 3).flag(true).alignWithZeros();
    return w.data();
}

Bytes h264ParameterSet(int profileIdc, uint8_t constraints, int levelIdc) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x00, 0x01, 0x67});
    w.bits(profileIdc, 8).bits(constraints, 8).bits(levelIdc, 8).expGolomb(0);
    if (profileIdc >= 100) w.expGolomb(1).expGolomb(0).expGolomb(0).flag(false).flag(false);
    w.expGolomb(0).expGolomb(0).expGolomb(2).expGolomb(4).flag(false);
    w.expGolomb(119).expGolomb(67).flag(true).flag(true).flag(false).flag(false);
    w.flag(true).alignWithZeros();
    return w.data();
}

const Bytes kH264Slice = {0x00, 0x00, 0x01, 0x65, 0x88, 0x84, 0x3A, 0x7F, 0xC1};

// A/52 and Annex E syncframes, cut short after their first bytes (the reports read five).
Bytes ac3Frame(int fscod, int frmsizecod, int bsid, int acmod) {
    BitWriter w;
    w.bits(0x0B77, 16).bits(0x4A3C, 16).bits(fscod, 2).bits(frmsizecod, 6);
    w.bits(bsid, 5).bits(0, 3).bits(acmod, 3).bits(0, 4).flag(true).bits(27, 5).alignWithZeros();
    Bytes frame = w.data();
    frame.resize(32);
    return frame;
}

Bytes eac3Frame(int fscod, int frmsiz, int numblkscod, int acmod) {
    BitWriter w;
    w.bits(0x0B77, 16).bits(0, 2).bits(0, 3).bits(frmsiz, 11);
    w.bits(fscod, 2).bits(numblkscod, 2).bits(acmod, 3).flag(true);
    w.bits(16, 5).bits(27, 5).flag(false).alignWithZeros();
    Bytes frame = w.data();
    frame.resize(32);
    return frame;
}

// ---- Program streams ----

// Packets of every kind the engine parses, back to back after a first pack and system
// header: video of the three kinds, audio of every sub-stream kind, subpictures over two
// packets, MPEG audio, packets skipped whole that hide start codes, and unknown ids.
Bytes mixedStream() {
    ProgramStream ps;
    ps.add(packHeader());
    ps.add(systemHeader(3, 1));
    ps.add(pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x55),
                     concat({vc1SequenceHeader(), kVc1EntryPoint, kVc1Frame, kVc1Frame})));
    ps.add(privateStream1Packet(0x80, PesHeader().pts(90090), ac3Frame(0, 30, 8, 7)));
    ps.add(privateStream1Packet(0x21, PesHeader().pts(91000), filler(40, 2)));
    ps.add(privateStream1Packet(0x21, PesHeader(), filler(20, 3)));
    ps.add(pesPacket(0xE1, PesHeader().pts(93003).dts(90000),
                     concat({mpeg2SequenceHeader(), mpeg2SequenceExtension(), kGroupOfPictures,
                             mpeg2Picture(1), mpeg2Picture(3)})));
    ps.add(privateStream2Packet(concat({Bytes{0x00, 0x00, 0x01, 0xE0, 0x07, 0x00}, filler(30)})));
    ps.add(paddingPacket(24, 0x00));
    ps.add(privateStream1Packet(0xA1, PesHeader().pts(95000), filler(30, 4)));
    ps.add(
        privateStream1Packet(0xB2, PesHeader().pts(95100).pstdBuffer(0x2000 | 80), filler(30, 5)));
    ps.add(privateStream1Packet(0xCA, PesHeader().pts(96000), eac3Frame(0, 63, 3, 7)));
    ps.add(pesPacket(0xC0, PesHeader().pts(96100), filler(20, 7)));
    ps.add(pesPacket(0xFD, PesHeader().streamIdExtension(0x55), kVc1Frame));
    ps.add(privateStream1Packet(0x61, PesHeader().pts(97000), filler(20, 8)));
    ps.add(privateStream1Packet(0x88, PesHeader().pts(97100), filler(20, 9)));
    ps.add(pesPacket(0xE2, PesHeader().pts(98000).dts(97000),
                     concat({h264Delimiter(0), h264ParameterSet(100, 0, 41), kH264Slice,
                             h264Delimiter(1), kH264Slice})));
    ps.add(pesPacket(0xE6, PesHeader(), filler(10)));
    ps.add(privateStream1Packet(0x90, PesHeader(), filler(10, 10)));
    ps.add(pesPacket(0xFD, PesHeader().pts(99000).streamIdExtension(0x57), filler(10)));
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9});
    return ps.bytes();
}

// A DVD-Video-like stream: MPEG-2 video, Dolby Digital, LPCM and a subpicture unit over
// three packets, the headers carrying stuffing and PTS-only fields.
Bytes dvdStream() {
    ProgramStream ps;
    ps.add(packHeader(PackHeader().scr(1000)));
    ps.add(systemHeader(2, 1, {{0xE0, true, 232}, {0xBD, true, 58}}));
    ps.add(pesPacket(0xE0, PesHeader().pts(180000).dts(176400).stuffing(3),
                     concat({mpeg2SequenceHeader(3), kGroupOfPictures, mpeg2Picture(1),
                             mpeg2Picture(4), mpeg2Picture(2)})));
    ps.add(privateStream1Packet(0x80, PesHeader().pts(180090), ac3Frame(1, 14, 6, 2)));
    ps.add(privateStream1Packet(0xA0, PesHeader().pts(180100), filler(24, 11)));
    ps.add(privateStream1Packet(0x20, PesHeader().pts(181000), filler(30, 12)));
    ps.add(privateStream1Packet(0x20, PesHeader(), filler(30, 13)));
    ps.add(privateStream1Packet(0x20, PesHeader().packetLength(3), filler(8, 14)));
    ps.add(pesPacket(0xE0, PesHeader(), mpeg2Picture(3)));
    return ps.bytes();
}

// An HD DVD-like stream of VC-1 and Dolby Digital Plus packets, one with a PES extension
// carrying both a P-STD buffer field and the extension-2 field.
Bytes hdDvdStream() {
    ProgramStream ps;
    ps.add(packHeader());
    ps.add(systemHeader(1, 1));
    ps.add(pesPacket(0xFD, PesHeader().pts(0x40000000).dts(0x3FFFF000).streamIdExtension(0x55),
                     concat({vc1SequenceHeader(15), kVc1EntryPoint, kVc1Frame})));
    ps.add(privateStream1Packet(0xC0, PesHeader().pts(0x40000100), eac3Frame(0, 767, 3, 7)));
    ps.add(privateStream1Packet(0xC1, PesHeader().pts(0x40000200), eac3Frame(3, 191, 1, 2)));
    ps.add(pesPacket(0xFD,
                     PesHeader().pts(0x40001000).pstdBuffer(0x2000 | 232).streamIdExtension(0x56),
                     concat({vc1SequenceHeader(1, true), kVc1Frame})));
    ps.add(privateStream1Packet(0x60, PesHeader().pts(0x40002000), filler(24, 15)));
    return ps.bytes();
}

// An ISO/IEC 11172-1 system stream: 12-byte pack headers, packets with stuffing, STD buffer
// fields and timestamps without the MPEG-2 flag bytes, MPEG audio beside Dolby Digital, then
// an MPEG-2 pack that switches back to the MPEG-2 header syntax.
Bytes mpeg1SystemStream() {
    ProgramStream ps;
    ps.add(mpeg1PackHeader(1000));
    ps.add(systemHeader(2, 1, {{0xE0, true, 46}, {0xC0, false, 32}}));
    ps.add(mpeg1Packet(0xE0, Mpeg1Header().stuffing(2).stdBuffer(0x2000 | 46).pts(3003).dts(0),
                       concat({mpeg2SequenceHeader(3), kGroupOfPictures, mpeg2Picture(1)})));
    ps.add(mpeg1PackHeader(2000));
    ps.add(mpeg1Packet(0xC0, Mpeg1Header().stdBuffer(32).pts(3600), filler(40, 21)));
    ps.add(mpeg1Packet(0xBD, Mpeg1Header().pts(3700),
                       concat({Bytes{0x80, 0x01, 0x00, 0x01}, ac3Frame(0, 14, 8, 2)})));
    ps.add(mpeg1Packet(0xE0, Mpeg1Header().stuffing(16), mpeg2Picture(2)));
    ps.add(packHeader(PackHeader().scr(3000)));
    ps.add(pesPacket(0xE0, PesHeader().pts(9009).dts(6006), mpeg2Picture(3)));
    return ps.bytes();
}

// ---- Control bytes ----

const Bytes kAllTicked = {0x03, 0xFF, 0xFF, 0xFF, 0xFF};
const Bytes kWholeBlocks = {0xFF, 0xFF, 0xFF, 0xFF};

Bytes demuxInput(uint8_t length, const Bytes& cuts, const Bytes& ticks, const Bytes& stream) {
    return concat({Bytes{length}, cuts, ticks, stream});
}

Bytes reportInput(const Bytes& piece, uint8_t options = 0x50, uint8_t cut = 0x80) {
    return concat({Bytes{0x78, 0x56, 0x34, 0x12, 0x00, 0x50, 0x34, 0x12, options, cut}, piece});
}

Bytes pack2048(std::initializer_list<Bytes> packets) {
    return pack(packets);
}

// ---- Files ----

void write(const fs::path& folder, const std::string& target, const std::string& name,
           const Bytes& bytes) {
    fs::create_directories(folder / target);
    std::ofstream out(folder / target / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (folder / target / name).string());
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

const char* const kPlaylist =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!-- written by hand -->\r\n"
    "<Playlist xmlns=\"http://www.dvdforum.org/2005/HDDVDVideo/Playlist\" "
    "majorVersion=\"1\" minorVersion=\"0\" displayName=\"Sample Disc\">\r\n"
    "<Configuration><StreamingBuffer size=\"0\"/></Configuration>\r\n"
    "<MediaAttributeList>\r\n"
    "<VideoAttributeItem index=\"1\" codec=\"VC-1\"/>\r\n"
    "<AudioAttributeItem index=\"1\" codec=\"DD+\" channels=\"6\"/>\r\n"
    "<AudioAttributeItem index=\"2\" codec=\"DTS-HD\" channels=\"2\"/>\r\n"
    "<SubpictureAttributeItem index=\"1\" codec=\"2bitRLC\"/>\r\n"
    "</MediaAttributeList>\r\n"
    "<TitleSet timeBase=\"60fps\">\r\n"
    "<Title id=\"T1\" displayName=\"Extras\" titleDuration=\"00:10:00:00\">\r\n"
    "<PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_2.MAP\">\r\n"
    "<Video track=\"1\" mediaAttr=\"1\"/><Audio track=\"1\" streamNumber=\"1\" "
    "mediaAttr=\"1\" description=\"English\"/></PrimaryAudioVideoClip>\r\n"
    "</Title>\r\n"
    "<Title id=\"T2\" displayName=\"Main Feature\" titleDuration=\"01:42:17:30\">\r\n"
    "<PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">\r\n"
    "<Video track=\"1\" mediaAttr=\"1\"/>\r\n"
    "<Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" description=\"English\"/>\r\n"
    "<Audio track=\"2\" streamNumber=\"12\" mediaAttr=\"2\" description=\"Fran\xE7"
    "ais\"/>\r\n"
    "<Subtitle track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" description=\"English\"/>\r\n"
    "<Subtitle track=\"2\" streamNumber=\"20\" mediaAttr=\"1\" description=\"CC\"/>\r\n"
    "</PrimaryAudioVideoClip>\r\n"
    "<ChapterList><Chapter titleTimeBegin=\"00:00:00:00\" displayName=\"Opening\"/>\r\n"
    "<Chapter titleTimeBegin=\"00:21:05:12\" displayName=\"Second\"/></ChapterList>\r\n"
    "</Title>\r\n"
    "</TitleSet>\r\n"
    "</Playlist>\r\n";

const char* const kOddPlaylist =
    "<!DOCTYPE Playlist>\n<Playlist displayName=\"Odd\">\n"
    "<VideoAttributeItem index=\"x\" codec=\"MPEG-2\"/><VideoAttributeItem index=\"9\"/>\n"
    "<AudioAttributeItem index=\"8\" codec=\"LPCM\"/>\n"
    "<title displayName=\"A\"><Clip src=\"VTS_01_1.MAP\"/>\n"
    "<VIDEO track=\"2\"/><video track=\"17\" mediaAttr=\"0\"/><Audio streamNumber=\"0\"/>\n"
    "<Audio streamNumber=\"-3\"/><Audio streamNumber=\"16\" mediaAttr=\"8\"/>"
    "<Audio streamNumber=\"16\"/><Subtitle streamNumber=\"32\"/><Subtitle streamNumber=\"33\"/>\n"
    "<Title displayName=\"FEATURE_1\"></title><Chapter/>\n"
    "</TITLE></Playlist>";

void writeDemuxSeeds(const fs::path& folder) {
    const Bytes mixed = mixedStream();
    write(folder, "demux", "mixed-whole", demuxInput(0, kWholeBlocks, kAllTicked, mixed));
    write(folder, "demux", "mixed-cut", demuxInput(0, {3, 17, 40, 90}, kAllTicked, mixed));
    write(folder, "demux", "dvd-first-block",
          demuxInput(1, {60, 0, 200, 11}, {0x01, 0x05, 0x00, 0x01, 0x00}, dvdStream()));
    write(folder, "demux", "hddvd", demuxInput(0, {120, 7, 255, 2}, kAllTicked, hdDvdStream()));
    write(folder, "demux", "mpeg1-system-stream",
          demuxInput(0, {30, 9, 140, 4}, kAllTicked, mpeg1SystemStream()));
}

void writeReportSeeds(const fs::path& folder) {
    write(folder, "ac3_report", "eac3", reportInput(eac3Frame(0, 767, 3, 7)));
    write(folder, "ac3_report", "eac3-reduced-rate-then-ac3",
          reportInput(concat({eac3Frame(3, 191, 1, 2), ac3Frame(0, 30, 8, 7)})));
    write(folder, "ac3_report", "ac3-44k", reportInput(ac3Frame(1, 38, 6, 1), 0x30));

    const Bytes vc1Tail = concat({kVc1EntryPoint, kVc1Frame});
    write(folder, "vc1_report", "vc1", reportInput(concat({vc1SequenceHeader(), vc1Tail})));
    write(folder, "vc1_report", "vc1-ratio-code15-comma",
          reportInput(concat({vc1SequenceHeader(15), vc1Tail}), 0x01));
    write(folder, "vc1_report", "vc1-explicit-rate",
          reportInput(vc1SequenceHeader(3, true), 0x00, 0x20));

    write(folder, "mpeg2_video_report", "mpeg2",
          reportInput(concat({mpeg2SequenceHeader(), mpeg2SequenceExtension(), kGroupOfPictures,
                              mpeg2Picture(1), mpeg2Picture(3), mpeg2Picture(2)})));
    write(folder, "mpeg2_video_report", "mpeg1-two-sequences",
          reportInput(concat(
              {mpeg2SequenceHeader(1), mpeg2Picture(1), mpeg2SequenceHeader(9), mpeg2Picture(4)})));

    write(folder, "h264_report", "high",
          reportInput(concat(
              {h264Delimiter(1), h264Delimiter(0), h264ParameterSet(100, 0, 41), kH264Slice})));
    write(folder, "h264_report", "level-1b",
          reportInput(concat(
              {h264ParameterSet(77, 0x10, 11), h264Delimiter(2), h264Delimiter(0), kH264Slice})));
}

void writePlaylistSeeds(const fs::path& folder) {
    write(folder, "xpl_reader", "playlist",
          concat({Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0}, text(kPlaylist)}));
    write(folder, "xpl_reader", "playlist-cut", concat({Bytes{5, 30, 1, 80, 1}, text(kPlaylist)}));
    write(folder, "xpl_reader", "odd", concat({Bytes{0xFF, 9, 0xFF, 2, 2}, text(kOddPlaylist)}));
}

void writeRebuildSeeds(const fs::path& folder) {
    const Bytes packs = concat(
        {pack2048(
             {systemHeader(2, 1), pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x55),
                                            concat({vc1SequenceHeader(), kVc1Frame}))}),
         pack2048({privateStream1Packet(0xC0, PesHeader().pts(90090), eac3Frame(0, 767, 3, 7))}),
         pack2048({privateStream1Packet(0xC1, PesHeader().pts(90100), eac3Frame(0, 767, 3, 7))}),
         pack2048({privateStream1Packet(0x21, PesHeader().pts(91000), filler(40))})});
    // Scanned tables; video and the second audio stream kept, the first dropped.
    write(folder, "rebuild", "scanned",
          concat({Bytes{0x00, 0x01, 0x02, 0x00, 0x02, 0x00, 0x00}, packs}));
    // A feature in two parts, the source ending in a short pack.
    const Bytes shortEnd =
        concat({Bytes(packs.begin(), packs.begin() + 2 * 2048),
                Bytes(packs.begin() + 2 * 2048, packs.begin() + 2 * 2048 + 700)});
    write(folder, "rebuild", "two-parts-short-end",
          concat({Bytes{0x10, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0x80}, shortEnd}));
    // Tables as given: the streams in other slots than a scan would give them.
    Bytes tables(34, 0xFF);
    tables[0] = 0x55;
    tables[2 + 1] = 0xC0;
    tables[2 + 16 + 3] = 0x21;
    write(folder, "rebuild", "given-tables",
          concat({Bytes{0x05, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}, tables,
                  Bytes(packs.begin(), packs.begin() + 3 * 2048)}));
}

// Subpicture payloads: control bytes (cuts, PTS packets, step, canvas), then units of both
// layouts one after the other.
void writeSubtitleSeeds(const fs::path& folder) {
    sample::DvdPicture dvd;
    dvd.x = 100, dvd.y = 400, dvd.width = 120, dvd.height = 20;
    for (int i = 0; i < 120 * 20; ++i)
        dvd.codes.push_back(static_cast<uint8_t>(i / 7 % 4));
    dvd.colours = {0, 1, 2, 3};
    dvd.contrasts = {0, 15, 15, 8};
    dvd.stopTicks = 90000;
    const Bytes dvdUnit = sample::dvdSubpictureUnit(dvd);
    dvd.forced = true;
    dvd.stopTicks.reset();
    const Bytes forcedUnit = sample::dvdSubpictureUnit(dvd);
    // One packet each.
    const Bytes control = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 90, 0};
    write(folder, "subtitles", "dvd-unit", concat({control, dvdUnit}));
    write(folder, "subtitles", "dvd-forced-unit", concat({control, forcedUnit}));

    sample::HdPicture hd;
    hd.x = 300, hd.y = 800, hd.width = 200, hd.height = 40;
    for (int i = 0; i < 200 * 40; ++i)
        hd.pixels.push_back(static_cast<uint8_t>((i % 200) / 9 * 11 + i / 200));
    for (size_t i = 0; i < 256; ++i) {
        hd.yCrCb[3 * i] = static_cast<uint8_t>(16 + i * 7 % 220);
        hd.yCrCb[3 * i + 1] = static_cast<uint8_t>(128 + i % 50);
        hd.yCrCb[3 * i + 2] = static_cast<uint8_t>(128 - i % 40);
        hd.transparency[i] = static_cast<uint8_t>(i % 4 * 60);
    }
    hd.fades = {{30000, {}}, {60000, {}}};
    hd.stopTicks = 120000;
    write(folder, "subtitles", "hddvd-fade",
          concat({Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 200, 0x03}, sample::hdSubpictureUnit(hd)}));
}

}  // namespace
}  // namespace morvale::testing

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    try {
        morvale::testing::writeDemuxSeeds(folder);
        morvale::testing::writeReportSeeds(folder);
        morvale::testing::writePlaylistSeeds(folder);
        morvale::testing::writeRebuildSeeds(folder);
        morvale::testing::writeSubtitleSeeds(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
