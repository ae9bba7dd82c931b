#include "translate/translator.h"

#include <algorithm>
#include <charconv>

#include "textops/textops.h"
#include "translate/keyword_spelling.h"

namespace ruvello {

namespace {

bool has_name(std::string_view code, std::string_view name) {
    return smv::find_word(code, name) != std::string_view::npos;
}

bool is_space(char c) { return textops::is_blank(c) || c == '\n' || c == '\r'; }

// Takes the first name off the front of `text`, after blanks and line ends.
std::string_view take_name(std::string_view& text) {
    std::size_t start = 0;
    while (start < text.size() && is_space(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && smv::is_word_char(text[end])) ++end;
    const std::string_view name = text.substr(start, end - start);
    text.remove_prefix(end);
    return name;
}

// A declaration of N: code whose first name, after DEFINE, VAR, IVAR or
// FROZENVAR, is N, followed by ':' or ":=".
bool declares_n(std::string_view code) {
    std::string_view name = take_name(code);
    if (name == "DEFINE" || smv::is_variables_keyword(name))
        name = take_name(code);
    while (!code.empty() && is_space(code.front())) code.remove_prefix(1);
    return name == "N" && code.starts_with(':');
}

}  // namespace

std::string_view first_name(std::string_view text) { return take_name(text); }

std::string_view mentioned_section_keyword(std::string_view line) {
    for (const smv::HeaderKeyword& keyword : smv::header_keywords)
        if (textops::contains(line, keyword.word)) return keyword.word;
    return {};
}

const WarningText Translator::forall_not_translated{
    "FORALL outside a SPEC section",
    "FORALL is translated only on the lines of a SPEC section; this one is copied unchanged, "
    "and NuSMV rejects it; put the property on a line of its own after SPEC"};

const WarningText Translator::forall_on_header{
    "FORALL on a header line",
    "FORALL on a header line is copied unchanged, and NuSMV rejects it; put the property on a "
    "line of its own after the header"};
const WarningText Translator::forall_under_ltlspec{
    "FORALL under LTLSPEC",
    "FORALL under LTLSPEC is not supported: ruvello writes FORALL properties in CTL, each on a "
    "line of its own after SPEC, and NuSMV rejects this one as it stands; write it in CTL after "
    "SPEC, as FORALL (i) AG (x[i] -> AF y[i]), or an LTLSPEC of your own for each process"};
const WarningText Translator::proc_not_replaced{
    "Proc not replaced",
    "Proc is not replaced here, only in VAR and ASSIGN statements; write the range as 1 .. N "
    "where a range is meant"};

void Translator::check_copied_names(std::string_view line, std::size_t line_number,
                                    const WarningText& forall_warning) {
    const std::string_view code = code_of(line);
    const bool forall = !forall_warning.kind.empty() && has_name(code, "FORALL");
    const bool proc = has_name(code, "Proc");
    if ((forall || proc) && explained_by_unopened_header()) return;
    if (forall) warnings_.warn(line_number, forall_warning);
    if (proc) warnings_.warn(line_number, proc_not_replaced);
}

// A header's keyword misspelt (ASIGN, MODUEL, SEPC) stands in the first
// column, alone or before a name or a formula: a name that starts a
// statement there goes on with ':', '(', '[', '.' or ":=". Whether it was
// one.
bool Translator::check_keyword_spelling(std::string_view line) {
    if (!may_be_misspelt_header(line)) return false;
    const std::string_view word = first_name(line);
    if (word.empty()) return false;
    const std::string_view after = textops::ltrim(line.substr(word.size()));
    if (!after.empty() && std::string_view(":([.;=").find(after.front()) != std::string_view::npos) return false;
    const auto keyword = misspelt_keyword(word, spelt_keywords());
    if (keyword)
        warnings_.warn(input_.line_number(), "keyword misspelt",
                       excerpt(word) + " is not a keyword; did you mean " + std::string(*keyword) + "?");
    return keyword.has_value();
}

// x[K], with K a number, names process K of a variable declared x[Proc]:
// a translation for N below K has no such variable, and NuSMV rejects the
// whole model for it. The first such name of a line is told.
void Translator::check_process_numbers(std::string_view line) {
    if (module_.indexed_names.empty()) return;
    std::size_t close = 0;
    for (std::size_t open = line.find('['); open != std::string_view::npos; open = line.find('[', open + 1)) {
        if (close <= open) close = line.find(']', open);
        if (close == std::string_view::npos) return;
        std::size_t start = open;
        while (start > 0 && smv::is_word_char(line[start - 1])) --start;
        const std::string_view name = line.substr(start, open - start);
        if (name.empty() || !textops::contains(module_.indexed_names, "\n" + std::string(name) + "\n")) continue;
        const std::string_view digits = textops::rtrim(textops::ltrim(line.substr(open + 1, close - open - 1)));
        long long process = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), process);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            process <= settings_.process_count)
            continue;
        // A comment goes on to the end of the line.
        if (!in_code(line, open)) return;
        warnings_.warn(input_.line_number(), "process beyond N",
                       excerpt(std::string(name) + "[" + std::string(digits) + "]") + " names process " +
                           std::string(digits) + ", but N = " + std::to_string(settings_.process_count));
        return;
    }
}

