#include "check/plot.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/streams.h"
#include "textops/textops.h"

namespace ruvello::check {

namespace {

// A text as a string of gnuplot's script, whatever it holds: in single
// quotes, where gnuplot substitutes nothing (in double quotes it runs
// `...` as a shell command, and reads backslash escapes), with a quote
// doubled. A line end would end the command, and bytes beyond ASCII may not
// be UTF-8, which the SVG must be: those show as '?'.
std::string gnuplot_string(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') quoted += "''";
        else quoted += static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f ? '?' : c;
    }
    return quoted + "'";
}

}  // namespace

std::string growth_script(const Results& results, const std::string& output, bool png) {
    const auto text = gnuplot_string;
    std::string script = png ? "set terminal pngcairo noenhanced size 800,480 font " + text("sans,10") + "\n"
                             : "set terminal svg noenhanced size 800,480 dynamic font " + text("sans,11") + "\n";
    script += "set output " + text(output) + "\n" +
              "set title " + text("ruvello --check " + results.model + ": how the check grows with N") + "\n" +
              "set xlabel " + text("N, the number of processes") + "\n" +
              "set logscale y\nset ylabel " + text("reachable states") + "\n" +
              "set logscale y2\nset y2label " + text("seconds of NuSMV") + "\n" +
              "set ytics nomirror\nset y2tics\nset xtics 1\nset grid\nset key top left\n"
              "set datafile missing " + text("?") + "\n" +
              "$growth << EOD\n";
    bool timeouts = false;
    for (const Run& run : results.runs) {
        if (run.outcome == Outcome::skipped || run.outcome == Outcome::interrupted) continue;
        char row[128];
        const bool timed_out = run.outcome == Outcome::timeout;
        timeouts |= timed_out;
        std::snprintf(row, sizeof row, "%d %s %.3f %d\n", run.n,
                      run.states ? std::to_string(*run.states).c_str() : "?", std::max(run.seconds, 0.001),
                      timed_out ? 1 : 0);
        script += row;
    }
    script += "EOD\n"
              "plot $growth using 1:2 with linespoints linewidth 2 pointtype 7 title " + text("reachable states") +
              ", \\\n"
              "     $growth using 1:($4 == 0 ? $3 : 1/0) axes x1y2 with linespoints linewidth 2 pointtype 5 title " +
              text("seconds");
    if (timeouts)
        script += ", \\\n     $growth using 1:($4 == 1 ? $3 : 1/0) axes x1y2 with points pointtype 3 pointsize 3 "
                  "linecolor rgb " + text("red") + " title " + text("timeout (seconds when stopped)");
    return script + "\n";
}

void plot_growth(const Results& results, const std::string& path, const SignalsCaught& signals) {
    const ProgramLookup gnuplot = find_program("gnuplot");
    if (!gnuplot.path)
        throw WriteError("--plot draws with gnuplot, which is " + gnuplot.why_not +
                         ": install it (Debian's package gnuplot-nox) and plot again, or plot the JSON's runs yourself");
    const bool png = path.ends_with(".png");
    const std::string picture = png ? "growth.png" : "growth.svg";
    const TemporaryFolder folder;
    write_whole_file(folder.path() + "/growth.gp", growth_script(results, picture, png));
    Children children(signals);
    children.start(
        {*gnuplot.path, {"growth.gp"}, folder.path() + "/gnuplot.out", folder.path() + "/gnuplot.err", folder.path()});
    for (;;) {
        stop_if_signalled();
        const std::vector<ChildEnd> ended = children.wait(std::chrono::milliseconds(200));
        if (ended.empty()) continue;
        std::ifstream drawn(folder.path() + "/" + picture, std::ios::binary);
        std::ostringstream bytes;
        bytes << drawn.rdbuf();
        if (ended.front().exit_status != 0 || bytes.str().empty()) {
            std::ifstream said(folder.path() + "/gnuplot.err");
            std::string first;
            std::getline(said, first);
            throw WriteError("gnuplot could not draw '" + textops::printable(path) + "'" + (first.empty() ? "" : ": " + textops::printable(first)));
        }
        write_whole_file(path, bytes.str());
        return;
    }
}

}  // namespace ruvello::check
