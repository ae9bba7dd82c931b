#include "app.h"

#include <unistd.h>

#include <cstdio>
#include <new>

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
    "Usage: ruvello -p N -f MODEL\n"
    "Translates a vorn model into an SMV model of the processes 1..N.\n"
    "\n"
    "  -p N        the number of processes, a decimal integer (0 when omitted)\n"
    "  -f MODEL    the model to translate; the result goes beside it, named after\n"
    "              it with \".smv\" (models/mutex.in gives models/mutex.smv);\n"
    "              \"-\" reads standard input and writes standard output\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 2 on a bad command line, 1 when a file cannot be\n"
    "opened, read or written.\n";

int fail(const char* message, int status) {
    std::fputs(message, stderr);
    return status;
}

// Standard input to standard output, for pipelines.
int translate_stream(const TranslationSettings& settings) {
    FileSource source(STDIN_FILENO);
    FileSink sink(STDOUT_FILENO);
    WarningStream warnings(stderr, settings.source_name);
    translate(source, sink, warnings, settings);
    return exit_success;
}

int translate_file(const std::string& model_path, const TranslationSettings& settings) {
    const std::optional<InputFile> input = InputFile::open(model_path);
    if (!input) return fail("FILE OPENED ERROR!\n", exit_file_error);
    const std::string output_path = output_path_for(model_path);
    // Writing the output over the model would destroy it.
    if (input->is_file_at(output_path)) return fail("FILE OPENED ERROR!\n", exit_file_error);
    std::optional<OutputFile> output = OutputFile::create(output_path);
    if (!output) return fail("FILE OPENED ERROR!\n", exit_file_error);
    FileSource source(input->fd(), input->size());
    FileSink sink(output->fd());
    WarningStream warnings(stderr, settings.source_name);
    translate(source, sink, warnings, settings);
    output->commit();
    return exit_success;
}

}  // namespace

int run_command(std::span<const char* const> args) {
    const std::optional<CommandLine> command = parse_command_line(args);
    if (!command) {
        std::fputs("PARAMETER ERROR!\n", stderr);
        return fail("Try 'ruvello --help' for more information.\n", exit_usage_error);
    }
    switch (command->action) {
    case CommandLine::Action::help:
        std::fputs(usage_text, stdout);
        return exit_success;
    case CommandLine::Action::version:
        std::fputs("ruvello " RUVELLO_VERSION "\n", stdout);
        return exit_success;
    case CommandLine::Action::translate:
        break;
    }
    if (!command->model_path) return fail("FILE OPENED ERROR!\n", exit_file_error);

    handle_signals();
    const TranslationSettings settings{command->process_count, *command->model_path};
    try {
        if (*command->model_path == "-") return translate_stream(settings);
        return translate_file(*command->model_path, settings);
    } catch (const ReadError&) {
        return fail("FILE READ ERROR!\n", exit_file_error);
    } catch (const WriteError&) {
        return fail("FILE WRITE ERROR!\n", exit_file_error);
    } catch (const std::bad_alloc&) {
        return fail("OUT OF MEMORY!\n", exit_file_error);
    }
}

}  // namespace ruvello
