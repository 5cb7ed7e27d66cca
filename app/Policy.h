// Reads the policy values that set or lock the start page (PolicyText.h):
// read only, never written or deleted.
#pragma once

#include <vector>

#include "PolicyText.h"

namespace sw::guard {

// The values that stand now: a policy's "Start Page" that holds a text, and
// each lock whose DWORD is 1; HKEY_CURRENT_USER's first, each hive in the
// order of PolicyPlaces. Keys are opened for reading only; a key or value
// that is missing or can't be read stands for nothing.
std::vector<TPolicyValue> ReadPolicies();

}  // namespace sw::guard
