// Replaces the driver's rule set with the five lists of one user.
#pragma once
#include <string>

#include "monitor/DriverLink.h"
#include "store/PolicyStore.h"

namespace kf {

constexpr int kMaxRulesSentPerList = 99;

// Clear, then each list in driver order, at most 99 entries each.
void SendRulesToDriver(DriverLink& link, const CPolicyStore& store, const std::string& userKey);

}  // namespace kf
