// Statements of VAR and ASSIGN sections.
//
// A statement runs from its first line to the first line holding a ';'. A
// statement whose head (its text before the first ':') names an item "[Proc]"
// is process-indexed and is written once for every process 1..N, with Proc
// replaced by the process number. Any other statement is written once, with
// Proc standing for the whole range "1 .. N".

#include <algorithm>
#include <cstdint>

#include "textops/textops.h"
#include "translate/keyword_spelling.h"
#include "translate/translator.h"

namespace ruvello {

namespace {

constexpr std::string_view proc = "Proc";

// Whether a line (without its leading blanks) starts with a letter that N,
// DEFINE, VAR, IVAR, FROZENVAR, ISA, FORALL or a property keyword start
// with; the others are passed over at a glance.
bool may_declare(std::string_view words) {
    constexpr std::uint32_t letters = 1u << ('N' - 'A') | 1u << ('D' - 'A') | 1u << ('V' - 'A') |
                                      1u << ('I' - 'A') | 1u << ('F' - 'A') | 1u << ('S' - 'A') |
                                      1u << ('C' - 'A') | 1u << ('L' - 'A') | 1u << ('P' - 'A');
    if (words.empty() || words.front() < 'A' || words.front() > 'Z') return false;
    return (letters >> (words.front() - 'A')) & 1;
}

// The name a process declaration gives its instances: the text before the
// first '[' (opening brackets at the very start do not end it), without its
// leading blanks.
std::string_view instance_name(std::string_view declaration) {
    std::size_t start = 0;
    while (start < declaration.size() && declaration[start] == '[') ++start;
    if (start == declaration.size()) return textops::ltrim(declaration);
    return textops::ltrim(declaration.substr(0, textops::find(declaration, '[', start)));
}

// `text` with every `match` replaced: `text` itself when it holds none,
// otherwise the result, kept in `storage`.
std::string_view replaced(std::string_view text, std::string_view match,
                          std::string_view replacement, std::string& storage) {
    if (!textops::contains(text, match)) return text;
    textops::assign_replaced(storage, text, match, replacement);
    return storage;
}

// The texts of `text` between its occurrences of Proc, into `parts`.
const std::vector<std::string_view>& split_at_proc(std::string_view text,
                                                   std::vector<std::string_view>& parts) {
    parts.clear();
    textops::for_each_occurrence(
        text, proc, [&](std::string_view part) { parts.push_back(part); }, [] {});
    return parts;
}

// What a statement needs to know of each of its lines: whether it holds the
// ';' that ends the statement, whether it may hold a Proc, and whether it
// may hold a bracket, as a misspelt "[proc]" does. One pass.
struct LineMarks {
    bool semicolon, capital_p, bracket;
};

[[gnu::always_inline]] inline LineMarks marks_of(std::string_view line) {
    const unsigned held = textops::bytes_held<';', proc.front(), '['>(line);
    return {(held & 1) != 0, (held & 2) != 0, (held & 4) != 0};
}

// The first bracketed name that is Proc but for the case of its letters and
// begins with a small p, as "[proc]": it is left as it is.
std::string_view misspelt_proc(std::string_view text) {
    for (std::size_t at = textops::find_prefix<"[p">(text); at != std::string_view::npos;
         at = textops::find_prefix<"[p">(text, at + 1)) {
        const std::string_view word = text.substr(at + 1, proc.size() + 1);
        if (word.size() == proc.size() + 1 && word.back() == ']' &&
            std::equal(proc.begin(), proc.end(), word.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return text.substr(at, word.size() + 1);
    }
    return {};
}

}  // namespace

Translator::StatementScan Translator::scan_statement(std::string_view text,
                                                     std::vector<std::string_view>& parts) {
    StatementScan found{text.size()};
    parts.clear();
    const std::size_t leading_colons = std::min(text.find_first_not_of(':'), text.size());
    const auto word_at = [&](std::size_t at, std::string_view word) {
        return textops::holds_at(text, at, word);
    };
    std::size_t after_proc = 0;
    textops::visit_prefixes<"Pr", ":", "tr", "ar", "ca">(text, 0, [&](std::size_t at) {
        switch (text[at]) {
        case 'P':
            if (!word_at(at, proc)) break;
            parts.push_back(text.substr(after_proc, at - after_proc));
            after_proc = at + proc.size();
            found.indexed_head |= at < found.head_size && at > 0 && text[at - 1] == '[' &&
                                  after_proc < text.size() && text[after_proc] == ']';
            break;
        case ':':
            if (found.head_size == text.size() && at >= leading_colons) found.head_size = at;
            break;
        case 't':
            found.declares_processes |= word_at(at, "transition");
            break;
        case 'a':
            if (found.array == std::string_view::npos && word_at(at, "array ")) found.array = at;
            break;
        case 'c':
            found.mentions_case |= word_at(at, "case") &&
                                   (at == 0 || !smv::is_word_char(text[at - 1])) &&
                                   (at + 4 == text.size() || !smv::is_word_char(text[at + 4]));
            break;
        }
        return true;
    });
    parts.push_back(text.substr(after_proc));
    return found;
}

void Translator::translate_statement(std::string_view first_line, std::string_view words) {
    const Statement statement = gather_statement(first_line, words);
    const std::string_view text = statement.text;
    // Most statements mention no process at all, and are copied as they are;
    // "[proc]" meant as "[Proc]" is what makes one of them look so.
    if (!statement.may_hold_proc) {
        if (const std::string_view misspelt =
                statement.holds_bracket ? misspelt_proc(text) : std::string_view();
            !misspelt.empty())
            warnings_.warn(line_of(statement, misspelt.data() - text.data()), "Proc misspelt",
                           std::string(misspelt) + " is not [Proc], which is written with a "
                                                   "capital P and the rest in small letters: it "
                                                   "is left as it is; write [Proc]");
        put_lines(text, statement.line_ends);
        if (statement.complete) copy_plain_statements();
        return;
    }
    const StatementScan scan = scan_statement(text, parts_);
    const auto& parts = parts_;
    if (parts.size() == 1) {
        put_lines(text, statement.line_ends);
        return;
    }
    if (module_.unopened.line != 0) explained_by_unopened_header();
    check_names_around_proc(statement, parts);
    check_computed_indices(statement, parts);
    if (settings_.process_count <= 0)
        warnings_.warn_once(statement.first_line, "N is 0 or less",
                            "N is " + std::to_string(settings_.process_count) +
                                ": process-indexed statements write nothing and the range "
                                "1 .. N is empty; give -p a number of processes of 1 or more");
    if (!scan.indexed_head) {
        write_joined(parts, "1 .. N");
        return;
    }
    check_process_indexed(statement, scan, parts);
    if (module_.in_var && !scan.declares_processes) {
        // p[Proc] : transtion m(...): the type's word misspelt is a syntax error to NuSMV.
        if (const std::string_view type = first_name(textops::ltrim(text.substr(std::min(scan.head_size + 1, text.size()))));
            misspelt_keyword(type, spelt_keywords()) == "transition")
            warnings_.warn(statement.first_line, "keyword misspelt",
                           excerpt(type) + " is not a keyword; did you mean transition?");
        if (module_.indexed_names.empty()) module_.indexed_names = '\n';
        module_.indexed_names.append(textops::rtrim(instance_name(text.substr(0, scan.head_size))))
            .push_back('\n');
    }
    if (!scan.declares_processes) {
        write_process_instances(statement, parts, scan.array);
    } else if (textops::contains(text, ':')) {
        write_process_declarations(text, statement.first_line);
    } else {
        warnings_.warn(statement.first_line, "process declaration without ':'",
                       "process declaration without ':' has no module to instantiate; "
                       "statement copied unchanged");
        put(text);
    }
}

// Joins further lines to the statement until one holds a ';'. A further line
// that mentions a section keyword is not joined: it is left to be read again
// as a line of its own. The lines are held where the input has them.
Translator::Statement Translator::gather_statement(std::string_view first_line,
                                                   std::string_view words) {
    const std::size_t first_line_number = input_.line_number();
    if (may_declare(words)) check_statement_line(words, first_line_number);
    LineMarks marks = marks_of(first_line);
    bool may_hold_proc = marks.capital_p, holds_bracket = marks.bracket;
    // Every line of it ends with a line end, but maybe the last of the input.
    const auto statement = [&](std::string_view text, std::string_view cut_by, bool complete) {
        const std::size_t lines = input_.line_number() - first_line_number + 1;
        return Statement{text, first_line_number, cut_by, complete, may_hold_proc, holds_bracket,
                         lines - (text.back() != '\n')};
    };
    if (marks.semicolon) return statement(first_line, {}, true);
    input_.hold();
    const struct Release {
        LineReader& input;
        ~Release() { input.release(); }
    } release{input_};
    std::string_view line;
    while (input_.next_line(line)) {
        if (mentions_section_keyword(line)) {
            const std::string_view joined = input_.held();
            input_.step_back();
            // A MODULE header ends the input of a piece of the model: to the
            // statement, it is the end.
            const auto header = header_keyword(line);
            const bool module_header = header && header->opens == Section::module;
            return statement(joined.substr(0, joined.size() - line.size()),
                             module_header ? "" : mentioned_section_keyword(line), false);
        }
        const std::string_view line_words = textops::ltrim(line);
        if (may_declare(line_words)) check_statement_line(line_words, input_.line_number());
        // A comment or an unended statement takes in the lines below it,
        // among them a header whose keyword is misspelt.
        if (line_words.size() == line.size()) check_keyword_spelling(line);
        check_process_numbers(line);
        marks = marks_of(line);
        may_hold_proc |= marks.capital_p;
        holds_bracket |= marks.bracket;
        if (marks.semicolon) return statement(input_.held(), {}, true);
    }
    return statement(input_.held(), {}, false);
}

// The statements that follow one without Proc are mostly like it: those of
// them that the buffer holds whole and that no rule looks at are copied at
// once, as far as the last that ends before a line some rule does look at.
// No rule looks at a line without a 'P' or a '[' whose first letter is none
// that a section keyword, a declaration of N or a property starts with, nor
// in the first column a misspelt header's (a
// statement without Proc is copied alike when a line that mentions a
// section keyword cuts it in two); a ';' on it ends its statement, and a
// blank line leaves the statement as it is.
void Translator::copy_plain_statements() {
    const std::string_view ahead = input_.buffered();
    std::size_t lines = 0, run_size = 0, run_lines = 0;
    bool statement_open = false;
    textops::visit_lines_before<';', "P", "[">(
        ahead, [&](std::string_view line, bool semicolon) {
            if (const std::string_view words = textops::ltrim(line); words.size() > 1) {
                if (may_declare(words) || starts_section_keyword(words.front()) ||
                    (words.size() == line.size() && may_be_misspelt_header(line)))
                    return false;
                statement_open = !semicolon;
            }
            ++lines;
            if (!statement_open) {
                run_size = static_cast<std::size_t>(line.data() + line.size() - ahead.data());
                run_lines = lines;
            }
            return true;
        });
    if (run_lines == 0) return;
    const std::string_view run = ahead.substr(0, run_size);
    mark(input_.line_number() + 1);
    put_lines(run, run_lines);
    input_.skip(run, run_lines);
}

// Writes the parts joined by each process number in turn, every copy
// counting as line `line` of the model.
inline void Translator::write_copies(const std::vector<std::string_view>& parts,
                                     std::size_t line, std::size_t line_ends) {
    numbered_.assign(parts);
    for (std::int64_t process = 1; process <= settings_.process_count; ++process) {
        if (mark(line) && process > 1) {
            write_marked_copies(line, line_ends, process);
            return;
        }
        put_lines(numbered_.with(ProcessNumber(process).digits()), line_ends);
    }
}

// In a process-indexed statement the word "array " becomes a tab: an array
// type "array R of T" is left as "R of T", which NuSMV rejects.
void Translator::write_process_instances(const Statement& statement,
                                         const std::vector<std::string_view>& parts,
                                         std::size_t array) {
    if (array != std::string_view::npos &&
        smv::find_word(statement.text.substr(array), "of") != std::string_view::npos &&
        in_code(statement.text, array))
        warnings_.warn(line_of(statement, array), "array becomes a tab",
                       "\"array \" becomes a tab in a process-indexed statement, and NuSMV "
                       "rejects what is left; declare the elements one by one, or in a module "
                       "instantiated with transition");
    const auto& instance_parts =
        array == std::string_view::npos
            ? parts
            : split_at_proc(replaced(statement.text, "array ", "\t", rewritten_), parts_);
    write_copies(instance_parts, statement.first_line, statement.line_ends);
}

// The copy of process `first` needed a marker after the copy before, which
// ended its line and left the count `line_ends` past `line`: so does every
// copy, and the marker is written before each without asking again.
void Translator::write_marked_copies(std::size_t line, std::size_t line_ends,
                                     std::int64_t first) {
    const std::string_view marker = marker_.for_line(line);
    for (std::int64_t process = first; process <= settings_.process_count; ++process) {
        if (process != first) put_lines(marker, 1);
        put_lines(numbered_.with(ProcessNumber(process).digits()), line_ends);
    }
    numbered_from_ = {line, output_.line_ends() - line_ends};
}

// Writes the parts with `number` between each two.
void Translator::write_joined(const std::vector<std::string_view>& parts, std::string_view number) {
    put(parts.front());
    for (std::size_t i = 1; i < parts.size(); ++i) {
        put(number);
        put(parts[i]);
    }
}

// A process-indexed "transition" statement declares one SMV process per
// process number:  p[Proc] : transition m(x[Proc]);  becomes, for process 1,
// a tab and  N1_p : process m(x[1]);  The word "array " is dropped.
void Translator::write_process_declarations(std::string_view statement, std::size_t line) {
    const std::string_view text = replaced(statement, "array ", "", rewritten_);
    const std::string_view name = instance_name(text);
    module_.process_instances.emplace_back(textops::rtrim(name));
    // The number stands after N too, as a Proc of its own. "transition"
    // holds no blank, so it can be replaced on either side of the one that
    // joins the name and the rest.
    declaration_.clear();
    declaration_.append("\tNProc_");
    const auto append = [this](std::string_view piece) { declaration_.append(piece); };
    textops::for_each_piece(name, "transition", "process", append);
    declaration_.push_back(' ');
    textops::for_each_piece(text.substr(text.find(':')), "transition", "process", append);
    write_copies(split_at_proc(declaration_, parts_), line, textops::count_byte(declaration_, '\n'));
}

namespace {

// Whether a statement leaves a parenthesis, a brace or a case open, its
// comments aside.
bool leaves_open(std::string_view text) {
    int parentheses = 0, braces = 0, cases = 0;
    const auto word_at = [&](std::size_t at, std::string_view word) {
        return text.substr(at, word.size()) == word &&
               (at == 0 || !smv::is_word_char(text[at - 1])) &&
               (at + word.size() == text.size() || !smv::is_word_char(text[at + word.size()]));
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        switch (text[at]) {
        case '(': ++parentheses; break;
        case ')': --parentheses; break;
        case '{': ++braces; break;
        case '}': --braces; break;
        case 'c': cases += word_at(at, "case"); break;
        case 'e': cases -= word_at(at, "esac"); break;
        case '-':
            if (at + 1 < text.size() && text[at + 1] == '-') {
                at = text.find('\n', at);
                if (at == std::string_view::npos) at = text.size();
            }
            break;
        }
    }
    return parentheses > 0 || braces > 0 || cases > 0;
}

// The code of the lines of a text, as NuSMV reads them.
std::string code_as_read_of_lines(std::string_view text) {
    std::string code;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        code.append(code_as_read(text.substr(start, end - start))).push_back('\n');
        start = end + 1;
    }
    return code;
}

// Whether the type of a declaration, after its first ':', names Proc
// outside parentheses: as a type or a value of one, not as an argument.
bool type_names_proc(std::string_view statement) {
    const std::size_t colon = statement.find(':', statement.find_first_not_of(':'));
    if (colon == statement.npos || statement.substr(colon + 1).starts_with('=')) return false;
    const std::string code = code_as_read_of_lines(statement.substr(colon + 1));
    const std::string_view type = code;
    for (std::size_t at = smv::find_word(type, proc); at != type.npos;
         at = smv::find_word(type, proc, at + 1)) {
        const std::string_view before = type.substr(0, at);
        if (std::count(before.begin(), before.end(), '(') ==
            std::count(before.begin(), before.end(), ')'))
            return true;
    }
    return false;
}

}  // namespace

bool Translator::in_code(std::string_view text, std::size_t at) {
    const std::size_t line_start = at == 0 ? 0 : text.rfind('\n', at - 1) + 1;
    const std::string_view before = text.substr(line_start, at - line_start);
    return code_as_read(before).size() == before.size();
}

std::size_t Translator::line_of(const Statement& statement, std::size_t at) {
    return statement.first_line + static_cast<std::size_t>(std::count(
                                      statement.text.begin(), statement.text.begin() + at, '\n'));
}

// What the first name of a line of a statement declares in vain: a second
// N, an ISA, a FORALL property.
void Translator::check_statement_line(std::string_view words, std::size_t line_number) {
    const std::string_view code = code_of(words);
    check_declarations(words, line_number);
    const std::string_view first = first_name(code);
    const std::string_view keyword = smv::property_keyword(first);
    if (!keyword.empty()) module_.in_section.under_ltlspec = keyword == "LTLSPEC";
    if (first == "FORALL" || (!keyword.empty() && smv::find_word(code, "FORALL") != code.npos))
        if (!explained_by_unopened_header())
            warnings_.warn(line_number,
                           module_.in_section.under_ltlspec ? forall_under_ltlspec : forall_not_translated);
}

// x[Proc] declares the names x[1], x[2], ...: an index computed from Proc,
// as in x[Proc mod N + 1], names none of them.
void Translator::check_computed_indices(const Statement& statement,
                                        const std::vector<std::string_view>& parts) {
    if (module_.indexed_names.empty()) return;
    const std::string_view text = statement.text;
    const auto ends_index = [](char c) { return c == '[' || c == ']' || c == '\n' || c == ';'; };
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::size_t at = parts[i].data() - proc.size() - text.data();
        // x[Proc], the index as it is meant, is the common case; a Proc
        // before ',' or ';' (an argument, a type) is in no index.
        const std::size_t after = at + proc.size();
        if (after < text.size() && (text[after] == ',' || text[after] == ';')) continue;
        if (at > 0 && text[at - 1] == '[' && textops::holds_at(text, after, "]")) continue;
        std::size_t open = at;
        while (open > 0 && !ends_index(text[open - 1])) --open;
        std::size_t close = after;
        while (close < text.size() && !ends_index(text[close])) ++close;
        if (open == 0 || text[--open] != '[' || close == text.size() || text[close] != ']' ||
            !in_code(text, at))
            continue;
        const std::string_view before = textops::rtrim(text.substr(0, open));
        std::size_t start = before.size();
        while (start > 0 && smv::is_word_char(before[start - 1])) --start;
        const std::string name(before.substr(start));
        if (!textops::contains(module_.indexed_names, "\n" + name + "\n")) continue;
        warnings_.warn(line_of(statement, at), "index computed from Proc",
                       excerpt(name + std::string(text.substr(open, close + 1 - open))) +
                           " names nothing: " + name + "[Proc] declares the names " + name +
                           "[1], " + name + "[2], ..., and an index computed from Proc reaches "
                           "none of them; declare " + name + " as an array, " + name +
                           " : array 1 .. N of ..., to index it so");
        return;
    }
}

// Proc inside a longer name is replaced as well: "Processor" becomes
// "1 .. Nessor". `parts` are the texts around the statement's Procs.
void Translator::check_names_around_proc(const Statement& statement,
                                         const std::vector<std::string_view>& parts) {
    std::size_t last_line = 0;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string_view before = parts[i - 1], after = parts[i];
        const bool in_name = (!before.empty() && smv::is_word_char(before.back())) ||
                             (!after.empty() && smv::is_word_char(after.front()));
        if (!in_name) continue;
        const std::string_view text = statement.text;
        std::size_t start = after.data() - proc.size() - text.data(), end = start + proc.size();
        if (!in_code(text, start) || line_of(statement, start) == last_line) continue;
        while (start > 0 && smv::is_word_char(text[start - 1])) --start;
        while (end < text.size() && smv::is_word_char(text[end])) ++end;
        last_line = line_of(statement, start);
        warnings_.warn(last_line, "Proc inside a longer name",
                       "Proc inside the name " + excerpt(text.substr(start, end - start)) +
                           " is replaced too; rename it so that it does not hold Proc");
    }
}

