#include "translate/warnings.h"

#include <algorithm>

namespace ruvello {

void WarningStream::warn(std::size_t line_number, std::string_view kind, std::string_view message) {
    warned_ = true;
    auto count = std::find_if(counts_.begin(), counts_.end(),
                              [&](const Count& c) { return c.kind == kind; });
    if (count == counts_.end()) count = counts_.insert(counts_.end(), {kind, 0});
    if (++count->given > shown_per_kind && !show_all_) return;
    write(std::string(source_name_) + ':' + std::to_string(line_number), message);
}

void WarningStream::warn_once(std::size_t line_number, std::string_view kind,
                              std::string_view message) {
    if (std::find(given_once_.begin(), given_once_.end(), message) != given_once_.end()) return;
    given_once_.emplace_back(message);
    warn(line_number, kind, message);
}

void WarningStream::warn(std::string_view message) {
    warned_ = true;
    write(std::string(source_name_), message);
}

void WarningStream::finish() {
    if (show_all_) return;
    for (const Count& count : counts_)
        if (count.given > shown_per_kind)
            write(std::string(source_name_),
                  grouped(count.given - shown_per_kind) + " more warnings \"" +
                      std::string(count.kind) + "\" not shown; --all-warnings shows every one");
}

// One write per warning, so that warnings from several runs sharing a stream
// do not interleave within a line.
void WarningStream::write(const std::string& place, std::string_view message) {
    const std::string text = "ruvello: " + place + ": warning: " + std::string(message) + '\n';
    std::fwrite(text.data(), 1, text.size(), stream_);
}

std::string excerpt(std::string_view text) {
    constexpr std::size_t longest = 60;
    text = text.substr(0, std::min(text.find('\n'), text.find('\r')));
    if (text.size() <= longest) return std::string(text);
    std::size_t kept = longest - 3;
    while (kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80) --kept;  // a character's first byte
    return std::string(text.substr(0, kept)) + "...";
}

std::string grouped(std::uint64_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

}  // namespace ruvello
