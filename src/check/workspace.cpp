#include "check/workspace.h"

#include <sstream>

#include "check/report.h"
#include "textops/textops.h"

namespace ruvello::check {

Model Model::read(const std::string& path) {
    Model model;
    if (path == "-") {
        model.text = read_whole(InputFile::standard_input(), "standard input");
    } else {
        const std::string shown = textops::printable(path);
        model.file = InputFile::open(path, shown);
        model.text = read_whole(*model.file, "'" + shown + "'");
    }
    return model;
}

void Model::refuse_as_output(const std::string& path) const {
    if (file && file->is_file_at(path)) throw OpenError("'" + textops::printable(path) + "' is the model itself");
}

std::string CheckerSetup::why_stopped(bool out_of_budget) const {
    return out_of_budget ? "the budget of " + duration_text(*budget_seconds) + " ran out"
                         : "stopped after " + seconds_text(*timeout_seconds) + " s";
}

CheckerFile::CheckerFile(const std::string& path) {
    try {
        file_.emplace(InputFile::open(path, textops::printable(path)));
        source_.emplace(file_->fd(), "'" + textops::printable(path) + "'", file_->size());
    } catch (const OpenError&) {
    }
}

std::string file_name_part(std::string_view text) {
    std::string safe;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '_' || c == '-' || c == '.' || c == '[' || c == ']';
        safe += plain ? c : '_';
    }
    return safe;
}

std::string how_the_checker_ended(const ChildEnd& end) {
    if (end.signal != 0) return "the checker was ended by signal " + std::to_string(end.signal);
    return "the checker ended with status " + std::to_string(end.exit_status.value_or(-1));
}

void stop_if_late(Launcher& launcher, pid_t pid, bool late, std::optional<Clock::time_point>& stop_sent,
                  Clock::time_point now) {
    if (!stop_sent && late) {
        launcher.stop(pid, false);
        stop_sent = now;
    } else if (stop_sent && now - *stop_sent > std::chrono::seconds(2)) {
        launcher.stop(pid, true);
    }
}

std::string seconds_text(double timeout) {
    std::ostringstream text;
    text << timeout;
    return text.str();
}

}  // namespace ruvello::check
