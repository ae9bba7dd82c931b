// A text split once at its occurrences of a match, to be written any number
// of times with the match replaced by a different text each time.
#pragma once

#include <string_view>
#include <vector>

#include "streams.h"
#include "textops/textops.h"

namespace ruvello {

class SplitText {
public:
    // Splits `text`, which must outlive the uses of this split.
    void split(std::string_view text, std::string_view match) {
        parts_.clear();
        textops::for_each_occurrence(
            text, match, [this](std::string_view part) { parts_.push_back(part); }, [] {});
    }

    // Writes the text with every occurrence replaced by `replacement`.
    void write(OutputBuffer& output, std::string_view replacement) const {
        output.put(parts_.front());
        for (std::size_t i = 1; i < parts_.size(); ++i) {
            output.put(replacement);
            output.put(parts_[i]);
        }
    }

private:
    std::vector<std::string_view> parts_;  // the texts between occurrences
};

}  // namespace ruvello
