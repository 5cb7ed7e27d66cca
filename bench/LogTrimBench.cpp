// Prints how long the log list box takes to load a large log and to trim it
// to 100 lines by deleting from the bottom, with and without an update
// bracket (the guard trims inside a bracket, and re-adds the kept lines
// instead when most of them go). Lines grow wider towards the bottom, so without the
// bracket every deleted line is the widest and costs a full recount.
#include <windows.h>

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

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Trim(TStrings& log, int keep) {
    for (int index = log.Count() - 1; index >= keep; --index) log.Delete(index);
}

void Run(TForm& form, int lines, bool bracket) {
    TTextListBox box(&form);
    box.SetBounds(0, 0, 400, 300);
    box.SetParent(&form);
    const auto log = LogLines(lines);
    auto start = std::chrono::steady_clock::now();
    box.Items().Assign(log);
    const double load = Seconds(start);
    start = std::chrono::steady_clock::now();
    if (bracket) {
        TStringsUpdate update(box.Items());
        Trim(box.Items(), 100);
    } else {
        Trim(box.Items(), 100);
    }
    const double trim = Seconds(start);
    std::printf("%7d lines: load %.3f s, trim to 100 %s bracket %.3f s (extent %d)\n", lines, load,
                bracket ? "inside an update" : "without", trim, box.WidestItemWidth());
    std::fflush(stdout);
}

}  // namespace

int main() {
    TApplication application;
    TForm form(nullptr);
    form.Show();
    // Without a bracket each deletion of the widest line measures all lines
    // again: shown once, for the contrast.
    Run(form, 500, false);
    for (int lines : {1000, 10000, 100000}) Run(form, lines, true);
    return 0;
}
