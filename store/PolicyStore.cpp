#include "store/PolicyStore.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "store/Scramble.h"

namespace kf {

std::string CPolicyStore::KeyPath(const std::string& subKey, bool scrambled) const {
    return m_strRootPath + "\\" + (scrambled ? ScrambleText(subKey, false) : subKey);
}

std::string CPolicyStore::ReadString(const std::string& subKey, const std::string& valueName,
                                     const std::string& defaultText, bool scrambled) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(subKey, scrambled).c_str(), 0, KEY_ALL_ACCESS,
                      &key) != ERROR_SUCCESS)
        return defaultText;
    const std::string name = scrambled ? ScrambleText(valueName, false) : valueName;
    // One byte more than the query may fill, so the text always ends.
    char buffer[kBufferBytes + 1] = {};
    DWORD type = 0, size = kBufferBytes;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return defaultText;
    if (type != REG_SZ) return std::string();
    std::string data(buffer, strnlen(buffer, size));
    return scrambled ? UnscrambleText(data) : data;
}

int CPolicyStore::ReadInt(const std::string& subKey, const std::string& valueName,
                          int defaultValue, bool scrambled) const {
    std::string text = ReadString(subKey, valueName, kIntSentinel, scrambled);
    if (text == kIntSentinel) return defaultValue;
    return std::atoi(text.c_str());
}

bool CPolicyStore::WriteString(const std::string& subKey, const std::string& valueName,
                               const std::string& text, bool scrambled) const {
    const std::string data = scrambled ? ScrambleText(text, true) : text;
    // A value that could not be read back whole is refused, never cut.
    if (data.size() + 1 > kBufferBytes || data.find('\0') != std::string::npos) return false;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath(subKey, scrambled).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const std::string name = scrambled ? ScrambleText(valueName, false) : valueName;
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(key);
    return true;
}

bool CPolicyStore::WriteInt(const std::string& subKey, const std::string& valueName, int value,
                            bool scrambled) const {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return WriteString(subKey, valueName, text, scrambled);
}

}  // namespace kf