// Every module gets its own DEFINE of N: one of the module's own, or one
// that ISA brings in from another module, is a second.
Translator::DeclarationsOfN Translator::declarations_of_n(std::string_view line) {
    const std::string_view words = textops::ltrim(line);
    if (words.empty() || !may_declare_n(words.front())) return {};
    const std::string_view code = code_of(words);
    return {declares_n(code), first_name(code) == "ISA"};
}

void Translator::warn_of(const DeclarationsOfN& declarations, std::size_t line_number) {
    if (declarations.n)
        warnings_.warn(line_number, "N declared", "the module declares N, which ruvello defines in every "
                                    "module, and NuSMV stops with a multiple declaration of N; "
                                    "give it another name");
    if (declarations.isa)
        warnings_.warn(line_number, "ISA", "ISA brings in the DEFINE of N of another module, and NuSMV "
                                    "stops with a multiple declaration of N; write that module's "
                                    "declarations here instead of the ISA");
}

// A line has code when the first of its bytes other than blanks and carriage
// returns does not start a comment.
bool has_code(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (textops::is_blank(c) || c == '\r' || c == '\n') continue;
        if (!textops::holds_at(text, at, "--")) return true;
        at = textops::find(text, '\n', at);
        if (at == std::string_view::npos) return false;
    }
    return false;
}

std::string_view code_as_read(std::string_view line) {
    for (std::size_t at = 0; at < line.size(); ++at) {
        if (smv::starts_name(line[at])) {
            while (at + 1 < line.size() && smv::continues_name(line[at + 1])) ++at;
        } else if (textops::holds_at(line, at, "--")) {
            return line.substr(0, at);
        }
    }
    return line;
}

bool ends_module_header(std::string_view line, bool first_line) {
    return textops::contains(line, ')') || (first_line && !textops::contains(line, '('));
}

std::string banner(std::string_view source_name) {
    return "--Source file: " + std::string(source_name) + " , by ruvello--\n";
}

LineMarker::LineMarker(std::string_view source_name) : text_(number_room, ' ') {
    text_ += " \"";
    for (const char c : source_name) {
        if (c == '"' || c == '\\') text_ += '\\';
        text_ += c;
    }
    text_ += "\"\n";
    number(0);
}

void LineMarker::number(std::uint64_t line) {
    line_ = line;
    char* start = write_digits_before(text_.data() + number_room, line) - 2;
    std::memcpy(start, "# ", 2);
    start_ = static_cast<std::size_t>(start - text_.data());
}

Translator::Translator(LineReader& input, OutputBuffer& output, Warnings& warnings,
                       const TranslationSettings& settings)
    : input_(input), output_(output), warnings_(warnings), settings_(settings),
      define_line_("\tN := " + std::to_string(settings.process_count) + ";\n"),
      line_markers_(settings.line_markers), marker_(settings.source_name) {
    // The banner is line 1, and what the line loop writes starts at line 2.
    if (line_markers_) {
        output_.count_line_ends();
        numbered_from_ = {2, output_.line_ends()};
    }
}

