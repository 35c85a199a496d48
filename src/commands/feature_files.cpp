#include "commands/feature_files.h"

#include "engine/demux.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace morvale {

SecondPart secondPartOf(const Form& form, const Selection& selection) {
    SecondPart part;
    if (!form.isTicked(Option::Continue)) return part;
    part.continues = endsWith(selection.sourceFileName, "_1.EVO");
    std::string source = form.text(Edit::EvoFile);
    part.path = source.substr(0, source.size() >= 5 ? source.size() - 5 : 0) + "2.EVO";
    return part;
}

bool goesOnToSecondPart(const Form& form, const SecondPart& part, bool cancelRequested) {
    return form.isTicked(Option::Continue) && !cancelRequested && part.continues &&
           fileExists(part.path);
}

std::string outputBaseOf(const Form& form, const Selection& selection, const SecondPart& part) {
    std::string base = withTrailingSeparator(form.text(Edit::Workdir)) + selection.sourceBaseName;
    if (part.continues && fileExists(part.path)) base += "_2";
    return base;
}

std::string fileSizeLine(int64_t bytes) {
    return "File size: " + std::to_string(bytes / kMegabyte) + " Mbytes.";
}

void runFeature(const Session& session, Form& form, const SecondPart& part, const FeaturePass& pass,
                const std::function<void()>& prepare, const std::function<void(SourceFile&)>& run) {
    form.log("Opening file " + session.selection.sourceFileName);
    if (pass.showOpening) form.slog("Opening", Panel::State);
    SourceFile source = SourceFile::open(form.text(Edit::EvoFile), pass.firstPartShare);
    form.log(fileSizeLine(source.size()));
    if (prepare) prepare();
    form.slog(std::string(pass.verb) + " " + fileNameOf(source.path()) + pass.firstPartSuffix,
              Panel::State);
    run(source);

    if (goesOnToSecondPart(form, part, session.engine.cancelRequested)) {
        source.close();
        source = SourceFile::open(part.path, ShareMode::Exclusive);
        form.log("Continue on " + fileNameOf(part.path));
        form.slog(std::string(pass.verb) + " " + fileNameOf(part.path), Panel::State);
        run(source);
    }
}

}  // namespace morvale
