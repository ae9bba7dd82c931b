#include "check/sweep.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "check/checker.h"
#include "check/digest.h"
#include "check/formats.h"
#include "check/naming.h"
#include "check/plot.h"
#include "check/report.h"
#include "counted/counted.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/terminal.h"
#include "textops/textops.h"
#include "translate/translation.h"
#include "translate/warnings.h"

namespace ruvello::check {

namespace {

using Clock = std::chrono::steady_clock;

// Warnings that leave the translation stating what the model states: a
// FORALL with more processes than N has nothing to state at that N.
bool costs_no_verdict(std::string_view kind) {
    return kind == "many instances" || kind == "too few processes for FORALL";
}

// The translations' warnings: each shown once per line of the model rather
// than once per N, and each kept for the N whose translation gave it.
class TranslationWarnings : public Warnings {
public:
    struct Given {
        std::size_t line;
        std::string kind;
        std::string message;
    };

    explicit TranslationWarnings(WarningStream& stream) : stream_(stream) {}
    using Warnings::warn;
    void warn(std::size_t line_number, std::string_view kind, std::string_view message) override {
        given_.push_back({line_number, std::string(kind), std::string(message)});
        if (shown_.emplace(line_number, kind).second) stream_.warn(line_number, kind, message);
    }
    void warn_once(std::size_t line_number, std::string_view kind, std::string_view message) override {
        given_.push_back({line_number, std::string(kind), std::string(message)});
        if (shown_.emplace(line_number, kind).second) stream_.warn_once(line_number, kind, message);
    }
    // What the translations warned since the last call.
    std::vector<Given> take() { return std::exchange(given_, {}); }

private:
    WarningStream& stream_;
    std::set<std::pair<std::size_t, std::string>> shown_;
    std::vector<Given> given_;
};

// Where a translation goes: its files, or nowhere. A translation for a
// large N takes long, so an ending signal stops it between writes.
class TranslationOutput : public ByteSink {
public:
    explicit TranslationOutput(std::vector<ByteSink*> sinks) : sinks_(std::move(sinks)) {}
    void write(std::string_view bytes) override {
        if (bytes.empty()) return;
        for (ByteSink* sink : sinks_) sink->write(bytes);
        total_ += bytes.size();
        ends_line_ = bytes.back() == '\n';
        written_ += bytes.size();
        if (written_ < (std::size_t{1} << 20)) return;
        written_ = 0;
        if (const int signal = SignalsCaught::ending_signal_pending(); signal != 0) throw Interrupted{signal};
    }
    // NuSMV reads a file whose last line has no line end for ever when that
    // line is a comment: a translation that NuSMV reads ends its last line.
    void end_last_line() {
        if (!ends_line_) write("\n");
    }
    std::size_t total() const { return total_; }

private:
    std::vector<ByteSink*> sinks_;
    std::size_t written_ = 0;  // since the last look for a signal
    std::size_t total_ = 0;
    bool ends_line_ = false;
};

// Copies stretches of a source to sinks, in the order they lie in it.
class OutputCopier {
public:
    explicit OutputCopier(ByteSource& source) : source_(source), buffer_(new char[buffer_size]) {}
    // Copies the bytes from `start` to `end` of the source to `sink`, which
    // start at or after the bytes copied last.
    void copy(std::uint64_t start, std::uint64_t end, ByteSink& sink) {
        while (position_ < end) {
            if (taken_ == held_) {
                taken_ = 0;
                held_ = source_.read(buffer_.get(), buffer_size);
                if (held_ == 0) return;
            }
            const std::uint64_t at_hand = held_ - taken_;
            if (position_ < start) {
                const std::size_t skipped = static_cast<std::size_t>(std::min(at_hand, start - position_));
                taken_ += skipped;
                position_ += skipped;
                continue;
            }
            const std::size_t copied = static_cast<std::size_t>(std::min(at_hand, end - position_));
            sink.write(std::string_view(buffer_.get() + taken_, copied));
            taken_ += copied;
            position_ += copied;
        }
    }

private:
    static constexpr std::size_t buffer_size = std::size_t{1} << 16;
    ByteSource& source_;
    std::unique_ptr<char[]> buffer_;
    std::size_t held_ = 0, taken_ = 0;  // bytes in the buffer, and of those, used
    std::uint64_t position_ = 0;        // in the source, of the next byte
};

std::string read_all(ByteSource& source) {
    std::string text;
    char buffer[1 << 16];
    while (const std::size_t count = source.read(buffer, sizeof buffer)) text.append(buffer, count);
    return text;
}

// A file that a run of the checker wrote, read as a stream; nothing when
// it is gone.
class CheckerFile {
public:
    explicit CheckerFile(const std::string& path) {
        try {
            file_.emplace(InputFile::open(path, textops::printable(path)));
            source_.emplace(file_->fd(), "'" + textops::printable(path) + "'", file_->size());
        } catch (const OpenError&) {
        }
    }
    ByteSource& source() { return source_ ? static_cast<ByteSource&>(*source_) : nothing_; }

private:
    std::optional<InputFile> file_;
    std::optional<FileSource> source_;
    StringSource nothing_{""};
};

// How a run of the checker ended that failed without saying why.
std::string how_the_checker_ended(const ChildEnd& end) {
    if (end.signal != 0) return "the checker was ended by signal " + std::to_string(end.signal);
    return "the checker ended with status " + std::to_string(end.exit_status.value_or(-1));
}

// The verdicts of the listing's properties, by their index, which is the
// key of their check.
std::map<int, CheckerVerdict> by_index(std::map<std::string, CheckerVerdict> verdicts) {
    std::map<int, CheckerVerdict> indexed;
    for (auto& [key, verdict] : verdicts) {
        int index = 0;
        const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
        if (error == std::errc() && end == key.data() + key.size()) indexed.emplace(index, std::move(verdict));
    }
    return indexed;
}

// A name made safe for a file name, and for NuSMV's command reader.
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
std::string instance_names_line(const std::set<std::string>& names) {
    if (names.empty()) return "-- ruvello: no process instance is named in this trace\n";
    std::string line = "-- ruvello: in this trace";
    const char* separator = " ";
    for (const std::string& name : names) {
        line += separator + name + " is " + instance_as_in_model(name);
        separator = ", ";
    }
    return line + "\n";
}

std::string tuple_text(const std::vector<int>& processes, char separator) {
    std::string text;
    for (std::size_t i = 0; i < processes.size(); ++i)
        text += (i == 0 ? "" : std::string(1, separator)) + std::to_string(processes[i]);
    return text;
}

// A listed property and the property of the translation it is, with the
// path of its module instance.
struct Attributed {
    const ListedProperty* listed;
    std::size_t property;
    std::string path;
};

struct Attribution {
    std::vector<Attributed> entries;
    std::vector<std::size_t> untold;  // PSL properties that share a module with another
    std::optional<std::string> problem;
};

// Finds each property the checker listed in the translation, by its name in
// the module of its instance, and whether every property that the model
// has is listed once for each instance of its module. NuSMV gives PSL
// properties no name: one is told by its instance, when it is the only one
// of its module.
Attribution attribute(const NamedTranslation& named, const std::vector<ListedProperty>& listing) {
    Attribution attribution;
    std::map<std::string, std::vector<std::size_t>> psl_of_module;
    for (std::size_t i = 0; i < named.properties.size(); ++i)
        if (named.properties[i].kind == smv::PropertyKind::psl) psl_of_module[named.properties[i].module].push_back(i);
    for (const auto& [module, properties] : psl_of_module)
        if (properties.size() > 1) attribution.untold.insert(attribution.untold.end(), properties.begin(), properties.end());
    std::vector<std::size_t> times_listed(named.properties.size());
    for (const ListedProperty& listed : listing) {
        std::optional<NamedTranslation::Found> found;
        if (smv::property_kind_of_text(listed.kind) == smv::PropertyKind::psl) {
            const std::optional<std::string> module = named.module_of(listed.instance);
            if (const auto psl = psl_of_module.find(module.value_or("")); module && psl != psl_of_module.end()) {
                if (psl->second.size() > 1) continue;
                found = NamedTranslation::Found{psl->second.front(), listed.instance};
            }
        } else {
            found = named.property_listed_as(listed.name);
        }
        if (!found) {
            attribution.problem = "the checker listed a property that the translation does not have: " +
                                  (listed.name == "N/A" ? listed.kind + " in '" + listed.instance + "'" : listed.name);
            return attribution;
        }
        ++times_listed[found->property];
        attribution.entries.push_back({&listed, found->property, std::move(found->path)});
    }
    for (std::size_t i = 0; i < named.properties.size(); ++i) {
        const NamedProperty& property = named.properties[i];
        if (std::find(attribution.untold.begin(), attribution.untold.end(), i) != attribution.untold.end()) continue;
        const std::size_t instances = named.instance_count(property.module);
        if (times_listed[i] < instances)
            attribution.problem = "the checker did not list the property of line " + std::to_string(property.line) +
                                  (property.name.empty() ? std::string() : ", " + property.name) +
                                  (property.module == "main" ? std::string() : ", in module " + property.module);
        else if (times_listed[i] > instances)
            attribution.problem = "the checker listed the property of line " + std::to_string(property.line) +
                                  " more often than module " + property.module + " has instances";
        if (attribution.problem) return attribution;
    }
    return attribution;
}

class Sweep {
public:
    Sweep(const Settings& command, const SignalsCaught& signals)
        : command_(command), children_(signals), shown_model_(textops::printable(command.model_path)),
          stream_(stderr, shown_model_, command.all_warnings), warnings_(stream_) {}

