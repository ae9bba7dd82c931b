#include "check/trace_table.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <stdexcept>
#include <utility>

#include "check/checker.h"
#include "textops/textops.h"

namespace ruvello::check {

namespace {

// What a trace is read for at most: more is no trace a person reads.
constexpr std::size_t most_steps = 10'000;
constexpr std::size_t most_columns = 400;
constexpr std::size_t longest_text = 120;  // of a name or a value
constexpr std::size_t widest_cell = 20;

// A name or value of the checker's output as it may be kept and shown:
// control characters escaped, other bytes than ASCII as '?', cut short.
std::string cleaned(std::string_view text) {
    std::string shown = textops::printable(text.substr(0, longest_text + 1));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    if (shown.size() > longest_text) shown = shown.substr(0, longest_text - 3) + "...";
    return shown;
}

std::optional<int> whole_number(std::string_view digits) {
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value < 0) return std::nullopt;
    return value;
}

// The process of a process's instance NK_c.
int process_of_instance(std::string_view instance) {
    return whole_number(instance.substr(1, instance.find('_') - 1)).value_or(0);
}

// Where a variable of the trace goes: a column of a process's variable, x[K]
// or a variable of its instance (c[K].y), or a shared one.
struct Place {
    std::string column;
    std::string group;  // the columns of one variable of every process: x[], c[].y
    std::optional<int> process;
};

// The place of a variable as the trace names it; nothing for the
// scheduler's own (running, _process_selector_) and the translation's N.
std::optional<Place> place_of(std::string_view name) {
    const std::string_view last = name.substr(name.rfind('.') + 1);
    if (name == "_process_selector_" || last == "running" || last == "N") return std::nullopt;
    const std::string_view first = name.substr(0, name.find('.'));
    if (names_process_instance(first)) {
        const int process = process_of_instance(first);
        std::string column = instance_as_in_model(name);
        std::string group = column;
        group.erase(group.find('[') + 1, std::to_string(process).size());
        return Place{std::move(column), std::move(group), process};
    }
    if (const std::size_t open = name.find('['); open != std::string_view::npos && name.back() == ']')
        if (const auto process = whole_number(name.substr(open + 1, name.size() - open - 2)); process && *process > 0)
            return Place{std::string(name), std::string(name.substr(0, open)) + "[]", *process};
    return Place{std::string(name), {}, std::nullopt};
}

class TraceReader {
public:
    // Reads one line; false at the first line after the trace.
    bool read(std::string_view line) {
        if (line.starts_with("-> State:")) return start_state();
        if (!in_trace_) return true;
        if (line.starts_with("-> Input:")) {
            in_input_ = true;
            return true;
        }
        if (line == "-- Loop starts here") {
            loop_next_ = true;
            return true;
        }
        const std::size_t equals = line.find(" = ");
        if (equals == std::string_view::npos || line.starts_with("--")) return false;
        assign(line.substr(0, equals), line.substr(equals + 3));
        return true;
    }

    Trace finish() && {
        // Each process's columns by variable, then by process; then the shared ones.
        std::stable_sort(places_.begin(), places_.end(), [&](const Place& a, const Place& b) {
            if (a.process.has_value() != b.process.has_value()) return a.process.has_value();
            if (!a.process) return false;
            if (a.group != b.group) return group_order_.at(a.group) < group_order_.at(b.group);
            return *a.process < *b.process;
        });
        for (const Place& place : places_) trace_.columns.push_back(place.column);
        return std::move(trace_);
    }

private:
    bool start_state() {
        if (trace_.steps.size() == most_steps) {
            trace_.cut_short = true;
            return false;
        }
        TraceStep step;
        if (in_trace_ && in_input_ && names_process_instance(selector_)) {
            step.instance = instance_as_in_model(selector_);
            step.process = process_of_instance(selector_);
        }
        if (loop_next_) trace_.loop_at = trace_.steps.size();
        trace_.steps.push_back(std::move(step));
        in_trace_ = true;
        in_input_ = loop_next_ = false;
        return true;
    }

    void assign(std::string_view name, std::string_view value) {
        if (in_input_) {
            if (name == "_process_selector_") selector_ = value.substr(0, longest_text);
            return;
        }
        const std::optional<Place> place = place_of(cleaned(name));
        if (!place) return;
        if (!values_.contains(place->column)) {
            if (places_.size() == most_columns) {
                trace_.cut_short = true;
                return;
            }
            group_order_.emplace(place->group, group_order_.size());
            places_.push_back(*place);
        }
        std::string shown = cleaned(value);
        const auto [current, added] = values_.try_emplace(place->column, shown);
        if (!added && current->second == shown) return;
        current->second = shown;
        trace_.steps.back().changes[current->first] = std::move(shown);
    }

