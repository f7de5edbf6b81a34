// The file operations on the real file system, in a folder of their own under the
// temporary folder.
#include "platform/win32/win32_files.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "transfer/file_ops.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_text_rules.h"
#include "url/byte_text.h"
#include "windows/local_server.h"

namespace {

namespace attr = file_attribute;

class Win32FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    ASSERT_GT(n, 0u);
    root = std::string(buffer, n) + "haulix files " + ids.newToken();
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
  }
  void TearDown() override { removeTree(root); }

  // A file written through the port, as a finished download's piece file is.
  std::string writePiece(const std::string& name, const std::string& bytes) {
    const std::string path = root + "\\" + name;
    auto file = ops.createForWriting(true, path);
    EXPECT_TRUE(file);
    if (file) {
      EXPECT_TRUE(FileOps::writeText(*file, bytes));
    }
    return path;
  }

  std::string read(const std::string& path) {
    auto mapped = ops.mapFile(path);
    if (!mapped) return "(nothing)";
    return std::string(reinterpret_cast<const char*>(mapped->data()),
                       static_cast<size_t>(mapped->size()));
  }

  Win32Files files;
  Win32Ids ids;
  Win32TextRules rules;
  ByteText text{rules};
  FileOps ops{files, ids, text};
  std::string root;
};

TEST_F(Win32FilesTest, PlacesADifferentFileOfATakenNameUnderTheNextNumber) {
  const std::string folder = root + "\\site\\";
  const std::string first = writePiece("haulix 1.db", "first");
  ASSERT_EQ(ops.placeFile(first, folder, "a", ".zip", false, Collision::kKeepIdentical, true),
            folder + "a.zip");
  const std::string second = writePiece("haulix 2.db", "second");
  EXPECT_EQ(ops.placeFile(second, folder, "a", ".zip", false, Collision::kKeepIdentical, true),
            folder + "a (2).zip");
  EXPECT_EQ(read(folder + "a.zip"), "first");
  EXPECT_EQ(read(folder + "a (2).zip"), "second");
  EXPECT_EQ(GetFileAttributesA((folder + "a (2).zip").c_str()), DWORD{FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_EQ(ops.pathStatus(second), path_status::kMissing);
}

TEST_F(Win32FilesTest, KeepsAnIdenticalFileAndRemovesThePiece) {
  const std::string folder = root + "\\site";
  ASSERT_TRUE(ops.makeFolders(folder, false));
  const std::string first = writePiece("haulix 1.db", "same bytes");
  ASSERT_EQ(ops.placeFile(first, folder, "a", ".zip", false, Collision::kKeepIdentical, true),
            folder + "\\a.zip");
  const std::string again = writePiece("haulix 2.db", "same bytes");
  EXPECT_EQ(ops.placeFile(again, folder, "a", ".zip", false, Collision::kKeepIdentical, true),
            folder + "\\a.zip");
  EXPECT_EQ(ops.pathStatus(again), path_status::kMissing);
  EXPECT_EQ(ops.pathStatus(folder + "\\a (2).zip"), path_status::kMissing);
  EXPECT_EQ(files.listFolder(folder, "*"), std::vector<std::string>{folder + "\\a.zip"});
}

TEST_F(Win32FilesTest, TellsInvalidMissingFolderAndFilePaths) {
  writePiece("five.txt", "12345");
  EXPECT_EQ(ops.pathStatus("relative\\path.txt"), path_status::kInvalid);
  EXPECT_EQ(ops.pathStatus(root + "\\*.txt"), path_status::kInvalid);
  EXPECT_EQ(ops.pathStatus(root + "\\missing.txt"), path_status::kMissing);
  EXPECT_EQ(ops.pathStatus(root), path_status::kFolder);
  EXPECT_EQ(ops.pathStatus(root + "\\"), path_status::kFolder);
  EXPECT_EQ(ops.pathStatus(root + "\\five.txt"), 5);
}

TEST_F(Win32FilesTest, GivesTheWholeSizeOfASparseFileAbove4GiB) {
  const std::string path = root + "\\big.bin";
  const int64_t size = (int64_t{5} << 30) + 3;
  ULARGE_INTEGER freeBefore = {}, freeAfter = {};
  ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &freeBefore, nullptr, nullptr));
  {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
  }
  ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &freeAfter, nullptr, nullptr));
  ASSERT_LT(static_cast<int64_t>(freeBefore.QuadPart) - static_cast<int64_t>(freeAfter.QuadPart),
            int64_t{1} << 30)
      << "the test file must not fill the disk";

  EXPECT_EQ(ops.pathStatus(path), size);
  auto mapped = ops.mapFile(path);
  ASSERT_TRUE(mapped) << "a 64-bit address space holds a view of all of it";
  EXPECT_EQ(mapped->size(), size);
  EXPECT_EQ(mapped->data()[size - 1], 0);
}

