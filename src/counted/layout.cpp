#include "counted/layout.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "counted/refusal.h"
#include "smv/excerpt.h"

namespace ruvello::counted {

namespace {

using smv::Token;
using smv::TokenKind;

using smv::Section;

// The model's lines, and what the line translator makes of each.
class Lines {
public:
    explicit Lines(const smv::Model& model) : model_(model) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = std::min(model.text.find('\n', start), model.text.size());
            lines_.push_back(model.text.substr(start, end - start));
            if (end == model.text.size()) break;
            start = end + 1;
        }
        Section section = Section::module;
        for (const std::string_view line : lines_) {
            if (const std::optional<smv::HeaderKeyword> header = header_of(line)) section = header->opens;
            sections_.push_back(section);
        }
        last_token_.assign(lines_.size() + 1, npos);
        for (std::size_t k = 0; k + 1 < model.tokens.size(); ++k) last_token_[model.tokens[k].line] = k;
    }

    std::size_t count() const { return lines_.size(); }
    std::string_view text(std::size_t line) const { return lines_[line - 1]; }
    Section section(std::size_t line) const { return sections_[line - 1]; }
    bool is_header(std::size_t line) const { return header_of(text(line)).has_value(); }
    bool has_tokens(std::size_t line) const { return last_token_[line] != npos; }
    // The text after the last token of a line: blanks, or a comment.
    std::string_view after_code(std::size_t line) const {
        if (!has_tokens(line)) return text(line);
        const Token& last = model_.tokens[last_token_[line]];
        const std::size_t line_start = last.offset - last.column;
        return text(line).substr(last.end_offset() - line_start);
    }
    bool is_blank(std::size_t line) const {
        return text(line).find_first_not_of(" \t") == std::string_view::npos;
    }

    // The keyword of a header: a section keyword in the first column followed
    // by a space or the end of the line.
    static std::optional<smv::HeaderKeyword> header_of(std::string_view line) {
        for (const smv::HeaderKeyword& header : smv::header_keywords)
            if (line.starts_with(header.word) &&
                (line.size() == header.word.size() || line[header.word.size()] == ' '))
                return header;
        return std::nullopt;
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    const smv::Model& model_;
    std::vector<std::string_view> lines_;
    std::vector<Section> sections_;
    std::vector<std::size_t> last_token_;  // by line
};

bool contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

void require_headers_in_first_column(const smv::Model& model, const Lines& lines) {
    for (const Token& token : model.tokens) {
        const auto names_header = [&](const smv::HeaderKeyword& header) { return header.word == token.text; };
        if (token.kind != TokenKind::name || std::none_of(std::begin(smv::header_keywords),
                                                          std::end(smv::header_keywords), names_header))
            continue;
        const std::optional<smv::HeaderKeyword> header = Lines::header_of(lines.text(token.line));
        if (token.column != 0 || !header || header->word != token.text)
            refuse(outside(token.line,
                           "has " + std::string(token.text) +
                               " where the line translator does not read it as a header: write it in "
                               "the first column, followed by a space or the line's end"));
    }
}

// The line translator copies a MODULE header on until a line with ')'.
void require_module_headers_on_one_line(const smv::Model& model, const Lines& lines) {
    for (const smv::Module& module : model.modules) {
        const std::size_t line = model.tokens[module.keyword_token].line;
        const std::string_view text = lines.text(line);
        if (module.span.end > model.tokens[module.keyword_token].offset + text.size() ||
            (contains(text, "(") && !contains(text, ")")))
            refuse(outside(line, "writes a MODULE header that the line translator reads on past its line"));
    }
}

// Proc is replaced, as text, in the lines of VAR and ASSIGN sections only,
// and there wherever it stands: inside a longer name or a comment too.
void require_proc_where_replaced(const smv::Model& model, const Lines& lines) {
    for (const Token& token : model.tokens) {
        if (token.kind != TokenKind::name || !contains(token.text, "Proc")) continue;
        if (token.text != "Proc")
            refuse(outside(token.line,
                           "has a name holding Proc, which the line translator replaces inside it (" +
                               smv::excerpt(token.text) + ")"));
        if (lines.section(token.line) != Section::statements || lines.is_header(token.line))
            refuse(outside(token.line, "uses Proc where the line translator does not replace it"));
    }
    for (std::size_t line = 1; line <= lines.count(); ++line)
        if (lines.section(line) == Section::statements && contains(lines.after_code(line), "Proc"))
            refuse(outside(line, "mentions Proc in a comment, which the line translator replaces"));
}

// A line of a SPEC section that mentions FORALL is written as its instances.
void require_forall_lines_read(const smv::Model& model, const Lines& lines) {
    std::set<std::size_t> forall_lines;
    for (const smv::Module& module : model.modules)
        for (const smv::Property& property : module.properties)
            if (property.forall) forall_lines.insert(property.line);
    for (std::size_t line = 1; line <= lines.count(); ++line)
        if (lines.section(line) == Section::properties && contains(lines.text(line), "FORALL") &&
            !forall_lines.contains(line))
            refuse(outside(line, "mentions FORALL where the line translator would write a property of it"));
}

// A statement that names [Proc] is written for each process as the line
// translator gathers it: from its first line to the first line with a ';',
// comment lines before it included. It must be one line of its own, whose
// text before the first ':' names [Proc], and what the translator joins to
// it must not change how it is written.
class PerProcessStatement {
public:
    PerProcessStatement(const smv::Model& model, const Lines& lines, std::size_t first, std::size_t last,
                        bool declares_processes)
        : model_(model),
          lines_(lines),
          first_(first),
          last_(last),
          declares_processes_(declares_processes),
          line_(model.tokens[first].line) {}

