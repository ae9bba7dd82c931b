#include "formats.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace ruvello::check {

namespace {

using json = nlohmann::ordered_json;

template <typename T>
json or_null(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

template <typename T>
std::optional<T> optional_of(const json& value) {
    if (value.is_null()) return std::nullopt;
    return value.get<T>();
}

// Text as XML 1.0 can hold it in an attribute or an element: the five
// special characters as entities, and the control characters it cannot hold
// at all as visible escapes.
std::string xml_escaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        case '\n': escaped += "&#10;"; break;
        case '\t': escaped += "&#9;"; break;
        case '\r': escaped += "&#13;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                char code[8];
                std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
                escaped += code;
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

}  // namespace

std::string to_json(const Results& results) {
    json document;
    document["model"] = results.model;
    document["checker"] = {{"path", results.checker_path}, {"version", results.checker_version}};
    document["every_tuple"] = results.every_tuple;
    document["runs"] = json::array();
    for (const Run& run : results.runs)
        document["runs"].push_back({{"n", run.n},
                                    {"outcome", run.outcome},
                                    {"seconds", run.seconds},
                                    {"message", or_null(run.message)}});
    document["properties"] = json::array();
    for (const Property& property : results.properties)
        document["properties"].push_back({{"line", property.line},
                                          {"kind", property.kind},
                                          {"module", property.module},
                                          {"text", property.text}});
    document["verdicts"] = json::array();
    for (const Verdict& verdict : results.verdicts)
        document["verdicts"].push_back({{"n", verdict.n},
                                        {"line", verdict.line},
                                        {"processes", or_null(verdict.processes)},
                                        {"instance", or_null(verdict.instance)},
                                        {"verdict", verdict.verdict},
                                        {"value", or_null(verdict.value)},
                                        {"trace", or_null(verdict.trace)}});
    // Bytes that are not UTF-8 (a model in another encoding) are replaced, not refused.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

Results from_json(std::string_view text) {
    try {
        const json document = json::parse(text);
        Results results;
        results.model = document.at("model").get<std::string>();
        results.checker_path = document.at("checker").at("path").get<std::string>();
        results.checker_version = document.at("checker").at("version").get<std::string>();
        results.every_tuple = document.at("every_tuple").get<bool>();
        for (const json& run : document.at("runs"))
            results.runs.push_back({run.at("n").get<int>(), run.at("outcome").get<std::string>(),
                                    run.at("seconds").get<double>(),
                                    optional_of<std::string>(run.at("message"))});
        for (const json& property : document.at("properties"))
            results.properties.push_back({property.at("line").get<std::size_t>(),
                                          property.at("kind").get<std::string>(),
                                          property.at("module").get<std::string>(),
                                          property.at("text").get<std::string>()});
        for (const json& verdict : document.at("verdicts"))
            results.verdicts.push_back({verdict.at("n").get<int>(),
                                        verdict.at("line").get<std::size_t>(),
                                        optional_of<std::vector<int>>(verdict.at("processes")),
                                        optional_of<std::string>(verdict.at("instance")),
                                        verdict.at("verdict").get<std::string>(),
                                        optional_of<std::string>(verdict.at("value")),
                                        optional_of<std::string>(verdict.at("trace"))});
        return results;
    } catch (const json::exception& error) {
        throw std::runtime_error(std::string("not a document of ruvello --check --json: ") +
                                 error.what());
    }
}

Results merged(const std::vector<Results>& documents) {
    if (documents.empty()) return {};
    Results all = documents.front();
    all.runs.clear();
    all.verdicts.clear();
    std::map<int, const Results*> source_of_n;  // the last document that has each N
    std::map<std::size_t, Property> properties;
    for (const Results& document : documents) {
        if (document.model != all.model)
            throw std::runtime_error("the documents are of different models: '" + all.model +
                                     "' and '" + document.model + "'");
        if (document.every_tuple != all.every_tuple)
            throw std::runtime_error("some documents check every tuple of processes and some "
                                     "processes 1 and 2 only (--symmetric)");
        for (const Run& run : document.runs) source_of_n[run.n] = &document;
        for (const Property& property : document.properties) properties.emplace(property.line, property);
    }
    all.properties.clear();
    for (const auto& [line, property] : properties) all.properties.push_back(property);
    for (const auto& [n, document] : source_of_n) {
        for (const Run& run : document->runs)
            if (run.n == n) all.runs.push_back(run);
        for (const Verdict& verdict : document->verdicts)
            if (verdict.n == n) all.verdicts.push_back(verdict);
    }
    return all;
}

std::string to_junit(const Results& results) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"ruvello --check " +
                      xml_escaped(results.model) + "\">\n";
    for (const Run& run : results.runs) {
        std::vector<const Verdict*> verdicts;
        for (const Verdict& verdict : results.verdicts)
            if (verdict.n == run.n) verdicts.push_back(&verdict);
        const auto count = [&](const std::vector<std::string>& kinds) {
            return std::count_if(verdicts.begin(), verdicts.end(), [&](const Verdict* verdict) {
                return std::find(kinds.begin(), kinds.end(), verdict->verdict) != kinds.end();
            });
        };
        const std::string suite = "N=" + std::to_string(run.n);
        xml += "  <testsuite name=\"" + suite + "\" tests=\"" + std::to_string(verdicts.size()) +
               "\" failures=\"" + std::to_string(count({"false"})) + "\" errors=\"" +
               std::to_string(count({"error", "timeout"}) + (run.outcome != "done" ? 1 : 0)) +
               "\" time=\"" + std::to_string(run.seconds) + "\">\n";
        if (run.outcome != "done")
            xml += "    <testcase name=\"" + suite + " run\" classname=\"" + xml_escaped(results.model) +
                   "\" file=\"" + xml_escaped(results.model) + "\"><error message=\"" + run.outcome +
                   "\">" + xml_escaped(run.message.value_or("")) + "</error></testcase>\n";
        for (const Verdict* verdict : verdicts) {
            std::string name = suite + " line " + std::to_string(verdict->line);
            if (verdict->processes) {
                name += " (";
                for (std::size_t i = 0; i < verdict->processes->size(); ++i) {
                    if (i > 0) name += ',';
                    name += std::to_string((*verdict->processes)[i]);
                }
                name += ")";
            }
            if (verdict->instance) name += " " + *verdict->instance;
            xml += "    <testcase name=\"" + xml_escaped(name) + "\" classname=\"" +
                   xml_escaped(results.model) + "\" file=\"" + xml_escaped(results.model) +
                   "\" line=\"" + std::to_string(verdict->line) + "\"";
            if (verdict->verdict == "false")
                xml += "><failure message=\"the property is false\"/></testcase>\n";
            else if (verdict->verdict != "true")
                xml += "><error message=\"" + verdict->verdict + "\"/></testcase>\n";
            else
                xml += "/>\n";
        }
        xml += "  </testsuite>\n";
    }
    return xml + "</testsuites>\n";
}

}  // namespace ruvello::check