TEST_F(Win32FilesTest, CreatesHiddenSystemTemporariesAndNormalFiles) {
  const std::string piece = writePiece("haulix 1.db", "x");
  auto normal = ops.createForWriting(false, root + "\\normal.txt");
  ASSERT_TRUE(normal);
  const DWORD pieceBits = GetFileAttributesA(piece.c_str());
  EXPECT_EQ(pieceBits & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
  EXPECT_EQ(GetFileAttributesA((root + "\\normal.txt").c_str()) &
                (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            0u);
  EXPECT_EQ(ops.mapFile(root + "\\normal.txt"), nullptr) << "nobody else may open it";
}

TEST_F(Win32FilesTest, MapsAWrittenFileAndCutsARewrittenOne) {
  const std::string path = root + "\\queue.db";
  std::string long_text(100000, 'q');
  writePiece("queue.db", long_text);
  EXPECT_EQ(read(path), long_text);

  auto file = files.createForWriting(path, create_flags::kTemporary);
  ASSERT_TRUE(file);
  EXPECT_TRUE(FileOps::writeText(*file, "short"));
  FileOps::closeTruncated(std::move(file));
  EXPECT_EQ(read(path), "short");
  writePiece("empty.db", "");
  EXPECT_EQ(ops.mapFile(root + "\\empty.db"), nullptr);
  EXPECT_EQ(ops.mapFile(root + "\\missing.db"), nullptr);
}

TEST_F(Win32FilesTest, OtherConnectionsWriteIntoAPieceFileAtTheirOffsetsWhileItIsOpen) {
  const std::string path = root + "\\haulix shared.db";
  auto first = files.createForWriting(path, create_flags::kTemporary);
  ASSERT_TRUE(first);
  auto later = files.openForWritingAt(path, 10);
  ASSERT_TRUE(later) << "a piece file is shared for writing";
  EXPECT_TRUE(FileOps::writeText(*later, "KLMNO"));
  EXPECT_TRUE(FileOps::writeText(*first, "ABCDE"));
  auto between = files.openForWritingAt(path, 5);
  ASSERT_TRUE(between);
  EXPECT_TRUE(FileOps::writeText(*between, "fghij"));
  first.reset();
  later.reset();
  between.reset();
  EXPECT_EQ(read(path), "ABCDEfghijKLMNO");
  // Other files are opened with no sharing.
  auto plain = files.createForWriting(root + "\\plain.txt", create_flags::kNormal);
  ASSERT_TRUE(plain);
  EXPECT_EQ(files.openForWritingAt(root + "\\plain.txt", 0), nullptr);
}

TEST_F(Win32FilesTest, RemovesReadOnlyFilesAndOnlyEmptyFolders) {
  const std::string file = writePiece("ro.txt", "x");
  ASSERT_TRUE(ops.setAttributes(file, attr::kReadOnly));
  ASSERT_TRUE(ops.makeFolders(root + "\\full\\inner", false));
  EXPECT_TRUE(ops.removePath(file));
  EXPECT_EQ(ops.pathStatus(file), path_status::kMissing);
  EXPECT_FALSE(ops.removePath(root + "\\full"));
  EXPECT_TRUE(ops.removePath(root + "\\full\\inner"));
  EXPECT_TRUE(ops.removePath(root + "\\full"));
  EXPECT_TRUE(ops.removePath(root + "\\full")) << "a path that is gone counts as removed";
  EXPECT_TRUE(ops.removePath(root + "\\no\\such\\file"));
}

TEST_F(Win32FilesTest, ListsAFolderByPattern) {
  writePiece("a.zip", "");
  writePiece("b.txt", "");
  ASSERT_TRUE(ops.makeFolders(root + "\\sub", false));
  std::vector<std::string> all = files.listFolder(root + "\\", "*");
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::string>{root + "\\a.zip", root + "\\b.txt", root + "\\sub\\"}));
  EXPECT_EQ(files.listFolder(root, "*.zip"), std::vector<std::string>{root + "\\a.zip"});
  EXPECT_TRUE(files.listFolder(root + "\\none", "*").empty());
}

