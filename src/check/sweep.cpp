#include "sweep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "checker.h"
#include "files.h"
#include "formats.h"
#include "naming.h"
#include "processes.h"
#include "report.h"
#include "terminal.h"
#include "translation.h"
#include "warnings.h"

namespace ruvello::check {

namespace {

using Clock = std::chrono::steady_clock;

// The translations' warnings, each given once per line of the model rather
// than once per N.
class OncePerLine : public Warnings {
public:
    explicit OncePerLine(WarningStream& stream) : stream_(stream) {}
    using Warnings::warn;
    void warn(std::size_t line_number, std::string_view kind, std::string_view message) override {
        if (given_.emplace(line_number, kind).second) stream_.warn(line_number, kind, message);
    }
    void warn_once(std::size_t line_number, std::string_view kind,
                   std::string_view message) override {
        if (given_.emplace(line_number, kind).second) stream_.warn_once(line_number, kind, message);
    }

private:
    WarningStream& stream_;
    std::set<std::pair<std::size_t, std::string>> given_;
};

std::string read_all(ByteSource& source) {
    std::string text;
    char buffer[1 << 16];
    while (const std::size_t count = source.read(buffer, sizeof buffer)) text.append(buffer, count);
    return text;
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A name made safe for a file name.
std::string file_name_part(std::string_view text) {
    std::string safe;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '_' || c == '-' || c == '.' || c == '[' || c == ']';
        safe += plain ? c : '_';
    }
    return safe;
}

// The first line of a trace file: which instance names of the translation
// stand for which processes' instances in the model.
std::string instance_names_line(const std::string& trace) {
    static const std::regex numbered(R"(\bN[0-9]+_[A-Za-z_][A-Za-z0-9_$#]*)");
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(trace.begin(), trace.end(), numbered); it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    if (names.empty()) return "-- ruvello: no process instance is named in this trace\n";
    std::string line = "-- ruvello: in this trace";
    const char* separator = " ";
    for (const std::string& name : names) {
        line += separator + name + " is " + instance_as_in_model(name);
        separator = ", ";
    }
    return line + "\n";
}

class Sweep {
public:
    Sweep(const CommandLine& command, const SignalsCaught& signals)
        : command_(command), children_(signals) {}

    Results run();

private:
    struct Job {
        std::size_t column = 0;  // of results_.runs and translations_
        enum class Stage { listing, verdicts, traces } stage = Stage::listing;
        pid_t pid = 0;
        Clock::time_point run_started;
        Clock::time_point stage_started;
        std::optional<Clock::time_point> stop_sent;
        std::vector<ListedProperty> listing;
        std::map<int, CheckerVerdict> verdicts;
        std::map<int, std::string> traces;  // the file of each false verdict's trace
        bool listed = false;
    };

    void translate_for_each_n(const std::string& model, std::string_view shown_model);
    void start_stage(Job& job, Job::Stage stage);
    // Whether the job goes on with another stage.
    bool finish_stage(Job& job, const ChildEnd& end);
    void stop_late_runs(std::vector<Job>& jobs);
    void show_progress(const std::vector<Job>& jobs, bool done);
    void record_verdicts(const Job& job);
    // What a stage's files are named after.
    static std::string stage_name(Job::Stage stage) {
        return stage == Job::Stage::listing ? "list" : stage == Job::Stage::verdicts ? "check" : "traces";
    }
    std::string stage_file(const Job& job, std::string_view what) const;
    std::string limit_text() const {
        std::ostringstream text;
        text << *command_.timeout_seconds;
        return text.str();
    }

