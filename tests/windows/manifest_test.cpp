// The manifest makes the ANSI functions speak UTF-8, so names in any script survive.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string tempFolder() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = GetTempPathA(sizeof buffer, buffer);
  return std::string(buffer, n);
}

TEST(Manifest, MakesUtf8TheActiveCodePage) { EXPECT_EQ(GetACP(), 65001u); }

TEST(Manifest, LetsAnsiFunctionsCreateAndFindNonAsciiNames) {
  // "Größe — 日本語 файл.txt" in UTF-8.
  const std::string name =
      "Gr\xC3\xB6\xC3\x9F" "e \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E "
      "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt";
  const std::string path = tempFolder() + name;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "abc", 3, &written, nullptr));
  CloseHandle(file);

  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(std::string(found.cFileName), name);
  EXPECT_EQ(found.nFileSizeLow, 3u);

  // The same name reached through its wide form is the same file.
  wchar_t wide[MAX_PATH] = {};
  ASSERT_GT(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide, MAX_PATH), 0);
  EXPECT_NE(GetFileAttributesW(wide), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

}  // namespace