    Results run();
    // The signal that ended the sweep early, or 0.
    int interrupted_by() const { return interrupted_by_; }

private:
    // What one N needs beyond its run: its translation, as named.
    struct Column {
        int n = 0;
        std::string translation;  // its file name in the folder
        std::size_t bytes = 0;    // its size
        NamedTranslation named;
        std::vector<TranslationWarnings::Given> warnings;
    };
    struct Job {
        std::size_t column = 0;  // of results_.runs and columns_
        // The checker's runs for one N: the listing of the properties, their
        // verdicts, the CTL verdicts of the invariants found false (the
        // invariant checker ignores fairness), and the counterexamples.
        enum class Stage { listing, verdicts, recheck, traces } stage = Stage::listing;
        pid_t pid = 0;
        Clock::time_point run_started;
        Clock::time_point stage_started;
        std::optional<Clock::time_point> stop_sent;
        bool out_of_budget = false;
        std::vector<ListedProperty> listing;
        Attribution attribution;
        std::vector<const Attributed*> checked;  // what the verdicts stage checks
        std::set<int> as_invariant;              // of those, checked as invariants
        std::vector<int> recheck;                // invariants found false: checked again
        std::map<int, CheckerVerdict> verdicts;
        std::map<int, std::string> traces;  // the file of each false verdict's trace
        bool listed = false;
    };

    void prepare();
    void refuse_if_model(const std::string& path) const;
    void translate(Column& column, bool to_files);
    std::string row_text(const NamedProperty& property) const;
    void start_column(std::size_t column, std::vector<Job>& jobs);
    // Why the sweep starts no further N, or nothing.
    std::optional<std::string> reason_to_stop(std::size_t next_column);
    void stop_sweep(std::size_t next_column, const std::string& why);
    void start_stage(Job& job, Job::Stage stage);
    // Whether the job goes on with another stage.
    bool finish_stage(Job& job, const ChildEnd& end);
    std::string how_it_ended(const Job& job, const ChildEnd& end) const;
    void write_traces(Job& job, const std::map<int, CheckerVerdict>& checked);
    // What the stage of `job` wrote to its standard output or error.
    CheckerFile stage_output(const Job& job, std::string_view what) const {
        return CheckerFile(folder_->path() + "/" + stage_file(job, stage_name(job.stage) + std::string(what)));
    }
    void stop_late_runs(std::vector<Job>& jobs);
    // A run that is `late` is asked to end, and made to two seconds later.
    void stop_if_late(pid_t pid, bool late, std::optional<Clock::time_point>& stop_sent);
    void show_progress(const std::vector<Job>& jobs, bool done);
    void announce(const Run& run);
    void record_verdicts(const Job& job);
    void mark_warned_verdicts();
    void check_counted_model();
    void note_interruption(const std::vector<Job>& jobs);
    // The verdict of each decided goal of `counted`, by its invariant's
    // name; `failure` says why there are none.
    std::map<std::string, std::string> prove(const counted::CountedModel& counted, const std::string& file,
                                             std::string& failure);
    void decide_every_n();
    void note(std::string text) {
        if (std::find(results_.notes.begin(), results_.notes.end(), text) == results_.notes.end())
            results_.notes.push_back(std::move(text));
    }
    // What a stage's files are named after.
    static std::string stage_name(Job::Stage stage) {
        switch (stage) {
        case Job::Stage::listing: return "list";
        case Job::Stage::verdicts: return "check";
        case Job::Stage::recheck: return "recheck";
        case Job::Stage::traces: return "traces";
        }
        return "";
    }
    // What is left of --budget, in seconds.
    double budget_left() const {
        return *command_.budget_seconds - std::chrono::duration<double>(Clock::now() - started_).count();
    }
    std::string stage_file(const Job& job, std::string_view what) const {
        return stem_ + "." + std::to_string(results_.runs[job.column].n) + "." + std::string(what);
    }
    std::string limit_text() const {
        std::ostringstream text;
        text << *command_.timeout_seconds;
        return text.str();
    }

