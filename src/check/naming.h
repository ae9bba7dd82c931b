// Names every property of a translation, so that the checker's verdict on
// each can be told apart by its name rather than by where or how the checker
// prints it, and finds the module instances through which the checker names
// the properties of modules.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/streams.h"
#include "smv/vocabulary.h"

namespace ruvello::check {

// A property of the translation.
struct NamedProperty {
    std::string name;            // after NAME; empty for PSL, which NuSMV cannot name
    std::size_t line = 0;        // the model's line of the first word after its keyword
    std::size_t keyword_line = 0;
    std::size_t last_line = 0;   // the model's line where its text ends
    int ordinal = 1;             // the first, second, ... property that starts on its line
    smv::PropertyKind kind = smv::PropertyKind::ctl;
    std::string module;
    std::optional<std::vector<int>> processes;  // a FORALL instance's tuple
    bool stand_in = false;  // stands for a FORALL line without instances
    std::set<std::string> names;  // the names its formula reads, at most 64
};

// A variable of a module whose type is another module: `a : watcher(x);`,
// `N1_p : process user(...)`, or `b : array 1..3 of m;` (count 3).
struct InstanceDeclaration {
    std::string name;
    std::string module;
    std::size_t count = 1;
    bool array = false;
};

struct NamedTranslation {
    std::vector<NamedProperty> properties;  // in the order of the text
    std::vector<std::string> modules;
    std::map<std::string, std::vector<InstanceDeclaration>, std::less<>> instances;  // by module

    // The property that the checker lists as `listed` (N2_c.own, or own for
    // one of main) with the path of its module instance, or nothing when no
    // property of the translation has that name in the module of that
    // instance. PSL properties, which have no name, are found by `instance`.
    struct Found {
        std::size_t property;  // index into properties
        std::string path;      // empty for main
    };
    std::optional<Found> property_listed_as(std::string_view listed) const;
    // The module of an instance path ("" is main), or nothing.
    std::optional<std::string> module_of(std::string_view path) const;
    // How many instances of `module` the model has, counted from main: how
    // many times the checker lists each of its properties. Saturates.
    std::size_t instance_count(std::string_view module) const;
};

// The translation's words are named as the checker reads them: an
// identifier runs on over digits, '_', '$', '#', '\' and '-', so `c--d` is
// one and `--` starts a comment only where no identifier goes on.
inline constexpr auto& starts_identifier = smv::starts_name;
inline constexpr auto& continues_identifier = smv::continues_listed_name;

// The model's line that a marker line of the translation, "# 14 "m.in"",
// gives the line after it; nothing for any other line.
std::optional<std::size_t> marker_line(std::string_view line);

// Calls `each` with every identifier of `text`, in order.
template <typename Each>
void for_each_identifier(std::string_view text, Each each) {
    for (std::size_t at = 0; at < text.size();) {
        if (!starts_identifier(text[at]) || (at > 0 && continues_identifier(text[at - 1]))) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && continues_identifier(text[end])) ++end;
        each(text.substr(at, end - at));
        at = end;
    }
}

// A prefix for the names ruvello gives properties that no name in `model`
// starts with: ruvello_, else ruvellox_, ruvelloxx_, ...
std::string name_prefix_for(std::string_view model);

// Passes a translation written with line markers and named FORALL instances
// (NAME PREFIX14_1_3, NAME PREFIX14_none) on to `out`, giving each other
// property without a NAME one, PREFIX14 (PREFIX14_pK for the K-th of a
// line); a NAME of the model's own is kept. It reads the translation as it
// is written, a line at a time.
class PropertyNamer : public ByteSink {
public:
    PropertyNamer(ByteSink& out, std::string prefix);
    void write(std::string_view bytes) override;
    // After the last write: what was found.
    NamedTranslation finish();

private:
    void name_line(std::string_view line);
    // Reads a word of the line being named, which starts at `at`.
    void read_word(std::string_view word, std::size_t at);
    // Takes a word that the words before it lead to expect (a property's
    // NAME or formula, the name after NAME and its :=, a module's name);
    // false when the word is to be read as any other.
    bool take_expected_word(std::string_view word, std::size_t at);
    void start_property(std::size_t at, bool named);
    void open_property();
    void read_formula_word(std::string_view word);
    void start_declaration();
    void read_declaration_word(std::string_view word);
    void decode_instance_name(NamedProperty& property) const;

    ByteSink& out_;
    std::string prefix_;
    std::string partial_line_;
    NamedTranslation named_;
    std::size_t next_line_ = 0;  // the banner is line 0
    std::size_t line_number_ = 0;
    std::string module_;
    std::map<std::size_t, int> properties_on_line_;
    std::string_view line_;  // the line being named
    std::string written_;    // as passed on, up to copied_ of line_
    std::size_t copied_ = 0;

    // What the words so far leave open.
    enum class Expecting {
        nothing,
        formula,       // after a property keyword: NAME or the formula
        name,          // after NAME
        assignment,    // after NAME and the name: ":="
        module_name,   // after MODULE
    } expecting_ = Expecting::nothing;
    std::optional<NamedProperty> pending_;  // the property whose formula is to come
    std::optional<std::size_t> open_property_;  // the property whose text goes on

    // Declarations of a VAR section, read as far as needed to see which
    // variables are module instances.
    bool in_declarations_ = false;
    enum class Declaration { name, type, array_range, rest } declaration_ = Declaration::name;
    std::string declared_name_;
    std::string array_range_;
    bool declared_array_ = false;
    std::string type_;  // the word that may name a module
    int depth_ = 0;     // parentheses, brackets and braces open in the declaration
};

// The whole translation at once, for a text in memory.
struct NamedText {
    std::string text;
    NamedTranslation named;
};
NamedText name_properties(std::string_view translation, std::string_view prefix);

}  // namespace ruvello::check
