#include "app/app.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <utility>

#include "app/command_line.h"
#include "check/checker.h"
#include "check/outputs.h"
#include "check/sweep.h"
#include "platform/files.h"
#include "platform/signals.h"
#include "textops/textops.h"
#include "translate/translation.h"

#ifndef RUVELLO_VERSION
#define RUVELLO_VERSION "unknown"
#endif

namespace ruvello {

namespace {

constexpr int exit_success = 0;
constexpr int exit_file_error = 1;
constexpr int exit_usage_error = 2;
constexpr int exit_no_verdict = 3;

constexpr const char* usage_text =
    "Usage: ruvello [OPTION]... -p N -f MODEL [-o OUTPUT]\n"
    "       ruvello --check [OPTION]... -p N|FROM..TO|N,N,...|FROM.. -f MODEL\n"
    "       ruvello --report FILE.json... [--json FILE] [--junit FILE] [--plot FILE]\n"
    "Translates a vorn model into an SMV model of the processes 1..N, or checks\n"
    "the translations for several N with NuSMV and reports the verdicts.\n"
    "\n"
    "  -p, --processes N  the number of processes, a whole decimal number (needed)\n"
    "  -f, --file MODEL   the model to translate (needed); \"-\" reads standard input\n"
    "  -o, --output OUTPUT  where the translation goes; by default beside the\n"
    "                     model, named after it with \".smv\" (models/mutex.in gives\n"
    "                     models/mutex.smv), or standard output for \"-f -\";\n"
    "                     \"-o -\" writes standard output\n"
    "  --all-instances    write a FORALL property for every tuple of distinct\n"
    "                     processes of 1..N, not only for processes 1 and 2\n"
    "  --line-markers     mark the output with lines \"# L\" so that NuSMV reports\n"
    "                     the lines of the model\n"
    "  --fatal-warnings   end with status 1 when there is a warning, and leave the\n"
    "                     output as it was (with --check: status 3, no checker run)\n"
    "  --all-warnings     show every warning, not only the first 100 of each kind\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Checking (see the manual page):\n"
    "  --check            check the translation for each N of -p with NuSMV, for\n"
    "                     every tuple of distinct processes, and report the verdicts\n"
    "  --symmetric        the model is fully symmetric: check processes 1 and 2 only\n"
    "  --checker PATH     the model checker (else $RUVELLO_NUSMV, else NuSMV on PATH)\n"
    "  --checker-option OPT  pass OPT to the checker (repeatable)\n"
    "  --timeout SECONDS  bound each checker run\n"
    "  --jobs J           run the checker for J values of N at once (1)\n"
    "  --keep DIR         keep the translations in DIR\n"
    "  --traces DIR       write each counterexample to a file in DIR, with its table\n"
    "  --no-counterexamples  show no counterexample under the table (else that of\n"
    "                     the smallest N and first tuple for each false property)\n"
    "  --json FILE        the verdicts as JSON (\"-\": on standard output)\n"
    "  --junit FILE       the verdicts as JUnit XML\n"
    "  --report FILE.json  merge the JSON documents of earlier checks (repeatable)\n"
    "  --plot FILE.svg    draw the reachable states and seconds of each N with\n"
    "                     gnuplot (FILE.png: a PNG)\n"
    "  --budget DURATION  stop before an N that would not finish within DURATION\n"
    "                     of the whole sweep: hours, minutes and seconds in that\n"
    "                     order, each once (90s, 10m, 1h30m, 2.5h); -p 2.. goes\n"
    "                     as far as the budget does\n"
    "  --stop-at-false    end the sweep at the first N with a false verdict\n"
    "  --keep-going       go on with larger N after a timeout (else skipped)\n"
    "  --accept-warnings  show the verdicts of properties whose translation warned\n"
    "  --reference-checks  check every property with NuSMV's command for its kind\n"
    "                     and its default transition relation: slower, for\n"
    "                     comparing verdicts\n"
    "The column every N is true where a property is proved for all N (man ruvello).\n"
    "\n"
    "Options take their value as the next argument, joined (-p3) or after '='\n"
    "(--processes=3); \"--\" ends the options. Of an option given twice, the later\n"
    "counts.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be opened, read or written,\n"
    "2 on a bad command line. With --check and --report: 0 when every verdict is\n"
    "true; 1 when some verdict is false, whatever else went wrong (the model is\n"
    "wrong either way); else 3 when a property got no verdict or a file could\n"
    "not be read or written.\n";

constexpr const char* version_text =
    "ruvello " RUVELLO_VERSION "\n"
    "Copyright (C) 2026 ruvello\n"
    "License MIT: <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// Reports a failure: the first line, which scripts match, and one that says
// why.
int fail(const char* first_line, const std::string& why, int status = exit_file_error) {
    std::fprintf(stderr, "%s\n%s\n", first_line, why.c_str());
    return status;
}

// A bad command line: what is wrong, and where to read how it goes.
int refuse_command_line(const UsageError& error) {
    std::fprintf(stderr, "PARAMETER ERROR!\n%s\nTry 'ruvello --help' for more information.\n",
                 error.what());
    return exit_usage_error;
}

// Help and version; a write that fails is reported as for a translation.
int print(const char* text) {
    if (std::fputs(text, stdout) < 0 || std::fflush(stdout) != 0)
        return fail("FILE WRITE ERROR!",
                    std::string("ruvello: cannot write standard output: ") + std::strerror(errno));
    return exit_success;
}

// Translates the model open as `input`, named `input_name` in messages, into
// `sink`; `what_is_left` says where --fatal-warnings leaves the output.
void translate_input(const InputFile& input, std::string input_name, ByteSink& sink,
                     const TranslationSettings& settings, const CommandLine& command,
                     const std::string& what_is_left) {
    FileSource source(input.fd(), std::move(input_name), input.size());
    WarningStream warnings(stderr, settings.source_name, command.all_warnings);
    translate(source, sink, warnings, settings);
    if (input.changed_since_opened()) warnings.warn("the model changed while it was read");
    warnings.finish();
    if (command.fatal_warnings && warnings.warned())
        throw WarningsAreFatal("warnings are fatal (--fatal-warnings); " + what_is_left);
}

// The translation of the model at `model_path` ("-": standard input) into
// `output_path` ("-": standard output).
void translate_model(const std::string& model_path, const std::string& output_path,
                     const TranslationSettings& settings, const CommandLine& command) {
    const bool from_standard_input = model_path == "-";
    const std::string shown_model =
        from_standard_input ? "standard input" : "'" + std::string(settings.source_name) + "'";
    const InputFile input = from_standard_input
                                ? InputFile::standard_input()
                                : InputFile::open(model_path, std::string(settings.source_name));
    if (output_path == "-") {
        // Writing the translation into the model would destroy it.
        if (input.is_standard_output()) throw OpenError("standard output is the model itself");
        FileSink sink(STDOUT_FILENO, "standard output");
        translate_input(input, shown_model, sink, settings, command, "the output was written");
        return;
    }
    const std::string shown_output = textops::printable(output_path);
    if (input.is_file_at(output_path))
        throw OpenError("'" + shown_output + "' is the model itself");
    OutputFile output = OutputFile::create(output_path, shown_output);
    FileSink sink(output.fd(), "'" + shown_output + "'");
    translate_input(input, shown_model, sink, settings, command,
                    "'" + shown_output + "' is left as it was");
    output.commit();
}

// What the checker is asked to do, or the report to make.
check::Settings settings_for_check(const CommandLine& command) {
    check::Settings settings;
    settings.model_path = command.model_path;
    settings.process_counts = command.process_counts;
    settings.open_range = command.open_range;
    settings.fatal_warnings = command.fatal_warnings;
    settings.all_warnings = command.all_warnings;
    settings.accept_warnings = command.accept_warnings;
    settings.symmetric = command.symmetric;
    settings.reference_checks = command.reference_checks;
    settings.checker = command.checker;
    if (const char* environment = std::getenv("RUVELLO_NUSMV")) settings.checker_from_environment = environment;
    settings.checker_options = command.checker_options;
    settings.jobs = command.jobs;
    settings.timeout_seconds = command.timeout_seconds;
    settings.budget_seconds = command.budget_seconds;
    settings.keep_going = command.keep_going;
    settings.stop_at_false = command.stop_at_false;
    settings.counterexamples = command.counterexamples;
    settings.keep_directory = command.keep_directory;
    settings.json_path = command.json_path;
    settings.junit_path = command.junit_path;
    settings.traces_directory = command.traces_directory;
    settings.plot_path = command.plot_path;
    settings.report_paths = command.report_paths;
    return settings;
}

// Every failure of a run as one message and one exit status. A check or a
// report that fails leaves properties without a verdict (3); a translation
// that fails leaves no output (1).
int report_failure(const std::exception_ptr& failure, const CommandLine& command) {
    const bool checking = command.action == CommandLine::Action::check || command.action == CommandLine::Action::report;
    const int no_result = checking ? exit_no_verdict : exit_file_error;
    const auto why = [](const std::exception& error) { return "ruvello: " + std::string(error.what()); };
    try {
        std::rethrow_exception(failure);
    } catch (const UsageError& error) {
        return refuse_command_line(error);
    } catch (const WarningsAreFatal& error) {
        std::fprintf(stderr, "%s\n", why(error).c_str());
        return no_result;
    } catch (const check::CheckerMissing& error) {
        std::string message = why(error);
        for (std::size_t at = 0; (at = message.find('\n', at)) != std::string::npos; at += 10)
            message.insert(at + 1, "ruvello: ");
        return fail("CHECKER ERROR!", message, exit_no_verdict);
    } catch (const Interrupted& interrupted) {
        end_as_by(interrupted.signal);
    } catch (const check::ResultsNotWritten& error) {
        return fail("FILE WRITE ERROR!", why(error), error.status);
    } catch (const OpenError& error) {
        return fail("FILE OPENED ERROR!", why(error), no_result);
    } catch (const ReadError& error) {
        return fail("FILE READ ERROR!", why(error), no_result);
    } catch (const WriteError& error) {
        return fail("FILE WRITE ERROR!", why(error), no_result);
    } catch (const std::bad_alloc&) {
        const std::string what = checking ? "" : "cannot translate '" + textops::printable(command.model_path) + "': ";
        return fail("OUT OF MEMORY!", "ruvello: " + what + std::strerror(ENOMEM), no_result);
    }
}

// --check and --report.
int run_check(const CommandLine& command) {
    const check::Settings settings = settings_for_check(command);
    if (command.action == CommandLine::Action::report) return check::report_checks(settings);
    for (const std::string& option : command.checker_options)
        if (const std::optional<std::string> why = check::refused_checker_option(option))
            throw UsageError("ruvello: " + *why);
    return check::check_model(settings);
}

// The translation of the model into its output.
int run_translation(const CommandLine& command) {
    handle_signals();
    const std::string shown_model = textops::printable(command.model_path);
    const TranslationSettings settings{command.process_counts.front(), shown_model,
                                       command.all_instances, command.line_markers};
    const std::string output_path =
        command.output_path ? *command.output_path
        : command.model_path == "-" ? "-" : output_path_for(command.model_path);
    translate_model(command.model_path, output_path, settings, command);
    return exit_success;
}

}  // namespace

int run_command(std::span<const char* const> args) {
    open_standard_descriptors();
    CommandLine command;
    try {
        command = parse_command_line(args);
        switch (command.action) {
        case CommandLine::Action::help:
            return print(usage_text);
        case CommandLine::Action::version:
            return print(version_text);
        case CommandLine::Action::check:
        case CommandLine::Action::report:
            return run_check(command);
        case CommandLine::Action::translate:
            return run_translation(command);
        }
    } catch (...) {
        return report_failure(std::current_exception(), command);
    }
    return exit_success;
}

}  // namespace ruvello
