#include "check/outputs.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "check/errors.h"
#include "check/formats.h"
#include "check/plot.h"
#include "check/report.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "textops/textops.h"

namespace ruvello::check {

void write_results(const Results& results, const Settings& settings, const SignalsCaught& signals) {
    if (settings.json_path && *settings.json_path == "-") {
        FileSink(1, "standard output").write(to_json(results));
    } else {
        FileSink(1, "standard output").write(table(results, standard_output_width()));
    }
    std::optional<std::string> failure;
    const auto write = [&](const std::optional<std::string>& path, const std::string& text) {
        if (!path || *path == "-") return;
        try {
            write_whole_file(*path, text);
        } catch (const std::runtime_error& error) {
            if (!failure) failure = error.what();
        }
    };
    write(settings.json_path, to_json(results));
    write(settings.junit_path, to_junit(results));
    if (settings.plot_path) {
        try {
            plot_growth(results, *settings.plot_path, signals);
        } catch (const std::runtime_error& error) {
            if (!failure) failure = error.what();
        }
    }
    if (failure) throw WriteError(*failure);
}

int report_checks(const Settings& settings) {
    const SignalsCaught signals;
    std::vector<std::pair<std::string, Results>> documents;
    for (const std::string& path : settings.report_paths) {
        const std::string shown = textops::printable(path);
        const InputFile input = InputFile::open(path, shown);
        try {
            documents.emplace_back(shown, from_json(read_whole(input, "'" + shown + "'")));
        } catch (const std::runtime_error& error) {
            throw ReadError("cannot read '" + shown + "': " + error.what());
        }
    }
    Results all;
    try {
        all = merged(documents);
    } catch (const std::runtime_error& error) {
        throw ReadError(std::string("cannot merge the documents: ") + error.what());
    }
    try {
        write_results(all, settings, signals);
    } catch (const WriteError& error) {
        throw ResultsNotWritten(error.what(), exit_status(all));
    }
    return exit_status(all);
}

}  // namespace ruvello::check