// A process-indexed statement is written for each process whole: as far as
// its first line holding a ';', before a line that mentions a section
// keyword, or to the end of the input.
void Translator::check_process_indexed(const Statement& statement, const StatementScan& scan,
                                       const std::vector<std::string_view>& parts) {
    const std::string_view text = statement.text;
    if (!statement.complete && has_code(text))
        warnings_.warn(statement.first_line, "statement ends before its ';'",
                       statement.cut_by.empty()
                           ? "the statement ends before its ';', at the next MODULE header "
                             "or the end of the file, and is repeated for each process as far "
                             "as it goes; end it with ';'"
                           : "the statement ends before its ';', at a line that mentions " +
                                 std::string(statement.cut_by) +
                                 ", and the rest is not repeated for each process; keep "
                                 "section keywords out of statements, even in comments and "
                                 "longer names");
    // Only a case holds a ';' of its own.
    if (statement.complete && scan.mentions_case && leaves_open(text))
        warnings_.warn(statement.first_line, "statement ends inside a case",
                       "the statement ends at the first line with a ';', inside a case, "
                       "parentheses or braces, and only that much is repeated for each "
                       "process; write it on one line, or put it in a module instantiated "
                       "with transition");
    // Only with a Proc after the head may the type name Proc: a glance that
    // spares most declarations the full look.
    const bool proc_after_head =
        parts.back().data() - proc.size() - text.data() > static_cast<std::ptrdiff_t>(scan.head_size);
    if (!scan.declares_processes && proc_after_head && module_.in_var &&
        type_names_proc(text))
        warnings_.warn(statement.first_line, "the type Proc",
                       "the type Proc becomes the process number in each declaration; write "
                       "the range as 1 .. N");
}

}  // namespace ruvello
