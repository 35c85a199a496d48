#pragma once

#include <cstdint>
#include <string>

#include "commands/form.h"
#include "commands/session.h"

namespace morvale {

// A feature split over FEATURE_1.EVO and FEATURE_2.EVO: the source is a first part when its
// name ends in "_1.EVO" exactly (case counts); the second part's path is the source path
// with its last five characters replaced by "2.EVO".
struct SecondPart {
    bool continues = false;
    std::string path;
};

// Only when "Continue with second EVO" is ticked; otherwise the source does not continue.
SecondPart secondPartOf(const Form& form, const Selection& selection);

// True when the run goes on into the second part now: the option is still ticked, no
// cancel was requested, and the second part exists at this moment.
bool goesOnToSecondPart(const Form& form, const SecondPart& part, bool cancelRequested);

// The path every output name starts with: the output folder (with a trailing separator)
// and the source's base name, plus "_2" when the run will continue into an existing
// second part.
std::string outputBaseOf(const Form& form, const Selection& selection, const SecondPart& part);

// "File size: <MiB> Mbytes."
std::string fileSizeLine(int64_t bytes);

}  // namespace morvale
