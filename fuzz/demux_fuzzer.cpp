// SPDX-License-Identifier: MIT
// The program-stream engine over arbitrary bytes, in both modes, with every option on.
//
// Input: 10 control bytes, then the stream.
//   0     bits 0-1: the file's length: 1 = zeros up to past the first block (the system
//         header line, a second block), 2 = zeros up to past 4 MiB (progress, event pump),
//         otherwise the stream alone
//   1-4   the block cuts of the parser runs (see Cuts)
//   5     video ticks (bits 0-1)
//   6-7   audio ticks (slots 0-15)
//   8-9   subpicture ticks (slots 0-15)
//
// Each input runs a Scan and then a Demux (with the Scan's time base) three ways: through
// demux on a real file read in 256 KiB blocks, and through the parser fed in the cut blocks,
// once cut as chosen and once with the cuts moved out of packet payloads.
//
// Checked for every run: the identifier tables hold only what the slot mapping gives; frame
// counts are in range; outputs of unticked boxes stay empty; all outputs together never
// exceed the source. And the cuts outside payloads change nothing: not the tables, the
// identification and first-timestamp lines, the time base, nor a single output byte.
//
// Only the first byte of a payload piece enters the start-code register, so a cut inside a
// payload can change what the three bytes after the packet start; that is the parser's
// rule, and such cuts are left out of the comparison.

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/demux.h"
#include "engine/payload_handler.h"
#include "engine/stream_parser.h"
#include "engine_checks.h"
#include "fuzz_support.h"
#include "output_set.h"
#include "platform/file.h"
#include "support/recording_engine_host.h"

namespace morvale::fuzzing {
namespace {

using morvale::testing::RecordingEngineHost;

constexpr size_t kControlBytes = 10;
constexpr uint32_t kNoTimeBase = 0xFFFFFFFF;  // what Read EVO sets before its scan

void setUp(RecordingEngineHost& host, const ControlBytes& control) {
    host.countFramesOption = true;
    host.detailsOption = true;
    host.fastCheckOption = true;
    for (int k = 0; k < 2; ++k)
        host.videoTicks[k] = (control[5] >> k) & 1;
    for (int k = 0; k < 16; ++k) {
        host.audioTicks[k] = (control.mask16(6) >> k) & 1;
        host.subpictureTicks[k] = (control.mask16(8) >> k) & 1;
    }
}

uint64_t fileLength(const ControlBytes& control, size_t dataSize) {
    switch (control[0] & 3) {
        case 1:
            return std::max<uint64_t>(dataSize, kBlockSize + 100);
        case 2:
            return std::max<uint64_t>(dataSize, kProgressInterval + 1);
        default:
            return dataSize;
    }
}

// The source as the parser runs see it: the stream followed by zeros up to the file's
// length, in one piece of memory.
std::span<const uint8_t> sourceBytes(std::span<const uint8_t> data, uint64_t length) {
    if (length == data.size()) return data;
    static std::vector<uint8_t> padded;
    padded.assign(length, 0);
    std::copy(data.begin(), data.end(), padded.begin());
    return padded;
}

class NoPieces : public PieceHandler {
  public:
    void onPiece(const ParserState&, const Piece&) override {}
};

// The block ends of a run: as the control bytes choose them.
std::vector<size_t> chosenCuts(size_t length, Cuts cuts) {
    std::vector<size_t> ends;
    for (size_t position = 0; position < length;) {
        position += cuts.next(length - position);
        ends.push_back(position);
    }
    return ends;
}

// The block ends as chosen, but never after the first piece of a packet's payload (there
// the next block's first byte would enter the start-code register), except at the block
// boundaries of demux itself. A probe parser finds them: a block that would end inside a
// payload is parsed again from a copy of the state before it, up to the payload's end.
std::vector<size_t> cutsOutsidePayloads(std::span<const uint8_t> source, Cuts cuts) {
    static EngineLedger tables;
    resetEngineState(tables);
    RecordingEngineHost host;
    NoPieces pieces;
    const EngineOptions options{.mode = EngineMode::Demux};
    std::optional<StreamParser> probe(std::in_place, tables.slots, host, options, pieces);
    std::vector<size_t> ends;
    for (size_t position = 0; position < source.size();) {
        const size_t nextBlock = (position / kBlockSize + 1) * static_cast<size_t>(kBlockSize);
        size_t end =
            std::min({position + cuts.next(source.size() - position), nextBlock, source.size()});
        const StreamParser before = *probe;
        const SlotTable slotsBefore = tables.slots;
        probe->feed(source.subspan(position, end - position));
        const ParserState& s = probe->state();
        const bool last = end == source.size() || end == nextBlock;
        if (!last && s.inPayload && s.packetPieceTaken && s.pesRemaining > 0) {
            end = std::min({end + static_cast<size_t>(s.pesRemaining), nextBlock, source.size()});
            probe.emplace(before);
            tables.slots = slotsBefore;
            probe->feed(source.subspan(position, end - position));
        }
        ends.push_back(end);
        position = end;
    }
    return ends;
}

void feedInBlocks(StreamParser& parser, std::span<const uint8_t> source,
                  const std::vector<size_t>& ends) {
    size_t position = 0;
    for (size_t end : ends) {
        parser.feed(source.subspan(position, end - position));
        position = end;
    }
}

// What must come out the same however the file is cut: the identification lines and the
// timestamp lines the engine writes (the reports see only the first piece, and the system
// header line needs a whole first block).
std::vector<std::string> cutIndependentLines(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        const bool found = line.size() > 7 && line.compare(line.size() - 7, 7, " found!") == 0;
        if (found || line.rfind("   First PTS = ", 0) == 0) kept.push_back(line);
    }
    return kept;
}

bool sameTables(const EngineLedger& a, const EngineLedger& b) {
    return a.slots == b.slots;
}

bool ticked(const RecordingEngineHost& host, size_t output) {
    if (output < kVideoSlots) return host.videoTicks[output];
    output -= kVideoSlots;
    if (output < kAudioSlots) return host.audioTicks[output];
    return host.subpictureTicks[output - kAudioSlots];
}

// One way of running the engine over the source: a Scan, then a Demux.
struct Run {
    EngineLedger state;
    RecordingEngineHost host;
    std::vector<std::string> scanLines;
    uint32_t timeBase = 0;
    std::vector<Bytes> written;

