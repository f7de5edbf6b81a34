// The registry port against the real registry, under a throwaway key of the current user.
#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "fakes/fake_registry.h"
#include "platform/win32/win32_ids.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kParent = "Software\\HaulixTest";

class Win32RegistryTest : public ::testing::Test {
 protected:
  Win32RegistryTest() : key(kParent + "\\" + Win32Ids().newToken()) {}
  ~Win32RegistryTest() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kParent.c_str());  // fails while other tests use it
  }

  bool keyExists(const std::string& path) {
    HKEY open = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &open) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(open);
    return true;
  }
  // Stores exactly `count` bytes of `bytes`, bypassing the port.
  void putRaw(const std::string& name, DWORD type, const char* bytes, DWORD count) {
    HKEY open = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &open, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetValueExA(open, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes), count),
        ERROR_SUCCESS);
    RegCloseKey(open);
  }
  // The stored type and bytes, read past the port.
  bool stored(const std::string& name, DWORD& type, std::string& bytes) {
    HKEY open = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &open) != ERROR_SUCCESS) {
      return false;
    }
    char buffer[256];
    DWORD size = sizeof buffer;
    LONG status = RegQueryValueExA(open, name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(open);
    if (status != ERROR_SUCCESS) return false;
    bytes.assign(buffer, size);
    return true;
  }

  Win32Registry registry;
  const std::string key;
};

TEST_F(Win32RegistryTest, NumbersRoundTripAsFourByteDwords) {
  for (int32_t value : {0, 300, -1, INT_MIN, INT_MAX}) {
    ASSERT_TRUE(registry.writeNumber(kUser, key, "get", value));
    int32_t read = 12345;
    ASSERT_TRUE(registry.readNumber(kUser, key, "get", read));
    EXPECT_EQ(read, value);
  }
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(stored("get", type, bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(bytes, std::string("\xff\xff\xff\x7f", 4));
}

TEST_F(Win32RegistryTest, TextsRoundTripAsStringsOfTheirLengthPlusOne) {
  // "D:\Größe" in UTF-8: the manifest makes that the ANSI code page.
  const std::string folder =
      "D:\\Gr\xC3\xB6\xC3\x9F"
      "e";
  for (const std::string& text : {folder, std::string(), std::string("a.com\rann\rpw\r\r")}) {
    ASSERT_TRUE(registry.writeText(kUser, key, "folder", text));
    std::string read = "stale";
    ASSERT_TRUE(registry.readText(kUser, key, "folder", read));
    EXPECT_EQ(read, text);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(stored("folder", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, text + std::string(1, '\0'));
  }
}

TEST_F(Win32RegistryTest, AbsentValuesReadAsAbsentAndTheKeyIsMadeByTheRead) {
  ASSERT_FALSE(keyExists(key));
  int32_t number = 7;
  std::string text = "kept";
  EXPECT_FALSE(registry.readNumber(kUser, key, "get", number));
  EXPECT_FALSE(registry.readText(kUser, key, "folder", text));
  EXPECT_EQ(number, 7);
  EXPECT_EQ(text, "kept");
  EXPECT_TRUE(keyExists(key));
}

TEST_F(Win32RegistryTest, ATextStoredWithoutItsZeroByteLosesItsLastByte) {
  // The byte after the count is not zero, or the system would count the zero in.
  putRaw("unended", REG_SZ, "D:\\FilesX", 8);
  std::string text;
  ASSERT_TRUE(registry.readText(kUser, key, "unended", text));
  EXPECT_EQ(text, "D:\\File");
  // Reading ignores the type: a number's bytes read as a text.
  ASSERT_TRUE(registry.writeNumber(kUser, key, "dword", 0x00636261));
  ASSERT_TRUE(registry.readText(kUser, key, "dword", text));
  EXPECT_EQ(text, "abc");
}

// Empty, short, long, zero bytes inside: every stored form reads as the fake reads it.
TEST_F(Win32RegistryTest, ReadsEveryStoredFormAsTheFakeDoes) {
  FakeRegistry fake;
  const std::string samples[] = {std::string(),
                                 std::string("\0", 1),
                                 std::string("a"),
                                 std::string("ab\0", 3),
                                 std::string("abcd"),
                                 std::string("abcde"),
                                 std::string("\xff\xfe\0\x01", 4),
                                 std::string(40, 'x'),
                                 std::string("\1\2\3\4\5\6\7\x08", 8),
                                 std::string("abc\0def", 7)};
  int index = 0;
  for (const std::string& bytes : samples) {
    std::string name = "v" + std::to_string(index++);
    putRaw(name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    fake.putRaw(kUser, key, name, registry_type::kBinary, bytes);
    int32_t real = 0, faked = 0;
    EXPECT_EQ(registry.readNumber(kUser, key, name, real), fake.readNumber(kUser, key, name, faked))
        << name;
    EXPECT_EQ(real, faked) << name;
    std::string realText, fakedText;
    EXPECT_EQ(registry.readText(kUser, key, name, realText),
              fake.readText(kUser, key, name, fakedText))
        << name;
    EXPECT_EQ(realText, fakedText) << name;
  }
}

TEST_F(Win32RegistryTest, RemoveDeletesAValueOrWithAnEmptyNameTheKey) {
  ASSERT_TRUE(registry.writeText(kUser, key, "try", "token"));
  ASSERT_TRUE(registry.writeNumber(kUser, key, "get", 3));
  EXPECT_TRUE(registry.remove(kUser, key, "try"));
  std::string text;
  EXPECT_FALSE(registry.readText(kUser, key, "try", text));
  EXPECT_FALSE(registry.remove(kUser, key, "try"));
  int32_t number = 0;
  EXPECT_TRUE(registry.readNumber(kUser, key, "get", number));

  // A key with a subkey stays; without one it goes, with its values.
  ASSERT_TRUE(registry.writeNumber(kUser, key + "\\Sub", "x", 1));
  EXPECT_FALSE(registry.remove(kUser, key, ""));
  EXPECT_TRUE(registry.remove(kUser, key + "\\Sub", ""));
  EXPECT_TRUE(registry.remove(kUser, key, ""));
  EXPECT_FALSE(keyExists(key));
  EXPECT_FALSE(registry.remove(kUser, key, ""));
}

// Reads leave a watch quiet; a write past the port (another process's) or a delete wakes it,
// once per change.
TEST_F(Win32RegistryTest, AWatchAnswersTrueOnceForEachChangeOfTheKey) {
  std::unique_ptr<RegistryWatch> watch = registry.watchKey(kUser, key);
  ASSERT_NE(watch, nullptr);
  EXPECT_TRUE(keyExists(key));
  EXPECT_TRUE(watch->changed());
  int32_t number = 0;
  registry.readNumber(kUser, key, "get", number);
  EXPECT_FALSE(watch->changed());
  putRaw("get", REG_DWORD, "\x05\0\0\0", 4);
  EXPECT_TRUE(watch->changed());
  EXPECT_FALSE(watch->changed());
  ASSERT_TRUE(registry.remove(kUser, key, "get"));
  EXPECT_TRUE(watch->changed());
  EXPECT_FALSE(watch->changed());
}

}  // namespace