    const Settings& command_;
    CheckerChoice checker_;
    std::string checker_program_;  // as found
    std::optional<InputFile> model_file_;  // nothing for standard input
    std::string model_;
    std::string prefix_;
    std::optional<TemporaryFolder> folder_;
    Children children_;  // stopped before the folder they write in is removed
    std::string shown_model_;
    WarningStream stream_;  // names the model as shown_model_, which outlives it
    TranslationWarnings warnings_;
    std::string stem_;
    std::vector<Column> columns_;
    std::map<std::size_t, Property> rows_;
    std::set<std::string> trace_files_;
    bool checker_started_ = false;
    // What the counted model says of each property: proved, or why not.
    struct Abstraction {
        counted::PropertyGoal goal;
        bool proved = false;
        std::optional<std::string> reason;
    };
    std::vector<Abstraction> abstractions_;
    Clock::time_point started_ = Clock::now();
    // What a signal may interrupt besides the checker's runs.
    bool counted_under_way_ = false;
    double counted_seconds_ = 0;  // what checking the counted model took
    std::optional<int> translating_;  // the N
    int interrupted_by_ = 0;
    Results results_;
};

void Sweep::refuse_if_model(const std::string& path) const {
    if (model_file_ && model_file_->is_file_at(path))
        throw OpenError("'" + textops::printable(path) + "' is the model itself");
}

void Sweep::prepare() {
    const std::string& shown_model = shown_model_;
    results_.model = shown_model;
    results_.every_tuple = !command_.symmetric;
    checker_ = choose_checker(command_.checker, command_.checker_from_environment);
    results_.checker_path = checker_.program;
    const ProgramLookup found = find_program(checker_.program);
    if (!found.path) throw CheckerMissing(no_checker_message(checker_, found.why_not));
    checker_program_ = *found.path;

    const bool from_standard_input = command_.model_path == "-";
    if (from_standard_input) {
        const InputFile input = InputFile::standard_input();
        FileSource source(input.fd(), "standard input", input.size());
        model_ = read_all(source);
    } else {
        model_file_ = InputFile::open(command_.model_path, shown_model);
        FileSource source(model_file_->fd(), "'" + shown_model + "'", model_file_->size());
        model_ = read_all(source);
    }
    prefix_ = name_prefix_for(model_);
    results_.model_digest = "sha256:" + sha256_hex(model_);

    // What ruvello writes must not take the model's place.
    for (const std::optional<std::string>& output : {command_.json_path, command_.junit_path, command_.plot_path})
        if (output && *output != "-") refuse_if_model(*output);
    if (command_.keep_directory) make_folder(*command_.keep_directory);
    if (command_.traces_directory) make_folder(*command_.traces_directory);
    folder_.emplace();
    const std::string output = from_standard_input ? "model.smv" : output_path_for(command_.model_path);
    stem_ = file_name_part(std::string_view(output).substr(output.rfind('/') + 1));
    stem_.resize(stem_.size() - 4);  // ".smv"
    for (const int n : command_.process_counts) {
        columns_.push_back({n, stem_ + "." + std::to_string(n) + ".smv", 0, {}, {}});
        results_.runs.push_back({n, "interrupted", 0, std::nullopt, std::nullopt, std::nullopt});
    }
}

// Translates the model for one N, with every tuple of processes for FORALL
// (--symmetric checks fewer of them) and line markers, into the folder
// where the checker reads it and the folder that keeps it.
void Sweep::translate(Column& column, bool to_files) {
    translating_ = column.n;
    TranslationSettings settings{column.n, results_.model, true, true, prefix_};
    std::optional<OutputFile> checked, kept;
    std::vector<std::unique_ptr<FileSink>> files;
    if (to_files) {
        const std::string path = folder_->path() + "/" + column.translation;
        checked.emplace(OutputFile::create(path, textops::printable(path)));
        files.push_back(std::make_unique<FileSink>(checked->fd(), "'" + textops::printable(path) + "'"));
        if (command_.keep_directory) {
            const std::string keep = *command_.keep_directory + "/" + column.translation;
            refuse_if_model(keep);
            kept.emplace(OutputFile::create(keep, textops::printable(keep)));
            files.push_back(std::make_unique<FileSink>(kept->fd(), "'" + textops::printable(keep) + "'"));
        }
    }
    std::vector<ByteSink*> sinks;
    for (const auto& file : files) sinks.push_back(file.get());
    TranslationOutput output(std::move(sinks));
    PropertyNamer namer(output, prefix_);
    StringSource source(model_);
    ruvello::translate(source, namer, warnings_, settings);
    column.named = namer.finish();
    output.end_last_line();
    column.bytes = output.total();
    column.warnings = warnings_.take();
    if (checked) checked->commit();
    if (kept) kept->commit();
    translating_.reset();
    for (const NamedProperty& property : column.named.properties)
        if (!rows_.contains(property.line))
            rows_.emplace(property.line, Property{property.line, property.kind, property.module, row_text(property)});
}

// A property as its row shows it: the model's lines from where it starts to
// where it ends, each without its indent, as far as 200 characters go.
std::string Sweep::row_text(const NamedProperty& property) const {
    std::string text;
    std::size_t line = 1;
    for (std::size_t start = 0; start < model_.size() && line <= property.last_line && text.size() < 200; ++line) {
        const std::size_t end = std::min(model_.find('\n', start), model_.size());
        if (line >= property.line) {
            const std::string_view each = textops::rtrim(textops::ltrim(std::string_view(model_).substr(start, end - start)));
            text += (text.empty() || each.empty() ? "" : " ") + std::string(each);
        }
        start = end + 1;
    }
    return text.substr(0, 200);
}

void Sweep::start_column(std::size_t index, std::vector<Job>& jobs) {
    Column& column = columns_[index];
    translate(column, true);
    Job job;
    job.column = index;
    job.run_started = Clock::now();
    Run& run = results_.runs[index];
    run.outcome = "done";
    try {
        start_stage(job, Job::Stage::listing);
    } catch (const StartError& error) {
        if (!checker_started_) throw CheckerMissing(no_checker_message(checker_, error.reason));
        run.outcome = "error";
        run.message = error.what();
        record_verdicts(job);
        return;
    }
    checker_started_ = true;
    jobs.push_back(std::move(job));
}

void Sweep::start_stage(Job& job, Job::Stage stage) {
    job.stage = stage;
    job.stage_started = Clock::now();
    job.stop_sent.reset();
    // The checker runs in the private folder and is given names there that
    // its command reader and its options take as they are.
    const std::string model = "./" + columns_[job.column].translation;
    const std::string name = stage_name(stage);
    ChildCommand child{checker_program_, {}, "", "", folder_->path()};
    if (stage == Job::Stage::listing) {
        child.args.push_back("-lp");
        child.args.insert(child.args.end(), command_.checker_options.begin(), command_.checker_options.end());
        child.args.push_back(model);
    } else {
        std::vector<Check> checks;
        const bool reference = command_.reference_checks;
        child.args = reference ? reference_options : fast_options;
        if (stage == Job::Stage::verdicts) {
            for (const Attributed* entry : job.checked) {
                const int index = entry->listed->index;
                const std::optional<std::string> invariant = reference ? std::nullopt : invariant_of(*entry->listed);
                checks.push_back(invariant ? Check::invariant(index, *invariant) : Check::listed(index));
                if (invariant) job.as_invariant.insert(index);
            }
        } else if (stage == Job::Stage::recheck) {
            for (const int index : job.recheck) checks.push_back(Check::listed(index));
        } else {
            for (const auto& [index, verdict] : job.verdicts)
                if (verdict.verdict == "false") checks.push_back(Check::listed(index));
            // Counterexamples are what -dcx leaves out.
            std::erase(child.args, "-dcx");
        }
        const std::string script = stage_file(job, name + ".script");
        write_whole_file(folder_->path() + "/" + script,
                         verdict_script(model, checks, stage == Job::Stage::verdicts && !reference));
        child.args.insert(child.args.end(), command_.checker_options.begin(), command_.checker_options.end());
        child.args.push_back("-source");
        child.args.push_back("./" + script);
    }
    child.output_path = folder_->path() + "/" + stage_file(job, name + ".out");
    child.error_path = folder_->path() + "/" + stage_file(job, name + ".err");
    job.pid = children_.start(child);
}

// What NuSMV said, about the model's lines, or how it ended.
std::string Sweep::how_it_ended(const Job& job, const ChildEnd& end) const {
    std::string said = read_error(stage_output(job, ".err").source());
    if (said.empty()) return how_the_checker_ended(end);
    const Column& column = columns_[job.column];
    for (const std::string& name : {"./" + column.translation, column.translation})
        for (std::size_t at; (at = said.find(name)) != std::string::npos;) said.replace(at, name.size(), results_.model);
    // NuSMV places an error in a property at the line of its keyword.
    static const std::regex at_line(R"(: line ([0-9]+)\b)");
    std::smatch line;
    if (said.find("Property") != std::string::npos && std::regex_search(said, line, at_line)) {
        const std::size_t number = std::stoul(line[1].str());
        for (const NamedProperty& property : column.named.properties)
            if (property.keyword_line == number && property.line != number) {
                said += "\n(line " + line[1].str() + " is the keyword of the property of line " +
                        std::to_string(property.line) + ")";
                break;
            }
    }
    return said;
}

bool Sweep::finish_stage(Job& job, const ChildEnd& end) {
    Run& run = results_.runs[job.column];
    run.max_rss_kb = std::max(run.max_rss_kb.value_or(0), end.max_rss_kb);
    const Column& column = columns_[job.column];
    const bool timed_out = job.stop_sent.has_value();
    const auto fail = [&](const std::string& outcome, std::string message) {
        run.outcome = outcome;
        run.message = std::move(message);
        return false;
    };
    if (job.stage == Job::Stage::listing) {
        if (results_.checker_version.empty())
            results_.checker_version = read_version(stage_output(job, ".out").source())
                                           .value_or(read_version(stage_output(job, ".err").source()).value_or(""));
        if (timed_out)
            return fail("timeout", "the checker did not list the properties within " + limit_text() + " s");
        if (end.exit_status != 0) return fail("error", how_it_ended(job, end));
        try {
            // NuSMV lists each property with its formula once: a listing is
            // not much larger than the translation.
            job.listing = read_listing(stage_output(job, ".out").source(), 4 * column.bytes + (std::size_t{1} << 20));
        } catch (const UnreadableOutput& error) {
            return fail("error", error.what());
        }
        job.attribution = attribute(column.named, job.listing);
        if (job.attribution.problem) return fail("error", *job.attribution.problem);
        job.listed = true;
        for (const Attributed& entry : job.attribution.entries) {
            const NamedProperty& property = column.named.properties[entry.property];
            if (property.stand_in) continue;
            // --symmetric: processes 1 and 2, for a FORALL over one or two.
            const bool beyond_1_and_2 =
                property.processes && std::any_of(property.processes->begin(), property.processes->end(),
                                                  [](int process) { return process > 2; });
            if (command_.symmetric && property.processes && property.processes->size() > 2)
                note("line " + std::to_string(property.line) + ": a FORALL over " +
                     std::to_string(property.processes->size()) +
                     " processes is checked for every tuple: --symmetric leaves out processes other "
                     "than 1 and 2 only for one or two");
            if (command_.symmetric && beyond_1_and_2 && property.processes->size() <= 2) continue;
            job.checked.push_back(&entry);
        }
        if (job.checked.empty()) return false;
        start_stage(job, Job::Stage::verdicts);
        return true;
    }
    const std::string stopped = job.out_of_budget ? "the budget of " + duration_text(*command_.budget_seconds) + " ran out"
                                                  : "stopped after " + limit_text() + " s";
    if (job.stage == Job::Stage::verdicts) {
        VerdictsRead read = read_verdicts(stage_output(job, ".out").source(), false);
        job.verdicts = by_index(std::move(read.verdicts));
        run.states = read.states;
        if (timed_out) return fail("timeout", stopped);
        const std::size_t missing = static_cast<std::size_t>(std::count_if(
            job.checked.begin(), job.checked.end(),
            [&](const Attributed* entry) { return !job.verdicts.contains(entry->listed->index); }));
        if (end.exit_status != 0 || missing > 0)
            return fail("error", how_it_ended(job, end) +
                                     (missing > 0 ? " (no verdict for " + std::to_string(missing) +
                                                        " of the properties)"
                                                  : ""));
        for (const int index : job.as_invariant)
            if (job.verdicts.at(index).verdict == "false") job.recheck.push_back(index);
        const bool some_false = std::any_of(job.verdicts.begin(), job.verdicts.end(),
                                            [](const auto& each) { return each.second.verdict == "false"; });
        // The counterexamples' run checks the invariants again as CTL too.
        if (command_.traces_directory && some_false) start_stage(job, Job::Stage::traces);
        else if (!job.recheck.empty()) start_stage(job, Job::Stage::recheck);
        else return false;
        return true;
    }
    // An invariant found false is no verdict until the CTL checker, which
    // keeps to the fair paths, says so.
    const std::map<int, CheckerVerdict> again =
        by_index(read_verdicts(stage_output(job, ".out").source(), job.stage == Job::Stage::traces).verdicts);
    for (const int index : job.recheck) {
        if (const auto found = again.find(index); found != again.end()) job.verdicts[index] = found->second;
        else job.verdicts.erase(index);
    }
    if (job.stage == Job::Stage::traces) write_traces(job, again);
    if (timed_out) return fail("timeout", stopped);
    if (job.stage == Job::Stage::recheck && (end.exit_status != 0 || again.size() < job.recheck.size()))
        return fail("error", how_it_ended(job, end));
    return false;
}

// Each counterexample in a file of its own, named by N, line, the property's
// place on its line, tuple and instance. A trace that did not come, or
// cannot be written, is left out with a note; the verdicts stand.
void Sweep::write_traces(Job& job, const std::map<int, CheckerVerdict>& checked) {
    const Run& run = results_.runs[job.column];
    const Column& column = columns_[job.column];
    // Each trace is copied from the checker's output, which is read once,
    // from its start on: the traces in the order they lie there.
    std::vector<std::pair<int, const CheckerVerdict*>> traces;
    for (const auto& [index, verdict] : checked)
        if (verdict.verdict == "false") traces.emplace_back(index, &verdict);
    std::sort(traces.begin(), traces.end(),
              [](const auto& a, const auto& b) { return a.second->text_start < b.second->text_start; });
    CheckerFile output = stage_output(job, ".out");
    OutputCopier copier(output.source());
    for (const auto& [listed_index, verdict] : traces) {
        const auto index = listed_index;  // clang 14 lets no lambda capture a structured binding
        const auto entry = std::find_if(job.checked.begin(), job.checked.end(),
                                        [&](const Attributed* each) { return each->listed->index == index; });
        if (entry == job.checked.end()) continue;
        const NamedProperty& property = column.named.properties[(*entry)->property];
        std::string file = *command_.traces_directory + "/" + stem_ + ".N" + std::to_string(run.n) + ".L" +
                           std::to_string(property.line);
        if (property.ordinal > 1) file += ".p" + std::to_string(property.ordinal);
        if (property.processes) file += "." + tuple_text(*property.processes, '-');
        if (!(*entry)->path.empty()) file += "." + file_name_part(instance_as_in_model((*entry)->path));
        // Two instance names may be made the same by what a file name can hold.
        std::string unique = file;
        for (int copy = 2; !trace_files_.insert(unique).second; ++copy) unique = file + "." + std::to_string(copy);
        unique += ".trace";
        try {
            refuse_if_model(unique);
            OutputFile trace = OutputFile::create(unique, textops::printable(unique));
            FileSink sink(trace.fd(), "'" + textops::printable(unique) + "'");
            sink.write(instance_names_line(verdict->instances));
            copier.copy(verdict->text_start, verdict->text_end, sink);
            trace.commit();
            job.traces[index] = std::move(unique);
        } catch (const std::runtime_error& error) {
            note("N = " + std::to_string(run.n) + ": the counterexample of line " + std::to_string(property.line) +
                 (property.processes ? " (" + tuple_text(*property.processes, ',') + ")" : "") +
                 ((*entry)->path.empty() ? "" : " " + instance_as_in_model((*entry)->path)) +
                 " was not written: " + error.what());
        }
    }
}

void Sweep::record_verdicts(const Job& job) {
    const Run& run = results_.runs[job.column];
    const Column& column = columns_[job.column];
    const std::string missing = run.outcome == "done" ? "error" : run.outcome;
    if (!job.listed) {
        for (const NamedProperty& property : column.named.properties)
            if (!property.stand_in)
                results_.verdicts.push_back({run.n, property.line, property.processes, std::nullopt, missing,
                                             std::nullopt, std::nullopt});
        return;
    }
    for (const Attributed* entry : job.checked) {
        const NamedProperty& property = column.named.properties[entry->property];
        Verdict each{run.n, property.line, property.processes, std::nullopt, missing, std::nullopt, std::nullopt};
        if (!entry->path.empty()) each.instance = instance_as_in_model(entry->path);
        if (const auto found = job.verdicts.find(entry->listed->index); found != job.verdicts.end()) {
            each.verdict = found->second.verdict;
            each.value = found->second.value;
        }
        if (const auto trace = job.traces.find(entry->listed->index); trace != job.traces.end())
            each.trace = trace->second;
        results_.verdicts.push_back(std::move(each));
    }
    for (const std::size_t untold : job.attribution.untold) {
        const NamedProperty& property = column.named.properties[untold];
        results_.verdicts.push_back({run.n, property.line, std::nullopt, std::nullopt, "error", std::nullopt, std::nullopt});
        note("line " + std::to_string(property.line) + ": no verdict: NuSMV gives PSL properties no names, and module " +
             property.module + " has several; write them as LTLSPEC or CTLSPEC");
    }
}

// A verdict on a translation that does not state the property as the model
// does is no verdict on the model: a warning at a property's lines costs
// that property's verdicts, one elsewhere every verdict, unless the user
// accepts the warnings. A property that a warning left without instances
// has no verdict either way.
void Sweep::mark_warned_verdicts() {
    const bool accepted = command_.accept_warnings;
    std::set<std::pair<std::size_t, std::string>> listed;
    for (const Column& column : columns_) {
        std::set<std::size_t> warned_lines;  // of properties
        bool everything = false;
        std::vector<CostlyWarning> costly;
        for (const TranslationWarnings::Given& given : column.warnings) {
            if (costs_no_verdict(given.kind)) continue;
            std::optional<std::size_t> property;
            for (const NamedProperty& each : column.named.properties)
                if (each.keyword_line <= given.line && given.line <= each.last_line) property = each.line;
            if (property) warned_lines.insert(*property);
            else everything = !accepted;
            costly.push_back({given.line, property, given.message});
        }
        const auto warned = [&](std::size_t line) { return everything || warned_lines.contains(line); };
        std::set<std::size_t> with_verdict;
        for (Verdict& verdict : results_.verdicts) {
            if (verdict.n != column.n || !warned(verdict.line)) continue;
            with_verdict.insert(verdict.line);
            if (!accepted && (verdict.verdict == "true" || verdict.verdict == "false")) verdict.verdict = "warned";
        }
        std::set<std::size_t> without_instances;
        for (const NamedProperty& property : column.named.properties)
            if (warned(property.line) && with_verdict.insert(property.line).second) {
                without_instances.insert(property.line);
                results_.verdicts.push_back({column.n, property.line, std::nullopt, std::nullopt, "warned",
                                             std::nullopt, std::nullopt});
            }
        for (const CostlyWarning& warning : costly)
            if ((!accepted || without_instances.contains(warning.property.value_or(0))) &&
                listed.emplace(warning.line, warning.message).second)
                results_.warnings.push_back(warning);
    }
}

// A run past --timeout, or past the end of the budget, is stopped.
void Sweep::stop_late_runs(std::vector<Job>& jobs) {
    const auto now = Clock::now();
    const bool budget_spent =
        command_.budget_seconds && now - started_ > std::chrono::duration<double>(*command_.budget_seconds);
    for (Job& job : jobs) {
        const bool late = command_.timeout_seconds &&
                          now - job.stage_started > std::chrono::duration<double>(*command_.timeout_seconds);
        if (!job.stop_sent && (late || budget_spent)) job.out_of_budget = !late;
        stop_if_late(job.pid, late || budget_spent, job.stop_sent);
    }
}

void Sweep::stop_if_late(pid_t pid, bool late, std::optional<Clock::time_point>& stop_sent) {
    const auto now = Clock::now();
    if (!stop_sent && late) {
        children_.stop(pid, false);
        stop_sent = now;
    } else if (stop_sent && now - *stop_sent > std::chrono::seconds(2)) {
        children_.stop(pid, true);
    }
}

std::optional<std::string> Sweep::reason_to_stop(std::size_t next_column) {
    const int n = columns_[next_column].n;
    for (std::size_t i = 0; i < next_column; ++i) {
        const Run& run = results_.runs[i];
        // A run that the budget stopped: no option checks the larger N, and the budget says why below.
        if (run.outcome == "timeout" && !command_.keep_going &&
            !(command_.budget_seconds &&
              std::chrono::duration<double>(Clock::now() - started_).count() >= *command_.budget_seconds))
            return "N = " + std::to_string(run.n) + " timed out, and a larger N would take longer (--keep-going checks them)";
        const bool some_false = std::any_of(results_.verdicts.begin(), results_.verdicts.end(), [&](const Verdict& each) {
            return each.n == run.n && each.verdict == "false";
        });
        if (command_.stop_at_false && some_false)
            return "--stop-at-false: N = " + std::to_string(run.n) + " has a false verdict";
    }
    if (!command_.budget_seconds) return std::nullopt;
    const double used = std::chrono::duration<double>(Clock::now() - started_).count();
    const double left = *command_.budget_seconds - used;
    const std::optional<double> predicted = predicted_seconds(results_.runs, n);
    results_.budget = Results::Budget{*command_.budget_seconds, used, n, predicted};
    if (left <= 0)
        return "the budget of " + duration_text(*command_.budget_seconds) + " ran out" +
               (next_column == 0 ? " (the counted model for every N took " + duration_text(counted_seconds_) + " of it)"
                                 : "");
    if (predicted && *predicted > left)
        return "N = " + std::to_string(n) + " was predicted to take " + duration_text(*predicted) + ", more than the " +
               duration_text(left) + " left of the budget";
    results_.budget->next_n.reset();
    results_.budget->predicted_seconds.reset();
    return std::nullopt;
}

// The N not started are skipped; an open range ends with the first of them
// when no N was checked, else before them.
void Sweep::stop_sweep(std::size_t next_column, const std::string& why) {
    const std::size_t end = command_.open_range ? std::max<std::size_t>(next_column, 1) : columns_.size();
    columns_.resize(end);
    results_.runs.resize(end);
    for (std::size_t i = next_column; i < end; ++i) {
        results_.runs[i].outcome = "skipped";
        results_.runs[i].message = why;
    }
    // The table ends with where the budget left an open range.
    if (command_.open_range && (!results_.budget || !results_.budget->next_n)) note(why);
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

// Every N: the counted model of the model, checked by NuSMV once for all N,
// with counters up to m and, for what that does not prove, up to m + 1.
void Sweep::check_counted_model() {
    counted_under_way_ = true;
    const auto started = Clock::now();
    // Counting a large model takes seconds: an ending signal stops it.
    const counted::Checkpoint stop_when_asked = [] {
        if (const int signal = SignalsCaught::ending_signal_pending(); signal != 0) throw Interrupted{signal};
    };
    const counted::CountedModel counted = counted::count_model(model_, 0, stop_when_asked);
    for (const counted::PropertyGoal& goal : counted.goals) abstractions_.push_back({goal, false, goal.reason});
    std::string failure;
    std::map<std::string, std::string> verdicts = prove(counted, stem_ + ".every.smv", failure);
    const auto unproved = [&] {
        return std::any_of(abstractions_.begin(), abstractions_.end(), [&](const Abstraction& each) {
            return each.goal.invariant && verdicts[*each.goal.invariant] == "false";
        });
    };
    const int bound = counted.bound;
    if (failure.empty() && unproved()) {
        const counted::CountedModel wider = counted::count_model(model_, bound + 1, stop_when_asked);
        std::map<std::string, std::string> again =
            prove(wider, stem_ + ".every.m" + std::to_string(bound + 1) + ".smv", failure);
        // One model gives the same goals in the same order whatever the bound.
        for (std::size_t i = 0; i < abstractions_.size() && i < wider.goals.size(); ++i) {
            const counted::PropertyGoal& goal = wider.goals[i];
            const Abstraction& each = abstractions_[i];
            if (goal.line == each.goal.line && goal.invariant && each.goal.invariant && again[*goal.invariant] == "true")
                verdicts[*each.goal.invariant] = "true";
        }
    }
    for (Abstraction& each : abstractions_) {
        if (!each.goal.invariant) continue;
        const std::string& verdict = verdicts[*each.goal.invariant];
        each.proved = verdict == "true";
        if (each.proved) continue;
        each.reason = !failure.empty() ? failure
                      : verdict == "false"
                          ? "the abstraction is too coarse: the counted model, with counters up to " +
                                std::to_string(bound) + " and " + std::to_string(bound + 1) +
                                ", has a counterexample that no N of this run reproduces"
                          : "NuSMV gave the counted model no verdict on it";
    }
    counted_under_way_ = false;
    counted_seconds_ = std::chrono::duration<double>(Clock::now() - started).count();
}

// What a signal interrupted, for the reader of what was found before it.
void Sweep::note_interruption(const std::vector<Job>& jobs) {
    std::string under_way;
    if (counted_under_way_) {
        under_way = "NuSMV checked the counted model for every N";
    } else if (translating_) {
        under_way = "the model was translated for N = " + std::to_string(*translating_);
    } else if (!jobs.empty()) {
        under_way = "the checker ran for N = ";
        for (const Job& job : jobs)
            under_way += (&job == &jobs.front() ? "" : ", ") + std::to_string(results_.runs[job.column].n);
    } else {
        under_way = "the sweep went on";
    }
    note("interrupted by " + ending_signal_name(interrupted_by_) + " while " + under_way +
         ": every N not done is interrupted, and nothing is decided for every N");
}

std::map<std::string, std::string> Sweep::prove(const counted::CountedModel& counted, const std::string& file,
                                                std::string& failure) {
    std::vector<Check> checks;
    std::set<std::string> names;
    for (const counted::PropertyGoal& goal : counted.goals)
        if (goal.invariant) {
            checks.push_back(Check::named_invariant(*goal.invariant));
            names.insert(*goal.invariant);
        }
    if (checks.empty()) return {};
    if (command_.budget_seconds && budget_left() <= 0) {
        failure = "the budget of " + duration_text(*command_.budget_seconds) +
                  " ran out before NuSMV checked the counted model";
        return {};
    }
    // NuSMV reads a file whose last line, a comment, has no line end for ever.
    const std::string text = counted.text.ends_with('\n') ? counted.text : counted.text + "\n";
    write_whole_file(folder_->path() + "/" + file, text);
    if (command_.keep_directory) {
        refuse_if_model(*command_.keep_directory + "/" + file);
        write_whole_file(*command_.keep_directory + "/" + file, text);
    }
    write_whole_file(folder_->path() + "/" + file + ".script", verdict_script("./" + file, checks, false));
    ChildCommand child{checker_program_, reference_options, folder_->path() + "/" + file + ".out",
                       folder_->path() + "/" + file + ".err", folder_->path()};
    child.args.insert(child.args.end(), command_.checker_options.begin(), command_.checker_options.end());
    child.args.push_back("-source");
    child.args.push_back("./" + file + ".script");
    pid_t pid = 0;
    try {
        pid = children_.start(child);
    } catch (const StartError& error) {
        throw CheckerMissing(no_checker_message(checker_, error.reason));
    }
    checker_started_ = true;
    // A counted model is small; one that takes long is not worth the wait.
    // Its time counts against the budget, which bounds it too.
    const double left = command_.budget_seconds ? budget_left() : HUGE_VAL;
    const bool within_budget = left < command_.timeout_seconds.value_or(60);
    const double limit = within_budget ? left : command_.timeout_seconds.value_or(60);
    const auto started = Clock::now();
    std::optional<Clock::time_point> stop_sent;
    std::optional<ChildEnd> end;
    while (!end) {
        if (const int signal = SignalsCaught::ending_signal(); signal != 0) throw Interrupted{signal};
        if (const std::vector<ChildEnd> ended = children_.wait(std::chrono::milliseconds(200)); !ended.empty())
            end = ended.front();
        else
            stop_if_late(pid, Clock::now() - started > std::chrono::duration<double>(limit), stop_sent);
    }
    // A run that failed in any way proves nothing, whatever it printed first.
    const VerdictsRead read = read_verdicts(CheckerFile(folder_->path() + "/" + file + ".out").source(), false);
    const auto missing = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return !read.verdicts.contains(name);
    });
    const auto unasked = std::find_if(read.verdicts.begin(), read.verdicts.end(), [&](const auto& each) {
        return !names.contains(each.first);
    });
    if (stop_sent && within_budget) {
        failure = "the budget of " + duration_text(*command_.budget_seconds) +
                  " ran out while NuSMV checked the counted model";
    } else if (stop_sent) {
        failure = "NuSMV did not decide the counted model within " + duration_text(limit);
    } else if (end->signal != 0 || end->exit_status != 0) {
        const std::string said = read_error(CheckerFile(folder_->path() + "/" + file + ".err").source());
        failure = "NuSMV could not check the counted model: " +
                  (said.empty() ? how_the_checker_ended(*end) : said.substr(0, 200));
    } else if (missing != names.end()) {
        failure = "the checker gave no verdict on the counted model's invariant " + *missing;
    } else if (unasked != read.verdicts.end() || !read.repeated.empty()) {
        failure = "the checker gave the counted model verdicts it was not asked for";
    }
    if (!failure.empty()) return {};
    std::map<std::string, std::string> verdicts;
    for (const auto& [name, verdict] : read.verdicts) verdicts[name] = verdict.verdict;
    return verdicts;
}

// The column every N: false from a finite verdict alone, true from a proof
// of the counted model, and otherwise not decided, with why.
void Sweep::decide_every_n() {
    for (const Abstraction& each : abstractions_) {
        const std::size_t line = each.goal.line;
        // Only for the rows of the table: none when no N was translated.
        if (!rows_.contains(line)) continue;
        EveryN decided = with_finite_verdicts(
            each.proved ? EveryN{line, "true", std::nullopt} : EveryN{line, "undecided", each.reason}, results_.verdicts);
        if (each.proved && decided.verdict == "false")
            note("line " + std::to_string(line) + ": the counted model holds it for every N, but a finite N "
                 "finds it false: that is a fault of ruvello's, please report it");
        results_.every_n.push_back(std::move(decided));
    }
}

// On a terminal, each N's verdicts as soon as they are in.
void Sweep::announce(const Run& run) {
    if (!standard_error_is_terminal()) return;
    const std::string line = "\r\033[Kruvello: " + column_summary(results_, run) + "\n";
    std::fputs(line.c_str(), stderr);
}

Results Sweep::run() {
    prepare();
    // The translation reads a keyword before a carriage return as no
    // header: whatever it warns, it is not the model as written.
    if (model_.find("\r\n") != std::string::npos) {
        translate(columns_.front(), false);
        stream_.finish();
        throw WarningsAreFatal("the model has Windows line ends, which the translation does not carry "
                               "into SMV as written; no checker was run: convert it with dos2unix first");
    }
    std::vector<Job> jobs;
    std::size_t next_column = 0;
    try {
        // With --fatal-warnings no checker runs when any translation warns.
        if (command_.fatal_warnings) {
            for (Column& column : columns_) translate(column, false);
            stream_.finish();
            if (stream_.warned()) throw WarningsAreFatal("warnings are fatal (--fatal-warnings); no checker was run");
        }
        check_counted_model();
        while (next_column < columns_.size() || !jobs.empty()) {
            if (const int signal = SignalsCaught::ending_signal(); signal != 0) throw Interrupted{signal};
            while (next_column < columns_.size() && jobs.size() < static_cast<std::size_t>(command_.jobs)) {
                if (const std::optional<std::string> why = reason_to_stop(next_column)) {
                    stop_sweep(next_column, *why);
                    next_column = columns_.size();
                    break;
                }
                start_column(next_column++, jobs);
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
                announce(results_.runs[job->column]);
                jobs.erase(job);
            }
            stop_late_runs(jobs);
        }
    } catch (const Interrupted& interrupted) {
        // What is done stands; the rest is marked as interrupted.
        interrupted_by_ = interrupted.signal;
        for (Job& job : jobs) {
            results_.runs[job.column].outcome = "interrupted";
            record_verdicts(job);
        }
        note_interruption(jobs);
    }
    show_progress(jobs, true);
    if (results_.budget) results_.budget->used = std::chrono::duration<double>(Clock::now() - started_).count();
    if (!command_.fatal_warnings) stream_.finish();
    mark_warned_verdicts();
    if (interrupted_by_ == 0) decide_every_n();
    for (auto& [line, property] : rows_) results_.properties.push_back(std::move(property));
    // The verdicts as the report lists them: by N, then in the order of the model.
    std::stable_sort(results_.verdicts.begin(), results_.verdicts.end(), [&](const Verdict& a, const Verdict& b) {
        return a.n != b.n ? a.n < b.n : a.line < b.line;
    });
    return results_;
}

// The table (or the JSON) on standard output, and the files asked for. A
// file that cannot be written is reported after the others are written.
void write_results(const Results& results, const Settings& command, const SignalsCaught& signals) {
    if (command.json_path && *command.json_path == "-") {
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
    write(command.json_path, to_json(results));
    write(command.junit_path, to_junit(results));
    if (command.plot_path) {
        try {
            plot_growth(results, *command.plot_path, signals);
        } catch (const std::runtime_error& error) {
            if (!failure) failure = error.what();
        }
    }
    if (failure) throw WriteError(*failure);
}

}  // namespace

int check_model(const Settings& command) {
    const SignalsCaught signals;
    Results results;
    int interrupted_by = 0;
    {
        Sweep sweep(command, signals);
        results = sweep.run();
        interrupted_by = sweep.interrupted_by();
    }
    // After a signal too: what was found before it, if nothing.
    try {
        write_results(results, command, signals);
    } catch (const WriteError& error) {
        if (interrupted_by != 0) throw Interrupted{interrupted_by};
        throw ResultsNotWritten(error.what(), exit_status(results));
    }
    if (interrupted_by != 0) throw Interrupted{interrupted_by};
    return exit_status(results);
}

int report_checks(const Settings& command) {
    const SignalsCaught signals;
    std::vector<std::pair<std::string, Results>> documents;
    for (const std::string& path : command.report_paths) {
        const InputFile input = InputFile::open(path, textops::printable(path));
        FileSource source(input.fd(), "'" + textops::printable(path) + "'", input.size());
        try {
            documents.emplace_back(textops::printable(path), from_json(read_all(source)));
        } catch (const std::runtime_error& error) {
            throw ReadError("cannot read '" + textops::printable(path) + "': " + error.what());
        }
    }
    Results all;
    try {
        all = merged(documents);
    } catch (const std::runtime_error& error) {
        throw ReadError(std::string("cannot merge the documents: ") + error.what());
    }
    try {
        write_results(all, command, signals);
    } catch (const WriteError& error) {
        throw ResultsNotWritten(error.what(), exit_status(all));
    }
    return exit_status(all);
}

}  // namespace ruvello::check
