// Properties of SPEC sections.
//
// A line with FORALL and a parameter list quantifies its formula over one
// parameter, written for processes 1 and 2, or over two, written for the
// pairs (1, 2) and (2, 1). Only bracketed uses of a parameter, as in s[i],
// are instantiated. Each instance becomes an AG property, and a SPEC line
// separates the instances.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>

#include "textops/textops.h"
#include "translate/translator.h"

namespace ruvello {

namespace {

// The parameter list is the text after the first '(' that follows the
// line's leading '(' characters (and after any '(' right behind that one),
// up to the next '(' or the end of the line; ')' characters at its very
// start belong to it, and after them it ends at the first ')'.
std::optional<std::string_view> parameter_list(std::string_view line) {
    const std::size_t text = line.find_first_not_of('(');
    if (text == std::string_view::npos) return std::nullopt;
    const std::size_t open = textops::find(line, '(', text);
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t start = line.find_first_not_of('(', open);
    if (start == std::string_view::npos) return std::nullopt;
    std::string_view list = line.substr(start);
    list = list.substr(0, textops::find(list, '('));
    const std::size_t body = list.find_first_not_of(')');
    if (body != std::string_view::npos) list = list.substr(0, textops::find(list, ')', body));
    return list;
}

// Pieces of the list between commas; empty pieces do not count, a piece of
// blanks does.
std::size_t count_parameters(std::string_view list) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] != ',' && (i == 0 || list[i - 1] == ',')) ++count;
    return count;
}

std::string_view trimmed(std::string_view text) { return textops::rtrim(textops::ltrim(text)); }

constexpr Quantifier one_parameter{')', "\tAG "};
constexpr Quantifier several_parameters{'>', "\tAG ("};

const Quantifier& quantifier_for(std::size_t count) {
    return count == 1 ? one_parameter : several_parameters;
}

std::optional<std::string_view> formula(std::string_view instance, const Quantifier& quantifier) {
    const std::size_t at = textops::find(instance, quantifier.formula_after);
    if (at == std::string_view::npos) return std::nullopt;
    return textops::ltrim(instance.substr(at + 1));
}

// Why a FORALL line cannot be translated, with the kind of its warning, or
// nothing when it can. Too few processes for a tuple is a kind of its own:
// the property has nothing to state at that N, and is not lost.
struct Untranslatable {
    std::string_view kind;
    std::string reason;
};
std::optional<Untranslatable> unsupported(const std::optional<std::string_view>& list,
                                          std::size_t count, const TranslationSettings& settings) {
    constexpr std::string_view not_translated = "property not translated";
    if (!list) return Untranslatable{not_translated, "FORALL without a parameter list"};
    if (count == 0) return Untranslatable{not_translated, "FORALL with no parameter names"};
    if (count > 2 && !settings.all_instances)
        return Untranslatable{not_translated, "FORALL over " + std::to_string(count) +
                                                  " parameters (at most 2 are supported without --all-instances)"};
    if (settings.all_instances && static_cast<std::int64_t>(count) > settings.process_count)
        return Untranslatable{"too few processes for FORALL",
                              "FORALL over " + std::to_string(count) + " parameters has no instance with N = " +
                                  std::to_string(settings.process_count) + ", which has fewer processes"};
    return std::nullopt;
}

// The line with each parameter's bracketed uses replaced by the bracketed
// number of its process, `instance` as the result. The replacements are
// made one after another, for the parameter of the smallest process first:
// a parameter named like a process number also meets the uses that an
// earlier replacement made.
void instantiate(std::string_view line, const std::vector<std::string>& names,
                 const std::vector<int>& processes, std::string& instance, std::string& scratch) {
    std::string_view text = line;
    int last = 0;  // the process replaced last; the processes are distinct and positive
    for (std::size_t step = 0; step < processes.size(); ++step) {
        std::size_t k = processes.size();
        for (std::size_t j = 0; j < processes.size(); ++j)
            if (processes[j] > last && (k == processes.size() || processes[j] < processes[k]))
                k = j;
        last = processes[k];
        textops::assign_replaced(scratch, text, names[k], ProcessNumber(last).bracketed());
        instance.swap(scratch);
        text = instance;
    }
}

