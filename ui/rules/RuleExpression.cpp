#include "ui/rules/RuleExpression.h"

#include <windows.h>
#include <mbstring.h>

#include <cctype>

#include "store/StoreLayout.h"

namespace kf {

namespace {
const unsigned char* U(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.c_str());
}
bool EqualNoCase(const std::string& a, const std::string& b) { return _mbsicmp(U(a), U(b)) == 0; }
}  // namespace

const char* StorageWord(RuleListKind kind) {
    switch (kind) {
    case RuleListKind::NoAccess: return "NoAccess";
    case RuleListKind::ReadOnly: return "ReadOnlyAccess";
    case RuleListKind::LogAccess: return "JustInfo";
    case RuleListKind::Hide: return "Hide";
    case RuleListKind::SafePrograms: return "SafeList";
    }
    return "";
}

const char* EntryWord(RuleListKind kind) {
    return kind == RuleListKind::SafePrograms ? "TaskName:" : "PathExp:";
}

std::string RuleValueName(RuleListKind kind, int index) {
    return std::string(StorageWord(kind)) + EntryWord(kind) + std::to_string(index);
}

bool IsExclusion(const std::string& text) {
    return text.size() >= 9 && EqualNoCase(text.substr(0, 9), kExclusionPrefix);
}

bool HasSubFolders(const std::string& text) {
    if (text.size() < 3) return false;
    std::string tail = text.substr(text.size() - 3);
    return _mbscmp(U(tail), U(std::string(" /s"))) == 0 || _mbscmp(U(tail), U(std::string(" /S"))) == 0;
}

std::string TrimBlanks(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    return text.substr(b, e - b);
}

std::string SetExclusion(const std::string& text, bool on) {
    std::string t = TrimBlanks(text);
    if (on && !IsExclusion(t)) t = kExclusionPrefix + t;
    if (!on && IsExclusion(t)) t.erase(0, 9);
    return TrimBlanks(t);
}

std::string SetSubFolders(const std::string& text, bool on) {
    std::string t = TrimBlanks(text);
    if (on && !HasSubFolders(t)) t += kSubFoldersSuffix;
    if (!on && HasSubFolders(t)) t.erase(t.size() - 3);
    return TrimBlanks(t);
}

std::vector<std::string> ReadRuleList(const CPolicyStore& store, const std::string& userKey,
                                      RuleListKind kind) {
    return ReadNumberedList(store, userKey, std::string(StorageWord(kind)) + EntryWord(kind),
                            kMaxListEntries);
}

void WriteRuleList(const CPolicyStore& store, const std::string& userKey, RuleListKind kind,
                   const std::vector<std::string>& entries) {
    WriteNumberedList(store, userKey, std::string(StorageWord(kind)) + EntryWord(kind), entries);
}

std::optional<std::string> MakeShortPathTwin(const std::string& text) {
    std::string prefix, body = text;
    if (IsExclusion(text)) {
        prefix = text.substr(0, 9);
        body = text.substr(9);
    }
    size_t slash = body.find_last_of('\\');
    if (slash == std::string::npos) return std::nullopt;
    std::string folder = body.substr(0, slash), rest = body.substr(slash);
    char shortForm[256];
    DWORD n = GetShortPathNameA(folder.c_str(), shortForm, sizeof shortForm);
    if (n == 0 || n >= sizeof shortForm) return std::nullopt;
    std::string s(shortForm, n);
    if (EqualNoCase(s, folder)) return std::nullopt;
    return prefix + s + rest;
}

}  // namespace kf
