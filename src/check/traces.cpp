#include "check/traces.h"

#include <algorithm>
#include <memory>

#include "check/trace_table.h"
#include "textops/textops.h"

namespace ruvello::check {

namespace {

// Writes to a file, and keeps the first bytes written for the table.
class KeepingSink : public ByteSink {
public:
    KeepingSink(ByteSink& sink, std::size_t most) : sink_(sink), most_(most) {}
    void write(std::string_view bytes) override {
        sink_.write(bytes);
        kept_.append(bytes.substr(0, most_ - std::min(most_, kept_.size())));
    }
    const std::string& kept() const { return kept_; }

private:
    ByteSink& sink_;
    std::size_t most_;
    std::string kept_;
};

// The first line of a trace file: which instance names of the translation
// stand for which processes' instances in the model.
std::string instance_names_line(const std::set<std::string>& names) {
    if (names.empty()) return "-- ruvello: no process instance is named in this trace\n";
    std::string line = "-- ruvello: in this trace";
    const char* separator = " ";
    for (const std::string& name : names) {
        line += separator + name + " is " + instance_as_in_model(name);
        separator = ", ";
    }
    return line + "\n";
}

}  // namespace

std::string tuple_text(const std::vector<int>& processes, char separator) {
    std::string text;
    for (std::size_t i = 0; i < processes.size(); ++i)
        text += (i == 0 ? "" : std::string(1, separator)) + std::to_string(processes[i]);
    return text;
}

// Two instance names may be made the same by what a file name can hold:
// the second gets ".2", and so on.
std::string TraceWriter::file_for(const CheckerRun& run, const NamedProperty& property, const std::string& path) {
    std::string file = folder_ + "/" + stem_ + ".N" + std::to_string(run.n()) + ".L" + std::to_string(property.line);
    if (property.ordinal > 1) file += ".p" + std::to_string(property.ordinal);
    if (property.processes) file += "." + tuple_text(*property.processes, '-');
    if (!path.empty()) file += "." + file_name_part(instance_as_in_model(path));
    std::string unique = file;
    for (int copy = 2; !files_.insert(unique).second; ++copy) unique = file + "." + std::to_string(copy);
    return unique + ".trace";
}

std::map<int, std::string> TraceWriter::write(const CheckerRun& run, const Translation& translation,
                                              Results& results) {
    // Each trace is copied from the checker's output, which is read once,
    // from its start on: the traces in the order they lie there.
    std::vector<std::pair<int, const CheckerVerdict*>> traces;
    for (const auto& [index, verdict] : run.traced()) traces.emplace_back(index, &verdict);
    std::sort(traces.begin(), traces.end(),
              [](const auto& a, const auto& b) { return a.second->text_start < b.second->text_start; });
    CheckerFile output(run.output_path(CheckerRun::Stage::traces));
    OutputCopier copier(output.source());
    std::map<int, std::string> written;
    for (const auto& [listed_index, verdict] : traces) {
        const auto index = listed_index;  // clang 14 lets no lambda capture a structured binding
        const auto entry = std::find_if(run.checked().begin(), run.checked().end(),
                                        [&](const Attributed& each) { return each.listed.index == index; });
        if (entry == run.checked().end()) continue;
        const NamedProperty& property = translation.named.properties[entry->property];
        std::string file = file_for(run, property, entry->path);
        try {
            model_.refuse_as_output(file);
            OutputFile trace = OutputFile::create(file, textops::printable(file));
            FileSink sink(trace.fd(), "'" + textops::printable(file) + "'");
            sink.write(instance_names_line(verdict->instances));
            // NuSMV's text, then the same counterexample as a table.
            KeepingSink copied(sink, std::size_t{1} << 20);
            copier.copy(verdict->text_start, verdict->text_end, copied);
            sink.write("\n-- ruvello: the counterexample as a table\n" + trace_table(read_trace(copied.kept())));
            trace.commit();
            written[index] = std::move(file);
        } catch (const std::runtime_error& error) {
            add_note(results, "N = " + std::to_string(run.n()) + ": the counterexample of line " +
                                  std::to_string(property.line) +
                                  (property.processes ? " (" + tuple_text(*property.processes, ',') + ")" : "") +
                                  (entry->path.empty() ? "" : " " + instance_as_in_model(entry->path)) +
                                  " was not written: " + error.what());
        }
    }
    return written;
}

}  // namespace ruvello::check
