#include "app.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "command_line.h"
#include "files.h"
#include "signals.h"
#include "translator.h"

#ifndef RUVELLO_VERSION
#define RUVELLO_VERSION "unknown"
#endif

namespace ruvello {

namespace {

constexpr int exit_success = 0;
constexpr int exit_file_error = 1;
constexpr int exit_usage_error = 2;

constexpr const char* usage_text =
    "Usage: ruvello [--all-instances] [--line-markers] [--fatal-warnings] [--all-warnings]\n"
    "               -p N -f MODEL\n"
    "Translates a vorn model into an SMV model of the processes 1..N.\n"
    "\n"
    "  -p N        the number of processes, a decimal integer (0 when omitted)\n"
    "  -f MODEL    the model to translate; the result goes beside it, named after\n"
    "              it with \".smv\" (models/mutex.in gives models/mutex.smv);\n"
    "              \"-\" reads standard input and writes standard output\n"
    "  --all-instances   write a FORALL property for every tuple of distinct\n"
    "              processes of 1..N, not only for processes 1 and 2\n"
    "  --line-markers    mark the output with lines \"# L\" so that NuSMV reports\n"
    "              the lines of the model\n"
    "  --fatal-warnings  end with status 1 when there is a warning, and leave\n"
    "              the output as it was\n"
    "  --all-warnings    show every warning, not only the first 100 of each kind\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 2 on a bad command line, 1 when a file cannot be\n"
    "opened, read or written.\n";

// Reports a failure: the first line, which scripts match, and one that says
// why.
int fail(const char* first_line, const std::string& why, int status = exit_file_error) {
    std::fprintf(stderr, "%s\n%s\n", first_line, why.c_str());
    return status;
}

// Help and version; a write that fails is reported as for a translation.
int print(const char* text) {
    if (std::fputs(text, stdout) < 0 || std::fflush(stdout) != 0)
        return fail("FILE WRITE ERROR!",
                    std::string("ruvello: cannot write standard output: ") + std::strerror(errno));
    return exit_success;
}

// With --fatal-warnings, a run that warns fails.
struct FatalWarnings : std::runtime_error {
    using std::runtime_error::runtime_error;
};

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
        throw FatalWarnings("warnings are fatal (--fatal-warnings); " + what_is_left);
}

// Standard input to standard output, for pipelines.
void translate_stream(const TranslationSettings& settings, const CommandLine& command) {
    refuse_standard_output_into_input();
    const InputFile input = InputFile::standard_input();
    FileSink sink(STDOUT_FILENO, "standard output");
    translate_input(input, "standard input", sink, settings, command, "the output was written");
}

void translate_file(const std::string& model_path, const TranslationSettings& settings,
                    const CommandLine& command) {
    const std::string shown_model(settings.source_name);
    const InputFile input = InputFile::open(model_path, shown_model);
    const std::string output_path = output_path_for(model_path);
    const std::string shown_output = printable(output_path);
    // Writing the output over the model would destroy it.
    if (input.is_file_at(output_path))
        throw OpenError("'" + shown_output + "' is the model itself");
    OutputFile output = OutputFile::create(output_path, shown_output);
    FileSink sink(output.fd(), "'" + shown_output + "'");
    translate_input(input, "'" + shown_model + "'", sink, settings, command,
                    "'" + shown_output + "' is left as it was");
    output.commit();
}

}  // namespace

int run_command(std::span<const char* const> args) {
    open_standard_descriptors();
    const std::optional<CommandLine> command = parse_command_line(args);
    if (!command)
        return fail("PARAMETER ERROR!", "Try 'ruvello --help' for more information.",
                    exit_usage_error);
    switch (command->action) {
    case CommandLine::Action::help:
        return print(usage_text);
    case CommandLine::Action::version:
        return print("ruvello " RUVELLO_VERSION "\n");
    case CommandLine::Action::translate:
        break;
    }
    if (!command->model_path) return fail("FILE OPENED ERROR!", "ruvello: no model given (-f MODEL)");

    handle_signals();
    const std::string shown_model = printable(*command->model_path);
    const TranslationSettings settings{command->process_count, shown_model,
                                       command->all_instances, command->line_markers};
    const auto why = [](const std::exception& error) { return "ruvello: " + std::string(error.what()); };
    try {
        if (*command->model_path == "-") translate_stream(settings, *command);
        else translate_file(*command->model_path, settings, *command);
        return exit_success;
    } catch (const FatalWarnings& error) {
        std::fprintf(stderr, "%s\n", why(error).c_str());
        return exit_file_error;
    } catch (const OpenError& error) {
        return fail("FILE OPENED ERROR!", why(error));
    } catch (const ReadError& error) {
        return fail("FILE READ ERROR!", why(error));
    } catch (const WriteError& error) {
        return fail("FILE WRITE ERROR!", why(error));
    } catch (const std::bad_alloc&) {
        return fail("OUT OF MEMORY!", "ruvello: cannot translate '" + shown_model +
                                          "': " + std::strerror(ENOMEM));
    }
}

}  // namespace ruvello
