#include "check/naming.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <utility>

namespace ruvello::check {

namespace {

// A word that starts a section or a module, and so ends whatever came before.
bool starts_section(std::string_view word) {
    const std::optional<smv::SectionKeyword> keyword = smv::section_keyword(word);
    return keyword && keyword->ends_named_property;
}


std::optional<long long> whole_number(std::string_view text) {
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

}  // namespace

std::optional<std::size_t> marker_line(std::string_view line) {
    if (!line.starts_with("# ")) return std::nullopt;
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(line.data() + 2, line.data() + line.size(), number);
    if (error != std::errc() || end == line.data() + line.size() || *end != ' ') return std::nullopt;
    return number;
}

std::string name_prefix_for(std::string_view model) {
    // Only a name that starts "ruvello", some x and '_' can collide, and
    // then only with the prefix of exactly that many x.
    std::set<std::size_t> taken;
    for_each_identifier(model, [&](std::string_view name) {
        if (!name.starts_with("ruvello")) return;
        const std::size_t xs = std::min(name.find_first_not_of('x', 7), name.size()) - 7;
        if (7 + xs < name.size() && name[7 + xs] == '_') taken.insert(xs);
    });
    std::size_t xs = 0;
    while (taken.contains(xs)) ++xs;
    return "ruvello" + std::string(xs, 'x') + "_";
}

PropertyNamer::PropertyNamer(ByteSink& out, std::string prefix) : out_(out), prefix_(std::move(prefix)) {}

void PropertyNamer::write(std::string_view bytes) {
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t newline = bytes.find('\n', start);
        if (newline == std::string_view::npos) {
            partial_line_.append(bytes.substr(start));
            return;
        }
        const std::string_view rest = bytes.substr(start, newline + 1 - start);
        if (partial_line_.empty()) {
            name_line(rest);
        } else {
            partial_line_.append(rest);
            name_line(partial_line_);
            partial_line_.clear();
        }
        start = newline + 1;
    }
}

NamedTranslation PropertyNamer::finish() {
    if (!partial_line_.empty()) name_line(partial_line_);
    partial_line_.clear();
    // A declaration names a module instance only if the module is there.
    for (auto& [module, declarations] : named_.instances)
        std::erase_if(declarations, [&](const InstanceDeclaration& declaration) {
            return std::find(named_.modules.begin(), named_.modules.end(), declaration.module) ==
                   named_.modules.end();
        });
    return std::move(named_);
}

void PropertyNamer::name_line(std::string_view line) {
    if (const std::optional<std::size_t> marked = marker_line(line)) {
        out_.write(line);
        next_line_ = *marked;
        return;
    }
    line_number_ = next_line_++;
    line_ = line;
    written_.clear();
    copied_ = 0;
    for (std::size_t at = 0; at < line.size();) {
        const char c = line[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
            continue;
        }
        if (c == '-' && at + 1 < line.size() && line[at + 1] == '-') break;  // a comment
        std::size_t end = at + 1;
        if (starts_identifier(c) || (c >= '0' && c <= '9')) {
            while (end < line.size() && continues_identifier(line[end])) ++end;
        } else if ((c == ':' && end < line.size() && line[end] == '=') ||
                   (c == '.' && end < line.size() && line[end] == '.')) {
            ++end;
        }
        read_word(line.substr(at, end - at), at);
        at = end;
    }
    written_.append(line.substr(copied_));
    out_.write(written_);
}

void PropertyNamer::start_property(std::size_t at, bool named) {
    NamedProperty& property = *pending_;
    property.line = line_number_;
    if (!named) property.ordinal = ++properties_on_line_[line_number_];
    // A property without a NAME gets one, where its formula starts; NuSMV
    // cannot name a PSL property.
    if (!named && property.kind != smv::PropertyKind::psl) {
        property.name = prefix_ + std::to_string(line_number_) +
                        (property.ordinal > 1 ? "_p" + std::to_string(property.ordinal) : "");
        written_.append(line_.substr(copied_, at - copied_)).append("NAME " + property.name + " := ");
        copied_ = at;
    }
}

void PropertyNamer::open_property() {
    expecting_ = Expecting::nothing;
    named_.properties.push_back(std::move(*pending_));
    pending_.reset();
    open_property_ = named_.properties.size() - 1;
    named_.properties.back().last_line = line_number_;
}

// A word of the open property's formula: where it ends, and what it reads,
// by which NuSMV's complaint about a formula is traced to its property.
void PropertyNamer::read_formula_word(std::string_view word) {
    NamedProperty& property = named_.properties[*open_property_];
    property.last_line = line_number_;
    if (starts_identifier(word.front()) && property.names.size() < 64) property.names.emplace(word);
}

bool PropertyNamer::take_expected_word(std::string_view word, std::size_t at) {
    switch (expecting_) {
    case Expecting::formula:
        if (starts_section(word)) {
            pending_.reset();  // a keyword without a formula
            return false;
        }
        start_property(at, word == "NAME");
        if (word == "NAME") {
            expecting_ = Expecting::name;
            return true;
        }
        open_property();
        read_formula_word(word);
        return true;
    case Expecting::name:
        if (starts_identifier(word.front())) {
            pending_->name = word;
            decode_instance_name(*pending_);
            // The instances of a FORALL are one property of the model.
            if (!pending_->processes && !pending_->stand_in)
                pending_->ordinal = ++properties_on_line_[pending_->line];
            expecting_ = Expecting::assignment;
            return true;
        }
        open_property();  // not a name: the checker rejects the file
        return false;
    case Expecting::assignment:
        open_property();
        return word == ":=";
    case Expecting::module_name:
        expecting_ = Expecting::nothing;
        module_ = word;
        named_.modules.push_back(module_);
        return true;
    case Expecting::nothing:
        break;
    }
    return false;
}

void PropertyNamer::read_word(std::string_view word, std::size_t at) {
    if (take_expected_word(word, at)) return;
    expecting_ = Expecting::nothing;
    if (const std::optional<smv::PropertyKind> kind = smv::property_kind_of_keyword(word)) {
        open_property_.reset();
        in_declarations_ = false;
        pending_ = NamedProperty{};
        pending_->kind = *kind;
        pending_->module = module_;
        pending_->keyword_line = line_number_;
        expecting_ = Expecting::formula;
        return;
    }
    if (starts_section(word)) {
        open_property_.reset();
        in_declarations_ = smv::is_variables_keyword(word);
        start_declaration();
        if (word == "MODULE") expecting_ = Expecting::module_name;
        return;
    }
    if (open_property_) {
        read_formula_word(word);
        return;
    }
    if (in_declarations_) read_declaration_word(word);
}

void PropertyNamer::start_declaration() {
    declaration_ = Declaration::name;
    declared_name_.clear();
    array_range_.clear();
    declared_array_ = false;
    type_.clear();
    depth_ = 0;
}

// NAME : TYPE ; where the type is a module when it is a word other than a
// type keyword followed by its arguments or by the end of the declaration.
// `array A .. B of m` declares B - A + 1 instances of m.
void PropertyNamer::read_declaration_word(std::string_view word) {
    switch (declaration_) {
    case Declaration::name:
        if (word == ";") start_declaration();
        else if (word == ":") declaration_ = Declaration::type;
        else declared_name_ += word;
        return;
    case Declaration::array_range:
        if (word == "of") declaration_ = Declaration::type;
        else array_range_ += word;
        return;
    case Declaration::type:
        if (word == "process") return;
        if (word == "array" && !declared_array_) {
            declared_array_ = true;
            declaration_ = Declaration::array_range;
            return;
        }
        declaration_ = Declaration::rest;
        if (starts_identifier(word.front()) && !smv::is_type_word(word) && word != "array") {
            type_ = word;
            return;
        }
        break;
    case Declaration::rest:
        break;
    }
    if (!type_.empty()) {
        if (word == "(" || word == ";") {
            InstanceDeclaration instance{declared_name_, type_, 1, declared_array_};
            if (declared_array_) {
                const std::size_t dots = array_range_.find("..");
                const std::optional<long long> from = whole_number(array_range_.substr(0, dots));
                const std::optional<long long> to =
                    dots == std::string::npos ? std::nullopt : whole_number(std::string_view(array_range_).substr(dots + 2));
                instance.count = from && to && *to >= *from ? static_cast<std::size_t>(*to - *from + 1) : 0;
            }
            named_.instances[module_].push_back(std::move(instance));
        }
        type_.clear();
    }
    if (word == "(" || word == "[" || word == "{") ++depth_;
    else if (word == ")" || word == "]" || word == "}") --depth_;
    else if (word == ";" && depth_ <= 0) start_declaration();
}

// What a name that the translation gave a FORALL instance tells: the line
// and processes of the instance, or the line of a FORALL without any.
void PropertyNamer::decode_instance_name(NamedProperty& property) const {
    std::optional<smv::InstanceName> read = smv::read_instance_name(property.name, prefix_);
    if (!read) return;
    property.line = read->line;
    if (read->processes.empty())
        property.stand_in = true;
    else
        property.processes = std::move(read->processes);
}

std::optional<std::string> NamedTranslation::module_of(std::string_view path) const {
    std::string module = "main";
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t dot = std::min(path.find('.', start), path.size());
        const std::string_view part = path.substr(start, dot - start);
        const auto declared = instances.find(module);
        if (declared == instances.end()) return std::nullopt;
        const InstanceDeclaration* found = nullptr;
        for (const InstanceDeclaration& each : declared->second) {
            // An element of an array of instances is named a[2].
            const bool element = each.array && part.starts_with(each.name) && part.size() > each.name.size() &&
                                 part[each.name.size()] == '[' && part.back() == ']';
            if ((!each.array && part == each.name) || element) found = &each;
        }
        if (found == nullptr) return std::nullopt;
        module = found->module;
        start = dot + 1;
    }
    return module;
}