    const CommandLine& command_;
    std::optional<TemporaryFolder> folder_;
    Children children_;  // stopped before the folder they write in is removed
    std::string stem_;
    std::string checker_;
    std::vector<NamedTranslation> translations_;
    std::vector<std::string> translation_paths_;
    Results results_;
};

std::string Sweep::stage_file(const Job& job, std::string_view what) const {
    return folder_->path() + "/" + stem_ + "." + std::to_string(results_.runs[job.column].n) + "." +
           std::string(what);
}

void Sweep::translate_for_each_n(const std::string& model, std::string_view shown_model) {
    WarningStream stream(stderr, shown_model, command_.all_warnings);
    OncePerLine warnings(stream);
    for (const int n : command_.process_counts) {
        TranslationSettings settings{n, shown_model, !command_.symmetric, true, true};
        StringSource source(model);
        StringSink sink;
        translate(source, sink, warnings, settings);
        translations_.push_back(name_properties(sink.text()));
        results_.runs.push_back({n, "done", 0, std::nullopt});
    }
    stream.finish();
    if (command_.fatal_warnings && stream.warned())
        throw WarningsAreFatal("warnings are fatal (--fatal-warnings); no checker was run");
}

void Sweep::start_stage(Job& job, Job::Stage stage) {
    job.stage = stage;
    job.stage_started = Clock::now();
    job.stop_sent.reset();
    const std::string& model = translation_paths_[job.column];
    const std::string name = stage_name(stage);
    ChildCommand child{checker_, {}, "", ""};
    if (stage == Job::Stage::listing) {
        child.args.push_back("-lp");
        child.args.insert(child.args.end(), command_.checker_options.begin(), command_.checker_options.end());
        child.args.push_back(model);
    } else {
        std::vector<int> indices;
        if (stage == Job::Stage::verdicts) {
            for (const ListedProperty& property : job.listing) indices.push_back(property.index);
            child.args = fast_options;
        } else {
            for (const auto& [index, verdict] : job.verdicts)
                if (verdict.verdict == "false") indices.push_back(index);
            // Counterexamples are what -dcx leaves out.
            child.args = {"-dynamic"};
        }
        const std::string script = stage_file(job, name + ".script");
        write_whole_file(script, verdict_script(model, indices));
        child.args.insert(child.args.end(), command_.checker_options.begin(), command_.checker_options.end());
        child.args.push_back("-source");
        child.args.push_back(script);
    }
    child.output_path = stage_file(job, name + ".out");
    child.error_path = stage_file(job, name + ".err");
    job.pid = children_.start(child);
}

bool Sweep::finish_stage(Job& job, const ChildEnd& end) {
    Run& run = results_.runs[job.column];
    const bool timed_out = job.stop_sent.has_value();
    const std::string name = stage_name(job.stage);
    const std::string output = read_file(stage_file(job, name + ".out"));
    const std::string errors = read_file(stage_file(job, name + ".err"));
    const auto fail = [&](const std::string& outcome, std::string message) {
        run.outcome = outcome;
        run.message = std::move(message);
        return false;
    };
    const auto how_it_ended = [&]() -> std::string {
        // NuSMV names the translation where the model is meant, at the model's lines.
        if (std::string said = read_error(errors); !said.empty()) {
            const std::string& translation = translation_paths_[job.column];
            for (std::size_t at; (at = said.find(translation)) != std::string::npos;)
                said.replace(at, translation.size(), results_.model);
            return said;
        }
        if (end.signal != 0) return "the checker was ended by signal " + std::to_string(end.signal);
        return "the checker ended with status " + std::to_string(end.exit_status.value_or(-1));
    };
    if (job.stage == Job::Stage::listing) {
        if (results_.checker_version.empty())
            results_.checker_version = read_version(output + errors).value_or("");
        if (timed_out)
            return fail("timeout", "the checker did not list the properties within " + limit_text() + " s");
        job.listing = read_listing(output);
        if (end.exit_status != 0) return fail("error", how_it_ended());
        // Every property of main is the checker's to list, under its name.
        for (const NamedProperty& property : translations_[job.column].properties) {
            const bool listed = std::any_of(job.listing.begin(), job.listing.end(),
                                            [&](const ListedProperty& each) { return each.name == property.name; });
            if (property.module == "main" && !property.name.empty() && !listed)
                return fail("error", "the checker did not list the property of line " +
                                         std::to_string(property.line) + ", " + property.name);
        }
        job.listed = true;
        if (job.listing.empty()) return false;
        start_stage(job, Job::Stage::verdicts);
        return true;
    }
    if (job.stage == Job::Stage::verdicts) {
        job.verdicts = read_verdicts(output);
        if (timed_out) return fail("timeout", "stopped after " + limit_text() + " s");
        const std::size_t missing = job.listing.size() - std::min(job.listing.size(), job.verdicts.size());
        if (end.exit_status != 0 || missing > 0)
            return fail("error", how_it_ended() +
                                     (missing > 0 ? " (no verdict for " + std::to_string(missing) +
                                                        " of the properties)"
                                                  : ""));
        const bool some_false = std::any_of(job.verdicts.begin(), job.verdicts.end(),
                                            [](const auto& each) { return each.second.verdict == "false"; });
        if (!command_.traces_directory || !some_false) return false;
        start_stage(job, Job::Stage::traces);
        return true;
    }
    // The traces: a trace that did not come is left out; the verdicts stand.
    for (const auto& [index, verdict] : read_verdicts(output)) {
        std::string file = *command_.traces_directory + "/" + stem_ + ".N" + std::to_string(run.n);
        for (const ListedProperty& listed : job.listing) {
            if (listed.index != index) continue;
            for (const NamedProperty& property : translations_[job.column].properties) {
                const std::optional<std::string_view> path = instance_path(listed.name, property.name);
                if (!path) continue;
                file += ".L" + std::to_string(property.line);
                if (property.processes)
                    for (std::size_t i = 0; i < property.processes->size(); ++i)
                        file += (i == 0 ? "." : "-") + std::to_string((*property.processes)[i]);
                if (!path->empty()) file += "." + file_name_part(instance_as_in_model(*path));
                break;
            }
        }
        file += ".trace";
        write_whole_file(file, instance_names_line(verdict.text) + verdict.text);
        job.traces[index] = std::move(file);
    }
    return false;
}

void Sweep::record_verdicts(const Job& job) {
    const Run& run = results_.runs[job.column];
    const std::string missing = run.outcome == "timeout" ? "timeout" : "error";
    std::vector<const ListedProperty*> psl;
    for (const ListedProperty& listed : job.listing)
        if (listed.kind == "PSL") psl.push_back(&listed);
    // NuSMV cannot name a PSL property: its verdicts are told apart only when
    // they are all the same.
    std::string psl_verdict = psl.empty() ? missing : "";
    for (const ListedProperty* listed : psl) {
        const auto found = job.verdicts.find(listed->index);
        const std::string verdict = found == job.verdicts.end() ? missing : found->second.verdict;
        if (psl_verdict.empty()) psl_verdict = verdict;
        else if (psl_verdict != verdict) psl_verdict = "error";
    }
    for (const NamedProperty& property : translations_[job.column].properties) {
        if (property.stand_in) continue;
        Verdict verdict{run.n, property.line, property.processes, std::nullopt, missing, std::nullopt, std::nullopt};
        if (property.kind == "PSL") {
            if (!job.listed || !psl.empty()) {
                verdict.verdict = psl_verdict;
                results_.verdicts.push_back(verdict);
            }
            continue;
        }
        if (!job.listed) {
            results_.verdicts.push_back(verdict);
            continue;
        }
        for (const ListedProperty& listed : job.listing) {
            const std::optional<std::string_view> path = instance_path(listed.name, property.name);
            if (!path) continue;
            Verdict each = verdict;
            if (!path->empty()) each.instance = instance_as_in_model(*path);
            if (const auto found = job.verdicts.find(listed.index); found != job.verdicts.end()) {
                each.verdict = found->second.verdict;
                each.value = found->second.value;
            }
            if (const auto trace = job.traces.find(listed.index); trace != job.traces.end())
                each.trace = trace->second;
            results_.verdicts.push_back(std::move(each));
        }
    }
    if (psl_verdict == "error" && !psl.empty() && run.outcome == "done") {
        Run& failed = results_.runs[job.column];
        failed.outcome = "error";
        failed.message = "the PSL properties' verdicts differ, and NuSMV gives PSL properties no "
                         "names by which to tell them apart; write them as LTLSPEC or CTLSPEC";
    }
}

void Sweep::stop_late_runs(std::vector<Job>& jobs) {
    if (!command_.timeout_seconds) return;
    const auto now = Clock::now();
    const auto limit = std::chrono::duration<double>(*command_.timeout_seconds);
    for (Job& job : jobs) {
        if (!job.stop_sent && now - job.stage_started > limit) {
            children_.stop(job.pid, false);
            job.stop_sent = now;
        } else if (job.stop_sent && now - *job.stop_sent > std::chrono::seconds(2)) {
            children_.stop(job.pid, true);
        }
    }
}

void Sweep::show_progress(const std::vector<Job>& jobs, bool done) {
    if (!standard_error_is_terminal()) return;
    std::string line = "\r\033[K";
    if (!done) {
        line += "ruvello: checking";
        const char* separator = " ";
        for (const Job& job : jobs) {
            const double seconds = std::chrono::duration<double>(Clock::now() - job.run_started).count();
            char took[32];
            std::snprintf(took, sizeof took, " (%.1f s)", seconds);
            line += separator + ("N = " + std::to_string(results_.runs[job.column].n)) + took;
            separator = ", ";
        }
    }
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

Results Sweep::run() {
    const std::string shown_model = printable(command_.model_path);
    results_.model = shown_model;
    results_.every_tuple = !command_.symmetric;
    const char* const from_environment = std::getenv("RUVELLO_NUSMV");
    checker_ = command_.checker ? *command_.checker
               : from_environment != nullptr && *from_environment != '\0' ? from_environment
                                                                          : "NuSMV";
    results_.checker_path = checker_;
    for (const std::string& option : command_.checker_options)
        if (const std::optional<std::string> why = refused_checker_option(option)) throw UsageError("ruvello: " + *why);

    const bool from_standard_input = command_.model_path == "-";
    const InputFile input = from_standard_input ? InputFile::standard_input()
                                                : InputFile::open(command_.model_path, shown_model);
    FileSource source(input.fd(), from_standard_input ? "standard input" : "'" + shown_model + "'",
                      input.size());
    const std::string model = read_all(source);
    translate_for_each_n(model, shown_model);

    // The properties, one row for each line of the model that has some.
    const std::vector<std::string_view> model_lines = lines_of(model);
    std::map<std::size_t, Property> rows;
    for (const NamedTranslation& translation : translations_)
        for (const NamedProperty& property : translation.properties) {
            std::string_view text = property.line >= 1 && property.line <= model_lines.size()
                                        ? model_lines[property.line - 1]
                                        : std::string_view();
            rows.emplace(property.line, Property{property.line, property.kind, property.module,
                                                 std::string(text.substr(0, 200))});
        }
    for (auto& [line, property] : rows) results_.properties.push_back(std::move(property));

    folder_.emplace();
    const std::string output = from_standard_input ? "model.smv" : output_path_for(command_.model_path);
    stem_ = file_name_part(std::string_view(output).substr(output.rfind('/') + 1));
    stem_.resize(stem_.size() - 4);  // ".smv"
    if (command_.keep_directory) make_folder(*command_.keep_directory);
    if (command_.traces_directory) make_folder(*command_.traces_directory);
    for (std::size_t column = 0; column < translations_.size(); ++column) {
        const std::string path = (command_.keep_directory ? *command_.keep_directory : folder_->path()) +
                                 "/" + stem_ + "." + std::to_string(results_.runs[column].n) + ".smv";
        write_whole_file(path, translations_[column].text);
        translation_paths_.push_back(path);
    }

    std::vector<Job> jobs;
    std::size_t next_column = 0;
    while (next_column < translations_.size() || !jobs.empty()) {
        if (const int signal = SignalsCaught::ending_signal(); signal != 0) throw Interrupted{signal};
        while (next_column < translations_.size() && jobs.size() < static_cast<std::size_t>(command_.jobs)) {
            Job job;
            job.column = next_column++;
            job.run_started = Clock::now();
            try {
                start_stage(job, Job::Stage::listing);
            } catch (const StartError& error) {
                results_.runs[job.column].outcome = "error";
                results_.runs[job.column].message = error.what();
                record_verdicts(job);
                continue;
            }
            jobs.push_back(std::move(job));
        }
        show_progress(jobs, false);
        for (const ChildEnd& end : children_.wait(std::chrono::milliseconds(200))) {
            const auto job = std::find_if(jobs.begin(), jobs.end(), [&](const Job& each) { return each.pid == end.pid; });
            if (job == jobs.end()) continue;
            bool goes_on = false;
            try {
                goes_on = finish_stage(*job, end);
            } catch (const StartError& error) {
                results_.runs[job->column].outcome = "error";
                results_.runs[job->column].message = error.what();
            }
            if (goes_on) continue;
            results_.runs[job->column].seconds =
                std::chrono::duration<double>(Clock::now() - job->run_started).count();
            record_verdicts(*job);
            jobs.erase(job);
        }
        stop_late_runs(jobs);
    }
    show_progress(jobs, true);
    // The verdicts as the report lists them: by N, then in the order of the model.
    std::stable_sort(results_.verdicts.begin(), results_.verdicts.end(), [&](const Verdict& a, const Verdict& b) {
        return a.n != b.n ? a.n < b.n : a.line < b.line;
    });
    return results_;
}

void write_results(const Results& results, const CommandLine& command) {
    if (command.json_path && *command.json_path == "-") {
        FileSink(1, "standard output").write(to_json(results));
    } else {
        FileSink(1, "standard output").write(table(results));
        if (command.json_path) write_whole_file(*command.json_path, to_json(results));
    }
    if (command.junit_path) write_whole_file(*command.junit_path, to_junit(results));
}

}  // namespace

int check_model(const CommandLine& command) {
    const SignalsCaught signals;
    Results results;
    {
        Sweep sweep(command, signals);
        results = sweep.run();
    }
    if (const int signal = SignalsCaught::ending_signal(); signal != 0) throw Interrupted{signal};
    write_results(results, command);
    return exit_status(results);
}

int report_checks(const CommandLine& command) {
    std::vector<Results> documents;
    for (const std::string& path : command.report_paths) {
        const InputFile input = InputFile::open(path, printable(path));
        FileSource source(input.fd(), "'" + printable(path) + "'", input.size());
        try {
            documents.push_back(from_json(read_all(source)));
        } catch (const std::runtime_error& error) {
            throw ReadError("cannot read '" + printable(path) + "': " + error.what());
        }
    }
    Results all;
    try {
        all = merged(documents);
    } catch (const std::runtime_error& error) {
        throw ReadError(std::string("cannot merge the documents: ") + error.what());
    }
    write_results(all, command);
    return exit_status(all);
}

}  // namespace ruvello::check
