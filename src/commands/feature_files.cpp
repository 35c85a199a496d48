// SPDX-License-Identifier: MIT
#include "commands/feature_files.h"

#include "commands/selection.h"
#include "engine/progress.h"
#include "platform/file.h"
#include "platform/file_identity.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace morvale {

SecondPart secondPartOf(const CommandSettings& settings) {
    SecondPart part;
    if (!settings.options.continueToSecondPart) return part;
    part.continues = endsWith(sourceFileNameOf(settings.source), "_1.EVO");
    const std::string& source = settings.source;
    part.path = source.substr(0, source.size() >= 5 ? source.size() - 5 : 0) + "2.EVO";
    return part;
}

bool goesOnToSecondPart(const CommandSettings& settings, const SecondPart& part,
                        bool cancelRequested) {
    return settings.options.continueToSecondPart && !cancelRequested && part.continues &&
           fileExists(part.path);
}

std::string featureBaseName(const CommandSettings& settings, const SecondPart& part) {
    std::string base = sourceBaseNameOf(settings.source);
    if (part.continues && fileExists(part.path)) base += "_2";
    return base;
}

std::string outputBaseOf(const CommandSettings& settings, const SecondPart& part) {
    return withTrailingSeparator(settings.outputFolder) + featureBaseName(settings, part);
}

std::vector<std::string> featureInputs(const CommandSettings& settings, const SecondPart& part) {
    std::vector<std::string> inputs{settings.source};
    if (part.continues) inputs.push_back(part.path);
    if (!settings.playlist.empty()) inputs.push_back(settings.playlist);
    return inputs;
}

void prepareOutputs(CommandHost& host, const CommandSettings& settings, const SecondPart& part,
                    const std::vector<std::string>& outputs) {
    if (outputs.empty()) return;
    // The folder the system makes the files in (all of them lie in one).
    requireFolder(withTrailingSeparator(outputFolderOf(outputs.front())));
    refuseOutputsOverInputs(outputs, featureInputs(settings, part));
    // Named in full where the "Creating" lines name the files without it (or only partly).
    if (!isAbsolutePath(settings.outputFolder)) {
        host.log("Output folder " + absoluteFolder(settings.outputFolder));
    }
}

std::unique_ptr<PayloadSink> boxOutputSink(SlotKind kind, OutputFile& file,
                                           uint32_t subpictureTimeBase) {
    if (kind == SlotKind::Subpicture) {
        return std::make_unique<SubpictureRecordSink>(file, subpictureTimeBase);
    }
    return std::make_unique<ElementaryStreamSink>(file);
}

std::string fileSizeLine(int64_t bytes) {
    return "File size: " + std::to_string(bytes / kMegabyte) + " Mbytes.";
}

void runFeature(CommandHost& host, const CommandSettings& settings, const SecondPart& part,
                const FeaturePass& pass, const std::function<void()>& prepare,
                const std::function<bool(SourceFile&)>& run) {
    host.log("Opening file " + sourceFileNameOf(settings.source));
    if (pass.showOpening) host.slog("Opening", Panel::State);
    SourceFile source = SourceFile::open(settings.source, pass.firstPartShare);
    host.log(fileSizeLine(source.size()));
    if (prepare) prepare();
    host.slog(std::string(pass.verb) + " " + fileNameOf(source.path()) + pass.firstPartSuffix,
              Panel::State);
    const bool whole = run(source);

    if (goesOnToSecondPart(settings, part, !whole)) {
        source.close();
        source = SourceFile::open(part.path, ShareMode::Exclusive);
        host.log("Continue on " + fileNameOf(part.path));
        host.slog(std::string(pass.verb) + " " + fileNameOf(part.path), Panel::State);
        run(source);
    }
}

}  // namespace morvale
