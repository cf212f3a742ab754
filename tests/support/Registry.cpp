#include "tests/support/Registry.h"

namespace kftest {

void DeleteTree(const std::string& path) {
    for (const std::string& sub : SubKeyNames(path)) DeleteTree(path + "\\" + sub);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

bool KeyExists(const std::string& path) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

namespace {

// The names that one of the RegEnum calls gives, from index 0 until it fails.
template <typename Enum>
std::vector<std::string> EnumNames(const std::string& path, Enum enumerate) {
    std::vector<std::string> names;
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD n = sizeof name;
        if (enumerate(k, i, name, &n) != ERROR_SUCCESS) break;
        names.emplace_back(name, n);
    }
    RegCloseKey(k);
    return names;
}

}  // namespace

std::vector<std::string> ValueNames(const std::string& path) {
    return EnumNames(path, [](HKEY k, DWORD i, char* name, DWORD* n) {
        return RegEnumValueA(k, i, name, n, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::string> SubKeyNames(const std::string& path) {
    return EnumNames(path, [](HKEY k, DWORD i, char* name, DWORD* n) {
        return RegEnumKeyExA(k, i, name, n, nullptr, nullptr, nullptr, nullptr);
    });
}

void WriteRaw(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD bytes) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(k);
}

bool ReadRaw(const std::string& path, const std::string& name, DWORD* type, std::string* data) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD bytes = 0;
    LONG rc = RegQueryValueExA(k, name.c_str(), nullptr, type, nullptr, &bytes);
    if (rc == ERROR_SUCCESS) {
        data->assign(bytes, '\0');
        rc = RegQueryValueExA(k, name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(&(*data)[0]), &bytes);
        data->resize(bytes);
    }
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

}  // namespace kftest
