// SPDX-License-Identifier: MIT
#pragma once

// The sample disc as morvale-sample-disc writes it, into a temporary folder.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace morvale::testing {

// The exit status of a shell command, -1 when it did not exit.
inline int runStatus(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The generator run once into a temporary folder.
struct Disc {
    TempDir dir;
    std::string report;
    int status;

    explicit Disc(const std::string& options = "", const std::string& environment = "") {
        status = runStatus(environment + " " MORVALE_SAMPLE_DISC_PATH " " + options + " " + root() +
                           " >" + dir.file("report.txt") + " 2>&1");
        report = readText(dir.file("report.txt"));
    }
    std::string root() const { return dir.file("disc"); }
    std::string part(int n) const {
        return root() + "/HVDVD_TS/FEATURE_" + std::to_string(n) + ".EVO";
    }
    std::string playlist() const { return root() + "/ADV_OBJ/VPLST000.XPL"; }

    static std::string readText(const std::string& path) {
        const auto bytes = readFileBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
};

// A suite whose tests share one disc, generated before the first of them.
class DiscSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { disc_ = new Disc(); }
    static void TearDownTestSuite() {
        delete disc_;
        disc_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(disc_->status, 0) << disc_->report; }
    static const Disc& disc() { return *disc_; }

  private:
    inline static Disc* disc_ = nullptr;
};

}  // namespace morvale::testing
