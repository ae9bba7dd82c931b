// The model translated for each N of a check: into the folder where the
// checker reads it (and the folder that keeps it), with its properties
// named so that the checker's verdicts can be told apart, and its warnings
// shown once per line of the model rather than once per N.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "check/naming.h"
#include "check/results.h"
#include "check/workspace.h"
#include "translate/warnings.h"

namespace ruvello::check {

// A warning of a translation, as it was given.
struct GivenWarning {
    std::size_t line;
    std::string kind;
    std::string message;
};

// One N's translation: what the checker is run on, and what the verdicts
// are attributed through.
struct Translation {
    int n = 0;
    std::string file;      // its file name in the private folder
    std::size_t bytes = 0;  // its size
    NamedTranslation named;
    std::vector<GivenWarning> warnings;
};

// The translations' warnings: each shown once per line of the model rather
// than once per N, and each kept for the N whose translation gave it.
class TranslationWarnings : public Warnings {
public:
    explicit TranslationWarnings(WarningStream& stream) : stream_(stream) {}
    using Warnings::warn;
    void warn(std::size_t line_number, std::string_view kind, std::string_view message) override;
    void warn_once(std::size_t line_number, std::string_view kind, std::string_view message) override;
    // What the translations warned since the last call.
    std::vector<GivenWarning> take() { return std::exchange(given_, {}); }

private:
    WarningStream& stream_;
    std::set<std::pair<std::size_t, std::string>> shown_;
    std::vector<GivenWarning> given_;
};

class Translator {
public:
    // `shown_model` names the model in warnings, and outlives the translator.
    Translator(const Model& model, const std::string& shown_model, const Settings& settings);

    // Translates the model for `translation.n`, with every tuple of
    // processes for FORALL (--symmetric checks fewer of them) and line
    // markers; `to_files`: into the private folder `folder` and the folder
    // that keeps it. An ending signal stops it between writes (Interrupted).
    void translate(Translation& translation, const std::string& folder, bool to_files);
    // The warnings shown so far end; whether there were any.
    void finish_warnings() { stream_.finish(); }
    bool warned() const { return stream_.warned(); }
    // The N being translated, when a signal stopped the translation.
    std::optional<int> under_way() const { return under_way_; }
    // The properties of the model, one row each, by their lines.
    std::map<std::size_t, Property>& rows() { return rows_; }
    const std::map<std::size_t, Property>& rows() const { return rows_; }

private:
    std::string row_text(const NamedProperty& property) const;

    const Model& model_;
    const Settings& settings_;
    std::string shown_model_;
    std::string prefix_;  // of the names given to the properties
    WarningStream stream_;
    TranslationWarnings warnings_;
    std::map<std::size_t, Property> rows_;
    std::optional<int> under_way_;
};

// A verdict on a translation that does not state the property as the model
// does is no verdict on the model: marks the verdicts of `results` that the
// warnings of `translations` cost, and lists those warnings.
void mark_warned_verdicts(const std::vector<Translation>& translations, bool accepted, Results& results);

}  // namespace ruvello::check