    Trace trace_;
    bool in_trace_ = false, in_input_ = false, loop_next_ = false;
    std::string selector_;  // NuSMV prints it only when it changes
    std::vector<Place> places_;
    std::map<std::string, std::size_t> group_order_;
    std::map<std::string, std::string> values_;  // by column, as of the last state read
};

// A cell: its text, cut to a width a table can hold.
std::string cell(const std::string& text) {
    return text.size() <= widest_cell ? text : text.substr(0, widest_cell - 3) + "...";
}

class TableWriter {
public:
    explicit TableWriter(const Trace& trace) : trace_(trace) {
        widths_.push_back(std::string("step").size());
        widths_.push_back(std::string("moved").size());
        for (const std::string& column : trace.columns) widths_.push_back(cell(column).size());
        for (const TraceStep& step : trace.steps) {
            widths_[1] = std::max(widths_[1], cell(step.instance.value_or("")).size());
            for (std::size_t c = 0; c < trace.columns.size(); ++c)
                if (const auto value = step.changes.find(trace.columns[c]); value != step.changes.end())
                    widths_[c + 2] = std::max(widths_[c + 2], cell(value->second).size());
        }
    }

    void row(const std::vector<std::string>& cells) {
        std::string line = "  ";
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const std::string text = cell(cells[c]);
            if (c == 0) line += std::string(widths_[0] - text.size(), ' ') + text;
            else line += "  " + text + std::string(widths_[c] - text.size(), ' ');
        }
        while (line.ends_with(' ')) line.pop_back();
        text_ += line + "\n";
    }

    // Step `s`: what changed in it, or with `whole`, every value it holds.
    void step(std::size_t s, bool whole) {
        const TraceStep& step = trace_.steps[s];
        if (trace_.loop_at == s)
            text_ += "  -- the loop starts here: steps " + std::to_string(s) + " to " +
                     std::to_string(trace_.steps.size() - 1) + " repeat forever\n";
        for (const auto& [column, value] : step.changes) values_[column] = value;
        std::vector<std::string> cells{std::to_string(s), step.instance.value_or("")};
        for (const std::string& column : trace_.columns) {
            const auto& shown = whole ? values_ : step.changes;
            const auto value = shown.find(column);
            cells.push_back(value == shown.end() ? "" : value->second);
        }
        row(cells);
    }

    // Steps [from, to) left out, but for what they change.
    void skip(std::size_t from, std::size_t to) {
        for (std::size_t s = from; s < to; ++s)
            for (const auto& [column, value] : trace_.steps[s].changes) values_[column] = value;
        std::string line = "  ... " + std::to_string(to - from) + " steps left out (" + std::to_string(from) +
                           " to " + std::to_string(to - 1);
        if (trace_.loop_at && *trace_.loop_at >= from && *trace_.loop_at < to)
            line += "; the loop starts at step " + std::to_string(*trace_.loop_at) + " and repeats to the last";
        text_ += line + ")\n";
    }

    std::string text() && { return std::move(text_); }

private:
    const Trace& trace_;
    std::vector<std::size_t> widths_;
    std::map<std::string, std::string> values_;  // as of the last step written or skipped
    std::string text_;
};

}  // namespace

Trace read_trace(std::string_view text) {
    TraceReader reader;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = textops::ltrim(text.substr(start, end - start));
        while (!line.empty() && (line.back() == '\r' || textops::is_blank(line.back()))) line.remove_suffix(1);
        if (!reader.read(line)) break;
        start = end + 1;
    }
    return std::move(reader).finish();
}

Trace read_trace_of(OutputCopier& copier, const CheckerVerdict& verdict) {
    constexpr std::uint64_t most = std::uint64_t{1} << 20;
    StringSink text;
    copier.copy(verdict.text_start, std::min(verdict.text_end, verdict.text_start + most), text);
    return read_trace(text.text());
}

