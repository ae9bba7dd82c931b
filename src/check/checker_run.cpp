#include "check/checker_run.h"

#include <algorithm>
#include <charconv>
#include <regex>
#include <set>

#include "platform/files.h"
#include "platform/streams.h"
#include "textops/textops.h"

namespace ruvello::check {

namespace {

// What a stage's files are named after.
std::string stage_name(CheckerRun::Stage stage) {
    switch (stage) {
    case CheckerRun::Stage::listing: return "list";
    case CheckerRun::Stage::verdicts: return "check";
    case CheckerRun::Stage::recheck: return "recheck";
    case CheckerRun::Stage::traces: return "traces";
    }
    return "";
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

// Records how the run of `run` failed; it goes on with no other stage.
bool fail(Run& run, Outcome outcome, std::string message) {
    run.outcome = outcome;
    run.message = std::move(message);
    return false;
}

}  // namespace

std::string with_model_named(std::string said, const std::string& translation_file, const std::string& model) {
    // Each name is looked for after the model's name that replaced the last
    // one, which may hold it.
    for (std::size_t at = 0; (at = said.find(translation_file, at)) != std::string::npos;) {
        const bool dotted = at >= 2 && said.compare(at - 2, 2, "./") == 0;
        const std::size_t start = dotted ? at - 2 : at;
        said.replace(start, at + translation_file.size() - start, model);
        at = start + model.size();
    }
    return said;
}

std::string CheckerRun::stage_file(Stage stage, std::string_view what) const {
    return setup_->stem + "." + std::to_string(n_) + "." + stage_name(stage) + std::string(what);
}

std::string CheckerRun::output_path(Stage stage) const { return setup_->in_folder(stage_file(stage, ".out")); }

std::string CheckerRun::stage_path(std::string_view what) const { return setup_->in_folder(stage_file(stage_, what)); }

std::vector<Check> CheckerRun::stage_checks(Stage stage) const {
    std::vector<Check> checks;
    if (stage == Stage::verdicts) {
        for (const Attributed& entry : checked_) {
            const int index = entry.listed.index;
            checks.push_back(as_invariant_.contains(index) ? Check::invariant(index, *invariant_of(entry.listed))
                                                           : Check::listed(index));
        }
    } else if (stage == Stage::recheck) {
        for (const int index : recheck_) checks.push_back(Check::listed(index));
    } else {
        for (const auto& [index, verdict] : verdicts_)
            if (verdict.verdict == Verdict::fails) checks.push_back(Check::listed(index));
    }
    return checks;
}

// With --traces the traces stage gives the counterexamples; else, unless
// --no-counterexamples, each stage that finds a verdict false.
bool CheckerRun::asks_for_counterexamples(Stage stage) const {
    if (stage == Stage::traces) return true;
    return setup_->counterexamples && !setup_->traces && stage != Stage::listing;
}

void CheckerRun::start_stage(Stage stage, Clock::time_point now) {
    stage_ = stage;
    stage_started_ = now;
    stop_sent_.reset();
    // The checker runs in the private folder and is given names there that
    // its command reader and its options take as they are.
    const std::string model = "./" + model_file_;
    ChildCommand child{setup_->program, {}, stage_path(".out"), stage_path(".err"), setup_->folder};
    if (stage == Stage::listing) {
        child.args.push_back("-lp");
        child.args.insert(child.args.end(), setup_->options.begin(), setup_->options.end());
        child.args.push_back(model);
    } else {
        child.args = setup_->reference_checks ? reference_options : fast_options;
        // Counterexamples are what -dcx leaves out.
        if (asks_for_counterexamples(stage)) std::erase(child.args, "-dcx");
        const std::string script = stage_file(stage, ".script");
        write_whole_file(setup_->in_folder(script),
                         verdict_script(model, stage_checks(stage), stage == Stage::verdicts && !setup_->reference_checks));
        child.args.insert(child.args.end(), setup_->options.begin(), setup_->options.end());
        child.args.push_back("-source");
        child.args.push_back("./" + script);
    }
    pid_ = launcher_->start(child);
}

// What NuSMV said, about the model's lines, or how it ended.
std::string CheckerRun::how_it_ended(const ChildEnd& end, const std::string& model) const {
    const std::string said = read_error(CheckerFile(stage_path(".err")).source());
    if (said.empty()) return how_the_checker_ended(end);
    return with_model_named(said, model_file_, model);
}

bool CheckerRun::start(const Translation& translation, Results& results, Clock::time_point now) {
    model_file_ = translation.file;
    for (const GivenWarning& given : translation.warnings) {
        if (given.kind != "process beyond N") continue;
        const std::string why = "line " + std::to_string(given.line) + ": " + given.message;
        const auto& properties = translation.named.properties;
        const auto property = std::find_if(properties.begin(), properties.end(), [&](const NamedProperty& each) {
            return each.keyword_line <= given.line && given.line <= each.last_line;
        });
        // Elsewhere than in a property, NuSMV rejects the whole model; a
        // FORALL without instances at this N states nothing NuSMV reads.
        if (property == properties.end()) return fail(results.runs[column_], Outcome::error, why);
        if (!property->stand_in) reject(*property, why, translation);
    }
    if (!rejected_.empty()) write_without_rejected(translation);
    start_stage(Stage::listing, now);
    return true;
}

void CheckerRun::reject(const NamedProperty& property, const std::string& why, const Translation& translation) {
    rejected_.emplace(property.line, why);
    for (const NamedProperty& other : translation.named.properties)
        if (other.line != property.line && other.keyword_line <= property.last_line &&
            property.keyword_line <= other.last_line)
            rejected_.emplace(other.line, "line " + std::to_string(other.line) + ": left out with the property of line " +
                                              std::to_string(property.line) + ", which shares its lines");
}

// The property that NuSMV's complaint is about, by its line: NuSMV prints
// the formula as it read it, with the line of the formula, or for a name it
// does not know with the line of the first property's keyword in the
// module. The property is the first from that line on whose formula reads
// every name NuSMV printed; without a formula, the one at that line.
const NamedProperty* CheckerRun::complained_of(const std::string& said, const Translation& translation) const {
    static const std::regex at_line(R"(line ([0-9]+) ?:)");
    static const std::regex formula(R"(Property \"([^\"]*)\")");
    std::smatch line;
    if (said.find("Property") == std::string::npos || !std::regex_search(said, line, at_line)) return nullptr;
    std::size_t number = 0;
    const std::string digits = line[1].str();
    if (std::from_chars(digits.data(), digits.data() + digits.size(), number).ec != std::errc()) return nullptr;
    std::smatch printed;
    const bool has_formula = std::regex_search(said, printed, formula);
    std::set<std::string> names;
    if (has_formula) for_each_identifier(printed[1].str(), [&](std::string_view name) { names.emplace(name); });
    for (const NamedProperty& property : translation.named.properties) {
        if (property.stand_in || rejected_.contains(property.line) || property.last_line < number) continue;
        if (has_formula ? std::includes(property.names.begin(), property.names.end(), names.begin(), names.end())
                        : property.keyword_line <= number)
            return &property;
    }
    return nullptr;
}

// The translation with the lines of each rejected property left blank, so
// that NuSMV names the lines of the others as before.
void CheckerRun::write_without_rejected(const Translation& translation) {
    std::vector<std::pair<std::size_t, std::size_t>> blanked;
    for (const NamedProperty& property : translation.named.properties)
        if (rejected_.contains(property.line)) blanked.emplace_back(property.keyword_line, property.last_line);
    model_file_ = stage_file(Stage::listing, ".without-rejected.smv");
    CheckerFile original(setup_->in_folder(translation.file));
    LineReader lines(original.source());
    const std::string path = setup_->in_folder(model_file_);
    OutputFile file = OutputFile::create(path, textops::printable(path));
    FileSink sink(file.fd(), "'" + textops::printable(path) + "'");
    OutputBuffer out(sink);
    std::size_t model_line = 0;
    for (std::string_view line; lines.next_line(line);) {
        if (const std::optional<std::size_t> marked = marker_line(line)) {
            model_line = *marked;
            out.put(line);
            continue;
        }
        const bool left_out = std::any_of(blanked.begin(), blanked.end(), [&](const auto& range) {
            return range.first <= model_line && model_line <= range.second;
        });
        ++model_line;
        out.put(left_out ? "\n" : line);
    }
    out.flush();
    file.commit();
}

bool CheckerRun::finish_stage(const ChildEnd& end, const Translation& translation, Results& results,
                              Clock::time_point now) {
    Run& run = results.runs[column_];
    run.max_rss_kb = std::max(run.max_rss_kb.value_or(0), end.max_rss_kb);
    if (stage_ == Stage::listing) return finish_listing(end, translation, results, now);
    if (stage_ == Stage::verdicts) return finish_verdicts(end, translation, results, now);
    return finish_again(end, translation, results);
}

bool CheckerRun::finish_listing(const ChildEnd& end, const Translation& translation, Results& results,
                                Clock::time_point now) {
    Run& run = results.runs[column_];
    if (results.checker_version.empty())
        results.checker_version = read_version(CheckerFile(stage_path(".out")).source())
                                      .value_or(read_version(CheckerFile(stage_path(".err")).source()).value_or(""));
    if (stop_sent_)
        return fail(run, Outcome::timeout,
                    "the checker did not list the properties within " + seconds_text(*setup_->timeout_seconds) + " s");
    if (end.exit_status != 0) {
        const std::string said = how_it_ended(end, results.model);
        // One property that NuSMV cannot take costs the others nothing.
        if (const NamedProperty* property = complained_of(said, translation)) {
            // NuSMV's first line, without the line it names, which may be another's.
            static const std::regex where(R"( ?file .*: line [0-9]+ ?: ?)");
            std::string complaint = std::regex_replace(said.substr(0, said.find('\n')), where, ": ");
            if (complaint.starts_with(": ")) complaint.erase(0, 2);
            reject(*property, "line " + std::to_string(property->line) + ": NuSMV rejects the property: " + complaint,
                   translation);
            write_without_rejected(translation);
            start_stage(Stage::listing, now);
            return true;
        }
        return fail(run, Outcome::error, said);
    }
    std::vector<ListedProperty> listing;
    try {
        // NuSMV lists each property with its formula once: a listing is
        // not much larger than the translation.
        listing = read_listing(CheckerFile(stage_path(".out")).source(), 4 * translation.bytes + (std::size_t{1} << 20));
    } catch (const UnreadableOutput& error) {
        return fail(run, Outcome::error, error.what());
    }
    std::set<std::size_t> left_out;
    for (std::size_t i = 0; i < translation.named.properties.size(); ++i)
        if (rejected_.contains(translation.named.properties[i].line)) left_out.insert(i);
    Attribution attribution = attribute(translation.named, listing, left_out);
    if (attribution.problem) return fail(run, Outcome::error, *attribution.problem);
    listed_ = true;
    untold_ = std::move(attribution.untold);
    checked_ = std::move(attribution.entries);
    choose_checked(translation, results);
    if (checked_.empty()) return false;
    start_stage(Stage::verdicts, now);
    return true;
}

// Of the properties listed, those checked: with --symmetric, processes 1
// and 2 stand for all, for a FORALL over one or two. Each AG of a state
// formula is checked as an invariant, unless with --reference-checks.
void CheckerRun::choose_checked(const Translation& translation, Results& results) {
    std::erase_if(checked_, [&](const Attributed& entry) {
        const NamedProperty& property = translation.named.properties[entry.property];
        if (property.stand_in) return true;
        const bool beyond_1_and_2 =
            property.processes && std::any_of(property.processes->begin(), property.processes->end(),
                                              [](int process) { return process > 2; });
        if (setup_->symmetric && property.processes && property.processes->size() > 2)
            add_note(results, "line " + std::to_string(property.line) + ": a FORALL over " +
                                  std::to_string(property.processes->size()) +
                                  " processes is checked for every tuple: --symmetric leaves out processes other "
                                  "than 1 and 2 only for one or two");
        return setup_->symmetric && beyond_1_and_2 && property.processes->size() <= 2;
    });
    if (setup_->reference_checks) return;
    for (const Attributed& entry : checked_)
        if (invariant_of(entry.listed)) as_invariant_.insert(entry.listed.index);
}

bool CheckerRun::finish_verdicts(const ChildEnd& end, const Translation& translation, Results& results,
                                 Clock::time_point now) {
    Run& run = results.runs[column_];
    VerdictsRead read = read_verdicts(CheckerFile(stage_path(".out")).source(), false);
    verdicts_ = by_index(std::move(read.verdicts));
    run.states = read.states;
    keep_counterexamples(verdicts_, translation);
    if (stop_sent_) return fail(run, Outcome::timeout, setup_->why_stopped(out_of_budget_));
    const std::size_t missing = static_cast<std::size_t>(std::count_if(
        checked_.begin(), checked_.end(), [&](const Attributed& entry) { return !verdicts_.contains(entry.listed.index); }));
    if (end.exit_status != 0 || missing > 0)
        return fail(run, Outcome::error,
                    how_it_ended(end, results.model) +
                        (missing > 0 ? " (no verdict for " + std::to_string(missing) + " of the properties)" : ""));
    for (const int index : as_invariant_)
        if (verdicts_.at(index).verdict == Verdict::fails) recheck_.push_back(index);
    const bool some_false = std::any_of(verdicts_.begin(), verdicts_.end(),
                                        [](const auto& each) { return each.second.verdict == Verdict::fails; });
    // The counterexamples' run checks the invariants again as CTL too.
    if (setup_->traces && some_false) start_stage(Stage::traces, now);
    else if (!recheck_.empty()) start_stage(Stage::recheck, now);
    else return false;
    return true;
}

// An invariant found false is no verdict until the CTL checker, which
// keeps to the fair paths, says so.
bool CheckerRun::finish_again(const ChildEnd& end, const Translation& translation, Results& results) {
    Run& run = results.runs[column_];
    std::map<int, CheckerVerdict> again =
        by_index(read_verdicts(CheckerFile(stage_path(".out")).source(), stage_ == Stage::traces).verdicts);
    for (const int index : recheck_) {
        if (const auto found = again.find(index); found != again.end()) verdicts_[index] = found->second;
        else verdicts_.erase(index);
    }
    keep_counterexamples(again, translation);
    if (stage_ == Stage::traces) {
        for (auto& [index, verdict] : again)
            if (verdict.verdict == Verdict::fails) traced_.emplace(index, std::move(verdict));
    }
    if (stop_sent_) return fail(run, Outcome::timeout, setup_->why_stopped(out_of_budget_));
    if (stage_ == Stage::recheck && (end.exit_status != 0 || again.size() < recheck_.size()))
        return fail(run, Outcome::error, how_it_ended(end, results.model));
    return false;
}

// Of the verdicts the current stage found false, that of the first instance
// of each property, in the order checked, for the properties that have no
// counterexample yet. The invariant checker's counterexamples may be unfair:
// those come from the stage that checks them again.
void CheckerRun::keep_counterexamples(const std::map<int, CheckerVerdict>& found, const Translation& translation) {
    if (!setup_->counterexamples || !asks_for_counterexamples(stage_)) return;
    std::vector<std::pair<const Attributed*, const CheckerVerdict*>> wanted;
    std::set<std::size_t> lines;
    for (const Attributed& entry : checked_) {
        const auto verdict = found.find(entry.listed.index);
        if (verdict == found.end() || verdict->second.verdict != Verdict::fails) continue;
        if (stage_ == Stage::verdicts && as_invariant_.contains(entry.listed.index)) continue;
        const std::size_t line = translation.named.properties[entry.property].line;
        if (!counterexamples_.contains(line) && lines.insert(line).second) wanted.emplace_back(&entry, &verdict->second);
    }
    // The output is read once, from its start on.
    std::sort(wanted.begin(), wanted.end(),
              [](const auto& a, const auto& b) { return a.second->text_start < b.second->text_start; });
    CheckerFile output(stage_path(".out"));
    OutputCopier copier(output.source());
    for (const auto& [entry, verdict] : wanted) {
        Trace trace = read_trace_of(copier, *verdict);
        if (trace.steps.empty()) continue;
        const NamedProperty& property = translation.named.properties[entry->property];
        counterexamples_[property.line] =
            Counterexample{n_, property.line, property.processes,
                           entry->path.empty() ? std::nullopt : std::optional(instance_as_in_model(entry->path)),
                           std::move(trace)};
    }
}

void CheckerRun::stop_if_late(bool budget_spent, Clock::time_point now) {
    const bool late = setup_->timeout_seconds &&
                      now - stage_started_ > std::chrono::duration<double>(*setup_->timeout_seconds);
    if (!stop_sent_ && (late || budget_spent)) out_of_budget_ = !late;
    check::stop_if_late(*launcher_, pid_, late || budget_spent, stop_sent_, now);
}

void CheckerRun::record_verdicts(const Translation& translation, Results& results) const {
    const Run& run = results.runs[column_];
    const Verdict missing = verdict_missing_in(run.outcome);
    for (const NamedProperty& property : translation.named.properties)
        if (!property.stand_in && rejected_.contains(property.line))
            results.verdicts.push_back(
                {n_, property.line, property.processes, std::nullopt, Verdict::error, std::nullopt, std::nullopt});
    for (const auto& [line, why] : rejected_) add_note(results, why);
    if (!listed_) {
        for (const NamedProperty& property : translation.named.properties)
            if (!property.stand_in && !rejected_.contains(property.line))
                results.verdicts.push_back(
                    {n_, property.line, property.processes, std::nullopt, missing, std::nullopt, std::nullopt});
        return;
    }
    for (const Attributed& entry : checked_) {
        const NamedProperty& property = translation.named.properties[entry.property];
        InstanceVerdict each{n_, property.line, property.processes, std::nullopt, missing, std::nullopt, std::nullopt};
        if (!entry.path.empty()) each.instance = instance_as_in_model(entry.path);
        if (const auto found = verdicts_.find(entry.listed.index); found != verdicts_.end()) {
            each.verdict = found->second.verdict;
            each.value = found->second.value;
        }
        if (const auto trace = traces_.find(entry.listed.index); trace != traces_.end()) each.trace = trace->second;
        results.verdicts.push_back(std::move(each));
    }
    for (const auto& [line, counterexample] : counterexamples_) results.counterexamples.push_back(counterexample);
    for (const std::size_t untold : untold_) {
        const NamedProperty& property = translation.named.properties[untold];
        results.verdicts.push_back({n_, property.line, std::nullopt, std::nullopt, Verdict::error, std::nullopt, std::nullopt});
        add_note(results, "line " + std::to_string(property.line) +
                              ": no verdict: NuSMV gives PSL properties no names, and module " + property.module +
                              " has several; write them as LTLSPEC or CTLSPEC");
    }
}

}  // namespace ruvello::check
