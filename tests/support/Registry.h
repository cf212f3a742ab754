// A registry root of a test's own below HKEY_LOCAL_MACHINE, removed before
// and after, and raw access to what lies below it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace kftest {

// Deletes HKLM\path and everything below it.
void DeleteTree(const std::string& path);
bool KeyExists(const std::string& path);
// Value names of HKLM\path, in the registry's order.
std::vector<std::string> ValueNames(const std::string& path);
std::vector<std::string> SubKeyNames(const std::string& path);
void WriteRaw(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD bytes);
// False when missing; type and data otherwise.
bool ReadRaw(const std::string& path, const std::string& name, DWORD* type, std::string* data);

class TestRoot {
public:
    explicit TestRoot(const std::string& name) : m_path("SOFTWARE\\Orvanel\\KeyfortTest\\" + name) { DeleteTree(m_path); }
    ~TestRoot() { DeleteTree(m_path); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace kftest