std::string trace_table(const Trace& trace, std::size_t rows) {
    if (trace.steps.empty()) return "  (the counterexample has no steps)\n";
    TableWriter table(trace);
    std::vector<std::string> header{"step", "moved"};
    header.insert(header.end(), trace.columns.begin(), trace.columns.end());
    table.row(header);
    rows = std::max<std::size_t>(rows, 2);
    const std::size_t count = trace.steps.size();
    const std::size_t head = count <= rows ? count : rows / 2;
    const std::size_t tail = count <= rows ? count : count - (rows - head);
    for (std::size_t s = 0; s < head; ++s) table.step(s, s == 0);
    if (tail > head) table.skip(head, tail);
    for (std::size_t s = std::max(tail, head); s < count; ++s) table.step(s, s == tail && tail > head);
    std::string text = std::move(table).text();
    if (trace.cut_short) text += "  (the counterexample is longer, or wider, than is read of it)\n";
    return text;
}

nlohmann::json trace_json(const Trace& trace) {
    nlohmann::json steps = nlohmann::json::array();
    for (const TraceStep& step : trace.steps) {
        nlohmann::json process = nullptr, instance = nullptr;
        if (step.process) process = *step.process;
        if (step.instance) instance = *step.instance;
        steps.push_back({{"process", process}, {"instance", instance}, {"changes", step.changes}});
    }
    nlohmann::json loop_at = nullptr;
    if (trace.loop_at) loop_at = *trace.loop_at;
    return {{"columns", trace.columns}, {"steps", std::move(steps)}, {"loop_at", loop_at}, {"cut_short", trace.cut_short}};
}

Trace trace_from_json(const nlohmann::json& value, int n) {
    const auto refuse = [](const std::string& part, const std::string& why) {
        throw std::invalid_argument(part + ": " + why);
    };
    const auto member = [&](const nlohmann::json& object, const std::string& part, const char* key) -> const nlohmann::json& {
        if (!object.is_object()) refuse(part, "not an object");
        const auto found = object.find(key);
        if (found == object.end()) refuse(part + "." + key, "missing");
        return *found;
    };
    const auto text = [&](const nlohmann::json& each, const std::string& part) {
        if (!each.is_string()) refuse(part, "not a text");
        return cleaned(each.get_ref<const std::string&>());
    };
    Trace trace;
    const nlohmann::json& columns = member(value, "", "columns");
    if (!columns.is_array() || columns.size() > most_columns) refuse(".columns", "not a list of at most 400 names");
    for (std::size_t c = 0; c < columns.size(); ++c) trace.columns.push_back(text(columns[c], ".columns[" + std::to_string(c) + "]"));
    const std::set<std::string> known(trace.columns.begin(), trace.columns.end());
    const nlohmann::json& steps = member(value, "", "steps");
    if (!steps.is_array() || steps.size() > most_steps) refuse(".steps", "not a list of at most 10000 steps");
    for (std::size_t s = 0; s < steps.size(); ++s) {
        const std::string part = ".steps[" + std::to_string(s) + "]";
        TraceStep& step = trace.steps.emplace_back();
        if (const nlohmann::json& process = member(steps[s], part, "process"); !process.is_null()) {
            if (!process.is_number_integer() || process.get<long long>() < 1 || process.get<long long>() > n)
                refuse(part + ".process", "not a process of 1 .. " + std::to_string(n));
            step.process = process.get<int>();
        }
        if (const nlohmann::json& instance = member(steps[s], part, "instance"); !instance.is_null())
            step.instance = text(instance, part + ".instance");
        const nlohmann::json& changes = member(steps[s], part, "changes");
        if (!changes.is_object()) refuse(part + ".changes", "not an object");
        for (const auto& [column, changed] : changes.items()) {
            const std::string name = cleaned(column);
            if (!known.contains(name)) refuse(part + ".changes", "'" + name + "' is none of the columns");
            step.changes[name] = text(changed, part + ".changes." + name);
        }
    }
    if (const nlohmann::json& loop_at = member(value, "", "loop_at"); !loop_at.is_null()) {
        if (!loop_at.is_number_integer() || loop_at.get<long long>() < 0 ||
            loop_at.get<unsigned long long>() >= trace.steps.size())
            refuse(".loop_at", "not a step of the trace");
        trace.loop_at = loop_at.get<std::size_t>();
    }
    const nlohmann::json& cut_short = member(value, "", "cut_short");
    if (!cut_short.is_boolean()) refuse(".cut_short", "not true or false");
    trace.cut_short = cut_short.get<bool>();
    return trace;
}

}  // namespace ruvello::check