std::string_view unbracketed(std::string_view name) { return name.substr(1, name.size() - 2); }

// Whether the parameter names let an instance be written as the line's
// formula is read: none holds a bracket or the character that ends what is
// dropped, none is a process number, and no two are the same. Then an
// instance's first such character is the line's, and replacing the
// bracketed uses of all parameters at once gives what replacing them one
// after another does: a replacement makes no use of another parameter.
bool plain_names(const ParameterNames& parameters, char formula_after) {
    if (parameters.has_duplicates()) return false;
    for (const std::string& parameter : parameters.bracketed()) {
        const std::string_view name = unbracketed(parameter);
        if (name.find_first_of("[]") != std::string_view::npos ||
            name.find(formula_after) != std::string_view::npos ||
            (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
                 return std::isdigit(static_cast<unsigned char>(c));
             })))
            return false;
    }
    return true;
}

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)); }

}  // namespace

void ParameterNames::assign(std::string_view list, std::size_t count) {
    list_.assign(list);
    bracketed_.resize(count);
    by_name_.clear();
    first_bytes_.reset();
    has_duplicates_ = has_closing_bracket_ = false;
    std::size_t end = count == 1 ? list.size() : textops::find(list, ',', list.find_first_not_of(','));
    std::string_view name = list.substr(0, end);
    for (std::size_t k = 0;;) {
        std::string& bracketed = bracketed_[k];
        bracketed.assign("[");
        bracketed += trimmed(name);
        bracketed += ']';
        has_closing_bracket_ |= unbracketed(bracketed).find(']') != std::string_view::npos;
        if (bracketed.size() > 2) first_bytes_.set(static_cast<unsigned char>(bracketed[1]));
        if (++k == count) break;
        const std::size_t start = list.find_first_not_of(',', end);
        end = textops::find(list, ',', start);
        name = list.substr(start, end - start);
    }
    if (count <= looked_up_beyond) {
        for (std::size_t k = 1; k < count && !has_duplicates_; ++k)
            has_duplicates_ = std::find(bracketed_.begin(), bracketed_.begin() + k,
                                        bracketed_[k]) != bracketed_.begin() + k;
    } else {
        for (std::size_t k = 0; k < count; ++k)
            has_duplicates_ |= !by_name_.emplace(unbracketed(bracketed_[k]), k).second;
    }
    plain_ = plain_names(*this, quantifier_for(count).formula_after);
}

std::optional<std::size_t> ParameterNames::bracketed_at(std::string_view text) const {
    if (text.empty() || text.front() != '[') return std::nullopt;
    if (by_name_.empty() || has_closing_bracket_) {
        for (std::size_t k = 0; k < bracketed_.size(); ++k)
            if (textops::holds_at(text, 0, bracketed_[k])) return k;
        return std::nullopt;
    }
    // No name holds ']': a bracketed name runs to the first one.
    const std::size_t close = textops::find(text, ']');
    if (close == std::string_view::npos) return std::nullopt;
    return named(text.substr(1, close - 1));
}

std::optional<std::size_t> ParameterNames::named_as_first_bytes_allow(std::string_view name) const {
    if (by_name_.empty()) {
        for (std::size_t k = 0; k < bracketed_.size(); ++k)
            if (const std::string_view own = unbracketed(bracketed_[k]);
                own.size() == name.size() && textops::holds_at(own, 0, name))
                return k;
        return std::nullopt;
    }
    const auto found = by_name_.find(name);
    if (found == by_name_.end()) return std::nullopt;
    return found->second;
}

void ProcessTuples::reset(std::size_t size, int processes) {
    processes_ = processes;
    tuple_.resize(size);
    std::iota(tuple_.begin(), tuple_.end(), 1);
    used_.clear();
    if (size <= looked_through_up_to) return;
    used_.assign(static_cast<std::size_t>(processes) + 1, false);
    for (const int process : tuple_) used_[process] = true;
}

