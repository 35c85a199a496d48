// SPDX-License-Identifier: MIT
#include "support/program_stream_builder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace morvale::testing {

namespace {

void append(Bytes& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void appendLength(Bytes& out, size_t length) {
    if (length > 0xFFFF) throw std::length_error("PES_packet_length beyond 65,535");
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
}

bool hasExtension(const PesHeader& h) {
    return h.pstdValue.has_value() || h.extensionValue.has_value();
}

size_t optionalFieldsSize(const PesHeader& h) {
    size_t size = 0;
    if (h.ptsValue) size += 5;
    if (h.ptsValue && h.dtsValue) size += 5;
    if (hasExtension(h)) size += 1 + (h.pstdValue ? 2 : 0) + (h.extensionValue ? 2 : 0);
    return size + static_cast<size_t>(h.stuffingBytes);
}

}  // namespace

PackHeader& PackHeader::scr(uint64_t base, uint16_t extension) {
    scrBase = base;
    scrExtension = extension;
    return *this;
}

PackHeader& PackHeader::rate(uint32_t muxRateValue) {
    muxRate = muxRateValue;
    return *this;
}

PackHeader& PackHeader::stuffing(int n) {
    stuffingBytes = n;
    return *this;
}

PesHeader& PesHeader::pts(uint64_t t) {
    ptsValue = t;
    return *this;
}

PesHeader& PesHeader::dts(uint64_t t) {
    dtsValue = t;
    return *this;
}

PesHeader& PesHeader::pstdBuffer(uint16_t scaleAndSize) {
    pstdValue = scaleAndSize;
    return *this;
}

PesHeader& PesHeader::streamIdExtension(uint8_t id) {
    extensionValue = id;
    return *this;
}

PesHeader& PesHeader::stuffing(int n) {
    stuffingBytes = n;
    return *this;
}

PesHeader& PesHeader::flags1(uint8_t b) {
    flags1Value = b;
    return *this;
}

PesHeader& PesHeader::packetLength(uint16_t length) {
    lengthValue = length;
    return *this;
}

Bytes packHeader(const PackHeader& f) {
    const uint64_t scr = f.scrBase;
    const uint16_t ext = f.scrExtension;
    Bytes out = {0x00, 0x00, 0x01, 0xBA};
    out.push_back(static_cast<uint8_t>(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03)));
    out.push_back(static_cast<uint8_t>(scr >> 20));
    out.push_back(static_cast<uint8_t>(0x04 | ((scr >> 12) & 0xF8) | ((scr >> 13) & 0x03)));
    out.push_back(static_cast<uint8_t>(scr >> 5));
    out.push_back(static_cast<uint8_t>(0x04 | ((scr << 3) & 0xF8) | ((ext >> 7) & 0x03)));
    out.push_back(static_cast<uint8_t>(((ext & 0x7F) << 1) | 0x01));
    out.push_back(static_cast<uint8_t>(f.muxRate >> 14));
    out.push_back(static_cast<uint8_t>(f.muxRate >> 6));
    out.push_back(static_cast<uint8_t>(((f.muxRate & 0x3F) << 2) | 0x03));
    out.push_back(static_cast<uint8_t>(0xF8 | (f.stuffingBytes & 0x07)));
    out.insert(out.end(), static_cast<size_t>(f.stuffingBytes), 0xFF);
    return out;
}

Bytes mpeg1PackHeader(uint64_t scr, uint32_t muxRate) {
    Bytes out = {0x00, 0x00, 0x01, 0xBA};
    append(out, timestampField(0x2, scr));
    out.push_back(static_cast<uint8_t>(0x80 | ((muxRate >> 15) & 0x7F)));
    out.push_back(static_cast<uint8_t>(muxRate >> 7));
    out.push_back(static_cast<uint8_t>(((muxRate & 0x7F) << 1) | 0x01));
    return out;
}

