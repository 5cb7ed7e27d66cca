// The program's application manifest as the system reads it: an activation
// context made from the exe's manifest resource, as the loader makes one
// when the program starts (a manifest the system can't read would stop the
// program from starting at all).
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using namespace sw::test;

namespace {

// The activation context of an exe's manifest resource (number 1).
class ManifestContext {
public:
    explicit ManifestContext(const std::wstring& exe) {
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = exe.c_str();
        request.lpResourceName = MAKEINTRESOURCEW(1);
        context_ = ::CreateActCtxW(&request);
    }
    ~ManifestContext() {
        if (Valid()) ::ReleaseActCtx(context_);
    }
    ManifestContext(const ManifestContext&) = delete;
    ManifestContext& operator=(const ManifestContext&) = delete;

    bool Valid() const { return context_ != INVALID_HANDLE_VALUE; }

    // A setting of the windowsSettings element; nothing when absent.
    std::optional<std::wstring> Setting(const wchar_t* space, const wchar_t* name) const {
        using Query = BOOL(WINAPI*)(DWORD, HANDLE, const wchar_t*, const wchar_t*, wchar_t*, SIZE_T, SIZE_T*);
        const auto query = reinterpret_cast<Query>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW")));
        if (!query) return std::nullopt;
        wchar_t value[256] = {};
        SIZE_T written = 0;
        if (!query(0, context_, space, name, value, 256, &written)) return std::nullopt;
        return std::wstring(value);
    }

    std::vector<char> Query(ULONG what) const {
        std::vector<char> data(4096);
        SIZE_T needed = 0;
        if (!::QueryActCtxW(0, context_, nullptr, what, data.data(), data.size(), &needed)) return {};
        data.resize(needed);
        return data;
    }

    // The first field of the supportedOS ids, one per element.
    std::set<unsigned long> SupportedOs() const {
        const std::vector<char> data = Query(CompatibilityInformationInActivationContext);
        std::set<unsigned long> ids;
        if (data.size() < sizeof(DWORD)) return ids;
        const DWORD count = *reinterpret_cast<const DWORD*>(data.data());
        // Windows 10 added a 64-bit field to each element (and aligns them
        // to 8 bytes); older systems have the id and the type alone.
        const bool wide = data.size() >= 8 + count * 32;
        const size_t first = wide ? 8 : 4;
        const size_t stride = wide ? 32 : 20;
        for (DWORD i = 0; i < count && first + (i + 1) * stride <= data.size(); ++i) {
            const GUID* id = reinterpret_cast<const GUID*>(data.data() + first + i * stride);
            ids.insert(id->Data1);
        }
        return ids;
    }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
};

}  // namespace

TEST(Manifest, TheProgramIsAwareOfTheSystemsResolutionNamesItsWindowsAndRequestsNoExecutionLevel) {
    const std::string exe = ProgramDir() + "\\Startwacht.exe";
    const ManifestContext manifest(std::wstring(exe.begin(), exe.end()));  // the test folder's name is ASCII
    ASSERT_TRUE(manifest.Valid()) << "no manifest the system can read, error " << ::GetLastError();

    EXPECT_EQ(manifest.Setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
              std::optional<std::wstring>(L"true"));
    // Not per monitor: the window does not scale again when it moves to a
    // screen of another resolution.
    EXPECT_EQ(manifest.Setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              std::nullopt);

    // A requested level would end the redirection of a standard user's
    // writes into the system directory.
    const std::vector<char> runLevel = manifest.Query(RunlevelInformationInActivationContext);
    ASSERT_GE(runLevel.size(), sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION));
    EXPECT_EQ(reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION*>(runLevel.data())->RunLevel,
              ACTCTX_RUN_LEVEL_UNSPECIFIED);

    // Vista, 7, 8, 8.1 and 10/11.
    EXPECT_EQ(manifest.SupportedOs(),
              (std::set<unsigned long>{0xe2011457, 0x35138b9a, 0x4a2f28e3, 0x1f676c76, 0x8e0f7a12}));

    // No other assembly, the common controls among them: the controls look
    // as without a manifest.
    const std::vector<char> details = manifest.Query(ActivationContextDetailedInformation);
    ASSERT_GE(details.size(), sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION));
    EXPECT_EQ(reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(details.data())->ulAssemblyCount, 1u);
}
