// The browser query asked and waited for, as a test or a benchmark needs it
// (the program itself never waits: its answer comes as a message). Handles
// this thread's messages meanwhile, also those that other threads send.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/BrowserQuery.h"

namespace sw::test {

// The answer of one query of `service`; nullopt when none could start.
inline std::optional<std::string> AskBrowserOnce(guard::TBrowserQuery& query, const std::string& service) {
    std::optional<std::string> answer;
    query.OnAnswer = [&](const std::string& reply) { answer = reply; };
    if (!query.Start(service)) {
        query.OnAnswer = nullptr;
        return std::nullopt;
    }
    while (!answer) {
        MSG message;
        if (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&message);
            continue;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    query.OnAnswer = nullptr;
    return answer;
}

// The reply, or empty text for none (also when no query could start). Then
// waits (30 s at most) until the query's thread has closed the conversation
// of an answered query, so that the next fake browser of a test starts on a
// quiet desktop.
inline std::string AskBrowser(const std::string& service) {
    guard::TBrowserQuery query;
    const std::string reply = AskBrowserOnce(query, service).value_or(std::string());
    for (const DWORD until = ::GetTickCount() + 30000; guard::BrowserQueryThreadClosing() && ::GetTickCount() < until;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return reply;
}

}  // namespace sw::test
