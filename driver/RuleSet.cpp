#include "driver/RuleSet.h"

#include "monitor/DriverContract.h"

namespace kfdrv {

using namespace kf;

namespace {

const char* const kOperationWords[] = {"read", "write", "create", "delete",
                                       "rename", "list", "execute"};

// Byte strings in the system code page: only ASCII letters fold.
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// Both separators count; empty parts (doubled or leading backslashes) drop.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += Lower(c);
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

// '*' any run, '?' one character; both sides already lower case.
bool Wild(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*") return true;  // also names without a dot
    std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

unsigned char ListOf(unsigned char kind) {
    return kind > RULE_SUBFOLDERS ? static_cast<unsigned char>(kind - RULE_SUBFOLDERS) : kind;
}

bool IsPathList(unsigned char list) {
    return list >= RULE_READ_ONLY && list <= RULE_EXCLUDE_HIDE && list != RULE_SAFE_TASK;
}

bool IsExclusion(unsigned char list) { return list >= RULE_EXCLUDE_READ_ONLY; }

}  // namespace

bool ParseOperation(const std::string& word, Operation* op) {
    for (int i = 0; i < 7; ++i)
        if (EqualNoCase(word, kOperationWords[i])) {
            *op = static_cast<Operation>(i);
            return true;
        }
    return false;
}

const char* OperationWord(Operation op) { return kOperationWords[static_cast<int>(op)]; }

bool ChangesFile(Operation op) {
    return op == Operation::Write || op == Operation::Create || op == Operation::Delete ||
           op == Operation::Rename;
}

bool IsKnownKind(unsigned kind) {
    if (kind >= RULE_READ_ONLY && kind <= RULE_EXCLUDE_HIDE) return true;
    return kind > RULE_SUBFOLDERS && kind <= RULE_SUBFOLDERS + RULE_EXCLUDE_HIDE &&
           IsPathList(static_cast<unsigned char>(kind - RULE_SUBFOLDERS));
}

std::string KindName(unsigned char kind) {
    static const char* const names[] = {
        "clear",          "read-only",           "no-access",           "log-only",
        "safe task",      "hide",                "read-only exclusion", "no-access exclusion",
        "log-only exclusion", "hide exclusion"};
    if (!IsKnownKind(kind)) return "unknown";
    std::string name = names[ListOf(kind)];
    if (kind > RULE_SUBFOLDERS) name += ", sub-folders";
    return name;
}

bool LooksLikeExclusion(const Rule& rule) {
    static const std::string prefix = "exclude: ";
    unsigned char list = ListOf(rule.kind);
    return IsKnownKind(rule.kind) && IsPathList(list) && !IsExclusion(list) &&
           rule.text.size() >= prefix.size() &&
           EqualNoCase(rule.text.substr(0, prefix.size()), prefix);
}

const char* ListWord(Basis basis) {
    switch (basis) {
    case Basis::SafeTask: return "SafeList";
    case Basis::Hide:     return "Hide";
    case Basis::NoAccess: return "NoAccess";
    case Basis::ReadOnly: return "ReadOnlyAccess";
    case Basis::LogOnly:  return "JustInfo";
    default:              return nullptr;
    }
}

std::string AnswerText(const Decision& d) {
    static const char* const verdicts[] = {"allowed", "denied", "not found"};
    std::string text = verdicts[static_cast<int>(d.verdict)];
    if (d.basis == Basis::Suspended) return text + " (suspended)";
    if (const char* word = ListWord(d.basis)) text += std::string(" [") + word + ": " + d.ruleText + "]";
    return text;
}

bool RuleSet::Add(unsigned char kind, const std::string& text) {
    if (kind == RULE_CLEAR) {
        Clear();
        return true;
    }
    if (!IsKnownKind(kind)) return false;
    rules_.push_back({kind, text});
    matchers_.push_back(Compile(kind, text));
    return true;
}

void RuleSet::Clear() {
    rules_.clear();
    matchers_.clear();
}

RuleSet::Matcher RuleSet::Compile(unsigned char kind, const std::string& text) {
    Matcher m;
    m.list = ListOf(kind);
    m.subFolders = kind > RULE_SUBFOLDERS;
    m.hideStyle = m.list == RULE_HIDE || m.list == RULE_EXCLUDE_HIDE;
    m.bare = text.find_first_of("\\/") == std::string::npos;
    std::vector<std::string> parts = SplitPath(text);
    // "C:\Secret\" names what is in the folder, as "C:\Secret\*" does.
    bool endsInSeparator = !text.empty() && (text.back() == '\\' || text.back() == '/');
    if (endsInSeparator || parts.empty()) parts.push_back("*");
    m.pattern = parts.back();
    parts.pop_back();
    m.folder = parts;
    return m;
}

// A plain rule names entries right in its folder. With sub-folders, a
// wildcard names matching entries at any depth below it; a name without
// wildcards names one entry ("C:\Secret") with all that is inside it. A
// hide rule also hides what is inside what it names, and a bare hide name
// any folder of that name on the path.
bool RuleSet::Matcher::Matches(const std::vector<std::string>& parts) const {
    if (parts.empty()) return false;
    bool literal = pattern.find_first_of("*?") == std::string::npos;
    std::size_t first = 0, last = parts.size() - 1;
    if (!bare) {
        if (parts.size() <= folder.size()) return false;
        for (std::size_t i = 0; i < folder.size(); ++i)
            if (parts[i] != folder[i]) return false;
        first = folder.size();
        if (!subFolders || (literal && !hideStyle)) last = first;
    }
    bool inside = hideStyle || (subFolders && literal);
    for (std::size_t i = first; i <= last; ++i) {
        if (!inside && i != parts.size() - 1) continue;
        if (Wild(pattern, parts[i])) return true;
    }
    return false;
}

int RuleSet::Find(unsigned char list, unsigned char exclusion,
                  const std::vector<std::string>& parts) const {
    int found = -1;
    for (std::size_t i = 0; i < matchers_.size(); ++i) {
        const Matcher& m = matchers_[i];
        if (m.list == exclusion && m.Matches(parts)) return -1;
        if (m.list == list && found < 0 && m.Matches(parts)) found = static_cast<int>(i);
    }
    return found;
}

Decision RuleSet::Decide(bool enforcing, const std::string& task, Operation op,
                         const std::string& path) const {
    Decision d;
    if (!enforcing) {
        d.basis = Basis::Suspended;
        return d;
    }
    auto decided = [&](Verdict v, Basis b, int rule) {
        d.verdict = v;
        d.basis = b;
        d.rule = rule;
        d.ruleText = rules_[rule].text;
    };
    for (std::size_t i = 0; i < rules_.size(); ++i)
        if (rules_[i].kind == RULE_SAFE_TASK && EqualNoCase(rules_[i].text, task)) {
            decided(Verdict::Allowed, Basis::SafeTask, static_cast<int>(i));
            return d;
        }

    std::vector<std::string> parts = SplitPath(path);
    int r;
    std::string head;
    if ((r = Find(RULE_HIDE, RULE_EXCLUDE_HIDE, parts)) >= 0) {
        decided(Verdict::NotFound, Basis::Hide, r);
        return d;
    }
    if ((r = Find(RULE_NO_ACCESS, RULE_EXCLUDE_NO_ACCESS, parts)) >= 0) {
        decided(Verdict::Denied, Basis::NoAccess, r);
        head = "Access denied: ";
    } else if (ChangesFile(op) && (r = Find(RULE_READ_ONLY, RULE_EXCLUDE_READ_ONLY, parts)) >= 0) {
        decided(Verdict::Denied, Basis::ReadOnly, r);
        head = "Access denied: ";
    } else if ((r = Find(RULE_LOG_ONLY, RULE_EXCLUDE_LOG_ONLY, parts)) >= 0) {
        decided(Verdict::Allowed, Basis::LogOnly, r);
        head = "Log: FYI ";
    } else {
        return d;
    }
    d.report = head + task + " " + OperationWord(op) + " " + path + " [" + ListWord(d.basis) +
               ": " + d.ruleText + "]";
    if (d.report.size() > kReportMax) d.report.resize(kReportMax);
    return d;
}

}  // namespace kfdrv
