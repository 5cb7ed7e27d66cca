// Prints how long the log list box takes to be filled with a large log, to
// give it back whole (as the log file's write reads it) and to trim it to
// 100 lines by deleting from the bottom, with and without an update bracket
// (the guard trims inside a bracket, and re-adds the kept lines instead when
// most of them go). Lines grow wider towards the bottom, so without the
// bracket every deleted line is the widest and costs a recount. The fill is
// shown on a list on screen and on one in a hidden window, as the main
// window is at start; each figure is the best of three.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "controls/TextListBox.h"
#include "framework/Application.h"
#include "framework/Forms.h"

using namespace sw;

namespace {

std::vector<std::string> LogLines(int count) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        lines.push_back("09.12.2026 10:00:00>>Ein Offline-B\xF6sewicht >>Startpage:about:" +
                        std::string(static_cast<size_t>(i / 100), 'w'));
    return lines;
}

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

void Trim(TStrings& log, int keep) {
    for (int index = log.Count() - 1; index >= keep; --index) log.Delete(index);
}

// The fill of a list that held the same lines before (as the start's load
// into an empty list, after the clear), the best of three, with the time
// the list's window then takes to draw it.
void Fill(TForm& form, int lines, const char* where) {
    TTextListBox box(&form);
    box.SetBounds(0, 0, 400, 300);
    box.SetParent(&form);
    box.HandleNeeded();
    const auto log = LogLines(lines);
    double best = 1e9, paint = 0, read = 1e9;
    for (int round = 0; round < 3; ++round) {
        box.Items().Clear();
        auto start = std::chrono::steady_clock::now();
        box.Items().Assign(log);
        const double took = Ms(start);
        start = std::chrono::steady_clock::now();
        ::UpdateWindow(box.Handle());
        if (took < best) {
            best = took;
            paint = Ms(start);
        }
        start = std::chrono::steady_clock::now();
        const std::string text = box.Items().ToText();
        read = std::min(read, Ms(start));
    }
    std::printf("%7d lines into a list %s: fill %.1f ms, then drawn in %.1f ms; given back whole %.1f ms "
                "(extent %d)\n",
                lines, where, best, paint, read, box.WidestItemWidth());
    std::fflush(stdout);
}

void LoadAndTrim(TForm& form, int lines, bool bracket) {
    TTextListBox box(&form);
    box.SetBounds(0, 0, 400, 300);
    box.SetParent(&form);
    const auto log = LogLines(lines);
    auto start = std::chrono::steady_clock::now();
    box.Items().Assign(log);
    const double load = Ms(start);
    start = std::chrono::steady_clock::now();
    if (bracket) {
        TStringsUpdate update(box.Items());
        Trim(box.Items(), 100);
    } else {
        Trim(box.Items(), 100);
    }
    const double trim = Ms(start);
    std::printf("%7d lines: load %.1f ms, trim to 100 %s bracket %.1f ms (extent %d)\n", lines, load,
                bracket ? "inside an update" : "without", trim, box.WidestItemWidth());
    std::fflush(stdout);
}

}  // namespace

int main() {
    TApplication application;
    {
        TForm hidden(nullptr);
        hidden.SetBounds(0, 0, 420, 320);
        Fill(hidden, 10000, "in a hidden window");
    }
    TForm form(nullptr);
    form.SetBounds(0, 0, 420, 320);
    form.Show();
    for (int lines : {100, 10000}) Fill(form, lines, "on screen");
    // Without a bracket each deletion of the widest line measures all lines
    // again: shown once, for the contrast.
    LoadAndTrim(form, 500, false);
    for (int lines : {1000, 10000, 100000}) LoadAndTrim(form, lines, true);
    return 0;
}
