// kfwdemo: writes a small rule set for the Guest ("Default") into the store,
// without the password question at start-up, so that the demo can start the
// program unattended and let simulated programs meet the rules.
#include <cstdio>
#include <string>
#include <vector>

#include "store/PolicyStore.h"
#include "store/StoreLayout.h"
#include "ui/rules/RuleExpression.h"

using kf::RuleListKind;

int main() {
    kf::CPolicyStore store;
    store.SetRootPath(kf::kStoreRoot);
    const struct {
        RuleListKind list;
        std::vector<std::string> entries;
    } rules[] = {
        {RuleListKind::NoAccess, {"C:\\Secret\\*.* /s"}},
        {RuleListKind::ReadOnly, {"C:\\windows\\*.* /s", "Exclude: C:\\windows\\temp\\*.* /s"}},
        {RuleListKind::LogAccess, {"C:\\Shared\\*.*"}},
        {RuleListKind::Hide, {"diary.txt"}},
        {RuleListKind::SafePrograms, {"BACKUP"}},
    };
    for (const auto& r : rules) {
        kf::WriteRuleList(store, kf::kDefaultKey, r.list, r.entries);
        for (const std::string& e : r.entries) std::printf("  %-15s %s\n", kf::StorageWord(r.list), e.c_str());
    }
    if (!store.WriteInt(kf::kDefaultKey, "SecureAskPass", 0, true)) {
        std::fprintf(stderr, "kfwdemo: the store cannot be written\n");
        return 1;
    }
    return 0;
}
