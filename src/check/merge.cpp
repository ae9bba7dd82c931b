// The documents of several checks of one model as one: --report.
#include "check/formats.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

namespace ruvello::check {

namespace {

using Documents = std::vector<std::pair<std::string, Results>>;

// What a document says of each line for one N.
std::map<std::size_t, std::vector<std::string>> verdicts_of(const Results& results, int n) {
    std::map<std::size_t, std::vector<std::string>> said;
    for (const InstanceVerdict& verdict : results.verdicts) {
        if (verdict.n != n) continue;
        std::string each = std::string(text_of(verdict.verdict)) + " " + verdict.instance.value_or("") + " " + verdict.value.value_or("");
        if (verdict.processes)
            for (const int process : *verdict.processes) each.append(" ").append(std::to_string(process));
        said[verdict.line].push_back(std::move(each));
    }
    for (auto& [line, verdicts] : said) std::sort(verdicts.begin(), verdicts.end());
    return said;
}

// Every N: true where a document's counted model proved it, else as the
// first document says.
std::map<std::size_t, EveryN> every_n_of(const Documents& documents) {
    std::map<std::size_t, EveryN> every_n;
    for (const auto& [name, document] : documents)
        for (const EveryN& each : document.every_n) {
            const auto [known, added] = every_n.emplace(each.line, each);
            if (!added && each.verdict == Decision::holds) known->second = each;
        }
    return every_n;
}

// The documents taken in order into one, each refused when it cannot be
// of the same check as those before it.
class Merge {
public:
    explicit Merge(const Documents& documents) : documents_(documents), all_(documents.front().second) {
        all_.runs.clear();
        all_.verdicts.clear();
        all_.counterexamples.clear();
        all_.properties.clear();
        all_.warnings.clear();
        all_.notes.clear();
        all_.budget.reset();  // a budget is one sweep's
    }

    void take(std::size_t d) {
        const auto& [name, document] = documents_[d];
        if (document.model != all_.model)
            throw std::runtime_error("the documents are of different models: '" + documents_.front().first + "' of '" +
                                     all_.model + "' and '" + name + "' of '" + document.model + "'");
        take_digest(d);
        if (document.every_tuple != all_.every_tuple)
            throw std::runtime_error("'" + documents_.front().first + "' and '" + name + "' differ: one checks every tuple "
                                     "of processes and the other processes 1 and 2 only (--symmetric)");
        take_properties(d);
        for (const Run& run : document.runs) take_run(d, run.n);
        for (const CostlyWarning& warning : document.warnings)
            if (std::none_of(all_.warnings.begin(), all_.warnings.end(), [&](const CostlyWarning& each) {
                    return each.line == warning.line && each.message == warning.message;
                }))
                all_.warnings.push_back(warning);
        for (const std::string& each : document.notes) note(each);
    }

    // The properties by line, each N's run, verdicts and counterexamples
    // from the document chosen for it, and every N as the merged verdicts leave it.
    Results result() && {
        for (auto& [line, property] : properties_) all_.properties.push_back(std::move(property.first));
        for (const auto& [n, d] : source_of_n_) {
            for (const Run& run : documents_[d].second.runs)
                if (run.n == n) all_.runs.push_back(run);
            for (const InstanceVerdict& verdict : documents_[d].second.verdicts)
                if (verdict.n == n) all_.verdicts.push_back(verdict);
            for (const Counterexample& counterexample : documents_[d].second.counterexamples)
                if (counterexample.n == n) all_.counterexamples.push_back(counterexample);
        }
        all_.every_n.clear();
        for (auto& [line, each] : every_n_of(documents_))
            all_.every_n.push_back(with_finite_verdicts(std::move(each), all_.verdicts));
        return std::move(all_);
    }

private:
    void note(const std::string& text) {
        if (std::find(all_.notes.begin(), all_.notes.end(), text) == all_.notes.end()) all_.notes.push_back(text);
    }

    // Two versions of a model may share its name and the text of its
    // properties; the merged document is of one version only when every
    // document says which.
    void take_digest(std::size_t d) {
        const auto& [name, document] = documents_[d];
        if (!document.model_digest) {
            all_.model_digest.reset();
            note("'" + name + "' records no digest of the model's text (an earlier ruvello wrote it): a "
                 "document of another version of the model cannot be told from it");
        } else if (!digest_source_) {
            digest_source_ = d;
        } else if (document.model_digest != documents_[*digest_source_].second.model_digest) {
            throw std::runtime_error("'" + documents_[*digest_source_].first + "' and '" + name +
                                     "' were made from different versions of the model: the digests of its "
                                     "text differ");
        }
    }

    // A line's property is the same in every document that has it.
    void take_properties(std::size_t d) {
        for (const Property& property : documents_[d].second.properties) {
            const auto [known, added] = properties_.emplace(property.line, std::pair{property, d});
            if (!added && (known->second.first.text != property.text || known->second.first.kind != property.kind))
                throw std::runtime_error("'" + documents_[known->second.second].first + "' and '" +
                                         documents_[d].first + "' were made from different versions of the model: "
                                         "line " + std::to_string(property.line) + " differs");
        }
    }

    // Each N from the last document that has it; the others that have it
    // must say the same of it.
    void take_run(std::size_t d, int n) {
        const auto [known, added] = source_of_n_.emplace(n, d);
        if (added) return;
        const auto earlier = verdicts_of(documents_[known->second].second, n);
        const auto later = verdicts_of(documents_[d].second, n);
        std::set<std::size_t> lines_of_both;
        for (const auto* said : {&earlier, &later})
            for (const auto& [line, verdicts] : *said) lines_of_both.insert(line);
        for (const std::size_t line : lines_of_both)
            if (!earlier.contains(line) || !later.contains(line) || earlier.at(line) != later.at(line))
                throw std::runtime_error("'" + documents_[known->second].first + "' and '" + documents_[d].first +
                                         "' disagree about N = " + std::to_string(n) + ", line " +
                                         std::to_string(line));
        known->second = d;  // alike: the later one's run counts
    }

    const Documents& documents_;
    Results all_;
    std::optional<std::size_t> digest_source_;  // the first document with a digest of the model
    std::map<int, std::size_t> source_of_n_;
    std::map<std::size_t, std::pair<Property, std::size_t>> properties_;  // and its document
};

}  // namespace

Results merged(const Documents& documents) {
    if (documents.empty()) return {};
    Merge merge(documents);
    for (std::size_t d = 0; d < documents.size(); ++d) merge.take(d);
    return std::move(merge).result();
}

}  // namespace ruvello::check
