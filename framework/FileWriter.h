// Replaces files whole, as WriteWholeFile does (a temporary file, flushed to
// disk, then renamed into place), on a thread of its own: the thread that
// hands the content over goes on at once, however long the disk takes. A
// flush may wait a tenth of a second or more on a busy disk; a guard that
// waited for it could answer nothing else meanwhile.
//
// Only the newest content handed over for a path is written: content that
// is still waiting when newer content comes is dropped. Between the end of
// one write and the start of the next the thread rests for MinimumGap (or as
// long as that write took, when longer), so a burst of contents gives a
// bounded number of writes. A failed write is told through OnFailure on the
// thread that made the writer, from its message loop, unless a later write
// of the same file (by this writer or by WriteWholeFile anywhere in the
// process) succeeded meanwhile: such a failure lost nothing. While newer
// content of that file still waits, the failure waits for its outcome.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Handles.h"

namespace sw {

class TFileWriterThread;

class TFileWriter {
public:
    // Starts the writing thread; made on the thread whose message loop
    // receives OnFailure.
    TFileWriter();
    // Content still waiting is written first, without the rest.
    ~TFileWriter();
    TFileWriter(const TFileWriter&) = delete;
    TFileWriter& operator=(const TFileWriter&) = delete;

    // Hands the whole new content of `path` over and returns at once.
    void Write(const std::string& path, std::string data);
    // Returns once everything handed over is written or has failed (content
    // that waits for its rest is written at once).
    void Wait();

    uint32_t MinimumGap() const;
    void SetMinimumGap(uint32_t milliseconds);

    // A write failed: the error's text ("Datei ... kann nicht erstellt
    // werden"). Runs on the thread that made the writer.
    std::function<void(const std::string& message)> OnFailure;

private:
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void TellFailures();

    WindowHandle window_;
    std::unique_ptr<TFileWriterThread> thread_;
};

}  // namespace sw