TEST_F(Win32FilesTest, CreatesAShortcutThatLeadsToItsTarget) {
  const std::string target = writePiece("haulix.exe", "MZ");
  const std::string link = root + "\\menu\\Haulix.lnk";
  ASSERT_TRUE(ops.createShortcut(link, target, "Haulix downloader"));
  EXPECT_GT(ops.pathStatus(link), 0);
  ASSERT_TRUE(ops.createShortcut(link, target, "Haulix downloader")) << "over the old one";

  // Read it back through the shell.
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  IShellLinkA* shellLink = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, reinterpret_cast<void**>(&shellLink))));
  IPersistFile* persist = nullptr;
  ASSERT_TRUE(
      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))));
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  EXPECT_TRUE(SUCCEEDED(persist->Load(wide, STGM_READ)));
  char path[MAX_PATH] = {};
  char description[MAX_PATH] = {};
  EXPECT_TRUE(SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)));
  EXPECT_TRUE(SUCCEEDED(shellLink->GetDescription(description, MAX_PATH)));
  persist->Release();
  shellLink->Release();
  CoUninitialize();
  EXPECT_EQ(text.upperText(path), text.upperText(target));
  EXPECT_EQ(std::string(description), "Haulix downloader");
}

TEST_F(Win32FilesTest, RefusesAShortcutWhoseFolderCannotBeMade) {
  const std::string blocker = writePiece("menu", "a file");
  EXPECT_FALSE(ops.createShortcut(blocker + "\\Haulix.lnk", "C:\\haulix.exe", "Haulix"));
}

TEST_F(Win32FilesTest, HandlesNamesInAnyScript) {
  // "Größe 日本" and "файл", in UTF-8: the manifest makes that the ANSI code page.
  const std::string folder = root +
                             "\\Gr\xC3\xB6\xC3\x9F"
                             "e \xE6\x97\xA5\xE6\x9C\xAC";
  const std::string name = "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB";
  const std::string piece = writePiece("haulix 1.db", "data");
  EXPECT_EQ(ops.placeFile(piece, folder, name, ".txt", false, Collision::kKeepIdentical, true),
            folder + "\\" + name + ".txt");
  EXPECT_EQ(ops.pathStatus(folder), path_status::kFolder);
  EXPECT_EQ(ops.pathStatus(folder + "\\" + name + ".txt"), 4);
  EXPECT_EQ(files.listFolder(folder, "*.txt"),
            std::vector<std::string>{folder + "\\" + name + ".txt"});
  EXPECT_EQ(read(folder + "\\" + name + ".txt"), "data");
  EXPECT_TRUE(
      ops.createShortcut(folder + "\\" + name + ".lnk", folder + "\\" + name + ".txt", name));
  EXPECT_GT(ops.pathStatus(folder + "\\" + name + ".lnk"), 0);
}

}  // namespace
