// SPDX-License-Identifier: MIT
#include "support/feature_disc.h"

#include <algorithm>

namespace morvale::testing {

namespace {

constexpr uint8_t kVc1Extension = 0x55;

// Packets of one private stream 1 sub-stream, one per pack, the first with a PTS.
void addAudio(ProgramStream& ps, uint8_t subStreamId, uint64_t pts, const Bytes& es) {
    ps.add(packetizePrivateStream1(subStreamId, PesHeader().pts(pts), es));
}

}  // namespace

Bytes vc1PicturePacks(int count, size_t size, std::optional<uint64_t> pts, Bytes& es) {
    Bytes packs;
    const PesHeader plain = PesHeader().streamIdExtension(kVc1Extension);
    const PesHeader first = pts ? PesHeader(plain).pts(*pts).dts(*pts) : plain;
    const int perPacket = static_cast<int>(payloadRoomInPack(first) / size);
    int done = 0;
    while (done < count) {
        const int n = std::min(perPacket, count - done);
        const Bytes payload = pictures(0x0D, n, size);
        es.insert(es.end(), payload.begin(), payload.end());
        PesHeader header = first;
        if (pts && done > 0) {
            header = PesHeader(plain).pts(*pts + static_cast<uint64_t>(done * kFilmPictureTicks));
        }
        const Bytes p = pack({pesPacket(0xFD, header, payload)});
        packs.insert(packs.end(), p.begin(), p.end());
        done += n;
    }
    return packs;
}

FeaturePart featurePart(const FeatureOptions& options) {
    FeaturePart part;
    ProgramStream ps;
    if (options.systemHeader) ps.addPack({systemHeader(options.secondAudio ? 2 : 1, 1)});
    const uint64_t videoPts = options.basePts;
    ps.add(vc1PicturePacks(options.pictures - 1, options.pictureSize, videoPts, part.video));
    part.pictures = options.pictures;

    part.audio0 = filler(3000, static_cast<uint8_t>(options.seed + 1));
    addAudio(ps, 0xC0, videoPts + 0x100, part.audio0);
    if (options.secondAudio) {
        part.audio1 = filler(1500, static_cast<uint8_t>(options.seed + 2));
        addAudio(ps, 0xC1, videoPts + 0x200, part.audio1);
    }
    part.firstPts = static_cast<uint32_t>(videoPts);

    // One subpicture unit over two packets, a video packet with its own PTS between them.
    const Bytes first = filler(700, static_cast<uint8_t>(options.seed + 3));
    const Bytes rest = filler(500, static_cast<uint8_t>(options.seed + 4));
    part.subpicturePts = static_cast<uint32_t>(videoPts + 0x3000);
    part.subpicture = concat({first, rest});
    ps.addPack({privateStream1Packet(0x20, PesHeader().pts(part.subpicturePts), first)});
    const auto lastPicture = static_cast<uint64_t>((options.pictures - 1) * kFilmPictureTicks);
    ps.add(vc1PicturePacks(1, options.pictureSize, videoPts + lastPicture, part.video));
    ps.addPack({privateStream1Packet(0x20, PesHeader(), rest)});
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9});
    part.bytes = ps.bytes();
    return part;
}

Bytes subpictureRecord(const FeaturePart& part, uint32_t minFirstPts) {
    const uint32_t t = part.subpicturePts - minFirstPts;
    Bytes record = {'S',
                    'P',
                    static_cast<uint8_t>(t),
                    static_cast<uint8_t>(t >> 8),
                    static_cast<uint8_t>(t >> 16),
                    static_cast<uint8_t>(t >> 24),
                    0,
                    0,
                    0,
                    0};
    record.insert(record.end(), part.subpicture.begin(), part.subpicture.end());
    return record;
}

void writePart(const std::string& path, const FeaturePart& part, uint64_t size) {
    writeSparseFile(path, std::max<uint64_t>(size, part.bytes.size()), {{0, part.bytes}});
}

}  // namespace morvale::testing