Mpeg1Header& Mpeg1Header::stuffing(int n) {
    stuffingBytes = n;
    return *this;
}
Mpeg1Header& Mpeg1Header::stdBuffer(uint16_t scaleAndSize) {
    stdValue = scaleAndSize;
    return *this;
}
Mpeg1Header& Mpeg1Header::pts(uint64_t t) {
    ptsValue = t;
    return *this;
}
Mpeg1Header& Mpeg1Header::dts(uint64_t t) {
    dtsValue = t;
    return *this;
}

Bytes mpeg1Packet(uint8_t streamId, const Mpeg1Header& h, std::span<const uint8_t> payload) {
    if (h.dtsValue && !h.ptsValue) throw std::invalid_argument("a DTS needs a PTS");
    Bytes fields(static_cast<size_t>(h.stuffingBytes), 0xFF);
    if (h.stdValue) {
        fields.push_back(static_cast<uint8_t>(0x40 | ((*h.stdValue >> 8) & 0x3F)));
        fields.push_back(static_cast<uint8_t>(*h.stdValue));
    }
    if (h.ptsValue) {
        append(fields, timestampField(h.dtsValue ? 0x3 : 0x2, *h.ptsValue));
        if (h.dtsValue) append(fields, timestampField(0x1, *h.dtsValue));
    } else {
        fields.push_back(0x0F);
    }
    Bytes out = {0x00, 0x00, 0x01, streamId};
    appendLength(out, fields.size() + payload.size());
    append(out, fields);
    append(out, payload);
    return out;
}

Bytes systemHeader(int audioBound, int videoBound, const std::vector<SystemHeaderStream>& streams,
                   uint32_t rateBound) {
    Bytes out = {0x00, 0x00, 0x01, 0xBB};
    appendLength(out, 6 + 3 * streams.size());
    out.push_back(static_cast<uint8_t>(0x80 | ((rateBound >> 15) & 0x7F)));
    out.push_back(static_cast<uint8_t>(rateBound >> 7));
    out.push_back(static_cast<uint8_t>(((rateBound & 0x7F) << 1) | 0x01));
    out.push_back(static_cast<uint8_t>((audioBound & 0x3F) << 2));    // not fixed, not CSPS
    out.push_back(static_cast<uint8_t>(0xE0 | (videoBound & 0x1F)));  // locks and marker
    out.push_back(0x7F);  // no packet rate restriction, reserved bits
    for (const SystemHeaderStream& s : streams) {
        out.push_back(s.streamId);
        out.push_back(
            static_cast<uint8_t>(0xC0 | (s.bufferScale ? 0x20 : 0) | ((s.bufferSize >> 8) & 0x1F)));
        out.push_back(static_cast<uint8_t>(s.bufferSize));
    }
    return out;
}

Bytes timestampField(uint8_t prefix, uint64_t t) {
    return {static_cast<uint8_t>((prefix << 4) | ((t >> 29) & 0x0E) | 0x01),
            static_cast<uint8_t>(t >> 22), static_cast<uint8_t>(((t >> 14) & 0xFE) | 0x01),
            static_cast<uint8_t>(t >> 7), static_cast<uint8_t>(((t << 1) & 0xFE) | 0x01)};
}

size_t pesHeaderSize(const PesHeader& header) {
    return 9 + optionalFieldsSize(header);
}