    void start(const ControlBytes& control) {
        resetEngineState(state);
        host = RecordingEngineHost();
        setUp(host, control);
        state.minFirstPts = kNoTimeBase;
    }

    // The invariants of every run.
    void check(uint64_t sourceLength) const {
        checkIdentifierTables(state);
        checkFrameCounts(state, sourceLength);
        uint64_t total = 0;
        for (size_t k = 0; k < written.size(); ++k) {
            if (!ticked(host, k)) FUZZ_CHECK(written[k].empty());
            total += written[k].size();
        }
        FUZZ_CHECK(total <= sourceLength);
    }
};

void runFile(Run& run, const MemoryFile& file, EngineMode mode, const DemuxOutputs* outputs) {
    SourceFile source = SourceFile::open(file.path(), ShareMode::Exclusive);
    run.host.cancelEnabledChanges.clear();
    demux(run.state, run.host, source, mode, outputs);
    FUZZ_CHECK(source.position() == static_cast<int64_t>(file.size()));
    FUZZ_CHECK(!run.state.cancelRequested);
    FUZZ_CHECK((run.host.cancelEnabledChanges == std::vector<bool>{true, false}));
}

// A call of demux with the parser driven directly: the blocks end where chosen.
void runCut(Run& run, std::span<const uint8_t> source, const std::vector<size_t>& ends,
            EngineMode mode, const DemuxOutputs* outputs) {
    run.state.cancelRequested = false;
    PartScan scan;
    const EngineOptions options = testing::optionsOf(run.host, mode);
    const DemuxOutputs ticked = outputs ? testing::tickedOutputs(*outputs, run.host) : DemuxOutputs{};
    PayloadHandler payload(scan, run.host, options, outputs ? &ticked : nullptr, ReportSet{});
    StreamParser parser(scan.slotTable, run.host, options, payload);
    feedInBlocks(parser, source, ends);
    run.state.take(scan);
}

void scanAndDemux(Run& run, OutputSet& outputs, const auto& engine) {
    engine(EngineMode::Scan, nullptr);
    run.scanLines = std::move(run.host.lines);
    run.timeBase = run.state.minFirstPts;
    run.host.lines.clear();
    run.state.frameCounts = {0, 0};
    outputs.begin();
    const DemuxOutputs targets = outputs.outputs(run.timeBase);
    engine(EngineMode::Demux, &targets);
    FUZZ_CHECK(run.host.lines.empty());  // a Demux announces nothing
    run.written = outputs.collect();
}

void expectSameOutcome(const Run& a, const Run& b) {
    FUZZ_CHECK(sameTables(a.state, b.state));
    FUZZ_CHECK(a.timeBase == b.timeBase);
    FUZZ_CHECK(cutIndependentLines(a.scanLines) == cutIndependentLines(b.scanLines));
    FUZZ_CHECK(a.written == b.written);
}

}  // namespace
}  // namespace morvale::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    using namespace morvale;
    using namespace morvale::fuzzing;
    static MemoryFile file;
    static OutputSet outputs;
    static Run whole;
    static Run cut;

    const ControlBytes control(bytes, size, kControlBytes);
    const uint64_t length = fileLength(control, control.data().size());
    const std::span<const uint8_t> source = sourceBytes(control.data(), length);
    const Cuts cuts(control[1], control[2], control[3], control[4]);
    file.assign(control.data(), length);

    whole.start(control);
    scanAndDemux(whole, outputs, [&](EngineMode mode, const DemuxOutputs* targets) {
        runFile(whole, file, mode, targets);
    });
    whole.check(length);

    // Cut anywhere: only the invariants hold.
    const std::vector<size_t> anywhere = chosenCuts(source.size(), cuts);
    cut.start(control);
    scanAndDemux(cut, outputs, [&](EngineMode mode, const DemuxOutputs* targets) {
        runCut(cut, source, anywhere, mode, targets);
    });
    cut.check(length);

    // Cut outside payloads: the same outcome as demux.
    const std::vector<size_t> outside = cutsOutsidePayloads(source, cuts);
    cut.start(control);
    scanAndDemux(cut, outputs, [&](EngineMode mode, const DemuxOutputs* targets) {
        runCut(cut, source, outside, mode, targets);
    });
    cut.check(length);
    expectSameOutcome(whole, cut);
    return 0;
}
