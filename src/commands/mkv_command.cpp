#include "commands/mkv_command.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/form_engine_host.h"
#include "commands/stream_lists.h"
#include "engine/demux.h"
#include "export/audio_duration.h"
#include "export/chapter_file.h"
#include "export/description_json.h"
#include "export/feature_scan_recorder.h"
#include "export/mkv_hand_off.h"
#include "export/playlist_model.h"
#include "export/wav_writer.h"
#include "platform/child_process.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace morvale {

namespace {

constexpr const char* kMkvmerge = "mkvmerge";
constexpr int64_t kCopyPiece = 1 << 20;
// Both parts are opened exclusively, as Demux opens them.
constexpr FeaturePass kMkvPass{ShareMode::Exclusive, "Demuxing", true};

// What the work folder holds of a stream, by the name the boxes give its kind.
struct StreamFileKind {
    std::string_view codec;
    std::string_view extension;
    std::optional<AudioCoding> coding;  // timed by its units
    bool lpcm = false;                  // converted to WAV
};

constexpr StreamFileKind kStreamFileKinds[] = {
    {"VC-1", "vc1", {}},
    {"MPEG-2", "m2v", {}},
    {"H.264", "h264", {}},
    {"DD", "ac3", AudioCoding::DolbyDigital},
    {"DD+", "eac3", AudioCoding::DolbyDigitalPlus},
    {"DTSHD", "dts", AudioCoding::Dts},
    {"MLP", "thd", AudioCoding::TrueHd},
    {"LPCM", "lpcm", {}, true},
    {"Subpicture", "sup", {}},
    {"Ext.Subpicture", "sup", {}},
};

const StreamFileKind& fileKindOf(std::string_view codec) {
    for (const StreamFileKind& kind : kStreamFileKinds) {
        if (kind.codec == codec) return kind;
    }
    static const StreamFileKind kUnknown{"", "bin", {}};
    return kUnknown;
}

int64_t fileSizeOf(const std::string& path) {
    return SourceFile::open(path, ShareMode::Shared).size();
}

// The engine's host while Make MKV demuxes: the Form's, except that pictures are always
// counted, since their spacing gives each part's video length for the join.
class CountingHost final : public EngineHost {
  public:
    explicit CountingHost(Form& form) : form_(form) {}
    void log(std::string_view line) override { form_.log(line); }
    void progress(std::string_view text, ProgressAmount amount) override {
        form_.progress(text, amount);
    }
    void pumpEvents() override { form_.pumpEvents(); }
    void repaint() override { form_.repaint(); }
    void setCancelEnabled(bool enabled) override { form_.setCancelEnabled(enabled); }
    bool countFrames() const override { return true; }
    bool details() const override { return form_.details(); }
    bool fastCheck() const override { return form_.fastCheck(); }
    bool ticked(SlotKind kind, int slot) const override { return form_.ticked(kind, slot); }
    Clock& clock() override { return form_.clock(); }

  private:
    FormEngineHost form_;
};

// The outputs of one part: one per ticked box, named after the work folder's stem, the
// box's caption, the part and the stream's kind.
class PartOutputs {
  public:
    void create(Form& form, const EngineState& scanned, const std::string& stem, int part) {
        for (int order = 0; order < kSlotBoxCount; ++order) {
            const StreamBox box = slotBoxAt(order);
            if (!form.boxTicked(box)) continue;
            const std::string codec = codecOfBox(scanned, box);
            paths_[order] = stem + "." + form.boxCaption(box) + ".part" + std::to_string(part) +
                            "." + std::string(fileKindOf(codec).extension);
            files_[order] = OutputFile::create(paths_[order]);
            slots_.at(box.page, box.index) = &files_[order];
        }
    }
    const DemuxOutputs& slots() const { return slots_; }
    const std::array<std::string, kSlotBoxCount>& paths() const { return paths_; }
    void close() {
        for (OutputFile& file : files_)
            file.close();
    }

  private:
    static std::string codecOfBox(const EngineState& scanned, StreamBox box) {
        const std::string name =
            box.page == BoxPage::Video   ? videoStreamName(slotEntry(scanned, box))
            : box.page == BoxPage::Audio ? audioStreamName(slotEntry(scanned, box))
                                         : subpictureStreamName(slotEntry(scanned, box));
        const size_t suffix = name.rfind(".stream");
        return suffix == std::string::npos ? name : name.substr(0, suffix);
    }