// A marker can only stand on a line of its own.
bool Translator::write_marker(std::size_t line) {
    if (!output_.at_line_start()) return false;
    const std::size_t line_ends = output_.line_ends();
    if (numbered_from_.line + (line_ends - numbered_from_.line_ends) == line) return false;
    put_lines(marker_.for_line(line), 1);
    numbered_from_ = {line, line_ends + 1};
    return true;
}

void Translator::translate_lines() {
    std::string_view line;
    // Every input begins at the model's first line or at a MODULE header.
    if (input_.next_line_or_start(line)) {
        // Some editors write a byte-order mark at the start of a UTF-8 file.
        if (line.size() < 3 && input_.line_goes_on()) line = input_.whole_line();
        if (line.starts_with("\xEF\xBB\xBF"))
            warnings_.warn(1, "byte-order mark",
                           "the model starts with a UTF-8 byte-order mark, so its first line is "
                           "not read as a header and NuSMV stops at the mark; save the file "
                           "without it");
        translate_line(line);
    }
    while (input_.next_line_or_start(line)) translate_line(line);
    give_dropped_forall_warning(true);
}

void Translator::translate_line(std::string_view line) {
    mark(input_.line_number());
    if (input_.line_goes_on()) {
        if (copy_long_line(line)) return;
        line = input_.whole_line();
    }
    // A line of blanks ended by a newline; a line of blanks without a
    // newline, or ended by a carriage return and newline, is not blank.
    const std::string_view words = textops::is_blank(line.front()) ? textops::ltrim(line) : line;
    if (words.size() == 1 && words.front() == '\n') {
        put_line(line);
        return;
    }
    if (const std::optional<smv::HeaderKeyword> header = header_keyword(line)) {
        give_dropped_forall_warning(true);
        if (header->opens == Section::module) {
            copy_module_header(line);
            return;
        }
        open_section(*header);
        // The rest of a header line is never translated; most headers have
        // none, but for their line end.
        if (const std::string_view rest = line.substr(header->word.size()); rest.size() > 1) {
            module_.in_section.has_property = has_code(rest);
            check_copied_code(rest, input_.line_number(), forall_on_header);
        }
        put_line(line);
        return;
    }
    if (starts_section_keyword(words.front())) note_unopened_header(line, words);
    // A misspelt header was meant to end the property above it, which is
    // told rather than that the property goes on.
    if (words.size() == line.size() && check_keyword_spelling(line)) module_.in_section.forall_line = 0;
    check_process_numbers(line);
    switch (module_.section) {
    case Section::module:
        check_copied_code(line, input_.line_number(), forall_not_translated);
        put_line(line);
        break;
    case Section::statements:
        translate_statement(line, words);
        break;
    case Section::properties:
        translate_property(line);
        break;
    }
}

void Translator::open_section(const smv::HeaderKeyword& header) {
    module_.section = header.opens;
    module_.header = header.word;
    module_.in_var = header.word == "VAR";
    module_.in_section = {};
    module_.unopened = {};
}

// A keyword opens a section only in the first column and before a blank or
// the line's end: an indented one, or one that a carriage return follows (a
// file with Windows line ends), is an ordinary line of the section above.
void Translator::note_unopened_header(std::string_view line, std::string_view words) {
    for (const smv::HeaderKeyword& keyword : smv::header_keywords) {
        if (!textops::holds_at(words, 0, keyword.word)) continue;
        const std::string_view after = words.substr(keyword.word.size());
        const bool return_after = after.starts_with('\r');
        if (!return_after && words.size() == line.size()) return;  // in the first column: a name
        if (!after.empty() && !return_after && after.front() != ' ' && after.front() != '\n' &&
            after.front() != '\t')
            return;
        module_.unopened = {input_.line_number(), keyword.word, return_after, false};
        return;
    }
}

