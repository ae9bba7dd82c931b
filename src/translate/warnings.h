// Warnings about input that the translation cannot carry faithfully.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace ruvello {

// A warning given from more than one place: its kind and message.
struct WarningText {
    std::string_view kind;
    std::string_view message;
};

// Receives warnings: the number of the line each concerns, its kind (a short
// name of its cause, a text that lasts, the same whatever the line) and its
// message.
class Warnings {
public:
    virtual ~Warnings() = default;
    virtual void warn(std::size_t line_number, std::string_view kind, std::string_view message) = 0;
    // A warning about the whole run, given where its cause first shows and
    // not again. The translator gives it wherever the cause shows.
    virtual void warn_once(std::size_t line_number, std::string_view kind,
                           std::string_view message) {
        warn(line_number, kind, message);
    }
    void warn(std::size_t line_number, const WarningText& warning) {
        warn(line_number, warning.kind, warning.message);
    }
};

// Writes each warning at once, as "ruvello: FILE:LINE: warning: MESSAGE",
// the first 100 of each kind, or every one when asked to; finish() then
// says how many of each kind were not shown. One that cannot be written is
// dropped: a warning never ends a run.
class WarningStream : public Warnings {
public:
    static constexpr std::size_t shown_per_kind = 100;

    WarningStream(std::FILE* stream, std::string_view source_name, bool show_all = false)
        : stream_(stream), source_name_(source_name), show_all_(show_all) {}
    using Warnings::warn;
    void warn(std::size_t line_number, std::string_view kind, std::string_view message) override;
    void warn_once(std::size_t line_number, std::string_view kind,
                   std::string_view message) override;
    // A warning about the whole model: "ruvello: FILE: warning: MESSAGE".
    void warn(std::string_view message);
    // Says, for each kind, how many of its warnings were not shown.
    void finish();
    // Whether any warning was given, shown or not.
    bool warned() const { return warned_; }

private:
    void write(const std::string& place, std::string_view message);

    std::FILE* stream_;
    std::string_view source_name_;
    bool show_all_;
    std::vector<std::string> given_once_;
    struct Count {
        std::string_view kind;
        std::size_t given;
    };
    std::vector<Count> counts_;  // in the order the kinds were first met
    bool warned_ = false;
};

// A piece of the model as a warning quotes it: up to its first line end, and
// at most 60 characters, the cut marked with "...".
std::string excerpt(std::string_view text);

// A count with its thousands grouped by commas: 997,002,000.
std::string grouped(std::uint64_t count);

}  // namespace ruvello