    std::array<OutputFile, kSlotBoxCount> files_;
    std::array<std::string, kSlotBoxCount> paths_;
    DemuxOutputs slots_;
};

// One run of the command.
class MkvRun {
  public:
    MkvRun(Session& session, Form& form, const MkvOptions& options)
        : session_(session), form_(form), options_(options) {
        part_ = secondPartOf(form, session.selection);
        output_ = mkvOutputPath(form, session.selection, options);
        const std::string withoutExtension = output_.substr(0, output_.size() - 4);
        work_ = withoutExtension + ".work/";
        stem_ = work_ + fileNameOf(withoutExtension);
    }

    // Demuxes every part into the work folder. Throws FileError.
    void demuxParts() {
        createFolders(work_.substr(0, work_.size() - 1));
        form_.log("Work folder " + work_);
        // The scan's tables name the streams the boxes stand for.
        const EngineState scanned = snapshotIds();
        CountingHost host(form_);
        int part = 0;
        runFeature(session_, form_, part_, kMkvPass, {},
                   [&](SourceFile& source) { demuxPart(scanned, host, source, ++part); });
    }

    bool cancelled() const { return session_.engine.cancelRequested; }

    // Converts LPCM to WAV, times the audio, reads the playlist, and writes the description,
    // the chapters and mkvmerge's options file. Throws FileError.
    void prepareHandOff() {
        FeatureScan scan = recorder_.scan();
        convertLpcm(scan);
        timeAudio(scan);
        const std::optional<PlaylistModel> playlist = readPlaylist();
        const PlaylistTitle* title = nullptr;
        if (playlist && playlist->chosenTitle) title = &playlist->titles[*playlist->chosenTitle];
        FeatureDescription description =
            describeFeature(scan, title, playlist ? playlist->displayName : std::string());
        description.playlistPath = playlistPath_;
        description.playlistError = playlistError_;
        writeText(stem_ + ".json", featureDescriptionJson(description));

        std::string chapters;
        if (description.title && !description.title->chapters.empty()) {
            chapters = stem_ + ".chapters.xml";
            writeChapterFile(chapters, description.title->chapters, ChapterFormat::MatroskaXml);
        }
        handOff_ = planHandOff(description, streamFiles(description), output_, chapters);
        optionsFile_ = stem_ + ".mkvmerge.json";
        writeText(optionsFile_, mkvmergeOptionsFile(mkvmergeArguments(handOff_.job)));
        for (const LeftOutStream& left : handOff_.leftOut) {
            std::string line = left.caption + " left out: mkvmerge cannot read these subpictures";
            if (!left.paths.empty()) line += "; they are in " + joined(left.paths);
            form_.log(line);
        }
    }

    // Runs mkvmerge; true when it made the Matroska file.
    bool runMkvmerge() {
        const std::optional<std::string> program = findProgram(kMkvmerge);
        if (!program) {
            form_.log("mkvmerge was not found. The streams, chapters and options are in " + work_);
            form_.log("To make " + output_ + ", install mkvtoolnix and run: mkvmerge @" +
                      optionsFile_);
            form_.showError("mkvmerge was not found: " + output_ + " was not made.");
            return false;
        }
        form_.log("Running mkvmerge @" + optionsFile_);
        form_.slog("Multiplexing " + fileNameOf(output_), Panel::State);
        EngineState& engine = session_.engine;
        engine.cancelRequested = false;
        engine.confirmCancel = true;
        form_.setEnabled(Button::Cancel, true);
        std::string lastError;
        ChildCallbacks callbacks;
        callbacks.onLine = [&](std::string_view line) { mkvmergeLine(line, lastError); };
        callbacks.onTick = [&] {
            form_.pumpEvents();
            return engine.cancelRequested;
        };
        const ChildOutcome outcome =
            runChildProcess(*program, {"--gui-mode", "@" + optionsFile_}, callbacks);
        form_.setEnabled(Button::Cancel, false);
        return finishMkvmerge(outcome, lastError);
    }

    // After a good mkvmerge: the demuxed streams go unless they are to be kept; the
    // subpictures that were left out stay.
    void tidyUp() {
        if (options_.keepStreams) return;
        for (const std::string& path : handOffFiles_)
            removeFile(path);
        for (const char* suffix : {".json", ".chapters.xml", ".mkvmerge.json"})
            removeFile(stem_ + suffix);
        removeEmptyFolder(work_.substr(0, work_.size() - 1));
    }

    const std::string& output() const { return output_; }

  private:
    EngineState snapshotIds() const {
        EngineState ids;
        ids.videoStreamIds = session_.engine.videoStreamIds;
        ids.audioStreamIds = session_.engine.audioStreamIds;
        ids.subpictureStreamIds = session_.engine.subpictureStreamIds;
        return ids;
    }

