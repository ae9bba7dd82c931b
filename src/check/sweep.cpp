#include "check/sweep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "check/checker.h"
#include "check/checker_run.h"
#include "check/digest.h"
#include "check/every_n.h"
#include "check/outputs.h"
#include "check/report.h"
#include "check/scheduling.h"
#include "check/traces.h"
#include "check/translations.h"
#include "check/workspace.h"
#include "platform/signals.h"
#include "platform/terminal.h"
#include "textops/textops.h"
#include "translate/translation.h"

namespace ruvello::check {

namespace {

// The sweep over N. Three structures stand for each N: its Translation
// (what the checker reads, and how its properties are named), its
// CheckerRun while the checker's stages for it are under way, and its Run
// in the results (how it went, as the report shows it). The index of an N
// in `translations_` is that in `results_.runs`.
class Sweep {
public:
    Sweep(const Settings& settings, const SignalsCaught& signals)
        : settings_(settings), shown_model_(textops::printable(settings.model_path)), children_(signals) {}

    Results run();
    // The signal that ended the sweep early, or 0.
    int interrupted_by() const { return interrupted_by_; }

private:
    void prepare();
    void name_files();
    void refuse_windows_line_ends();
    void translate_all_first();
    void check_every_n();
    void start_runs();
    void start_run(std::size_t column);
    void finish_stages(const std::vector<ChildEnd>& ended);
    void end_run(std::vector<CheckerRun>::iterator run);
    // Why the sweep starts no further N, or nothing.
    std::optional<std::string> reason_to_stop(std::size_t next_column);
    std::optional<std::string> reason_in_budget(std::size_t next_column);
    void stop_sweep(std::size_t next_column, const std::string& why);
    void stop_late_runs();
    void record_interruption(int signal);
    std::string under_way() const;
    Results conclude();
    void show_progress(bool done) const;
    void announce(const Run& run) const;

