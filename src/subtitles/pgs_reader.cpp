// SPDX-License-Identifier: MIT
#include "subtitles/pgs_reader.h"

#include "subtitles/pgs_segments.h"

namespace morvale {

namespace {

class Fields {
  public:
    explicit Fields(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool has(size_t n) const { return bytes_.size() - at_ >= n; }
    uint32_t get(size_t n) {
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v = (v << 8) | bytes_[at_++];
        return v;
    }
    std::span<const uint8_t> rest() const { return bytes_.subspan(at_); }
    void skip(size_t n) { at_ += n; }

  private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

std::string readComposition(Fields f, PgsDisplaySet& set) {
    if (!f.has(11)) return "composition segment too short";
    set.width = static_cast<uint16_t>(f.get(2));
    set.height = static_cast<uint16_t>(f.get(2));
    f.get(1);  // frame rate
    set.compositionNumber = static_cast<uint16_t>(f.get(2));
    set.compositionState = static_cast<uint8_t>(f.get(1));
    set.paletteUpdate = (f.get(1) & 0x80) != 0;
    f.get(1);  // palette id
    const uint32_t count = f.get(1);
    for (uint32_t i = 0; i < count; ++i) {
        if (!f.has(8)) return "composition object cut short";
        PgsCompositionObject o;
        o.objectId = static_cast<uint16_t>(f.get(2));
        o.windowId = static_cast<uint8_t>(f.get(1));
        o.flags = static_cast<uint8_t>(f.get(1));
        o.x = static_cast<uint16_t>(f.get(2));
        o.y = static_cast<uint16_t>(f.get(2));
        if ((o.flags & 0x80) != 0) {
            if (!f.has(8)) return "cropping cut short";
            f.get(4);
            f.get(4);
        }
        set.composition.push_back(o);
    }
    return {};
}

std::string readWindows(Fields f, PgsDisplaySet& set) {
    if (!f.has(1)) return "window segment too short";
    const uint32_t count = f.get(1);
    for (uint32_t i = 0; i < count; ++i) {
        if (!f.has(9)) return "window cut short";
        PgsWindow w;
        w.id = static_cast<uint8_t>(f.get(1));
        w.x = static_cast<uint16_t>(f.get(2));
        w.y = static_cast<uint16_t>(f.get(2));
        w.width = static_cast<uint16_t>(f.get(2));
        w.height = static_cast<uint16_t>(f.get(2));
        set.windows.push_back(w);
    }
    return {};
}

std::string readPalette(Fields f, PgsDisplaySet& set) {
    if (!f.has(2)) return "palette segment too short";
    f.get(1);  // palette id
    set.paletteVersion = static_cast<uint8_t>(f.get(1));
    while (f.has(5)) {
        const uint32_t index = f.get(1);
        PaletteEntry& e = set.palette[index];
        e.y = static_cast<uint8_t>(f.get(1));
        e.cr = static_cast<uint8_t>(f.get(1));
        e.cb = static_cast<uint8_t>(f.get(1));
        e.alpha = static_cast<uint8_t>(f.get(1));
        ++set.paletteEntries;
    }
    return f.rest().empty() ? std::string() : "palette entry cut short";
}

// One ODS fragment; the first opens an object and declares its data length, the last must
// bring it to that length.
std::string readObject(Fields f, PgsDisplaySet& set, uint32_t& expected) {
    if (!f.has(4)) return "object segment too short";
    const auto id = static_cast<uint16_t>(f.get(2));
    f.get(1);  // version
    const uint32_t sequence = f.get(1);
    if ((sequence & kPgsFirstFragment) != 0) {
        if (!f.has(7)) return "object header cut short";
        expected = f.get(3);
        if (expected < 4) return "object data length below its size fields";
        PgsObject o;
        o.id = id;
        o.width = static_cast<uint16_t>(f.get(2));
        o.height = static_cast<uint16_t>(f.get(2));
        set.objects.push_back(std::move(o));
    } else if (set.objects.empty() || set.objects.back().id != id) {
        return "object fragment without its first";
    }
    PgsObject& o = set.objects.back();
    const auto rest = f.rest();
    if (o.rle.size() + rest.size() + 4 > expected) return "object longer than its data length";
    o.rle.insert(o.rle.end(), rest.begin(), rest.end());
    if ((sequence & kPgsLastFragment) != 0 && o.rle.size() + 4 != expected)
        return "object shorter than its data length";
    return {};
}

// One segment's payload into the open set; END closes it.
std::string readSegment(uint32_t type, Fields payload, PgsDisplaySet& set, uint32_t& expected) {
    switch (type) {
        case kPgsComposition:
            return readComposition(payload, set);
        case kPgsWindow:
            return readWindows(payload, set);
        case kPgsPalette:
            return readPalette(payload, set);
        case kPgsObject:
            return readObject(payload, set, expected);
        case kPgsEnd:
            return {};
        default:
            return "unknown segment type";
    }
}

}  // namespace

PgsStream readPgs(std::span<const uint8_t> sup) {
    PgsStream stream;
    PgsDisplaySet set;
    bool open = false;
    uint32_t expected = 0;
    Fields f(sup);
    while (!f.rest().empty() && stream.error.empty()) {
        if (!f.has(kPgsSegmentHeader)) {
            stream.error = "segment header cut short";
            break;
        }
        if (f.get(2) != 0x5047) {
            stream.error = "segment without its PG mark";
            break;
        }
        const uint32_t pts = f.get(4);
        f.skip(4);  // DTS
        const uint32_t type = f.get(1);
        const uint32_t size = f.get(2);
        if (!f.has(size)) {
            stream.error = "segment payload cut short";
            break;
        }
        const Fields payload(f.rest().first(size));
        f.skip(size);
        if (!open) set = PgsDisplaySet{}, set.pts = pts, open = true;
        if (pts != set.pts) stream.error = "segments of one set at different times";
        if (stream.error.empty()) stream.error = readSegment(type, payload, set, expected);
        if (stream.error.empty() && type == kPgsEnd) {
            stream.sets.push_back(std::move(set));
            open = false;
        }
    }
    if (open && stream.error.empty()) stream.error = "display set without its END";
    return stream;
}

}  // namespace morvale
