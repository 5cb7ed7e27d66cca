#include "Policy.h"

#include <windows.h>

#include <cstring>

#include "StoredAddress.h"
#include "framework/Handles.h"
#include "framework/Registry.h"
#include "framework/SystemCodePage.h"

namespace sw::guard {

namespace {

// The value names are plain ASCII.
std::wstring Wide(const char* ascii) {
    std::wstring wide;
    for (; *ascii; ++ascii) wide.push_back(static_cast<wchar_t>(*ascii));
    return wide;
}

}  // namespace

std::vector<TPolicyValue> ReadPolicies() {
    std::vector<TPolicyValue> standing;
    for (const bool machine : {false, true}) {
        for (const TPolicyPlace& place : PolicyPlaces()) {
            RegKey key;
            // KEY_READ only: a policy is the administrator's, never ours to change.
            if (::RegOpenKeyExA(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, place.key, 0, KEY_READ,
                                key.Receive()) != ERROR_SUCCESS)
                continue;
            const std::wstring name = Wide(place.value);
            TPolicyValue policy{machine, place.key, place.value, place.lock, {}};
            if (place.lock) {
                const auto value = QueryRawValueW(key.Get(), name.c_str());
                if (!value || value->type != REG_DWORD || value->data.size() < 4) continue;
                DWORD number = 0;
                memcpy(&number, value->data.data(), sizeof number);
                if (number != 1) continue;
                policy.data.assign(1, '1');
            } else {
                const auto text = QueryWideStringValue(key.Get(), name.c_str());
                if (!text || text->empty()) continue;
                policy.data = StoredAddress(*text, SystemAnsiCodePage());
            }
            standing.push_back(std::move(policy));
        }
    }
    return standing;
}

}  // namespace sw::guard
