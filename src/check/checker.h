// What ruvello knows of NuSMV: how to ask it for its list of properties and
// for a verdict on each, and how to read what it prints.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "check/results.h"
#include "platform/streams.h"

namespace ruvello::check {

// The lines of what the checker printed, read a piece at a time, so that
// memory does not grow with its output: a line of at most `whole` bytes
// comes whole, a longer one cut, as its first and its last bytes, which
// hold all that ruvello reads of such a line (how it starts, how it ends).
class OutputLines {
public:
    static constexpr std::size_t kept_of_cut_line = std::size_t{1} << 16;

    explicit OutputLines(ByteSource& source, std::size_t whole = kept_of_cut_line);
    // Sets `line` to the next line, without its line end, and returns true,
    // or returns false at the end of the output.
    bool next(std::string_view& line);
    // Whether the line returned last was cut.
    bool cut() const { return cut_; }
    // Where the line returned last starts in the output, and where the next
    // one starts, in bytes.
    std::uint64_t start() const { return start_; }
    std::uint64_t end() const { return end_; }

private:
    LineReader reader_;
    std::size_t whole_;
    std::string kept_;  // a line read in pieces
    std::string tail_;  // the last bytes of a line cut
    bool cut_ = false;
    std::uint64_t start_ = 0, end_ = 0;
};

// Copies stretches of a source to sinks, in the order they lie in it.
class OutputCopier {
public:
    explicit OutputCopier(ByteSource& source) : source_(source), buffer_(new char[buffer_size]) {}
    // Copies the bytes from `start` to `end` of the source to `sink`, which
    // start at or after the bytes copied last.
    void copy(std::uint64_t start, std::uint64_t end, ByteSink& sink) {
        while (position_ < end) {
            if (taken_ == held_) {
                taken_ = 0;
                held_ = source_.read(buffer_.get(), buffer_size);
                if (held_ == 0) return;
            }
            const std::uint64_t at_hand = held_ - taken_;
            if (position_ < start) {
                const std::size_t skipped = static_cast<std::size_t>(std::min(at_hand, start - position_));
                taken_ += skipped;
                position_ += skipped;
                continue;
            }
            const std::size_t copied = static_cast<std::size_t>(std::min(at_hand, end - position_));
            sink.write(std::string_view(buffer_.get() + taken_, copied));
            taken_ += copied;
            position_ += copied;
        }
    }

private:
    static constexpr std::size_t buffer_size = std::size_t{1} << 16;
    ByteSource& source_;
    std::unique_ptr<char[]> buffer_;
    std::size_t held_ = 0, taken_ = 0;  // bytes in the buffer, and of those, used
    std::uint64_t position_ = 0;        // in the source, of the next byte
};

// What the checker printed is not what any run of it on this model prints:
// more than ruvello keeps of it, say.
struct UnreadableOutput : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The checker to run: --checker PATH, else RUVELLO_NUSMV, else NuSMV on
// PATH, and where it was named.
struct CheckerChoice {
    std::string program;
    std::string named_by;  // "--checker", "RUVELLO_NUSMV" or "PATH"
};
CheckerChoice choose_checker(const std::optional<std::string>& option,
                             const std::optional<std::string>& environment);

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

// The listing, which is held whole; one longer than `most` bytes is no
// listing of the translation, and throws UnreadableOutput.
std::vector<ListedProperty> read_listing(ByteSource& output, std::size_t most);

// "NuSMV 2.6.0", from the banner NuSMV prints on every run, or nothing.
std::optional<std::string> read_version(ByteSource& output);

// A property that is AG of a state formula, "AG p", as the expression
// that NuSMV's invariant checker takes ("p IN c1" for an instance c1), or
// nothing. The invariant checker ignores fairness: where it finds p true,
// AG p holds; where false, only the CTL checker can tell.
std::optional<std::string> invariant_of(const ListedProperty& property);

// A check for the script: a property, the verdict of which read_verdicts
// gives under `key`, and NuSMV's command for it.
struct Check {
    std::string key;  // letters, digits and '_', as NuSMV's echo prints them
    std::string command;

    // Property `index` of the listing, with the checker for its kind, under
    // the index.
    static Check listed(int index) { return {std::to_string(index), "check_property -n " + std::to_string(index)}; }
    // An invariant, "p" or "p IN c1", under `index`.
    static Check invariant(int index, const std::string& expression) {
        return {std::to_string(index), "check_invar -p \"" + expression + "\""};
    }
    // The INVARSPEC named `name`, under its name.
    static Check named_invariant(const std::string& name) { return {name, "check_invar -P " + name}; }
};

// A script for -source that reads `model` once, counts its reachable states
// when asked to, and makes `checks`, each after a marker line that
// read_verdicts finds. `model` is a path that NuSMV's command reader takes
// as it is: letters, digits and "./_-[]" only.
std::string verdict_script(const std::string& model, const std::vector<Check>& checks, bool count_states);

struct CheckerVerdict {
    Verdict verdict = Verdict::holds;  // true or false
    std::optional<std::string> value;  // what a COMPUTE found
    // Where all it printed for the property (the verdict, a counterexample)
    // lies in the output, in bytes.
    std::uint64_t text_start = 0, text_end = 0;
    // The names of the processes' module instances in that text (N2_c),
    // when asked for.
    std::set<std::string> instances;
};

// What a run of verdict_script printed before it ended, however it ended.
struct VerdictsRead {
    std::map<std::string, CheckerVerdict> verdicts;  // by the key of their check
    std::set<std::string> repeated;  // keys under which more than one verdict came
    std::optional<double> states;    // the reachable states, when counted
};
// With `instances`, the names of the module instances in each false verdict's text.
VerdictsRead read_verdicts(ByteSource& output, bool instances);

// What NuSMV said about a model it could not read or check: its first
// lines of substance, without its banner and warnings.
std::string read_error(ByteSource& errors);

// Whether `name` is that of a process's instance in the translation: NK_c
// for process K of `c[Proc] : transition ...`.
bool names_process_instance(std::string_view name);

// A module instance as the model names it: the processes' instances of a
// module, N1_c and N2_c, are c[1] and c[2]; a.N2_c.b is a.c[2].b.
std::string instance_as_in_model(std::string_view path);

}  // namespace ruvello::check
