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

// Colons at the very start of a statement do not end its head.
std::string_view statement_head(std::string_view statement) {
    const std::size_t start = statement.find_first_not_of(':');
    if (start == std::string_view::npos) return statement;
    return statement.substr(0, statement.find(':', start));
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

// Writes the parts with `number` between each two.
[[gnu::always_inline]] inline void write_joined(OutputBuffer& output, const std::vector<std::string_view>& parts,
                  std::string_view number) {
    output.put(parts.front());
    for (std::size_t i = 1; i < parts.size(); ++i) {
        output.put(number);
        output.put(parts[i]);
    }
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
    if (!textops::contains(statement_head(statement), "[Proc]")) {
        textops::for_each_piece(statement, proc, "1 .. N",
                                [this](std::string_view piece) { output_.put(piece); });
        return;
    }
    if (!textops::contains(statement, "transition")) {
        write_process_instances(statement);
    } else if (textops::contains(statement, ':')) {
        write_process_declarations(statement);
    } else {
        warnings_.warn(first_line_number,
                       "process declaration without ':' has no module to instantiate; "
                       "statement copied unchanged");
        output_.put(statement);
    }
}

// Joins further lines to the statement until one holds a ';'. A further line
// that mentions a section keyword is not joined: it is left to be read again
// as a line of its own.
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

// In a process-indexed statement the word "array " becomes a tab.
void Translator::write_process_instances(std::string_view statement) {
    const auto& parts = split_at_proc(replaced(statement, "array ", "\t", rewritten_), parts_);
    for (std::int64_t process = 1; process <= settings_.process_count; ++process)
        write_joined(output_, parts, ProcessNumber(process).text());
}

// A process-indexed "transition" statement declares one SMV process per
// process number:  p[Proc] : transition m(x[Proc]);  becomes, for process 1,
// a tab and  N1_p : process m(x[1]);  The word "array " is dropped.
void Translator::write_process_declarations(std::string_view statement) {
    const std::string_view text = replaced(statement, "array ", "", rewritten_);
    // "transition" holds no blank, so it can be replaced on either side of
    // the one that joins the name and the rest.
    declaration_.clear();
    const auto append = [this](std::string_view piece) { declaration_ += piece; };
    textops::for_each_piece(instance_name(text), "transition", "process", append);
    declaration_ += ' ';
    textops::for_each_piece(text.substr(text.find(':')), "transition", "process", append);
    const auto& parts = split_at_proc(declaration_, parts_);
    for (std::int64_t process = 1; process <= settings_.process_count; ++process) {
        const ProcessNumber number(process);
        output_.put("\tN");
        output_.put(number.text());
        output_.put("_");
        write_joined(output_, parts, number.text());
    }
}

}  // namespace ruvello
