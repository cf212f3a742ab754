// The text form of a rule and how a user's rule lists are stored.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "store/PolicyStore.h"

namespace kf {

enum class RuleListKind { NoAccess, ReadOnly, LogAccess, Hide, SafePrograms };

constexpr RuleListKind kAllRuleLists[] = {RuleListKind::NoAccess, RuleListKind::ReadOnly,
                                          RuleListKind::LogAccess, RuleListKind::Hide,
                                          RuleListKind::SafePrograms};

constexpr const char* kExclusionPrefix = "Exclude: ";  // nine characters
constexpr const char* kSubFoldersSuffix = " /S";

// "NoAccess", "ReadOnlyAccess", "JustInfo", "Hide", "SafeList".
const char* StorageWord(RuleListKind kind);
// "PathExp:" for the path lists, "TaskName:" for the safe programs.
const char* EntryWord(RuleListKind kind);
// Storage word + entry word + index, e.g. "NoAccessPathExp:1".
std::string RuleValueName(RuleListKind kind, int index);

// As the editing code sees a rule: the prefix in any letter case, the
// suffix " /s" or " /S" exactly.
bool IsExclusion(const std::string& text);
bool HasSubFolders(const std::string& text);
// Composition when a check box changes; the result is trimmed.
std::string SetExclusion(const std::string& text, bool on);
std::string SetSubFolders(const std::string& text, bool on);
std::string TrimBlanks(const std::string& text);

// At most 253 entries, up to the first empty, missing or non-text value.
std::vector<std::string> ReadRuleList(const CPolicyStore& store, const std::string& userKey,
                                      RuleListKind kind);
// Entries under 1..N, then an empty value under N+1.
void WriteRuleList(const CPolicyStore& store, const std::string& userKey, RuleListKind kind,
                   const std::vector<std::string>& entries);

// The same rule with its folder part in short (8.3) form, when that differs.
std::optional<std::string> MakeShortPathTwin(const std::string& text);

}  // namespace kf
