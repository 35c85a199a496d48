#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace morvale {

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"morvale-cli: the headless twin of the Morvale window. It lists the video,\n"
                 "audio and subpicture streams of HD DVD EVO and DVD VOB files and writes them\n"
                 "out as elementary streams.",
                 "morvale-cli"};
    app.set_version_flag("-V,--version", std::string("morvale-cli ") + MORVALE_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        err << e.what() << "\n" << "Usage: morvale-cli [--help] [--version]\n";
        return 2;
    }
    out << app.help();
    return 0;
}

}  // namespace morvale