Bytes pesPacket(uint8_t streamId, const PesHeader& h, std::span<const uint8_t> payload) {
    if (h.dtsValue && !h.ptsValue) throw std::invalid_argument("a DTS needs a PTS");
    if (h.stuffingBytes < 0 || optionalFieldsSize(h) > 0xFF) {
        throw std::invalid_argument("PES_header_data_length out of range");
    }
    const size_t natural = 3 + optionalFieldsSize(h) + payload.size();
    Bytes out = {0x00, 0x00, 0x01, streamId};
    appendLength(out, h.lengthValue ? *h.lengthValue : natural);
    uint8_t flags2 = hasExtension(h) ? 0x01 : 0x00;
    if (h.ptsValue) flags2 |= h.dtsValue ? 0xC0 : 0x80;
    out.push_back(h.flags1Value);
    out.push_back(flags2);
    out.push_back(static_cast<uint8_t>(optionalFieldsSize(h)));
    if (h.ptsValue) append(out, timestampField(h.dtsValue ? 0x3 : 0x2, *h.ptsValue));
    if (h.ptsValue && h.dtsValue) append(out, timestampField(0x1, *h.dtsValue));
    if (hasExtension(h)) {
        // No private data, pack header field or sequence counter; reserved bits '111'.
        out.push_back(
            static_cast<uint8_t>((h.pstdValue ? 0x10 : 0) | 0x0E | (h.extensionValue ? 0x01 : 0)));
        if (h.pstdValue) {
            out.push_back(static_cast<uint8_t>(0x40 | ((*h.pstdValue >> 8) & 0x3F)));
            out.push_back(static_cast<uint8_t>(*h.pstdValue));
        }
        if (h.extensionValue) {
            out.push_back(0x81);  // marker, PES_extension_field_length 1
            out.push_back(static_cast<uint8_t>(*h.extensionValue & 0x7F));
        }
    }
    out.insert(out.end(), static_cast<size_t>(h.stuffingBytes), 0xFF);
    append(out, payload);
    return out;
}

Bytes subStreamHeader(uint8_t id) {
    if ((id & 0xE0) == 0x20 || (id & 0xE0) == 0x60) return {id};
    if ((id & 0xF8) == 0xA0) return {id, 0x01, 0x00, 0x04, 0x00, 0x01, 0x80};
    if ((id & 0xF8) == 0xB0) return {id, 0x01, 0x00, 0x02, 0x00};
    return {id, 0x01, 0x00, 0x01};
}

Bytes privateStream1Packet(uint8_t subStreamId, const PesHeader& header,
                           std::span<const uint8_t> payload) {
    Bytes body = subStreamHeader(subStreamId);
    append(body, payload);
    return pesPacket(0xBD, header, body);
}

Bytes paddingPacket(size_t totalSize, uint8_t fill) {
    if (totalSize < 6) throw std::invalid_argument("a padding packet has at least 6 bytes");
    Bytes out = {0x00, 0x00, 0x01, 0xBE};
    appendLength(out, totalSize - 6);
    out.insert(out.end(), totalSize - 6, fill);
    return out;
}

Bytes rawPacket(uint8_t streamId, std::span<const uint8_t> data) {
    Bytes out = {0x00, 0x00, 0x01, streamId};
    appendLength(out, data.size());
    append(out, data);
    return out;
}

Bytes privateStream2Packet(std::span<const uint8_t> data) {
    return rawPacket(0xBF, data);
}

Bytes pack(const std::vector<Bytes>& packets, const PackHeader& fields) {
    PackHeader header = fields;
    size_t contents = 0;
    for (const Bytes& p : packets)
        contents += p.size();
    const size_t used = kPackHeaderSize + static_cast<size_t>(header.stuffingBytes) + contents;
    if (used > kPackSize) throw std::length_error("packets do not fit in a 2,048-byte pack");
    const size_t gap = kPackSize - used;
    Bytes padding;
    if (gap >= 8 || (gap >= 6 && header.stuffingBytes + gap > 7)) {
        padding = paddingPacket(gap);
    } else if (header.stuffingBytes + static_cast<int>(gap) <= 7) {
        header.stuffingBytes += static_cast<int>(gap);
    } else {
        throw std::length_error("a pack gap that neither stuffing nor padding can fill");
    }
    Bytes out = packHeader(header);
    for (const Bytes& p : packets)
        append(out, p);
    append(out, padding);
    return out;
}

Bytes pack(std::initializer_list<Bytes> packets, const PackHeader& header) {
    return pack(std::vector<Bytes>(packets), header);
}

