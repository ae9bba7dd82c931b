#include "check/translations.h"

#include <algorithm>
#include <memory>

#include "platform/signals.h"
#include "textops/textops.h"
#include "translate/translation.h"

namespace ruvello::check {

namespace {

// Where a translation goes: its files, or nowhere. A translation for a
// large N takes long, so an ending signal stops it between writes.
class TranslationOutput : public ByteSink {
public:
    explicit TranslationOutput(std::vector<ByteSink*> sinks) : sinks_(std::move(sinks)) {}
    void write(std::string_view bytes) override {
        if (bytes.empty()) return;
        for (ByteSink* sink : sinks_) sink->write(bytes);
        total_ += bytes.size();
        ends_line_ = bytes.back() == '\n';
        written_ += bytes.size();
        if (written_ < (std::size_t{1} << 20)) return;
        written_ = 0;
        stop_if_signalled(true);
    }
    // NuSMV reads a file whose last line has no line end for ever when that
    // line is a comment: a translation that NuSMV reads ends its last line.
    void end_last_line() {
        if (!ends_line_) write("\n");
    }
    std::size_t total() const { return total_; }

private:
    std::vector<ByteSink*> sinks_;
    std::size_t written_ = 0;  // since the last look for a signal
    std::size_t total_ = 0;
    bool ends_line_ = false;
};

// An output file of a translation, with the sink that writes it.
struct TranslationFile {
    explicit TranslationFile(const std::string& path)
        : file(OutputFile::create(path, textops::printable(path))),
          sink(file.fd(), "'" + textops::printable(path) + "'") {}
    OutputFile file;
    FileSink sink;
};

// Warnings that leave the translation stating what the model states: a
// FORALL with more processes than N has nothing to state at that N. A
// process beyond N is an error of its property, or of the whole N.
bool costs_no_verdict(std::string_view kind) {
    return kind == "many instances" || kind == "too few processes for FORALL" || kind == "process beyond N";
}

}  // namespace

void TranslationWarnings::warn(std::size_t line_number, std::string_view kind, std::string_view message) {
    given_.push_back({line_number, std::string(kind), std::string(message)});
    if (shown_.emplace(line_number, kind).second) stream_.warn(line_number, kind, message);
}

void TranslationWarnings::warn_once(std::size_t line_number, std::string_view kind, std::string_view message) {
    given_.push_back({line_number, std::string(kind), std::string(message)});
    if (shown_.emplace(line_number, kind).second) stream_.warn_once(line_number, kind, message);
}

Translator::Translator(const Model& model, const std::string& shown_model, const Settings& settings)
    : model_(model), settings_(settings), shown_model_(shown_model), prefix_(name_prefix_for(model.text)),
      stream_(stderr, shown_model_, settings.all_warnings), warnings_(stream_) {}

void Translator::translate(Translation& translation, const std::string& folder, bool to_files) {
    under_way_ = translation.n;
    std::vector<std::unique_ptr<TranslationFile>> files;
    if (to_files) {
        files.push_back(std::make_unique<TranslationFile>(folder + "/" + translation.file));
        if (settings_.keep_directory) {
            const std::string keep = *settings_.keep_directory + "/" + translation.file;
            model_.refuse_as_output(keep);
            files.push_back(std::make_unique<TranslationFile>(keep));
        }
    }
    std::vector<ByteSink*> sinks;
    for (const auto& file : files) sinks.push_back(&file->sink);
    TranslationOutput output(std::move(sinks));
    PropertyNamer namer(output, prefix_);
    StringSource source(model_.text);
    ruvello::translate(source, namer, warnings_, TranslationSettings{translation.n, shown_model_, true, true, prefix_});
    translation.named = namer.finish();
    output.end_last_line();
    translation.bytes = output.total();
    translation.warnings = warnings_.take();
    for (const auto& file : files) file->file.commit();
    under_way_.reset();
    for (const NamedProperty& property : translation.named.properties)
        if (!rows_.contains(property.line))
            rows_.emplace(property.line, Property{property.line, property.kind, property.module, row_text(property)});
}

// A property as its row shows it: the model's lines from where it starts to
// where it ends, each without its indent, as far as 200 characters go.
std::string Translator::row_text(const NamedProperty& property) const {
    const std::string& model = model_.text;
    std::string text;
    std::size_t line = 1;
    for (std::size_t start = 0; start < model.size() && line <= property.last_line && text.size() < 200; ++line) {
        const std::size_t end = std::min(model.find('\n', start), model.size());
        if (line >= property.line) {
            const std::string_view each = textops::rtrim(textops::ltrim(std::string_view(model).substr(start, end - start)));
            text += (text.empty() || each.empty() ? "" : " ") + std::string(each);
        }
        start = end + 1;
    }
    return text.substr(0, 200);
}

namespace {

// The warnings of one translation that cost verdicts, with the lines of the
// properties they cost; `everything` when one costs every verdict.
struct Costs {
    std::vector<CostlyWarning> warnings;
    std::set<std::size_t> lines;
    bool everything = false;
    bool of(std::size_t line) const { return everything || lines.contains(line); }
};

Costs costs_of(const Translation& translation, bool accepted) {
    Costs costs;
    for (const GivenWarning& given : translation.warnings) {
        if (costs_no_verdict(given.kind)) continue;
        std::optional<std::size_t> property;
        for (const NamedProperty& each : translation.named.properties)
            if (each.keyword_line <= given.line && given.line <= each.last_line) property = each.line;
        if (property) costs.lines.insert(*property);
        else costs.everything = !accepted;
        costs.warnings.push_back({given.line, property, given.message});
    }
    return costs;
}

}  // namespace

// A warning at a property's lines costs that property's verdicts, one
// elsewhere every verdict, unless the user accepts the warnings. A property
// that a warning left without instances has no verdict either way.
void mark_warned_verdicts(const std::vector<Translation>& translations, bool accepted, Results& results) {
    std::set<std::pair<std::size_t, std::string>> listed;
    for (const Translation& translation : translations) {
        const Costs costs = costs_of(translation, accepted);
        std::set<std::size_t> with_verdict;
        for (InstanceVerdict& verdict : results.verdicts) {
            if (verdict.n != translation.n || !costs.of(verdict.line)) continue;
            with_verdict.insert(verdict.line);
            if (!accepted && (verdict.verdict == Verdict::holds || verdict.verdict == Verdict::fails))
                verdict.verdict = Verdict::warned;
        }
        std::set<std::size_t> without_instances;
        for (const NamedProperty& property : translation.named.properties)
            if (costs.of(property.line) && with_verdict.insert(property.line).second) {
                without_instances.insert(property.line);
                results.verdicts.push_back(
                    {translation.n, property.line, std::nullopt, std::nullopt, Verdict::warned, std::nullopt, std::nullopt});
            }
        for (const CostlyWarning& warning : costs.warnings)
            if ((!accepted || without_instances.contains(warning.property.value_or(0))) &&
                listed.emplace(warning.line, warning.message).second)
                results.warnings.push_back(warning);
    }
}

}  // namespace ruvello::check