bool ProcessTuples::used_before(int process, std::size_t k) const {
    if (used_.empty()) return std::find(tuple_.begin(), tuple_.begin() + k, process) != tuple_.begin() + k;
    return used_[process];
}

void ProcessTuples::take(std::size_t k, int process) {
    tuple_[k] = process;
    if (!used_.empty()) used_[process] = true;
}

// The last position that can take a larger process unused before it does,
// and every position after it starts again from the smallest.
bool ProcessTuples::next() {
    for (std::size_t k = tuple_.size(); k-- > 0;) {
        if (!used_.empty()) used_[tuple_[k]] = false;
        for (int candidate = tuple_[k] + 1; candidate <= processes_; ++candidate) {
            if (used_before(candidate, k)) continue;
            take(k, candidate);
            fill_after(k);
            return true;
        }
    }
    return false;
}

void ProcessTuples::fill_after(std::size_t k) {
    int process = 1;
    for (std::size_t j = k + 1; j < tuple_.size(); ++j) {
        while (used_before(process, j)) ++process;
        take(j, process);
    }
}

void Translator::translate_property(std::string_view line) {
    const std::string_view words = textops::ltrim(line);
    // Past its blanks, a line is code unless it is empty or starts a comment.
    const bool is_code = !words.empty() && words.front() != '\n' && !words.starts_with("--") &&
                         (words.front() != '\r' || has_code(words));
    const std::size_t forall_at = textops::find(line, "FORALL");
    const bool forall = forall_at != std::string_view::npos;
    if (is_code) {
        note_property_start(words, forall);
        // A FORALL line that was not translated leaves the header without a
        // property unless a line with one follows: this one, unless it is
        // not translated either.
        if (!forall) give_dropped_forall_warning(false);
    }
    if (!forall) {
        check_copied_code(line, input_.line_number(), {});
        put_line(line);
        return;
    }
    const std::optional<std::string_view> list = parameter_list(line);
    const std::size_t count = list ? count_parameters(*list) : 0;
    check_forall_word(line, forall_at);
    if (const std::optional<Untranslatable> why = unsupported(list, count, settings_)) {
        drop_forall(why->kind, why->reason);
        return;
    }
    // The FORALL lines of a model mostly repeat one or two lists.
    if (!parameters().taken_from(*list, count)) {
        latest_parameters_ ^= 1;
        if (!parameters().taken_from(*list, count)) parameters().assign(*list, count);
    }
    const Quantifier& quantifier = quantifier_for(count);
    const int processes = settings_.all_instances ? settings_.process_count : 2;
    const bool plain = parameters().plain();
    const std::optional<std::string_view> body = formula(line, quantifier);
    if (!body || (!plain && !every_instance_has_formula(line, quantifier.formula_after, processes))) {
        drop_forall("property not translated",
                    count == 1 ? "FORALL property has no ')' to end its parameter list"
                               : "FORALL property over two parameters has no '>' ending its "
                                 "guard (as in i != j ->)");
        return;
    }
    give_dropped_forall_warning(false);
    if (settings_.all_instances) check_instance_count(count);
    const FormulaScan scan = scan_formula(*body, plain);
    write_instances(line, *body, quantifier, processes, plain);
    check_property(line, *list, *body, count, scan);
}

