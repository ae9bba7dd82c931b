// What ruvello knows of NuSMV: how to ask it for its list of properties and
// for a verdict on each, and how to read what it prints.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvello::check {

// The lines of a text, without their line ends.
std::vector<std::string_view> lines_of(std::string_view text);

// The checker to run: --checker PATH, else RUVELLO_NUSMV, else NuSMV on
// PATH, and where it was named.
struct CheckerChoice {
    std::string program;
    std::string named_by;  // "--checker", "RUVELLO_NUSMV" or "PATH"
};
CheckerChoice choose_checker(const std::optional<std::string>& option, const char* environment);

// What to say when the checker cannot be run, `why` being the reason: what
// was tried, and how to get NuSMV and point ruvello at it.
std::string no_checker_message(const CheckerChoice& choice, std::string_view why);

// Why an option may not be passed to the checker, or nothing when it may.
std::optional<std::string> refused_checker_option(std::string_view option);

// Options that check the same properties faster than NuSMV's defaults:
// dynamic reordering, no counterexamples, one transition relation.
extern const std::vector<std::string> fast_options;
// With --reference-checks: the same without the single transition relation.
extern const std::vector<std::string> reference_options;

// A property as NuSMV lists it (-lp): its index, its kind, its name with the
// path of the module instance it belongs to (c1.u), and the instance that
// follows " IN " in its formula, for a property that has no name.
struct ListedProperty {
    int index = 0;
    std::string kind;
    std::string name;  // "N/A" for a property without a name
    std::string instance;
    std::string formula;  // as NuSMV prints it, on one line, without " IN "
};

std::vector<ListedProperty> read_listing(std::string_view output);

// "NuSMV 2.6.0", from the banner NuSMV prints on every run, or nothing.
std::optional<std::string> read_version(std::string_view output);

// A property that is AG of a state formula, "AG p", as the expression
// that NuSMV's invariant checker takes ("p IN c1" for an instance c1), or
// nothing. The invariant checker ignores fairness: where it finds p true,
// AG p holds; where false, only the CTL checker can tell.
std::optional<std::string> invariant_of(const ListedProperty& property);

// A check for the script: a property, the verdict of which read_verdicts
// gives under `index`, and NuSMV's command for it.
struct Check {
    int index = 0;
    std::string command;

    // Property `index` of the listing, with the checker for its kind.
    static Check listed(int index) { return {index, "check_property -n " + std::to_string(index)}; }
    // An invariant, "p" or "p IN c1", under `index`.
    static Check invariant(int index, const std::string& expression) {
        return {index, "check_invar -p \"" + expression + "\""};
    }
    // The INVARSPEC named `name`, under `index`.
    static Check named_invariant(int index, const std::string& name) { return {index, "check_invar -P " + name}; }
};

// A script for -source that reads `model` once, counts its reachable states
// when asked to, and makes `checks`, each after a marker line that
// read_verdicts finds. `model` is a path that NuSMV's command reader takes
// as it is: letters, digits and "./_-[]" only.
std::string verdict_script(const std::string& model, const std::vector<Check>& checks, bool count_states);

// The number of reachable states that a verdict script printed, or nothing.
std::optional<double> read_states(std::string_view output);

struct CheckerVerdict {
    std::string verdict;               // "true" or "false"
    std::optional<std::string> value;  // what a COMPUTE found
    std::string text;                  // all it printed for the property
};

// The verdicts found in the output of a run of verdict_script, by index:
// those printed before the run ended, however it ended.
std::map<int, CheckerVerdict> read_verdicts(std::string_view output);

// What NuSMV said about a model it could not read or check: its first
// lines of substance, without its banner and warnings.
std::string read_error(std::string_view errors);

// A module instance as the model names it: the processes' instances of a
// module, N1_c and N2_c, are c[1] and c[2]; a.N2_c.b is a.c[2].b.
std::string instance_as_in_model(std::string_view path);

}  // namespace ruvello::check