    void demuxPart(const EngineState& scanned, EngineHost& host, SourceFile& source, int part) {
        PartOutputs outputs;
        outputs.create(form_, scanned, stem_, part);
        const auto countsBefore = session_.engine.frameCounts;
        demux(session_.engine, host, source, EngineMode::Demux, &outputs.slots());
        outputs.close();
        recorder_.addPart(source.path(), session_.engine, countsBefore);
        for (int order = 0; order < kSlotBoxCount; ++order) {
            boxFiles_[order].resize(size_t(part));
            boxFiles_[order][size_t(part) - 1] = outputs.paths()[order];
        }
    }

    // A part file that received nothing is no file of the stream.
    std::string usable(const std::string& path) {
        if (path.empty() || !fileExists(path)) return {};
        if (fileSizeOf(path) > 0) return path;
        removeFile(path);
        return {};
    }

    std::vector<std::string>* filesOf(const ScanStream& stream) {
        const BoxPage page = slotKindOf(stream.kind);
        for (int order = 0; order < kSlotBoxCount; ++order) {
            const StreamBox box = slotBoxAt(order);
            if (box.page == page && box.index == stream.slot) return &boxFiles_[order];
        }
        return nullptr;
    }

    void convertLpcm(FeatureScan& scan) {
        for (ScanStream& stream : scan.streams) {
            std::vector<std::string>* files = filesOf(stream);
            if (files == nullptr || !fileKindOf(stream.codec).lpcm) continue;
            const std::optional<LpcmFormat> format = recorder_.lpcmFormat(stream);
            for (size_t p = 0; p < files->size(); ++p) {
                std::string& path = (*files)[p];
                if (usable(path).empty()) {
                    path.clear();
                    continue;
                }
                if (!format) {
                    form_.log(fileNameOf(path) + ": the LPCM format is not one this program knows");
                    path.clear();
                    continue;
                }
                const std::string wav = path.substr(0, path.size() - 4) + "wav";
                const uint64_t bytes = convertToWav(path, wav, *format);
                if (!options_.keepStreams) removeFile(path);
                path = wav;
                if (p < stream.parts.size()) {
                    const uint64_t frames = bytes / uint64_t(wavFormatOf(*format).frameBytes());
                    stream.parts[p].durationTicks =
                        int64_t(frames * kTicksPerSecond / uint64_t(format->sampleRate));
                }
            }
        }
    }

    uint64_t convertToWav(const std::string& lpcm, const std::string& wav,
                          const LpcmFormat& format) {
        form_.log("Converting " + fileNameOf(lpcm) + " to WAV");
        SourceFile in = SourceFile::open(lpcm, ShareMode::Shared);
        LpcmWavWriter writer(wav, format, recorder_.lpcmLayout());
        const auto buffer = std::make_unique<uint8_t[]>(kCopyPiece);
        while (true) {
            const int64_t got = in.read(buffer.get(), kCopyPiece);
            if (got <= 0) break;
            writer.write({buffer.get(), size_t(got)});
        }
        writer.close();
        return writer.dataBytes();
    }

    void timeAudio(FeatureScan& scan) {
        for (ScanStream& stream : scan.streams) {
            std::vector<std::string>* files = filesOf(stream);
            const std::optional<AudioCoding> coding = fileKindOf(stream.codec).coding;
            if (files == nullptr || !coding) continue;
            for (size_t p = 0; p < files->size() && p < stream.parts.size(); ++p) {
                const std::string path = usable((*files)[p]);
                (*files)[p] = path;
                if (!path.empty())
                    stream.parts[p].durationTicks = audioFileDurationTicks(path, *coding);
            }
        }
    }

    std::optional<PlaylistModel> readPlaylist() {
        playlistPath_ = options_.playlist.empty() ? form_.text(Edit::XplFile) : options_.playlist;
        if (playlistPath_.empty() || !fileExists(playlistPath_)) {
            form_.log("No playlist: the Matroska file gets no names, languages or chapters.");
            playlistPath_.clear();
            return std::nullopt;
        }
        PlaylistReading reading =
            readPlaylistModelFile(playlistPath_, session_.selection.sourceBaseName);
        if (!reading.model) {
            playlistError_ = reading.error;
            form_.log(fileNameOf(playlistPath_) + " is " + reading.error +
                      "; the Matroska file gets no names, languages or chapters from it.");
            return std::nullopt;
        }
        if (!reading.model->chosenTitle) {
            form_.log(fileNameOf(playlistPath_) + " has no title that plays " +
                      session_.selection.sourceBaseName + ".");
        }
        return reading.model;
    }

