// The registry access object: four operations on values one level below
// HKEY_LOCAL_MACHINE\<root>. Reads never fail: failures give the caller's default.
#pragma once
#include <string>

namespace kf {

class CPolicyStore {
public:
    static constexpr unsigned kBufferBytes = 1000;  // stored text with its NUL
    static constexpr const char* kIntSentinel = "Keyfort by Orvanel";

    void SetRootPath(const std::string& root) { m_strRootPath = root; }
    const std::string& RootPath() const { return m_strRootPath; }

    std::string ReadString(const std::string& subKey, const std::string& valueName,
                           const std::string& defaultText, bool scrambled) const;
    int ReadInt(const std::string& subKey, const std::string& valueName, int defaultValue,
                bool scrambled) const;
    // False when the key can be neither opened nor created, or when the stored
    // text would not fit the read buffer; nothing is written then.
    bool WriteString(const std::string& subKey, const std::string& valueName,
                     const std::string& text, bool scrambled) const;
    bool WriteInt(const std::string& subKey, const std::string& valueName, int value,
                  bool scrambled) const;

private:
    std::string KeyPath(const std::string& subKey, bool scrambled) const;
    std::string m_strRootPath;
};

}  // namespace kf
