#include "command_line.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace ruvello {

std::optional<int> parse_process_count(std::string_view text) {
    // from_chars takes a '-' sign but no '+'.
    if (text.starts_with('+') && !text.substr(1).starts_with('-')) text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<CommandLine> parse_command_line(std::span<const char* const> all_args) {
    CommandLine command;
    std::vector<std::string_view> args;
    for (const std::string_view arg : all_args) {
        if (arg == "--fatal-warnings") command.fatal_warnings = true;
        else if (arg == "--all-instances") command.all_instances = true;
        else if (arg == "--line-markers") command.line_markers = true;
        else if (arg == "--all-warnings") command.all_warnings = true;
        else args.push_back(arg);
    }
    if (args.size() == 1) {
        if (args[0] == "-h" || args[0] == "--help") command.action = CommandLine::Action::help;
        else if (args[0] == "--version") command.action = CommandLine::Action::version;
        else return std::nullopt;
        return command;
    }
    if (args.size() != 4) return std::nullopt;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string_view option = args[i];
        const std::string_view value = args[i + 1];
        if (option == "-p") {
            const std::optional<int> count = parse_process_count(value);
            if (!count) return std::nullopt;
            command.process_count = *count;
        } else if (option == "-f") {
            command.model_path = std::string(value);
        } else {
            return std::nullopt;
        }
    }
    return command;
}

std::string output_path_for(std::string_view model_path) {
    const std::size_t slash = model_path.rfind('/');
    const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t stem = model_path.find_first_not_of('.', name);
    const std::size_t dot =
        stem == std::string_view::npos ? std::string_view::npos : model_path.find('.', stem);
    return std::string(model_path.substr(0, dot)) + ".smv";
}

namespace {

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

std::string printable(std::string_view path) {
    if (std::none_of(path.begin(), path.end(), is_control)) return std::string(path);
    std::string shown;
    for (const unsigned char c : path) {
        switch (c) {
        case '\n': shown += "\\n"; break;
        case '\t': shown += "\\t"; break;
        case '\r': shown += "\\r"; break;
        case '\\': shown += "\\\\"; break;
        default:
            if (!is_control(c)) {
                shown += static_cast<char>(c);
                break;
            }
            shown += '\\';
            for (int shift : {6, 3, 0}) shown += static_cast<char>('0' + ((c >> shift) & 7));
        }
    }
    return shown;
}

}  // namespace ruvello
