// What the parts of a check share: the model, the private folder where the
// checker runs and writes its files, how those files are named, and how a
// run that is late is stopped.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/settings.h"
#include "platform/files.h"
#include "platform/processes.h"

namespace ruvello::check {

using Clock = std::chrono::steady_clock;

// The model as read, and the file it came from (none for standard input).
struct Model {
    std::optional<InputFile> file;
    std::string text;

    // Reads the model at `path` ("-": standard input). Throws OpenError and ReadError.
    static Model read(const std::string& path);
    // Throws OpenError when `path` is the model itself: what ruvello writes
    // must not take its place.
    void refuse_as_output(const std::string& path) const;
};

// What every run of the checker is given.
struct CheckerSetup {
    std::string program;               // as found
    std::vector<std::string> options;  // --checker-option, in order
    std::string folder;                // where it runs and writes its files
    std::string stem;                  // what the files there are named after
    bool reference_checks = false;
    bool symmetric = false;
    bool traces = false;  // counterexamples wanted in files
    bool counterexamples = false;  // counterexamples wanted under the table
    std::optional<double> timeout_seconds;
    std::optional<double> budget_seconds;

    std::string in_folder(std::string_view name) const { return folder + "/" + std::string(name); }
    // "the budget of 1 h ran out", "stopped after 5 s": why a run was stopped.
    std::string why_stopped(bool out_of_budget) const;
};

// A file that a run of the checker wrote, read as a stream; nothing when
// it is gone.
class CheckerFile {
public:
    explicit CheckerFile(const std::string& path);
    ByteSource& source() { return source_ ? static_cast<ByteSource&>(*source_) : nothing_; }

private:
    std::optional<InputFile> file_;
    std::optional<FileSource> source_;
    StringSource nothing_{""};
};

// A name made safe for a file name, and for NuSMV's command reader.
std::string file_name_part(std::string_view text);

// How a run of the checker ended that failed without saying why.
std::string how_the_checker_ended(const ChildEnd& end);

// A run that is `late` at `now` is asked to end, and made to two seconds
// after it was asked; `stop_sent` says when it was asked.
void stop_if_late(Launcher& launcher, pid_t pid, bool late, std::optional<Clock::time_point>& stop_sent,
                  Clock::time_point now);

// The seconds of `timeout` as messages show them: "5", "0.5".
std::string seconds_text(double timeout);

}  // namespace ruvello::check
