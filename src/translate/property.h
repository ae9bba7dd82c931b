// What the translation of a FORALL property works with: its parameters, the
// tuples of processes it is written for, and what one walk over its formula
// finds.
#pragma once

#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ruvello {

// The parameters of a FORALL line, bracketed as they are used ("[i]"). A
// single parameter is the whole list, commas included. Otherwise the first
// runs to the first comma after a character other than a comma (commas at
// the very start stay in it), and each further one is the next non-empty
// piece. Storage is kept from line to line.
class ParameterNames {
public:
    void assign(std::string_view list, std::size_t count);
    // Whether the names are those of `list`, over `count` parameters.
    bool taken_from(std::string_view list, std::size_t count) const {
        return list == list_ && count == bracketed_.size();
    }

    std::size_t size() const { return bracketed_.size(); }
    std::string_view list() const { return list_; }
    const std::vector<std::string>& bracketed() const { return bracketed_; }
    bool has_duplicates() const { return has_duplicates_; }
    // Whether an instance is written from the line's formula as it is read,
    // with the parameters' bracketed uses replaced all at once.
    bool plain() const { return plain_; }
    // The first parameter whose bracketed name `text` starts with.
    std::optional<std::size_t> bracketed_at(std::string_view text) const;
    // The first parameter named `name`. Most names of a formula are not
    // parameters, and start otherwise: they are passed over here.
    std::optional<std::size_t> named(std::string_view name) const {
        if (!name.empty() && !first_bytes_.test(static_cast<unsigned char>(name.front())))
            return std::nullopt;
        return named_as_first_bytes_allow(name);
    }

private:
    // Beyond this many parameters they are looked up by name, so that a
    // FORALL over thousands of them takes time in proportion to its uses.
    static constexpr std::size_t looked_up_beyond = 8;

    std::optional<std::size_t> named_as_first_bytes_allow(std::string_view name) const;

    std::string list_;  // the list the names were taken from
    std::vector<std::string> bracketed_;
    std::bitset<256> first_bytes_;  // of the names
    std::unordered_map<std::string_view, std::size_t> by_name_;  // unbracketed, the first of each
    bool has_duplicates_ = false;
    bool has_closing_bracket_ = false;  // a name holds ']'
    bool plain_ = false;
};

// The processes of the instances of a property over `size` parameters, in
// order: every ordered tuple of distinct processes from 1..`processes`,
// lexicographically; (1), (2) or (1, 2), (2, 1) for processes 1 and 2.
// Storage is kept from line to line.
class ProcessTuples {
public:
    // The tuple must fit: `size` is at most `processes`.
    void reset(std::size_t size, int processes);
    const std::vector<int>& tuple() const { return tuple_; }
    // Moves to the next tuple; false after the last.
    bool next();

private:
    // A short tuple is looked through for the processes it holds; a longer
    // one keeps a table of them, so that a step costs in proportion to the
    // positions it changes and the processes it passes over, whatever the
    // tuple's size.
    static constexpr std::size_t looked_through_up_to = 8;

    bool used_before(int process, std::size_t k) const;
    void take(std::size_t k, int process);
    // Gives the positions after `k` the smallest processes not used before.
    void fill_after(std::size_t k);

    std::vector<int> tuple_;
    std::vector<char> used_;  // by process number, for a long tuple: whether it holds it
    int processes_ = 0;
};

// What an instance is made of: for one parameter, the text after its first
// ')' (the end of the list); for more, the text after its first '>' (the
// guard "i != j ->" is dropped with it). Each is written as an AG property.
struct Quantifier {
    char formula_after;
    std::string_view prefix;
};

// A bracketed use of a parameter in a formula: "[i]" at `at`.
struct ParameterUse {
    std::size_t at;
    std::size_t parameter;
};

// What one walk over the formula of a FORALL line finds for the checks, in
// its code (before a comment).
struct FormulaScan {
    std::string_view top_operator;        // the first boolean operator outside (), [], {}
    std::string_view standing_parameter;  // the first parameter used otherwise than as "[p]"
    std::string_view instance_named;      // the first process instance named as u[i] or u[1]
    int open_parentheses = 0;             // '(' not closed by the end
};

}  // namespace ruvello