std::size_t NamedTranslation::instance_count(std::string_view module) const {
    constexpr std::size_t many = std::size_t{1} << 40;
    // Each module's count is the sum over the declarations of its instances;
    // a module that names itself, directly or not, has none.
    std::map<std::string, std::size_t, std::less<>> counts;
    std::set<std::string, std::less<>> counting;
    const auto count = [&](const auto& self, std::string_view of) -> std::size_t {
        if (of == "main") return 1;
        if (const auto known = counts.find(of); known != counts.end()) return known->second;
        if (!counting.emplace(of).second) return 0;
        std::size_t total = 0;
        for (const auto& [parent, declarations] : instances)
            for (const InstanceDeclaration& declaration : declarations)
                if (declaration.module == of)
                    total = std::min(many, total + std::min(many, self(self, parent)) * declaration.count);
        counting.erase(counting.find(of));
        counts.emplace(std::string(of), total);
        return total;
    };
    return count(count, module);
}

std::optional<NamedTranslation::Found> NamedTranslation::property_listed_as(std::string_view listed) const {
    const std::size_t dot = listed.rfind('.');
    const std::string_view path = dot == std::string_view::npos ? std::string_view() : listed.substr(0, dot);
    const std::string_view name = dot == std::string_view::npos ? listed : listed.substr(dot + 1);
    const std::optional<std::string> module = module_of(path);
    if (!module || name.empty()) return std::nullopt;
    std::optional<Found> found;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        if (properties[i].module != *module || properties[i].name != name) continue;
        if (found) return std::nullopt;  // two of one name: neither can be told
        found = Found{i, std::string(path)};
    }
    return found;
}

NamedText name_properties(std::string_view translation, std::string_view prefix) {
    StringSink text;
    PropertyNamer namer(text, std::string(prefix));
    namer.write(translation);
    NamedTranslation named = namer.finish();
    return {text.text(), std::move(named)};
}

}  // namespace ruvello::check
