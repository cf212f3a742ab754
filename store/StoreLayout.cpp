#include "store/StoreLayout.h"

namespace kf {

std::string UserKeyName(const std::string& displayName) {
    return displayName == kGuest ? std::string(kDefaultKey) : displayName;
}

std::string UserDisplayName(const std::string& keyName) {
    return keyName == kDefaultKey ? std::string(kGuest) : keyName;
}

std::vector<std::string> ReadNumberedList(const CPolicyStore& store, const std::string& key,
                                          const std::string& prefix, int maxEntries) {
    std::vector<std::string> entries;
    for (int n = 1; n <= maxEntries; ++n) {
        std::string text = store.ReadString(key, prefix + std::to_string(n), "", true);
        if (text.empty()) break;
        entries.push_back(text);
    }
    return entries;
}

void WriteNumberedList(const CPolicyStore& store, const std::string& key,
                       const std::string& prefix, const std::vector<std::string>& entries) {
    int n = 1;
    for (const std::string& e : entries) store.WriteString(key, prefix + std::to_string(n++), e, true);
    store.WriteString(key, prefix + std::to_string(n), "", true);
}

std::vector<std::string> ReadUsersList(const CPolicyStore& store) {
    return ReadNumberedList(store, kGeneralKey, kUserNamePrefix, kMaxListEntries);
}

void WriteUsersList(const CPolicyStore& store, const std::vector<std::string>& names) {
    WriteNumberedList(store, kGeneralKey, kUserNamePrefix, names);
}

void FirstStartSetUp(const CPolicyStore& store) {
    if (!store.ReadString(kGeneralKey, kLastLoginValue, "", true).empty()) return;
    store.WriteString(kGeneralKey, std::string(kUserNamePrefix) + "1", kAdministrator, true);
    store.WriteString(kGeneralKey, kLastLoginValue, kAdministrator, true);
    store.WriteString(kGeneralKey, std::string(kUserNamePrefix) + "2", kGuest, true);
}

bool IsFirstStartOver(const CPolicyStore& store) {
    return store.ReadInt(kGeneralKey, kFirstStartOverValue, 0, true) != 0;
}

void MarkFirstStartOver(const CPolicyStore& store) {
    store.WriteInt(kGeneralKey, kFirstStartOverValue, 1, true);
}

std::string ReadInstallFolder(const CPolicyStore& store) {
    return store.ReadString(kInstallKey, kFolderValue, "", false);
}

void ApplyStealth(int stealth, int& askPassword, int& alertDisplay, int& alertTone) {
    if (stealth) askPassword = alertDisplay = alertTone = 0;
}

SettingsFlags LoadSettingsFlags(const CPolicyStore& store, const std::string& userKey) {
    SettingsFlags f;
    f.secureTimeout = store.ReadInt(userKey, "SecureTimeout", 0, true);
    f.askPassword = store.ReadInt(userKey, "SecureAskPass", 1, true);
    f.alertDisplay = store.ReadInt(userKey, "AlertDisplay", 1, true);
    f.alertTone = store.ReadInt(userKey, "AlertTone", 0, true);
    f.stealth = store.ReadInt(userKey, "Stealth", 0, true);
    ApplyStealth(f.stealth, f.askPassword, f.alertDisplay, f.alertTone);
    return f;
}

}  // namespace kf
