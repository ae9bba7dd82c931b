// The documents of several checks of one model as one: --report.
#include "check/formats.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

namespace ruvello::check {

Results merged(const std::vector<std::pair<std::string, Results>>& documents) {
    if (documents.empty()) return {};
    Results all = documents.front().second;
    all.runs.clear();
    all.verdicts.clear();
    all.properties.clear();
    all.warnings.clear();
    all.notes.clear();
    all.budget.reset();  // a budget is one sweep's
    const std::string& first_name = documents.front().first;
    std::optional<std::size_t> digest_source;  // the first document with a digest of the model
    const auto note = [&](const std::string& text) {
        if (std::find(all.notes.begin(), all.notes.end(), text) == all.notes.end()) all.notes.push_back(text);
    };
    // Each N from the last document that has it; the others that have it
    // must say the same of it.
    std::map<int, std::size_t> source_of_n;
    std::map<std::size_t, std::pair<Property, std::size_t>> properties;  // and its document
    // What a document says of each line for one N.
    const auto verdicts_of = [](const Results& results, int n) {
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
    };
    for (std::size_t d = 0; d < documents.size(); ++d) {
        const auto& [name, document] = documents[d];
        if (document.model != all.model)
            throw std::runtime_error("the documents are of different models: '" + first_name + "' of '" +
                                     all.model + "' and '" + name + "' of '" + document.model + "'");
        // Two versions of a model may share its name and the text of its
        // properties; the merged document is of one version only when every
        // document says which.
        if (!document.model_digest) {
            all.model_digest.reset();
            note("'" + name + "' records no digest of the model's text (an earlier ruvello wrote it): a "
                 "document of another version of the model cannot be told from it");
        } else if (!digest_source) {
            digest_source = d;
        } else if (document.model_digest != documents[*digest_source].second.model_digest) {
            throw std::runtime_error("'" + documents[*digest_source].first + "' and '" + name +
                                     "' were made from different versions of the model: the digests of its "
                                     "text differ");
        }
        if (document.every_tuple != all.every_tuple)
            throw std::runtime_error("'" + first_name + "' and '" + name + "' differ: one checks every tuple "
                                     "of processes and the other processes 1 and 2 only (--symmetric)");
        for (const Property& property : document.properties) {
            const auto [known, added] = properties.emplace(property.line, std::pair{property, d});
            if (!added && (known->second.first.text != property.text || known->second.first.kind != property.kind))
                throw std::runtime_error("'" + documents[known->second.second].first + "' and '" + name +
                                         "' were made from different versions of the model: line " +
                                         std::to_string(property.line) + " differs");
        }
        for (const Run& run : document.runs) {
            const auto [known, added] = source_of_n.emplace(run.n, d);
            if (added) continue;
            const auto earlier = verdicts_of(documents[known->second].second, run.n);
            const auto later = verdicts_of(document, run.n);
            std::set<std::size_t> lines_of_both;
            for (const auto* said : {&earlier, &later})
                for (const auto& [line, verdicts] : *said) lines_of_both.insert(line);
            for (const std::size_t line : lines_of_both)
                if (!earlier.contains(line) || !later.contains(line) || earlier.at(line) != later.at(line))
                    throw std::runtime_error("'" + documents[known->second].first + "' and '" + name +
                                             "' disagree about N = " + std::to_string(run.n) + ", line " +
                                             std::to_string(line));
            known->second = d;  // alike: the later one's run counts
        }
        for (const CostlyWarning& warning : document.warnings)
            if (std::none_of(all.warnings.begin(), all.warnings.end(), [&](const CostlyWarning& each) {
                    return each.line == warning.line && each.message == warning.message;
                }))
                all.warnings.push_back(warning);
        for (const std::string& each : document.notes) note(each);
    }
    for (auto& [line, property] : properties) all.properties.push_back(std::move(property.first));
    // Every N: true where a document's counted model proved it, else as the
    // first document says, then as the merged verdicts leave it.
    all.every_n.clear();
    std::map<std::size_t, EveryN> every_n;
    for (const auto& [name, document] : documents)
        for (const EveryN& each : document.every_n) {
            const auto [known, added] = every_n.emplace(each.line, each);
            if (!added && each.verdict == Decision::holds) known->second = each;
        }
    for (const auto& [n, d] : source_of_n) {
        for (const Run& run : documents[d].second.runs)
            if (run.n == n) all.runs.push_back(run);
        for (const InstanceVerdict& verdict : documents[d].second.verdicts)
            if (verdict.n == n) all.verdicts.push_back(verdict);
    }
    for (auto& [line, each] : every_n) all.every_n.push_back(with_finite_verdicts(std::move(each), all.verdicts));
    return all;
}

}  // namespace ruvello::check
