// The tree of the policy store: users list, last login, per-user settings.
// Names are given plain; every access but "Install" is scrambled.
#pragma once
#include <string>
#include <vector>

#include "store/PolicyStore.h"

namespace kf {

constexpr const char* kStoreRoot = "SOFTWARE\\Orvanel\\Keyfort";
constexpr const char* kInstallKey = "Install";
constexpr const char* kFolderValue = "Folder";
constexpr const char* kGeneralKey = "General";
constexpr const char* kLastLoginValue = "UserLastLogin";
constexpr const char* kUserNamePrefix = "UserUserName:";
// Records that the first start's quick start has been shown.
constexpr const char* kFirstStartOverValue = "FirstStartOver";

constexpr const char* kAdministrator = "Administrator";
constexpr const char* kGuest = "Guest";
constexpr const char* kDefaultKey = "Default";

constexpr int kMaxListEntries = 253;

// "Guest" lives under the key "Default"; every other user under its name.
std::string UserKeyName(const std::string& displayName);
std::string UserDisplayName(const std::string& keyName);

// A list of values prefix1, prefix2, ... ended by the first empty one.
std::vector<std::string> ReadNumberedList(const CPolicyStore& store, const std::string& key,
                                          const std::string& prefix, int maxEntries);
// Entries 1..N, then an empty terminator at N+1; nothing is deleted.
void WriteNumberedList(const CPolicyStore& store, const std::string& key,
                       const std::string& prefix, const std::vector<std::string>& entries);

std::vector<std::string> ReadUsersList(const CPolicyStore& store);
void WriteUsersList(const CPolicyStore& store, const std::vector<std::string>& names);

// On a store never set up (empty last login): Administrator, Guest.
void FirstStartSetUp(const CPolicyStore& store);

bool IsFirstStartOver(const CPolicyStore& store);
void MarkFirstStartOver(const CPolicyStore& store);

// "Install" \ "Folder", unscrambled; empty when missing.
std::string ReadInstallFolder(const CPolicyStore& store);

struct SettingsFlags {
    int secureTimeout = 0;
    int askPassword = 1;
    int alertDisplay = 1;
    int alertTone = 0;
    int stealth = 0;
};
// The five flags of a user key with their defaults; a non-zero Stealth
// clears askPassword, alertDisplay and alertTone in memory.
SettingsFlags LoadSettingsFlags(const CPolicyStore& store, const std::string& userKey);
void ApplyStealth(int stealth, int& askPassword, int& alertDisplay, int& alertTone);

}  // namespace kf