    void require_as_read() const {
        const std::vector<Token>& tokens = model_.tokens;
        const bool alone = tokens[last_].line == line_ && tokens[last_].is(";") &&
                           (first_ == 0 || tokens[first_ - 1].line < line_) &&
                           (tokens[last_ + 1].kind == TokenKind::end || tokens[last_ + 1].line > line_);
        if (!alone) fail("writes a statement with [Proc] that is not alone on one line, ended by ';'");
        if (!head_names_proc()) fail("writes [Proc] otherwise than as the line translator looks for it");
        if (lines_.section(line_) != Section::statements || lines_.is_header(line_))
            fail("writes a statement with [Proc] outside the lines of a VAR or ASSIGN section");
        if (!declares_processes_ && contains(lines_.text(line_), "transition"))
            fail("mentions transition beside a statement that declares no processes");
        if (declares_processes_) require_one_transition_word();
        require_nothing_joined_before();
    }

private:
    [[noreturn]] void fail(std::string_view what) const { refuse(outside(line_, what)); }

    // "[Proc]" before the statement's first ':'.
    bool head_names_proc() const {
        const std::vector<Token>& tokens = model_.tokens;
        for (std::size_t at = first_ + 1; at < last_ && !tokens[at].is(":") && !tokens[at].is(":="); ++at)
            if (tokens[at].is("Proc") && tokens[at - 1].is("[") &&
                tokens[at - 1].end_offset() == tokens[at].offset && tokens[at + 1].is("]") &&
                tokens[at].end_offset() == tokens[at + 1].offset)
                return true;
        return false;
    }

    // "transition" becomes "process" wherever it stands in the statement.
    void require_one_transition_word() const {
        for (std::size_t at = first_; at <= last_; ++at)
            if (contains(model_.tokens[at].text, "transition") && !model_.tokens[at].is("transition"))
                fail("has a name holding transition, which the line translator replaces inside it");
    }

    // Walking back from the line before: blank lines, then a header or a
    // line with a ';', which ends the statement before. Comment lines are
    // joined to this statement: harmless unless they hold a ':' (which
    // would end the part that must name [Proc]) or "transition"; before a
    // declaration of processes, whose instance name is taken from the
    // statement's start, none may be joined.
    void require_nothing_joined_before() const {
        for (std::size_t line = line_ - 1; line >= 1; --line) {
            if (lines_.is_blank(line)) continue;
            const std::string_view text = lines_.text(line);
            if (lines_.is_header(line) || contains(text, ";")) return;
            if (lines_.has_tokens(line))
                fail("follows a line without ';', which the line translator joins to it");
            if (contains(text, ":") || contains(text, "transition"))
                fail("follows a comment line that the line translator joins to it and reads as part of it");
            if (declares_processes_)
                fail(
                    "follows a comment line, which the line translator would make part of the process names");
        }
    }

    const smv::Model& model_;
    const Lines& lines_;
    std::size_t first_, last_;
    bool declares_processes_;
    std::size_t line_;
};

bool is_per_process_target(const smv::Expr& target) {
    return target.kind == smv::Expr::Kind::index && target.operand(1).kind == smv::Expr::Kind::name &&
           target.operand(1).text == "Proc";
}

void require_per_process_statements_as_read(const smv::Model& model, const Lines& lines) {
    for (const smv::Module& module : model.modules) {
        for (const smv::Declaration& declaration : module.declarations)
            if (declaration.per_process)
                PerProcessStatement(model, lines, declaration.first_token, declaration.last_token,
                                    declaration.type.kind == smv::Type::Kind::instance)
                    .require_as_read();
        for (const smv::Assignment& assignment : module.assignments)
            if (is_per_process_target(*assignment.target))
                PerProcessStatement(model, lines, assignment.first_token, assignment.last_token, false)
                    .require_as_read();
        // A constraint that names Proc must be written once for each process.
        for (const smv::Constraint& constraint : module.constraints) {
            const auto first = model.tokens.begin() + static_cast<std::ptrdiff_t>(constraint.first_token);
            const auto last = model.tokens.begin() + static_cast<std::ptrdiff_t>(constraint.last_token);
            if (std::any_of(first, last + 1, [](const Token& token) { return token.is("Proc"); }))
                PerProcessStatement(model, lines, constraint.first_token, constraint.last_token, false)
                    .require_as_read();
        }
    }
}

}  // namespace

void require_translator_layout(const smv::Model& model) {
    const Lines lines(model);
    require_headers_in_first_column(model, lines);
    require_module_headers_on_one_line(model, lines);
    require_proc_where_replaced(model, lines);
    require_per_process_statements_as_read(model, lines);
    require_forall_lines_read(model, lines);
}

}  // namespace ruvello::counted
