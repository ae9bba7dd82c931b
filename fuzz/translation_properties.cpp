#include "translation_properties.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include "textops/textops.h"
#include "parallel.h"
#include "translator.h"

namespace fuzzing {

namespace {

struct Result {
    std::string output;
    std::string warnings;
};

Result translate(std::string_view model, int process_count, std::size_t piece) {
    std::ostringstream warnings;
    std::string output = ruvello::translate_text(model, {process_count, "fuzz.in"}, warnings,
                                                 {piece, piece, piece});
    return {std::move(output), warnings.str()};
}

// Cut before its MODULE headers into pieces of at least `piece` bytes, and
// translated piece by piece on this thread.
Result translate_in_pieces(std::string_view model, int process_count, std::size_t piece) {
    ruvello::StringSource source(model, piece);
    ruvello::StringSink sink;
    std::ostringstream warnings;
    ruvello::translate_in_pieces(source, sink, warnings, {process_count, "fuzz.in"},
                                 {piece, 3 * piece, 0});
    return {sink.text(), warnings.str()};
}

// replace, into another buffer and in place, agrees with assign_replaced.
// The match and the replacement are cut from the text, which is taken up to
// its first NUL (replace works on terminated strings).
std::optional<std::string> check_replace(std::string_view model) {
    const std::string text(model.substr(0, std::min(model.find('\0'), std::size_t{512})));
    const std::string match = text.substr(0, std::min<std::size_t>(text.size(), 3));
    const std::string replacement = text.substr(text.size() / 2, text.size() % 5);
    std::string expected;
    textops::assign_replaced(expected, text, match, replacement);

    std::string destination(text.size() * 5 + 2, '#');
    const int capacity = static_cast<int>(destination.size());
    if (textops::replace(destination.data(), capacity, text.c_str(), match.c_str(),
                         replacement.c_str()) != 0 ||
        destination.c_str() != expected)
        return "replace into another buffer differs from assign_replaced";

    std::string in_place = text;
    in_place.resize(destination.size(), '\0');
    if (textops::replace(in_place.data(), capacity, in_place.data(), match.c_str(),
                         replacement.c_str()) != 0 ||
        in_place.c_str() != expected)
        return "replace in place differs from assign_replaced";

    char small[8] = "same";
    const int needed = textops::replace(small, 4, text.c_str(), match.c_str(), replacement.c_str());
    if (expected.size() >= 4 && (needed != static_cast<int>(expected.size() + 1) ||
                                 std::string_view(small) != "same"))
        return "replace did not report the capacity it needs, or touched the destination";
    return std::nullopt;
}

}  // namespace

Violation check_translation_properties(const std::uint8_t* data, std::size_t size) {
    const int process_count = size > 0 ? data[0] % 32 - 3 : 2;
    const std::size_t piece = size > 1 ? data[1] % 16 + 1 : 1;
    const std::string_view model =
        size > 2 ? std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2) : "";

    const Result whole = translate(model, process_count, std::size_t{1} << 16);
    const std::string banner = "--Source file: fuzz.in , by ruvello--\n";
    if (!whole.output.starts_with(banner)) return {"the banner is not the first line"};

    const Result pieces = translate(model, process_count, piece);
    if (pieces.output != whole.output || pieces.warnings != whole.warnings)
        return {"the translation depends on the sizes of reads and buffers"};

    const Result modules = translate_in_pieces(model, process_count, piece);
    if (modules.output != whole.output || modules.warnings != whole.warnings)
        return {"the translation of the modules one by one differs from the whole"};

    // Nothing to translate: every line comes through as it is.
    if (!textops::contains(model, "Proc") && !textops::contains(model, "FORALL") &&
        !textops::contains(model, "MODULE") && whole.output.substr(banner.size()) != model)
        return {"a model without Proc, FORALL and MODULE was changed"};

    if (const auto problem = check_replace(model)) return {*problem};

    // Warnings are whole lines of the documented form.
    std::istringstream warnings(whole.warnings);
    for (std::string line; std::getline(warnings, line);)
        if (!line.starts_with("ruvello: fuzz.in:") || !textops::contains(line, ": warning: "))
            return {"a malformed warning: " + line};
    return {};
}

}  // namespace fuzzing
