#include <sstream>

#include "monitor/RuleTransfer.h"
#include "tests/link/LinkFixture.h"
#include "tests/support/Registry.h"
#include "ui/rules/RuleExpression.h"

using namespace kftest;
using kf::RuleListKind;

namespace {

struct Rule {
    unsigned kind;
    std::string text;
    bool operator==(const Rule& o) const { return kind == o.kind && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Rule& r) { return os << r.kind << ":" << r.text; }

class RuleTransferTest : public LinkTest {
protected:
    RuleTransferTest() : root("RuleTransfer") { store.SetRootPath(root.Path()); }
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(link.LoadMonitorDriver(), 1);
    }
    // The rules the driver holds, as its status lists them.
    std::vector<Rule> DriverRules() {
        std::string out;
        EXPECT_EQ(Sim("--status", &out), 0) << out;
        std::vector<Rule> rules;
        std::istringstream in(out);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t k = line.find(". kind ");
            if (k == std::string::npos || line.find_first_not_of("0123456789") != k) continue;
            unsigned kind = std::stoul(line.substr(k + 7));
            size_t colon = line.find("): ");
            std::string text = line.substr(colon + 3);
            size_t mark = text.find("  <- taken as a path");
            if (mark != std::string::npos) text.erase(mark);
            rules.push_back({kind, text});
        }
        return rules;
    }
    void Send(const std::string& user) { kf::SendRulesToDriver(link, store, user); }
    TestRoot root;
    kf::CPolicyStore store;
};

TEST_F(RuleTransferTest, UserWithoutValuesLeavesTheDriverWithoutRules) {
    unsigned char rule[kf::kRuleMessageBytes] = {kf::RULE_NO_ACCESS, 'x'};
    link.SendRuleMessage(rule);
    ASSERT_EQ(DriverRules().size(), 1u);
    Send("Nobody");
    EXPECT_TRUE(DriverRules().empty());
}

TEST_F(RuleTransferTest, KindsFollowPrefixThenSuffixInListOrder) {
    WriteRuleList(store, "Bob", RuleListKind::NoAccess,
                  {"C:\\Secret\\*.*", "Exclude: C:\\Secret\\ok.txt", "C:\\Deep /S", "Exclude: ", " /s",
                   "exclude: C:\\typed", "Exclude: C:\\both /S", "C:\\slash/S"});
    WriteRuleList(store, "Bob", RuleListKind::ReadOnly, {"Exclude: C:\\ro /S", "C:\\ro\\*.*"});
    WriteRuleList(store, "Bob", RuleListKind::LogAccess, {"C:\\log /s", "Exclude: C:\\log\\x"});
    WriteRuleList(store, "Bob", RuleListKind::Hide, {"*.tmp", "Exclude: keep.tmp", "secret /S"});
    WriteRuleList(store, "Bob", RuleListKind::SafePrograms, {"DEFRAG", "Exclude: BACKUP /S"});
    Send("Bob");
    std::vector<Rule> expected = {
        {0x56, "C:\\ro"}, {1, "C:\\ro\\*.*"},
        {2, "C:\\Secret\\*.*"}, {7, "C:\\Secret\\ok.txt"}, {0x52, "C:\\Deep"}, {7, ""}, {0x52, ""},
        {2, "exclude: C:\\typed"}, {0x57, "C:\\both"}, {2, "C:\\slash/S"},
        {0x53, "C:\\log"}, {8, "C:\\log\\x"},
        {5, "*.tmp"}, {9, "keep.tmp"}, {0x55, "secret"},
        {4, "DEFRAG"}, {4, "Exclude: BACKUP /S"},
    };
    EXPECT_EQ(DriverRules(), expected);
}

TEST_F(RuleTransferTest, AListEndsAtAGapAndSendsAtMost99Entries) {
    store.WriteString("Bob", "NoAccessPathExp:1", "C:\\one", true);
    store.WriteString("Bob", "NoAccessPathExp:2", "C:\\two", true);
    store.WriteString("Bob", "NoAccessPathExp:4", "C:\\four", true);
    std::vector<std::string> many;
    for (int i = 1; i <= 150; ++i) many.push_back("T" + std::to_string(i));
    WriteRuleList(store, "Bob", RuleListKind::SafePrograms, many);
    Send("Bob");
    std::vector<Rule> rules = DriverRules();
    ASSERT_EQ(rules.size(), 2u + 99u);
    EXPECT_EQ(rules[0], (Rule{2, "C:\\one"}));
    EXPECT_EQ(rules[1], (Rule{2, "C:\\two"}));
    EXPECT_EQ(rules[2], (Rule{4, "T1"}));
    EXPECT_EQ(rules.back(), (Rule{4, "T99"}));
}

TEST_F(RuleTransferTest, EachTransferReplacesTheWholeSet) {
    WriteRuleList(store, "Bob", RuleListKind::NoAccess, {"C:\\bob"});
    WriteRuleList(store, "Default", RuleListKind::Hide, {"*.bak"});
    Send("Bob");
    EXPECT_EQ(DriverRules(), (std::vector<Rule>{{2, "C:\\bob"}}));
    Send("Default");
    EXPECT_EQ(DriverRules(), (std::vector<Rule>{{5, "*.bak"}}));
}

}  // namespace
