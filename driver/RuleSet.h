// The rules the monitoring driver holds and its decision on one access.
// Plain C++: no Windows, no globals, so the decisions can be checked alone.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kfdrv {

enum class Operation { Read, Write, Create, Delete, Rename, List, Execute };

// Takes the words of the reports, in any letter case.
bool ParseOperation(const std::string& word, Operation* op);
const char* OperationWord(Operation op);
// Write, create, delete and rename change the file; a read-only rule stops them.
bool ChangesFile(Operation op);

enum class Verdict { Allowed = 0, Denied = 1, NotFound = 2 };

// The check that decided.
enum class Basis { None, Suspended, SafeTask, Hide, NoAccess, ReadOnly, LogOnly };

struct Decision {
    Verdict verdict = Verdict::Allowed;
    Basis basis = Basis::None;
    int rule = -1;         // index of the deciding rule, -1 for none
    std::string ruleText;  // its text as received
    std::string report;    // what goes into the ring; empty for no report
};

struct Rule {
    unsigned char kind;
    std::string text;
};

constexpr std::size_t kReportMax = 511;

// Kinds the driver takes: 1 to 9, and a path kind plus 0x50. 0 clears.
bool IsKnownKind(unsigned kind);
// "no-access", "read-only exclusion, sub-folders", ...
std::string KindName(unsigned char kind);
// A plain path rule whose text starts "Exclude: " in any letter case: the
// configuration pages show it as an exclusion, yet it is matched as a path.
bool LooksLikeExclusion(const Rule& rule);

// The word that names the deciding list in reports and answers; null when
// no rule decided.
const char* ListWord(Basis basis);
// "denied [NoAccess: C:\Secret\*.*]", "allowed", "allowed (suspended)".
std::string AnswerText(const Decision& d);

class RuleSet {
public:
    // RULE_CLEAR forgets every rule; an unknown kind is refused and nothing kept.
    bool Add(unsigned char kind, const std::string& text);
    void Clear();
    const std::vector<Rule>& Rules() const { return rules_; }

    Decision Decide(bool enforcing, const std::string& task, Operation op,
                    const std::string& path) const;

private:
    struct Matcher {
        unsigned char list;     // kind without the sub-folder flag
        bool subFolders;
        bool hideStyle;         // a hide list: a match also hides what is inside
        bool bare;              // no folder: the name in every folder
        std::vector<std::string> folder;  // lower case
        std::string pattern;              // lower case, wildcards allowed
        bool Matches(const std::vector<std::string>& parts) const;
    };
    static Matcher Compile(unsigned char kind, const std::string& text);
    // The first rule of the list that matches, unless an exclusion of the
    // list matches too; -1 otherwise.
    int Find(unsigned char list, unsigned char exclusion,
             const std::vector<std::string>& parts) const;

    std::vector<Rule> rules_;
    std::vector<Matcher> matchers_;
};

}  // namespace kfdrv
