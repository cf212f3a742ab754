#include "monitor/RuleTransfer.h"

#include <cstring>

#include "ui/rules/RuleExpression.h"

namespace kf {

namespace {

struct ListKinds {
    RuleListKind list;
    unsigned char plain, exclusion;
};

// The driver's order of lists, and each list's kinds.
constexpr ListKinds kTransferOrder[] = {
    {RuleListKind::ReadOnly, RULE_READ_ONLY, RULE_EXCLUDE_READ_ONLY},
    {RuleListKind::NoAccess, RULE_NO_ACCESS, RULE_EXCLUDE_NO_ACCESS},
    {RuleListKind::LogAccess, RULE_LOG_ONLY, RULE_EXCLUDE_LOG_ONLY},
    {RuleListKind::Hide, RULE_HIDE, RULE_EXCLUDE_HIDE},
    {RuleListKind::SafePrograms, RULE_SAFE_TASK, RULE_SAFE_TASK},
};

}  // namespace

void SendRulesToDriver(DriverLink& link, const CPolicyStore& store, const std::string& userKey) {
    static unsigned char ruleMessage[kRuleMessageBytes];
    ruleMessage[0] = RULE_CLEAR;
    link.SendRuleMessage(ruleMessage);

    for (const ListKinds& l : kTransferOrder) {
        for (int n = 1; n <= kMaxRulesSentPerList; ++n) {
            std::string text = store.ReadString(userKey, RuleValueName(l.list, n), "", true);
            if (text.empty()) break;
            unsigned char kind = l.plain;
            if (l.list != RuleListKind::SafePrograms) {
                // The driver knows the prefix only as typed here, case and all.
                if (text.compare(0, 9, kExclusionPrefix) == 0) {
                    text.erase(0, 9);
                    kind = l.exclusion;
                }
                if (HasSubFolders(text)) {
                    text.erase(text.size() - 3);
                    kind = static_cast<unsigned char>(kind + RULE_SUBFOLDERS);
                }
            }
            // A text that does not fit the message is left out, never cut.
            if (text.size() > kRuleTextMax) continue;
            std::memcpy(ruleMessage + 1, text.c_str(), text.size() + 1);
            ruleMessage[0] = kind;
            link.SendRuleMessage(ruleMessage);
        }
    }
}

}  // namespace kf
