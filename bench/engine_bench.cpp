// Micro-benchmarks of the engine's hot loops on in-memory data: picture counting (the
// search against the byte-by-byte register), the start-code parser alone, the parser with
// the payload handler of a scan, and the rebuild's pack rules. Bytes per second are reported,
// so the numbers compare directly with the memory bandwidth of the machine.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "bench_evo.h"
#include "engine/demux.h"
#include "engine/part_scan.h"
#include "engine/payload_handler.h"
#include "engine/picture_counter.h"
#include "engine/stream_parser.h"
#include "rebuild/rebuild.h"

namespace morvale::bench {
namespace {

constexpr uint64_t kEvoPacks = 32 * 512;  // 32 MiB
constexpr size_t kPieceSize = 2010;       // a VC-1 packet's payload in a 2,048-byte pack

// A host that shows nothing.
class QuietHost final : public EngineHost {
  public:
    void log(std::string_view) override {}
    void progress(std::string_view, ProgressAmount) override {}
    void pumpEvents() override {}
    void repaint() override {}
    void setCancelEnabled(bool) override {}
    Clock& clock() override { return clock_; }
    SystemClock clock_;
};

const Bytes& evo() {
    static const Bytes bytes = benchEvoBytes(kEvoPacks, 1);
    return bytes;
}

const Bytes& vc1Payload() {
    static const Bytes bytes = [] {
        Vc1Stream stream(7);
        return stream.take(kBlockSize);
    }();
    return bytes;
}

// One block of each input, so it stays in the cache as a block just read does. Inputs that
// defeat a search for rare bytes: all zeros, and start codes at every fourth byte.
const Bytes& zeros() {
    static const Bytes bytes(kBlockSize, 0);
    return bytes;
}

const Bytes& denseStartCodes() {
    static const Bytes bytes = [] {
        Bytes out(kBlockSize);
        for (size_t i = 0; i < out.size(); i += 4) {
            out[i] = 0, out[i + 1] = 0, out[i + 2] = 1, out[i + 3] = 0x0D;
        }
        return out;
    }();
    return bytes;
}

// Counts in pieces of a VC-1 packet's payload, as the payload handler calls the counter.
template <typename Count>
void countInPieces(benchmark::State& state, const Bytes& input, Count count) {
    int64_t total = 0;
    for (auto _ : state) {
        for (size_t at = 0; at < input.size(); at += kPieceSize) {
            const size_t n = std::min(kPieceSize, input.size() - at);
            total += count(std::span<const uint8_t>(input.data() + at, n));
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
    state.counters["pictures"] = static_cast<double>(total / state.iterations());
}

void countSimple(benchmark::State& state, const Bytes& (*input)()) {
    countInPieces(state, input(), [](std::span<const uint8_t> piece) {
        return countPictureStartCodesSimple(piece, VideoKind::VideoVc1);
    });
}

void countWith(benchmark::State& state, const Bytes& (*input)(), PictureSearch search) {
    if (!pictureSearchAvailable(search)) {
        state.SkipWithError("not available on this processor");
        return;
    }
    countInPieces(state, input(), [search](std::span<const uint8_t> piece) {
        return countPictureStartCodesWith(search, piece, VideoKind::VideoVc1);
    });
}

BENCHMARK_CAPTURE(countSimple, Vc1, vc1Payload);
BENCHMARK_CAPTURE(countWith, Vc1_Memchr, vc1Payload, PictureSearch::Memchr);
BENCHMARK_CAPTURE(countWith, Vc1_Sse2, vc1Payload, PictureSearch::Sse2);
BENCHMARK_CAPTURE(countWith, Vc1_Avx2, vc1Payload, PictureSearch::Avx2);
BENCHMARK_CAPTURE(countSimple, Zeros, zeros);
BENCHMARK_CAPTURE(countWith, Zeros_Memchr, zeros, PictureSearch::Memchr);
BENCHMARK_CAPTURE(countWith, Zeros_Avx2, zeros, PictureSearch::Avx2);
BENCHMARK_CAPTURE(countSimple, Dense, denseStartCodes);
BENCHMARK_CAPTURE(countWith, Dense_Memchr, denseStartCodes, PictureSearch::Memchr);
BENCHMARK_CAPTURE(countWith, Dense_Avx2, denseStartCodes, PictureSearch::Avx2);

class NoPieces final : public PieceHandler {
  public:
    void onPiece(const ParserState&, const Piece& piece) override { bytes += piece.bytes.size(); }
    size_t bytes = 0;
};

// Feeds the benchmark EVO block by block as demux does: each block is first copied into one
// reused block buffer (where read() puts it, so it is in the cache), then handed to feed.
template <typename Feed>
void feedBlocks(const Bytes& input, Feed feed) {
    static std::vector<uint8_t> buffer(kBlockSize);
    for (size_t at = 0; at < input.size(); at += kBlockSize) {
        const size_t n = std::min<size_t>(kBlockSize, input.size() - at);
        std::memcpy(buffer.data(), input.data() + at, n);
        feed(std::span<const uint8_t>(buffer.data(), n));
    }
}

// The copy alone: what the other block benchmarks spend besides the engine.
void BM_BlockCopy(benchmark::State& state) {
    const Bytes& input = evo();
    size_t sum = 0;
    for (auto _ : state) {
        feedBlocks(input, [&sum](std::span<const uint8_t> block) { sum += block[0]; });
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_BlockCopy);

// The parser alone.
void BM_ParserFeed(benchmark::State& state) {
    const Bytes& input = evo();
    QuietHost host;
    NoPieces pieces;
    const EngineOptions options{.mode = EngineMode::Scan};
    for (auto _ : state) {
        SlotTable tables;
        StreamParser parser(tables, host, options, pieces);
        feedBlocks(input, [&parser](std::span<const uint8_t> block) { parser.feed(block); });
        benchmark::DoNotOptimize(pieces.bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_ParserFeed);

// The parser with the payload handler of a scan (no details), counting on or off.
void scanBlocks(benchmark::State& state, bool countFrames) {
    const Bytes& input = evo();
    QuietHost host;
    const EngineOptions options{.mode = EngineMode::Scan, .countFrames = countFrames};
    int64_t frames = 0;
    for (auto _ : state) {
        PartScan scan;
        PayloadHandler payload(scan, host, options, nullptr, ReportSet{});
        StreamParser parser(scan.slotTable, host, options, payload);
        feedBlocks(input, [&parser](std::span<const uint8_t> block) { parser.feed(block); });
        frames = scan.pictures(0);
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
    state.counters["pictures"] = static_cast<double>(frames);
}
void BM_ScanCounting(benchmark::State& s) {
    scanBlocks(s, true);
}
void BM_ScanNotCounting(benchmark::State& s) {
    scanBlocks(s, false);
}
BENCHMARK(BM_ScanCounting);
BENCHMARK(BM_ScanNotCounting);

// The pack rules of a rebuild keeping video, the first audio and the first subpicture
// stream, on a copy of the input per iteration (the rules rewrite packs in place).
void BM_RebuildPacks(benchmark::State& state) {
    Bytes input = evo();
    SlotSelection ticks;
    ticks.set(SlotKind::Video, 0, true);
    ticks.set(SlotKind::Video, 1, true);
    ticks.set(SlotKind::Audio, 0, true);
    ticks.set(SlotKind::Subpicture, 0, true);
    SlotTable tables;
    tables.ids(SlotKind::Video)[0] = 0x55;
    const auto audio = tables.ids(SlotKind::Audio);
    audio[0] = 0xC0, audio[1] = 0xA1, audio[2] = 0x8A;
    const auto subpictures = tables.ids(SlotKind::Subpicture);
    subpictures[0] = 0x20, subpictures[1] = 0x21;
    size_t kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Bytes packs = input;
        state.ResumeTiming();
        RebuildNumbering numbering;
        kept = 0;
        for (size_t at = 0; at < packs.size(); at += kPackSize) {
            kept += rebuildPack(packs.data() + at, tables, ticks, numbering) ? 1 : 0;
        }
        benchmark::DoNotOptimize(kept);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
    state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_RebuildPacks);

}  // namespace
}  // namespace morvale::bench

BENCHMARK_MAIN();
