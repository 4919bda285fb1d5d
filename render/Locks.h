#pragma once

#include <string>
#include <vector>

// The groups a lock can name, in the order the instrument shows them: osc1,
// osc2, osc3, noise, amp-env, filter-env, filters, pitch, crusher, output.
const std::vector<std::string>& LockGroupNames();
// The parameters that locks keep: exact parameter names, or groups. Throws
// UsageError for a name that is neither.
std::vector<int> LockedParams(const std::vector<std::string>& locks);
// The group a parameter belongs to; empty for one in none.
std::string LockGroupOf(int param);
// A generator's state with the locked parameters put back as they were
// before it ran, as generate --lock puts them back: every other value stays
// what the generator drew. Throws std::runtime_error when either is not a state.
std::string KeepLockedValues(const std::string& before, const std::string& after,
                             const std::vector<int>& locked);