size_t payloadRoomInPack(const PesHeader& header, size_t subStreamHeaderSize) {
    return kPackSize - kPackHeaderSize - pesHeaderSize(header) - subStreamHeaderSize;
}

namespace {

// One packet per pack; the timestamps go to the first packet only.
Bytes packetize(std::span<const uint8_t> es, const PesHeader& first, size_t subStreamHeaderSize,
                const std::function<Bytes(const PesHeader&, std::span<const uint8_t>)>& packet) {
    PesHeader later = first;
    later.ptsValue.reset();
    later.dtsValue.reset();
    Bytes out;
    size_t at = 0;
    do {
        const PesHeader& header = at == 0 ? first : later;
        const size_t n = std::min(payloadRoomInPack(header, subStreamHeaderSize), es.size() - at);
        append(out, pack({packet(header, es.subspan(at, n))}));
        at += n;
    } while (at < es.size());
    return out;
}

}  // namespace

Bytes packetizeInPacks(uint8_t streamId, const PesHeader& first, std::span<const uint8_t> es) {
    return packetize(es, first, 0, [streamId](const PesHeader& h, std::span<const uint8_t> p) {
        return pesPacket(streamId, h, p);
    });
}

Bytes packetizePrivateStream1(uint8_t subStreamId, const PesHeader& first,
                              std::span<const uint8_t> es) {
    return packetize(es, first, subStreamHeader(subStreamId).size(),
                     [subStreamId](const PesHeader& h, std::span<const uint8_t> p) {
                         return privateStream1Packet(subStreamId, h, p);
                     });
}

Bytes filler(size_t n, uint8_t seed) {
    Bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(2 + (i * 7 + seed) % 254);
    return out;
}

Bytes pictures(uint8_t startCodeByte, int count, size_t pictureSize) {
    if (pictureSize < 4) throw std::invalid_argument("a picture has at least its start code");
    Bytes out;
    for (int k = 0; k < count; ++k) {
        append(out, Bytes{0x00, 0x00, 0x01, startCodeByte});
        append(out, filler(pictureSize - 4, static_cast<uint8_t>(k)));
    }
    return out;
}

Bytes mpeg2Pictures(int count, size_t pictureSize) {
    return pictures(0x00, count, pictureSize);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        append(out, p);
    return out;
}

ProgramStream& ProgramStream::add(std::span<const uint8_t> bytes) {
    append(bytes_, bytes);
    return *this;
}

ProgramStream& ProgramStream::addPack(std::initializer_list<Bytes> packets,
                                      const PackHeader& header) {
    return add(pack(packets, header));
}

ProgramStream& ProgramStream::padToPack() {
    const size_t gap = (kPackSize - bytes_.size() % kPackSize) % kPackSize;
    if (gap >= kPackHeaderSize + 6) {
        add(concat({packHeader(), paddingPacket(gap - kPackHeaderSize)}));
    } else if (gap >= 6) {
        add(paddingPacket(gap));
    } else {
        bytes_.insert(bytes_.end(), gap, 0xFF);  // no room for a packet: stuffing bytes
    }
    return *this;
}

void ProgramStream::writeFile(const std::string& path) const {
    writeSparseFile(path, bytes_.size(), {{0, bytes_}});
}

void writeSparseFile(const std::string& path, uint64_t size,
                     const std::vector<Placement>& placements) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    for (const Placement& p : placements) {
        if (!ok) break;
        if (p.offset + p.bytes.size() > size) {
            ::close(fd);
            throw std::out_of_range("placement beyond the end of " + path);
        }
        size_t done = 0;
        while (ok && done < p.bytes.size()) {
            const ssize_t put = ::pwrite(fd, p.bytes.data() + done, p.bytes.size() - done,
                                         static_cast<off_t>(p.offset + done));
            ok = put > 0;
            if (ok) done += static_cast<size_t>(put);
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) throw std::runtime_error("cannot write " + path);
}

}  // namespace morvale::testing
