#include <gtest/gtest.h>

#include "store/PolicyStore.h"
#include "store/Scramble.h"
#include "tests/support/Registry.h"

using kf::CPolicyStore;
using kf::ScrambleText;
using kf::UnscrambleText;

namespace {

class PolicyStoreTest : public testing::Test {
protected:
    PolicyStoreTest() : root("PolicyStore") { store.SetRootPath(root.Path()); }
    // The stored key path of a scrambled sub-key.
    std::string Key(const std::string& sub) { return root.Path() + "\\" + ScrambleText(sub, false); }
    void Raw(const std::string& sub, const std::string& name, DWORD type, const void* data, DWORD bytes) {
        kftest::WriteRaw(Key(sub), ScrambleText(name, false), type, data, bytes);
    }
    kftest::TestRoot root;
    CPolicyStore store;
};

TEST_F(PolicyStoreTest, MissingKeyOrValueGivesTheDefaultAndTheFirstWriteCreatesTheKey) {
    EXPECT_EQ(store.ReadString("Nobody", "Password", "dflt", true), "dflt");
    EXPECT_EQ(store.ReadInt("Nobody", "AlertTone", -3, true), -3);
    EXPECT_FALSE(kftest::KeyExists(Key("Nobody")));

    EXPECT_TRUE(store.WriteString("Nobody", "Password", "secret", true));
    EXPECT_TRUE(kftest::KeyExists(Key("Nobody")));
    EXPECT_EQ(store.ReadString("Nobody", "Password", "dflt", true), "secret");
    EXPECT_EQ(store.ReadString("Nobody", "Other", "dflt", true), "dflt");
}

TEST_F(PolicyStoreTest, StoredFormIsScrambledNameAndPaddedText) {
    ASSERT_TRUE(store.WriteInt("Default", "Stealth", -5, true));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(kftest::ReadRaw(Key("Default"), ScrambleText("Stealth", false), &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.back(), '\0');  // the text and one NUL
    std::string text = data.substr(0, data.size() - 1);
    EXPECT_EQ(text.size() % 23, 0u);
    EXPECT_EQ(UnscrambleText(text), "-5");
    EXPECT_EQ(store.ReadInt("Default", "Stealth", 7, true), -5);

    // Unscrambled access keeps names and text as they are.
    ASSERT_TRUE(store.WriteString("Install", "Folder", "C:\\Keyfort\\", false));
    ASSERT_TRUE(kftest::ReadRaw(root.Path() + "\\Install", "Folder", &type, &data));
    EXPECT_EQ(data, std::string("C:\\Keyfort\\", 12));
}

TEST_F(PolicyStoreTest, ValuesOfOtherTypesReadAsEmptyTextAndZero) {
    DWORD dword = 42;
    Raw("Default", "AlertTone", REG_DWORD, &dword, sizeof dword);
    Raw("Default", "Password", REG_BINARY, "\x01\x02", 2);
    Raw("Default", "Multi", REG_MULTI_SZ, "a\0b\0", 5);
    EXPECT_EQ(store.ReadString("Default", "AlertTone", "dflt", true), "");
    EXPECT_EQ(store.ReadInt("Default", "AlertTone", 9, true), 0);
    EXPECT_EQ(store.ReadString("Default", "Password", "dflt", true), "");
    EXPECT_EQ(store.ReadInt("Default", "Password", 9, true), 0);
    EXPECT_EQ(store.ReadString("Default", "Multi", "dflt", true), "");
}

TEST_F(PolicyStoreTest, ValueLongerThanTheBufferReadsAsMissing) {
    std::string fits(999, 'A');      // 999 letters and the NUL: exactly 1000 bytes
    std::string tooLong(1000, 'A');  // 1001 bytes
    kftest::WriteRaw(root.Path() + "\\Install", "Fits", REG_SZ, fits.c_str(), 1000);
    kftest::WriteRaw(root.Path() + "\\Install", "TooLong", REG_SZ, tooLong.c_str(), 1001);
    EXPECT_EQ(store.ReadString("Install", "Fits", "dflt", false), fits);
    EXPECT_EQ(store.ReadString("Install", "TooLong", "dflt", false), "dflt");
    EXPECT_EQ(store.ReadInt("Install", "TooLong", 17, false), 17);
}

TEST_F(PolicyStoreTest, IntegersReadAsAtoiDoesAndTheSentinelGivesTheDefault) {
    struct Case { const char* stored; int expected; } cases[] = {
        {"12abc", 12}, {"abc", 0}, {"", 0}, {"  -7", -7}, {"+5", 5}, {"-5", -5}, {"0", 0},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"1 2", 1},
        {"Keyfort by Orvanel", 31}, {"Keyfort by Orvanel ", 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(store.WriteString("Default", "Number", c.stored, true));
        EXPECT_EQ(store.ReadInt("Default", "Number", 31, true), c.expected) << '"' << c.stored << '"';
    }
    for (int v : {0, 1, -1, -5, 123456, -2147483647 - 1}) {
        ASSERT_TRUE(store.WriteInt("Default", "Number", v, true));
        EXPECT_EQ(store.ReadString("Default", "Number", "", true), std::to_string(v));
        EXPECT_EQ(store.ReadInt("Default", "Number", 31, true), v);
    }
}

TEST_F(PolicyStoreTest, EmptyScrambledTextIsStoredEmptyAndReadsAsEmptyNotTheDefault) {
    ASSERT_TRUE(store.WriteString("General", "UserUserName:3", "", true));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(kftest::ReadRaw(Key("General"), ScrambleText("UserUserName:3", false), &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::string(1, '\0'));
    EXPECT_EQ(store.ReadString("General", "UserUserName:3", "dflt", true), "");
}

TEST_F(PolicyStoreTest, TextThatWouldNotFitIsRefusedAndNothingIsWritten) {
    // 479 plain characters scramble to 989 letters; 480 to 1012.
    EXPECT_TRUE(store.WriteString("Default", "Long", std::string(479, 'x'), true));
    EXPECT_EQ(store.ReadString("Default", "Long", "", true), std::string(479, 'x'));
    EXPECT_FALSE(store.WriteString("Default", "Long", std::string(480, 'y'), true));
    EXPECT_EQ(store.ReadString("Default", "Long", "", true), std::string(479, 'x'));
    EXPECT_FALSE(store.WriteString("Default", "New", std::string(600, 'y'), true));
    EXPECT_EQ(store.ReadString("Default", "New", "dflt", true), "dflt");

    EXPECT_TRUE(store.WriteString("Install", "Plain", std::string(999, 'p'), false));
    EXPECT_FALSE(store.WriteString("Install", "Plain", std::string(1000, 'q'), false));
    EXPECT_EQ(store.ReadString("Install", "Plain", "", false), std::string(999, 'p'));
}

TEST_F(PolicyStoreTest, DefaultTextIsReturnedAsGiven) {
    EXPECT_EQ(store.ReadString("Default", "Missing", "DBGCGDG", true), "DBGCGDG");
    EXPECT_EQ(store.ReadString("Default", "Missing", "", true), "");
}

}  // namespace