    std::vector<StreamFiles> streamFiles(const FeatureDescription& description) {
        std::vector<StreamFiles> all;
        for (const DescribedStream& stream : description.streams) {
            std::vector<std::string>* files = filesOf(stream.scan);
            if (files == nullptr || std::all_of(files->begin(), files->end(),
                                                [](const std::string& p) { return p.empty(); })) {
                continue;  // no box, or its box was not ticked
            }
            StreamFiles entry{stream, captionOf(stream.scan), {}};
            for (const std::string& path : *files) {
                const std::string file = usable(path);
                entry.parts.push_back({file});
                if (!file.empty() && mkvmergeReads(stream.scan)) handOffFiles_.push_back(file);
            }
            all.push_back(std::move(entry));
        }
        return all;
    }

    std::string captionOf(const ScanStream& stream) const {
        return form_.boxCaption({slotKindOf(stream.kind), stream.slot});
    }

    void mkvmergeLine(std::string_view line, std::string& lastError) {
        const MkvmergeLine read = readMkvmergeLine(line);
        switch (read.kind) {
            case MkvmergeLine::Kind::Progress:
                form_.slog("Multiplexing: " + std::to_string(read.percent) + "%", Panel::Progress);
                form_.showProgress({read.percent, 100});
                break;
            case MkvmergeLine::Kind::Warning:
                form_.log("mkvmerge warning: " + read.text);
                break;
            case MkvmergeLine::Kind::Error:
                form_.log("mkvmerge error: " + read.text);
                lastError = read.text;
                break;
            case MkvmergeLine::Kind::Other:
                break;
        }
    }

    bool finishMkvmerge(const ChildOutcome& outcome, const std::string& lastError) {
        const bool made = outcome.started && !outcome.stopped &&
                          (outcome.exitStatus == 0 || outcome.exitStatus == 1);
        if (made) return true;
        // Never leave a half-written file where the Matroska file is expected.
        removeFile(output_);
        if (outcome.stopped) {
            form_.log("Stopped by Cancel: no Matroska file was made.");
            return false;
        }
        std::string reason = !outcome.started ? outcome.startError
                             : !lastError.empty()
                                 ? lastError
                                 : "it ended with status " + std::to_string(outcome.exitStatus);
        form_.showError("mkvmerge could not make " + output_ + ": " + reason);
        return false;
    }

    static std::string joined(const std::vector<std::string>& paths) {
        std::string text;
        for (const std::string& path : paths)
            text += (text.empty() ? "" : ", ") + path;
        return text;
    }

    static void writeText(const std::string& path, const std::string& text) {
        OutputFile file = OutputFile::create(path);
        file.write(text.data(), text.size());
        file.close();
    }

    Session& session_;
    Form& form_;
    MkvOptions options_;
    SecondPart part_;
    std::string output_;
    std::string work_;  // ends in "/"
    std::string stem_;  // work_ and the Matroska file's name without ".mkv"
    FeatureScanRecorder recorder_;
    std::array<std::vector<std::string>, kSlotBoxCount> boxFiles_;  // per part
    std::string playlistPath_;
    std::string playlistError_;
    HandOff handOff_;
    std::string optionsFile_;
    std::vector<std::string> handOffFiles_;
};

}  // namespace

std::string mkvOutputPath(const Form& form, const Selection& selection, const MkvOptions& options) {
    if (upperExtension(options.output) == ".MKV") return options.output;
    const SecondPart part = secondPartOf(form, selection);
    std::string base = selection.sourceBaseName;
    if (part.continues && fileExists(part.path)) base += "_2";
    const std::string folder = options.output.empty() ? form.text(Edit::Workdir) : options.output;
    return withTrailingSeparator(folder) + base + ".mkv";
}

void bMakeMkvClick(Session& session, Form& form, const MkvOptions& options) {
    CommandRun run(session, form);
    if (!run.started()) return;
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
    form.showPage(Page::Status);
    session.engine.frameCounts = {0, 0};

    MkvRun mkv(session, form, options);
    const auto finish = [&] {
        form.setEnabled(Button::Demux, true);
        form.setEnabled(Button::Rebuild, true);
    };
    if (!runFileWork(form, [&] { mkv.demuxParts(); })) return;
    if (mkv.cancelled()) {
        form.log("Stopped by Cancel: no Matroska file was made.");
        logDone(form);
        finish();
        return;
    }
    if (!runFileWork(form, [&] { mkv.prepareHandOff(); })) return;
    const bool made = mkv.runMkvmerge();
    if (!made && !mkv.cancelled()) {
        finish();
        return;
    }
    if (made) {
        mkv.tidyUp();
        form.log("Matroska file " + mkv.output());
    }
    logDone(form);
    finish();
}

}  // namespace morvale
