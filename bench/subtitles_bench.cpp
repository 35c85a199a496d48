// Throughput of the subtitle conversions on in-memory units: HD DVD units through assembly,
// parsing and the PGS writer, DVD units through assembly and the VobSub writer. Bytes per
// second count the subpicture payload read, as a Matroska run meets it in the feature.

#include <benchmark/benchmark.h>

#include <vector>

#include "sample_disc/hd_subpicture_unit.h"
#include "subtitles/pgs_writer.h"
#include "subtitles/unit_assembler.h"
#include "subtitles/unit_parser.h"
#include "subtitles/vobsub_writer.h"

namespace morvale::bench {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kPieceSize = 2019;  // a subpicture packet's payload in a 2,048-byte pack

// Counts what it is given, as a file would take it.
class CountingSink final : public ByteSink {
  public:
    void write(std::span<const uint8_t> bytes) override { count += bytes.size(); }
    uint64_t count = 0;
};

// Two lines of text as subtitles look: mostly clear, strokes of a few pixels in an outline
// colour and a fill colour; or noise, a colour per pixel (the worst case, far over 64 KiB).
std::vector<uint8_t> textPicture(int width, int height, bool noise) {
    sample::Xorshift random(7);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t& p = pixels[static_cast<size_t>(y) * width + x];
            if (noise) {
                p = static_cast<uint8_t>(random.next());
            } else if (y % 60 > 8 && y % 60 < 50 && (x / 3 + y / 6) % 7 < 2) {
                p = (x / 3) % 7 == 0 ? 1 : 2;
            }
        }
    }
    return pixels;
}

Bytes hdUnit(bool noise) {
    sample::HdPicture p;
    p.x = 260, p.y = 900, p.width = noise ? 320 : 1400, p.height = noise ? 240 : 120;
    p.pixels = textPicture(p.width, p.height, noise);
    for (size_t i = 0; i < 256; ++i) {
        p.yCrCb[3 * i] = static_cast<uint8_t>(16 + i * 7 % 220);
        p.yCrCb[3 * i + 1] = static_cast<uint8_t>(128 + i % 60);
        p.yCrCb[3 * i + 2] = static_cast<uint8_t>(128 - i % 60);
        p.transparency[i] = i == 0 ? 255 : 0;
    }
    p.stopTicks = 2 * 90000;
    return sample::hdSubpictureUnit(p);
}

Bytes dvdUnit() {
    sample::DvdPicture p;
    p.x = 60, p.y = 400, p.width = 600, p.height = 80;
    p.codes = textPicture(600, 80, false);
    p.colours = {0, 1, 2, 3};
    p.contrasts = {0, 15, 15, 15};
    p.stopTicks = 2 * 90000;
    return sample::dvdSubpictureUnit(p);
}

// Feeds `count` copies of the unit, two seconds apart, in pack-sized pieces.
template <typename Take>
void feedUnits(const Bytes& unit, int count, Take take) {
    SubpictureAssembler assembler;
    for (int i = 0; i < count; ++i) {
        const auto pts = static_cast<uint32_t>(90000 + 180000 * i);
        for (size_t at = 0; at < unit.size(); at += kPieceSize) {
            const size_t n = std::min(kPieceSize, unit.size() - at);
            std::optional<uint32_t> p;
            if (at == 0) p = pts;
            if (auto whole = assembler.feed({unit.data() + at, n}, true, p)) take(*whole);
        }
    }
}

void hdDvdToPgs(benchmark::State& state) {
    const Bytes unit = hdUnit(state.range(0) != 0);
    constexpr int kUnits = 64;
    for (auto _ : state) {
        CountingSink sink;
        PgsWriter writer(sink, {1920, 1080, 0, ColourMatrix::Bt601});
        feedUnits(unit, kUnits, [&](const SubpictureUnit& u) {
            if (auto parsed = parseSubpictureUnit(u, defaultDvdPalette()); parsed.event)
                writer.add(*parsed.event);
        });
        writer.finish();
        benchmark::DoNotOptimize(sink.count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kUnits *
                            static_cast<int64_t>(unit.size()));
    state.counters["unit_bytes"] = static_cast<double>(unit.size());
}
BENCHMARK(hdDvdToPgs)->Arg(0)->Arg(1)->ArgNames({"noise"});

void dvdToVobSub(benchmark::State& state) {
    const Bytes unit = dvdUnit();
    constexpr int kUnits = 256;
    for (auto _ : state) {
        CountingSink sub, idx;
        VobSubWriter writer(sub, idx, {});
        feedUnits(unit, kUnits, [&](const SubpictureUnit& u) { writer.add(u); });
        benchmark::DoNotOptimize(sub.count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kUnits *
                            static_cast<int64_t>(unit.size()));
}
BENCHMARK(dvdToVobSub);

void dvdToPgs(benchmark::State& state) {
    const Bytes unit = dvdUnit();
    constexpr int kUnits = 256;
    for (auto _ : state) {
        CountingSink sink;
        PgsWriter writer(sink, {720, 576, 0, ColourMatrix::Bt601});
        feedUnits(unit, kUnits, [&](const SubpictureUnit& u) {
            if (auto parsed = parseSubpictureUnit(u, defaultDvdPalette()); parsed.event)
                writer.add(*parsed.event);
        });
        writer.finish();
        benchmark::DoNotOptimize(sink.count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kUnits *
                            static_cast<int64_t>(unit.size()));
}
BENCHMARK(dvdToPgs);

}  // namespace
}  // namespace morvale::bench

BENCHMARK_MAIN();