    const Settings& settings_;
    std::string shown_model_;  // the model's path as messages show it
    CheckerChoice checker_;
    Model model_;
    std::optional<TemporaryFolder> folder_;
    Children children_;  // stopped before the folder they write in is removed
    CheckerSetup setup_;
    std::optional<Translator> translator_;
    std::optional<EveryNCheck> every_n_;
    std::optional<TraceWriter> traces_;
    std::vector<Translation> translations_;
    std::vector<CheckerRun> runs_;  // those under way
    std::size_t next_column_ = 0;   // the N to start next
    bool checker_started_ = false;
    Clock::time_point started_ = Clock::now();
    int interrupted_by_ = 0;
    Results results_;
};

Results Sweep::run() {
    // Find the checker, read the model, and name the files of each N.
    prepare();
    // A model with Windows line ends is not checked as written.
    refuse_windows_line_ends();
    try {
        // With --fatal-warnings no checker runs when any translation warns.
        if (settings_.fatal_warnings) translate_all_first();
        // Every N: the counted model, proved once for all N.
        check_every_n();
        // Each N: its translation, the checker's stages on it and the
        // verdicts they give, attributed to the model's properties, --jobs
        // at a time, as far as the stop rules and the budget let the sweep go.
        while (next_column_ < translations_.size() || !runs_.empty()) {
            stop_if_signalled();
            start_runs();
            show_progress(false);
            finish_stages(children_.wait(std::chrono::milliseconds(200)));
            stop_late_runs();
        }
    } catch (const Interrupted& interrupted) {
        // What is done stands; the rest is marked as interrupted.
        record_interruption(interrupted.signal);
    }
    show_progress(true);
    // The verdicts the warnings cost, the column every N, and the rows.
    return conclude();
}

void Sweep::prepare() {
    results_.model = shown_model_;
    results_.every_tuple = !settings_.symmetric;
    checker_ = choose_checker(settings_.checker, settings_.checker_from_environment);
    results_.checker_path = checker_.program;
    const ProgramLookup found = find_program(checker_.program);
    if (!found.path) throw CheckerMissing(no_checker_message(checker_, found.why_not));

    model_ = Model::read(settings_.model_path);
    translator_.emplace(model_, shown_model_, settings_);
    results_.model_digest = "sha256:" + sha256_hex(model_.text);

    // What ruvello writes must not take the model's place.
    for (const std::optional<std::string>& output : {settings_.json_path, settings_.junit_path, settings_.plot_path})
        if (output && *output != "-") model_.refuse_as_output(*output);
    if (settings_.keep_directory) make_folder(*settings_.keep_directory);
    if (settings_.traces_directory) make_folder(*settings_.traces_directory);
    folder_.emplace();
    setup_ = CheckerSetup{*found.path, settings_.checker_options, folder_->path(), "",
                          settings_.reference_checks, settings_.symmetric, settings_.traces_directory.has_value(),
                          settings_.counterexamples,
                          settings_.timeout_seconds, settings_.budget_seconds};
    name_files();
    every_n_.emplace(model_, setup_, settings_, children_, started_);
    if (settings_.traces_directory) traces_.emplace(model_, *settings_.traces_directory, setup_.stem);
}

// The files of each N are named after the model's output file: m.3.smv.
void Sweep::name_files() {
    const std::string output = settings_.model_path == "-" ? "model.smv" : output_path_for(settings_.model_path);
    setup_.stem = file_name_part(std::string_view(output).substr(output.rfind('/') + 1));
    setup_.stem.resize(setup_.stem.size() - 4);  // ".smv"
    for (const int n : settings_.process_counts) {
        translations_.push_back({n, setup_.stem + "." + std::to_string(n) + ".smv", 0, {}, {}});
        results_.runs.push_back({n, Outcome::interrupted, 0, std::nullopt, std::nullopt, std::nullopt});
    }
}

// The translation reads a keyword before a carriage return as no header:
// whatever it warns, it is not the model as written.
void Sweep::refuse_windows_line_ends() {
    if (model_.text.find("\r\n") == std::string::npos) return;
    translator_->translate(translations_.front(), setup_.folder, false);
    translator_->finish_warnings();
    throw WarningsAreFatal("the model has Windows line ends, which the translation does not carry "
                           "into SMV as written; no checker was run: convert it with dos2unix first");
}

void Sweep::translate_all_first() {
    for (Translation& translation : translations_) translator_->translate(translation, setup_.folder, false);
    translator_->finish_warnings();
    if (translator_->warned()) throw WarningsAreFatal("warnings are fatal (--fatal-warnings); no checker was run");
}

void Sweep::check_every_n() {
    try {
        every_n_->check();
    } catch (const StartError& error) {
        throw CheckerMissing(no_checker_message(checker_, error.reason));
    }
    checker_started_ = checker_started_ || every_n_->ran_checker();
}

void Sweep::start_runs() {
    while (next_column_ < translations_.size() && runs_.size() < static_cast<std::size_t>(settings_.jobs)) {
        if (const std::optional<std::string> why = reason_to_stop(next_column_)) {
            stop_sweep(next_column_, *why);
            next_column_ = translations_.size();
            return;
        }
        start_run(next_column_++);
    }
}

// A checker that cannot be started the first time is missing; later, only
// that N fails.
void Sweep::start_run(std::size_t column) {
    Translation& translation = translations_[column];
    translator_->translate(translation, setup_.folder, true);
    CheckerRun run(column, translation.n, setup_, children_, Clock::now());
    results_.runs[column].outcome = Outcome::done;
    try {
        if (!run.start(translation, results_, Clock::now())) {
            run.record_verdicts(translation, results_);
            return;
        }
    } catch (const StartError& error) {
        if (!checker_started_) throw CheckerMissing(no_checker_message(checker_, error.reason));
        results_.runs[column].outcome = Outcome::error;
        results_.runs[column].message = error.what();
        run.record_verdicts(translation, results_);
        return;
    }
    checker_started_ = true;
    runs_.push_back(std::move(run));
}

void Sweep::finish_stages(const std::vector<ChildEnd>& ended) {
    for (const ChildEnd& end : ended) {
        const auto run = std::find_if(runs_.begin(), runs_.end(), [&](const CheckerRun& each) { return each.pid() == end.pid; });
        if (run == runs_.end()) continue;
        bool goes_on = false;
        try {
            goes_on = run->finish_stage(end, translations_[run->column()], results_, Clock::now());
        } catch (const StartError& error) {
            results_.runs[run->column()].outcome = Outcome::error;
            results_.runs[run->column()].message = error.what();
        }
        if (!goes_on) end_run(run);
    }
}

// A run that has no further stage: its counterexamples written, its
// verdicts recorded and, on a terminal, shown.
void Sweep::end_run(std::vector<CheckerRun>::iterator run) {
    const Translation& translation = translations_[run->column()];
    Run& result = results_.runs[run->column()];
    if (traces_ && !run->traced().empty()) run->set_traces(traces_->write(*run, translation, results_));
    result.seconds = std::chrono::duration<double>(Clock::now() - run->started()).count();
    run->record_verdicts(translation, results_);
    announce(result);
    runs_.erase(run);
}

std::optional<std::string> Sweep::reason_to_stop(std::size_t next_column) {
    for (std::size_t i = 0; i < next_column; ++i) {
        const Run& run = results_.runs[i];
        // A run that the budget stopped: no option checks the larger N, and the budget says why below.
        if (run.outcome == Outcome::timeout && !settings_.keep_going &&
            !(settings_.budget_seconds &&
              std::chrono::duration<double>(Clock::now() - started_).count() >= *settings_.budget_seconds))
            return "N = " + std::to_string(run.n) + " timed out, and a larger N would take longer (--keep-going checks them)";
        const bool some_false = std::any_of(results_.verdicts.begin(), results_.verdicts.end(), [&](const InstanceVerdict& each) {
            return each.n == run.n && each.verdict == Verdict::fails;
        });
        if (settings_.stop_at_false && some_false)
            return "--stop-at-false: N = " + std::to_string(run.n) + " has a false verdict";
    }
    return reason_in_budget(next_column);
}

// With --budget: whether what is left of it lets the next N be started,
// which is predicted to take as long as the N before it grew.
std::optional<std::string> Sweep::reason_in_budget(std::size_t next_column) {
    if (!settings_.budget_seconds) return std::nullopt;
    const int n = translations_[next_column].n;
    const double used = std::chrono::duration<double>(Clock::now() - started_).count();
    const double left = *settings_.budget_seconds - used;
    const std::optional<double> predicted = predicted_seconds(results_.runs, n);
    results_.budget = Results::Budget{*settings_.budget_seconds, used, n, predicted};
    if (left <= 0)
        return "the budget of " + duration_text(*settings_.budget_seconds) + " ran out" +
               (next_column == 0 ? " (the counted model for every N took " + duration_text(every_n_->seconds()) + " of it)"
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
    const std::size_t end = settings_.open_range ? std::max<std::size_t>(next_column, 1) : translations_.size();
    translations_.resize(end);
    results_.runs.resize(end);
    for (std::size_t i = next_column; i < end; ++i) {
        results_.runs[i].outcome = Outcome::skipped;
        results_.runs[i].message = why;
    }
    // The table ends with where the budget left an open range.
    if (settings_.open_range && (!results_.budget || !results_.budget->next_n)) add_note(results_, why);
}

// A run past --timeout, or past the end of the budget, is stopped.
void Sweep::stop_late_runs() {
    const auto now = Clock::now();
    const bool budget_spent =
        settings_.budget_seconds && now - started_ > std::chrono::duration<double>(*settings_.budget_seconds);
    for (CheckerRun& run : runs_) run.stop_if_late(budget_spent, now);
}

// What a signal interrupted, for the reader of what was found before it.
void Sweep::record_interruption(int signal) {
    interrupted_by_ = signal;
    for (const CheckerRun& run : runs_) {
        results_.runs[run.column()].outcome = Outcome::interrupted;
        run.record_verdicts(translations_[run.column()], results_);
    }
    add_note(results_, "interrupted by " + ending_signal_name(interrupted_by_) + " while " + under_way() +
                           ": every N not done is interrupted, and nothing is decided for every N");
}

std::string Sweep::under_way() const {
    if (every_n_ && every_n_->under_way()) return "NuSMV checked the counted model for every N";
    if (translator_ && translator_->under_way())
        return "the model was translated for N = " + std::to_string(*translator_->under_way());
    if (runs_.empty()) return "the sweep went on";
    std::string text = "the checker ran for N = ";
    for (const CheckerRun& run : runs_) text += (&run == &runs_.front() ? "" : ", ") + std::to_string(run.n());
    return text;
}

Results Sweep::conclude() {
    if (results_.budget) results_.budget->used = std::chrono::duration<double>(Clock::now() - started_).count();
    if (!settings_.fatal_warnings) translator_->finish_warnings();
    mark_warned_verdicts(translations_, settings_.accept_warnings, results_);
    if (interrupted_by_ == 0) every_n_->decide(translator_->rows(), results_);
    for (auto& [line, property] : translator_->rows()) results_.properties.push_back(std::move(property));
    // The verdicts as the report lists them: by N, then in the order of the model.
    std::stable_sort(results_.verdicts.begin(), results_.verdicts.end(), [&](const InstanceVerdict& a, const InstanceVerdict& b) {
        return a.n != b.n ? a.n < b.n : a.line < b.line;
    });
    if (const std::optional<std::string> note = scheduling_note(model_.text, results_)) add_note(results_, *note);
    return results_;
}

void Sweep::show_progress(bool done) const {
    if (!standard_error_is_terminal()) return;
    std::string line = "\r\033[K";
    if (!done) {
        line += "ruvello: checking";
        const char* separator = " ";
        for (const CheckerRun& run : runs_) {
            const double seconds = std::chrono::duration<double>(Clock::now() - run.started()).count();
            char took[32];
            std::snprintf(took, sizeof took, " (%.1f s)", seconds);
            line += separator + ("N = " + std::to_string(run.n())) + took;
            separator = ", ";
        }
    }
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// On a terminal, each N's verdicts as soon as they are in.
void Sweep::announce(const Run& run) const {
    if (!standard_error_is_terminal()) return;
    std::vector<Property> properties;
    for (const auto& [line, property] : translator_->rows()) properties.push_back(property);
    const std::string line = "\r\033[Kruvello: " + column_summary(results_, properties, run) + "\n";
    std::fputs(line.c_str(), stderr);
}

}  // namespace

int check_model(const Settings& settings) {
    const SignalsCaught signals;
    Results results;
    int interrupted_by = 0;
    {
        Sweep sweep(settings, signals);
        results = sweep.run();
        interrupted_by = sweep.interrupted_by();
    }
    // After a signal too: what was found before it, if nothing.
    try {
        write_results(results, settings, signals);
    } catch (const WriteError& error) {
        if (interrupted_by != 0) throw Interrupted(interrupted_by);
        throw ResultsNotWritten(error.what(), exit_status(results));
    }
    if (interrupted_by != 0) throw Interrupted(interrupted_by);
    return exit_status(results);
}

}  // namespace ruvello::check
