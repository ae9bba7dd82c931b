// Statements of VAR and ASSIGN sections.
//
// A statement runs from its first line to the first line holding a ';'. A
// statement whose head (its text before the first ':') names an item "[Proc]"
// is process-indexed and is written once for every process 1..N, with Proc
// replaced by the process number. Any other statement is written once, with
// Proc standing for the whole range "1 .. N".

#include <charconv>
#include <cstdint>

#include "textops/textops.h"
#include "translator.h"

namespace ruvello {

namespace {

constexpr std::string_view proc = "Proc";

bool mentions_section_keyword(std::string_view line) {
    return textops::contains(line, "MODULE") || textops::contains(line, "VAR") ||
           textops::contains(line, "ASSIGN") || textops::contains(line, "SPEC");
}

// Colons at the very start of a statement do not end its head.
std::string_view statement_head(std::string_view statement) {
    const std::size_t start = statement.find_first_not_of(':');
    if (start == std::string_view::npos) return statement;
    return statement.substr(0, statement.find(':', start));
}

bool is_process_indexed(std::string_view statement) {
    return textops::contains(statement_head(statement), "[Proc]");
}

// The name a process declaration gives its instances: the text before the
// first '[' (opening brackets at the very start do not end it), without its
// leading blanks.
std::string_view instance_name(std::string_view declaration) {
    const std::size_t start = declaration.find_first_not_of('[');
    if (start == std::string_view::npos) return textops::ltrim(declaration);
    return textops::ltrim(declaration.substr(0, declaration.find('[', start)));
}

// Decimal digits of a process number. Numbers are counted in 64 bits, so that
// counting up to N = 2147483647 ends.
class ProcessNumber {
public:
    explicit ProcessNumber(std::int64_t number) {
        size_ = std::to_chars(digits_, digits_ + sizeof digits_, number).ptr - digits_;
    }
    std::string_view text() const { return {digits_, size_}; }

private:
    char digits_[24];
    std::size_t size_;
};

// `text` with every `match` replaced, kept in `storage` only when it changes.
std::string_view rewrite(std::string_view text, std::string_view match,
                         std::string_view replacement, std::string& storage) {
    if (!textops::contains(text, match)) return text;
    textops::assign_replaced(storage, text, match, replacement);
    return storage;
}

}  // namespace

void Translator::translate_statement(std::string_view first_line) {
    const std::size_t first_line_number = input_.line_number();
    const std::string_view statement = gather_statement(first_line);
    // Most statements mention no process at all, and are copied as they are.
    if (!textops::contains(statement, proc.front())) {
        output_.put(statement);
        return;
    }
    split_.split(statement, proc);
    if (is_process_indexed(statement))
        write_process_instances(statement, first_line_number);
    else
        split_.write(output_, "1 .. N");
}

// Joins further lines to the statement until one holds a ';'. A further line
// that mentions a section keyword anywhere, even inside a longer word, is not
// joined: it is left to be read again as a line of its own.
std::string_view Translator::gather_statement(std::string_view first_line) {
    if (textops::contains(first_line, ';')) return first_line;
    statement_.assign(first_line);
    std::string_view line;
    while (input_.next_line(line)) {
        if (mentions_section_keyword(line)) {
            input_.step_back();
            break;
        }
        statement_ += line;
        if (textops::contains(line, ';')) break;
    }
    return statement_;
}

// Expects split_ to hold the statement split at Proc, and splits again only
// what a rewrite changed.
void Translator::write_process_instances(std::string_view statement,
                                         std::size_t first_line_number) {
    const bool declares_process = textops::contains(statement, "transition");
    if (declares_process && !textops::contains(statement, ':')) {
        warnings_.warn(first_line_number,
                       "process declaration without ':' has no module to instantiate; "
                       "statement copied unchanged");
        output_.put(statement);
        return;
    }
    // In a process-indexed statement the word "array " is dropped from a
    // process declaration and becomes a tab anywhere else.
    const std::string_view rewritten =
        rewrite(statement, "array ", declares_process ? "" : "\t", rewritten_);
    if (declares_process) {
        write_process_declarations(rewritten);
        return;
    }
    if (rewritten.data() != statement.data()) split_.split(rewritten, proc);
    for (std::int64_t process = 1; process <= settings_.process_count; ++process)
        split_.write(output_, ProcessNumber(process).text());
}

// A process-indexed "transition" statement declares one SMV process per
// process number:  p[Proc] : transition m(x[Proc]);  becomes, for process 1,
// a tab and  N1_p : process m(x[1]);
void Translator::write_process_declarations(std::string_view statement) {
    declaration_.assign(instance_name(statement));
    declaration_ += ' ';
    declaration_ += statement.substr(statement.find(':'));
    split_.split(rewrite(declaration_, "transition", "process", process_declaration_), proc);
    for (std::int64_t process = 1; process <= settings_.process_count; ++process) {
        const ProcessNumber number(process);
        output_.put("\tN");
        output_.put(number.text());
        output_.put("_");
        split_.write(output_, number.text());
    }
}

}  // namespace ruvello