bool Translator::explained_by_unopened_header() {
    ModuleState::Unopened& unopened = module_.unopened;
    if (unopened.line == 0) return false;
    if (unopened.warned) return true;
    if (unopened.return_after)
        warnings_.warn_once(unopened.line, "Windows line ends",
                            "a section keyword followed by a carriage return (Windows line "
                            "ends) is no header but a line of the section above it, and so are "
                            "the lines below it; convert the file to Unix line ends (dos2unix)");
    else
        warnings_.warn(unopened.line, "indented section keyword",
                       "an indented " + std::string(unopened.keyword) +
                           " is no header but a line of the section above it, and so are the "
                           "lines below it; write " + std::string(unopened.keyword) +
                           " in the first column");
    unopened.warned = true;
    return true;
}

// A line longer than a piece that is only copied, whatever follows its start
// (a section header, a line of a module before its sections), is copied piece
// by piece, with the checks of check_copied_code; any other is read whole.
bool Translator::copy_long_line(std::string_view piece) {
    // The start of the line that tells which: a header's keyword, and the
    // first names of a declaration of N.
    constexpr std::size_t telling_start = 64;
    if (piece.size() < telling_start) return false;
    const std::optional<smv::HeaderKeyword> header = header_keyword(piece);
    if (header ? header->opens == Section::module : module_.section != Section::module)
        return false;
    if (header) open_section(*header);
    const std::size_t skipped = header ? header->word.size() : 0;
    const std::size_t line_number = input_.line_number();
    const DeclarationsOfN declarations = declarations_of_n(piece.substr(skipped));
    bool forall = false, proc = false, in_comment = false;
    // The code looked at: the end of the piece before (a name may run across
    // the cut), then this piece.
    std::string window;
    bool window_starts_line = true;
    const auto holds_name = [&](std::string_view code, std::string_view name, bool code_ends) {
        for (std::size_t at = textops::find(code, name); at != std::string_view::npos;
             at = textops::find(code, name, at + 1)) {
            const std::size_t end = at + name.size();
            if ((at > 0 ? !smv::is_word_char(code[at - 1]) : window_starts_line) &&
                (end < code.size() ? !smv::is_word_char(code[end]) : code_ends))
                return true;
        }
        return false;
    };
    for (bool first = true;; first = false) {
        put(piece);
        if (!in_comment) {
            window.append(first ? piece.substr(skipped) : piece);
            const std::string_view code = code_of(window);
            in_comment = code.size() < window.size();
            const bool code_ends = in_comment || !input_.line_goes_on();
            forall |= holds_name(code, "FORALL", code_ends);
            proc |= holds_name(code, "Proc", code_ends);
            constexpr std::size_t kept = 7;  // "FORALL" and the byte before it
            if (window.size() > kept) {
                window.erase(0, window.size() - kept);
                window_starts_line = false;
            }
        }
        if (!input_.next_piece(piece)) break;
    }
    if (!((forall || proc) && explained_by_unopened_header())) {
        if (forall) warnings_.warn(line_number, header ? forall_on_header : forall_not_translated);
        if (proc) warnings_.warn(line_number, proc_not_replaced);
    }
    warn_of(declarations, line_number);
    return true;
}

// Every module gets its own definition of N, after its header.
void Translator::copy_module_header(std::string_view header) {
    module_ = ModuleState{};
    const std::size_t header_line = input_.line_number();
    put_line(header);
    std::string_view line = header;
    for (bool first = true;; first = false) {
        check_copied_code(line, input_.line_number(), {});
        const std::size_t n = smv::find_word(line, "N");
        if (n != std::string_view::npos && in_code(line, n) &&
            (!first || line.substr(0, n).find('(') != std::string_view::npos))
            warnings_.warn(input_.line_number(), "parameter named N",
                           "the module has a parameter N, which ruvello defines in every "
                           "module, and NuSMV stops with a multiple declaration of N; give it "
                           "another name");
        if (ends_module_header(line, first)) break;
        if (!input_.next_line(line)) {
            warnings_.warn(header_line, "parameter list never closes",
                           "the parameter list of this MODULE never closes, so every line to "
                           "the end of the file is copied as part of it; close it with ')'");
            break;
        }
        // Written right after the line before, as in the model: no marker
        // is ever due here.
        put_line(line);
    }
    // The definition of N counts as the header's.
    mark(header_line);
    put_lines("DEFINE\n", 1);
    mark(header_line);
    put_lines(define_line_, 1);
}

}  // namespace ruvello