// What the start of a line of code in a SPEC section tells: the kind of
// property it starts, a lower-case forall, and whether it goes on with the
// FORALL property of the line before.
void Translator::note_property_start(std::string_view words, bool forall) {
    const std::string_view first = first_name(words);
    const std::string_view keyword =
        !first.empty() && (first.front() == 'C' || first.front() == 'L' || first.front() == 'I' ||
                           first.front() == 'P')
            ? smv::property_keyword(first)
            : std::string_view();
    if (!keyword.empty() && smv::property_kind_of_keyword(keyword) != smv::PropertyKind::ctl)
        module_.in_section.other_property_kind = keyword;
    if (std::size_t& forall_line = module_.in_section.forall_line; forall_line != 0) {
        if (!forall && keyword.empty())
            warnings_.warn(forall_line, property_goes_on);
        forall_line = 0;
    }
    if (!forall && first.size() == 6 && (first.front() == 'f' || first.front() == 'F') &&
        std::equal(first.begin(), first.end(), "forall",
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
        warnings_.warn(input_.line_number(), "forall in lower case",
                       excerpt(first) + " is not FORALL, which is written in capitals: the line is "
                       "copied unchanged, and NuSMV rejects it; write FORALL");
}

// FORALL takes its parameters in parentheses; "FORALL i. p", as logic books
// write it, leaves the list to whatever parentheses come later.
void Translator::check_forall_word(std::string_view line, std::size_t first_forall) {
    // The common form, FORALL and its list, needs no closer look.
    if (textops::ltrim(line.substr(first_forall + 6)).starts_with('(')) return;
    const std::string_view code = code_of(line);
    const std::size_t forall = smv::find_word(code, "FORALL");
    if (forall == std::string_view::npos) return;
    const std::string_view after = textops::ltrim(code.substr(forall + 6));
    if (after.starts_with('(')) return;
    warnings_.warn(input_.line_number(), "FORALL without parentheses",
                   "FORALL is followed by " +
                       (after.empty() || after.front() == '\n' ? std::string("nothing")
                                                               : "'" + excerpt(after) + "'") +
                       " where its parameters belong, in parentheses, and the property is "
                       "not translated as written; write FORALL (i) (...)");
}

// A FORALL line that is not translated: its warning waits for what follows
// it under the header, which tells whether NuSMV can still read the file.
void Translator::drop_forall(std::string_view kind, const std::string& reason) {
    module_.in_section.forall_line = 0;
    if (!settings_.instance_name_prefix.empty() && module_.section == Section::properties) {
        const std::size_t line = input_.line_number();
        if (module_.in_section.has_property) {
            mark(line);
            put(module_.header);
            put("\n");
        }
        mark(line);
        std::string name;
        smv::append_instance_name(name, settings_.instance_name_prefix, line, {});
        put("\tNAME ");
        put(name);
        put(" := TRUE\n");
        module_.in_section.has_property = true;
        warnings_.warn(line, kind, reason + "; property not translated");
        return;
    }
    if (module_.section != Section::properties || module_.in_section.has_property) {
        warnings_.warn(input_.line_number(), kind, reason + "; property not translated");
        return;
    }
    module_.in_section.dropped.push_back({input_.line_number(), kind, reason});
}

void Translator::give_dropped_forall_warning(bool header_left_empty) {
    for (const auto& [line, kind, reason] : module_.in_section.dropped)
        warnings_.warn(line, kind,
                       reason + "; property not translated" +
                           (header_left_empty
                                ? ", and the " + std::string(module_.header) +
                                      " line above it is left without a property, so that "
                                      "NuSMV rejects the file as it is"
                                : std::string()));
    module_.in_section.dropped.clear();
    module_.in_section.has_property = true;
}

// With --all-instances a FORALL over k parameters gives N!/(N-k)! instances.
void Translator::check_instance_count(std::size_t count) {
    constexpr std::uint64_t many = 100000;
    std::uint64_t instances = 1;
    bool more = false;  // more than 2^64 - 1
    for (std::uint64_t process = static_cast<std::uint64_t>(settings_.process_count), k = 0;
         k < count && !more; --process, ++k)
        more = __builtin_mul_overflow(instances, process, &instances);
    if (!more && instances <= many) return;
    warnings_.warn(input_.line_number(), "many instances",
                   "FORALL over " + std::to_string(count) + " parameters gives " +
                       (more ? "more than " + grouped(UINT64_MAX) : grouped(instances)) +
                       " instances at N = " + std::to_string(settings_.process_count) +
                       "; each is written as a property of its own");
}

// Writes an instance for each tuple of processes, the instances separated by
// lines of the section's header keyword (SPEC or CTLSPEC). `body` is the
// line's formula. The tuples are those of processes 1 and 2, or with
// --all-instances those of 1..N.
void Translator::write_instances(std::string_view line, std::string_view body,
                                 const Quantifier& quantifier, int processes, bool plain) {
    tuples_.reset(parameters().size(), processes);
    for (bool first = true;; first = false) {
        if (!first) {
            mark(input_.line_number());
            put(module_.header);
            put("\n");
            mark(input_.line_number());
        }
        if (!settings_.instance_name_prefix.empty()) {
            std::string name;
            smv::append_instance_name(name, settings_.instance_name_prefix, input_.line_number(),
                                      tuples_.tuple());
            put("\tNAME ");
            put(name);
            put(" := ");
            put(quantifier.prefix.substr(1));
        } else {
            put(quantifier.prefix);
        }
        if (plain) {
            write_instance(body, tuples_.tuple());
        } else {
            instantiate(line, parameters().bracketed(), tuples_.tuple(), instance_, scratch_);
            put(*formula(instance_, quantifier));
        }
        if (!tuples_.next()) return;
    }
}

// Writes `body` with the bracketed uses of each parameter, which
// scan_formula found, replaced by its process, bracketed.
void Translator::write_instance(std::string_view body, const std::vector<int>& processes) {
    std::size_t done = 0;
    for (const ParameterUse& use : uses_) {
        put(body.substr(done, use.at - done));
        put(ProcessNumber(processes[use.parameter]).bracketed());
        done = use.at + parameters().bracketed()[use.parameter].size();
    }
    put(body.substr(done));
}

bool Translator::every_instance_has_formula(std::string_view line, char formula_after,
                                            int processes) {
    const auto holds_it = [&](const std::string& name) {
        return textops::contains(name, formula_after);
    };
    // The line has one: replacing names without it leaves that one in place.
    if (std::none_of(parameters().bracketed().begin(), parameters().bracketed().end(), holds_it))
        return true;
    tuples_.reset(parameters().size(), processes);
    do {
        instantiate(line, parameters().bracketed(), tuples_.tuple(), instance_, scratch_);
        if (!textops::contains(instance_, formula_after)) return false;
    } while (tuples_.next());
    return true;
}

// One walk over the formula of a FORALL line: what the checks need, from its
// code, and, when `find_uses`, the bracketed uses of the parameters that
// write_instance replaces, in code and comment alike.
FormulaScan Translator::scan_formula(std::string_view body, bool find_uses) {
    FormulaScan found;
    uses_.clear();
    std::size_t uses_from = 0;  // a use starts at or after the end of the one before
    const auto note_use = [&](std::size_t at) {
        if (!find_uses || at < uses_from) return;
        if (const auto parameter = parameters().bracketed_at(body.substr(at))) {
            uses_.push_back({at, *parameter});
            uses_from = at + parameters().bracketed()[*parameter].size();
        }
    };
    const std::string_view code = body.substr(0, textops::find(body, "--"));
    int depth = 0;
    const auto operator_found = [&](std::string_view op) {
        if (depth == 0 && found.top_operator.empty()) found.top_operator = op;
    };
    for (std::size_t at = 0; at < code.size(); ++at) {
        const char c = code[at];
        if (smv::is_word_char(c)) {
            const std::string_view name = smv::word_at(code, at);
            const std::size_t end = at + name.size();
            if (c == 'x' && (name == "xor" || name == "xnor")) operator_found(name);
            const bool bracketed = at > 0 && code[at - 1] == '[' && end < code.size() && code[end] == ']';
            if (!bracketed && found.standing_parameter.empty() && !is_digit(c) &&
                parameters().named(name))
                found.standing_parameter = name;
            // A process instance named through a parameter or a number.
            if (found.instance_named.empty() && end + 1 < code.size() && code[end] == '[' &&
                std::find(module_.process_instances.begin(), module_.process_instances.end(),
                          name) != module_.process_instances.end() &&
                (is_digit(code[end + 1]) || parameters().bracketed_at(code.substr(end))))
                found.instance_named = name;
            at = end - 1;
            continue;
        }
        switch (c) {
        case '(': ++found.open_parentheses; ++depth; break;
        case ')': --found.open_parentheses; --depth; break;
        case '[': note_use(at); ++depth; break;
        case '{': ++depth; break;
        case ']': case '}': --depth; break;
        case '&': operator_found("&"); break;
        case '|': operator_found("|"); break;
        case '-': if (textops::holds_at(code, at, "->")) operator_found("->"); break;
        case '<': if (textops::holds_at(code, at, "<->")) operator_found("<->"); break;
        }
    }
    if (find_uses)
        for (std::size_t at = textops::find(body, '[', code.size()); at != std::string_view::npos;
             at = textops::find(body, '[', at + 1))
            note_use(at);
    return found;
}

namespace {

std::string_view trimmed_parentheses(std::string_view text) {
    text = trimmed(text);
    if (text.size() > 2 && text.front() == '(' && text.back() == ')')
        text = trimmed(text.substr(1, text.size() - 2));
    return text;
}

// Whether `guard` only says that parameters differ: p != q or !(p = q) for
// two of them, maybe in parentheses, or several of those joined by '&'.
bool is_inequality(std::string_view guard, const ParameterNames& parameters) {
    const auto is_parameter = [&](std::string_view name) { return parameters.named(name).has_value(); };
    guard = trimmed_parentheses(guard);
    for (std::size_t start = 0; start <= guard.size();) {
        const std::size_t end = std::min(textops::find(guard, '&', start), guard.size());
        std::string_view text = trimmed_parentheses(guard.substr(start, end - start));
        const bool negated = text.starts_with('!');
        if (negated) {
            text = textops::ltrim(text.substr(1));
            if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
            text = text.substr(1, text.size() - 2);
        }
        const std::string_view comparison = negated ? "=" : "!=";
        const std::size_t at = text.find(comparison);
        if (at == std::string_view::npos) return false;
        const std::string_view left = trimmed(text.substr(0, at));
        const std::string_view right = trimmed(text.substr(at + comparison.size()));
        if (left == right || !is_parameter(left) || !is_parameter(right)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

// A model's FORALL lines mostly repeat one guard over the same parameters.
bool Translator::guard_is_inequality(std::string_view guard) {
    if (guard != last_guard_.text || parameters().list() != last_guard_.list) {
        last_guard_.text.assign(guard);
        last_guard_.list.assign(parameters().list());
        last_guard_.is_inequality = is_inequality(guard, parameters());
    }
    return last_guard_.is_inequality;
}

const WarningText Translator::property_goes_on{
    "property goes on after its line",
    "the property goes on after this line, but each instance gets only this line, and the rest "
    "is copied once after the last; write the property on one line"};

// Warns about a FORALL line whose instances do not state the property
// written, or that NuSMV would reject.
void Translator::check_property(std::string_view line, std::string_view list,
                                std::string_view body, std::size_t count,
                                const FormulaScan& scan) {
    const std::size_t line_number = input_.line_number();
    const auto warn = [&](std::string_view kind, const std::string& message) {
        warnings_.warn(line_number, kind, message);
    };
    if (settings_.process_count < 2 && !settings_.all_instances)
        warnings_.warn_once(line_number, "N below 2",
                            "N is " + std::to_string(settings_.process_count) +
                                ": FORALL properties are written for processes 1 and 2 whatever "
                                "N is, and name process 2, which the model does not have; give "
                                "-p a number of processes of 2 or more");
    // Under LTLSPEC, whatever else holds of the line, NuSMV rejects it.
    const std::string_view other_kind = module_.in_section.other_property_kind;
    if (other_kind == "LTLSPEC") {
        warnings_.warn(line_number, forall_under_ltlspec);
    } else {
        if (module_.in_section.wrote_forall)
            warn("second FORALL under one SPEC line",
                 "a second FORALL property under one SPEC line: its first instance is joined to the "
                 "last instance of the one before; give each FORALL property a SPEC line of its own");
        if (!other_kind.empty())
            warn("FORALL after another kind of property",
                 "FORALL after " + std::string(other_kind) +
                     " is written as CTL properties, with AG and SPEC lines; put it under a SPEC line of "
                     "its own");
    }
    module_.in_section.wrote_forall = true;
    // The instances write the line's formula with the bracketed uses of the
    // parameters replaced, and drop what comes before it.
    const std::string_view dropped = line.substr(0, body.data() - line.data());
    int open_parentheses = scan.open_parentheses;
    for (const char c : dropped) open_parentheses += (c == '(') - (c == ')');
    if (open_parentheses > 0)
        warnings_.warn(line_number, property_goes_on);
    else
        module_.in_section.forall_line = line_number;
    if (other_kind == "LTLSPEC") return;  // what else the line has is said in CTL, which it is not
    if (count == 1) {
        if (const std::string_view op = scan.top_operator; !op.empty())
            warn("AG binds tighter", "the AG put before the body binds tighter than " + std::string(op) +
                 ", so each instance means (AG ...) " + std::string(op) +
                 " ...; put the body in parentheses: FORALL (i) (... " + std::string(op) + " ...)");
    } else {
        // The text from the end of the list up to the first '>' is dropped: it
        // must be "AG (", the guard and "->".
        std::size_t at = list.data() + list.size() - line.data();
        if (at < line.size() && line[at] == ')') ++at;
        const std::size_t end = textops::find(line, '>', at) + 1;  // instantiated: there is one
        const auto skip_blanks = [&] { while (at < end && textops::is_blank(line[at])) ++at; };
        skip_blanks();
        const std::size_t operator_start = at;
        const std::size_t open = textops::find(line, '(', at);
        if (line.compare(at, 2, "AG") == 0) at += 2;
        skip_blanks();
        const std::string_view before_guard = textops::rtrim(
            line.substr(operator_start, std::min(open, end) - operator_start));
        if (at == operator_start || at >= end || line[at] != '(')
            warn("operator before the guard dropped",
                 (before_guard.empty() ? std::string("the body does not start with AG (")
                                       : "the operator before the guard, " +
                                             excerpt(before_guard) + ", is dropped") +
                 ", and AG ( is written in place of everything up to the first '>'; write "
                 "FORALL (i, j) AG (i != j -> ...) with any other operator after the '->'");
        const std::size_t guard = open < end ? open + 1 : operator_start;
        if (end < guard + 2 || line[end - 2] != '-' ||
            !guard_is_inequality(line.substr(guard, end - 2 - guard)))
            warn("more than a guard dropped",
                 "everything up to the first '>' is dropped, and here that is more than a guard "
                 "such as i != j ->; begin the body with the guard: AG (i != j -> ...)");
    }
    // A process instance named through a parameter, as u[i]: it is written
    // N1_u, N2_u, and u[1] names nothing.
    if (!scan.instance_named.empty()) {
        const std::string instance = excerpt(scan.instance_named);
        warn("process instance named through brackets", "the process instance " + instance + " is written as N1_" + instance + ", N2_" +
             instance + ", ..., so " + instance + "[1] names nothing; pass what a property needs "
             "to the instance as variables declared with [Proc], and name those");
    }
    // A parameter left standing: only "[i]" is replaced, not "[ i ]", "i + 1" or "i".
    if (!scan.standing_parameter.empty()) {
        const std::string name = excerpt(scan.standing_parameter);
        warn("parameter left standing", "the parameter " + name + " is left standing in the instances, where it names "
             "nothing; use a parameter only alone in brackets, as in x[" + name + "]");
    }
}

}  // namespace ruvello
