// morvale-sample-disc: writes the sample disc that Morvale's first run opens.

#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>

#include "sample_disc.h"

namespace {

constexpr const char* kUsage = "Usage: morvale-sample-disc [--synthesise-audio] FOLDER\n";

void printHelp() {
    std::cout << kUsage
              << "\n"
                 "Writes a small HD DVD disc tree into FOLDER: HVDVD_TS/FEATURE_1.EVO and\n"
                 "HVDVD_TS/FEATURE_2.EVO (one feature in two parts: VC-1 video, Dolby Digital\n"
                 "Plus and Dolby Digital audio, two subpicture streams) and the playlist\n"
                 "ADV_OBJ/VPLST000.XPL. The audio is encoded by ffmpeg when it is on PATH.\n"
                 "\n"
                 "  --synthesise-audio  write silent audio frames made here, without ffmpeg\n"
                 "  -h, --help          show this text\n"
                 "  -V, --version       show the version\n";
}

}  // namespace

int main(int argc, char** argv) {
    morvale::sample::SampleDiscOptions options;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            printHelp();
            return 0;
        }
        if (argument == "-V" || argument == "--version") {
            std::cout << "morvale-sample-disc " << MORVALE_VERSION << "\n";
            return 0;
        }
        if (argument == "--synthesise-audio") {
            options.synthesiseAudio = true;
        } else if (argument.starts_with("-") || !folder.empty()) {
            std::cerr << "morvale-sample-disc: unexpected argument " << argument << "\n" << kUsage;
            return 2;
        } else {
            folder = argument;
        }
    }
    if (folder.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        const morvale::sample::SampleDisc disc = morvale::sample::writeSampleDisc(folder, options);
        std::cout << "Sample disc written to " << folder << ":\n";
        for (const morvale::sample::WrittenFile& file : disc.files)
            std::cout << "  " << file.path << " (" << file.size << " bytes)\n";
        std::cout << (disc.audio == morvale::sample::AudioOrigin::Ffmpeg
                          ? "Audio encoded by ffmpeg from sine tones.\n"
                          : "Audio synthesised here as silent frames (ffmpeg not used).\n");
    } catch (const std::exception& e) {
        std::cerr << "morvale-sample-disc: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
