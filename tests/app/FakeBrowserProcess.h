// Starts the fake browser for a service and waits until it takes
// conversations; ends it when the object goes.
#pragma once

#include <windows.h>

#include <ddeml.h>

#include <string>

#include "support/TestSupport.h"

namespace sw::test {

class FakeBrowserProcess {
public:
    FakeBrowserProcess(const std::string& service, const std::string& reply, const std::string& options = "") {
        replyFile_ = ProgramDir() + "\\reply-" + service + ".bin";
        WriteFileBytes(replyFile_, reply);
        process_ = ChildProcess(ProgramDir() + "\\FakeBrowser.exe --service " + service + " --reply \"" + replyFile_ +
                                "\" " + options);
        ready_ = WaitFor([&] { return Connectable(service); });
    }
    ~FakeBrowserProcess() { RemoveFile(replyFile_); }
    bool Ready() const { return ready_; }

private:
    static HDDEDATA CALLBACK NoCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }
    static bool Connectable(const std::string& service) {
        DWORD probe = 0;
        if (::DdeInitializeA(&probe, NoCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            return false;
        HSZ s = ::DdeCreateStringHandleA(probe, service.c_str(), CP_WINANSI);
        HSZ t = ::DdeCreateStringHandleA(probe, "WWW_GetWindowInfo", CP_WINANSI);
        HCONV conv = ::DdeConnect(probe, s, t, nullptr);
        if (conv) ::DdeDisconnect(conv);
        ::DdeFreeStringHandle(probe, s);
        ::DdeFreeStringHandle(probe, t);
        ::DdeUninitialize(probe);
        return conv != nullptr;
    }

    std::string replyFile_;
    ChildProcess process_;
    bool ready_ = false;
};

}  // namespace sw::test
