#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/ids.h"
#include "url/byte_text.h"

// What pathStatus answers besides a file's size.
namespace path_status {
inline constexpr int64_t kFolder = -1;
inline constexpr int64_t kMissing = -2;
inline constexpr int64_t kInvalid = -3;  // not valid by the path rule, or the test failed
}  // namespace path_status

// How placeFile treats a target name that is taken.
enum class Collision {
  kReplace = 0,       // remove what is there
  kNumber = 1,        // try "name (2).ext", "name (3).ext", ...
  kKeepIdentical = 2  // as kNumber, but an identical file already there is kept
};

// The file-system rules the program builds on the Files port: the path rule, the path
// status, removing, folders, writing, mapping, comparing, placing and shortcuts. Every
// operation refuses a path over 260 bytes or without a drive or network root.
class FileOps {
 public:
  FileOps(Files& files, Ids& ids, const ByteText& text) : files_(files), ids_(ids), text_(text) {}

  Files& files() { return files_; }

  // At most 260 bytes, and "C:", or ":\" at index 1, or beginning with "\\".
  static bool isValidPath(std::string_view path);
  // >= 0: a file of that size; or path_status::kFolder, kMissing, kInvalid.
  int64_t pathStatus(const std::string& path);
  // True when the file or empty folder is gone, or was never there.
  bool removePath(const std::string& path);
  bool setAttributes(const std::string& path, uint32_t bits);
  // True when the folder (or, with namesFile, the file's folder) exists afterwards.
  bool makeFolders(const std::string& path, bool namesFile);
  // A new file for writing; temporary files are hidden and system. Nothing on failure.
  std::unique_ptr<WritableFile> createForWriting(bool temporary, const std::string& path);
  static bool writeAll(WritableFile& file, const void* bytes, size_t count);
  static bool writeText(WritableFile& file, std::string_view text);
  // Sets the end of the file at the current position, then closes it.
  static void closeTruncated(std::unique_ptr<WritableFile> file);
  // Puts the file `from` in the place of `to`, replacing a file there in one step, and
  // returns once the move is on disk.
  bool replaceFile(const std::string& from, const std::string& to);
  // The whole file mapped read-only; nothing for an empty file.
  std::unique_ptr<MappedFile> mapFile(const std::string& path);
  // True when both are files of equal size and equal bytes.
  bool sameContent(const std::string& a, const std::string& b);
  // Moves (or copies) an existing file into folder as name + extension, handling a taken
  // name by `collision`; with resetAttributes the placed file gets the archive attribute
  // only. The final path, or empty on failure.
  std::string placeFile(const std::string& source, const std::string& folder,
                        const std::string& name, const std::string& extension, bool copy,
                        Collision collision, bool resetAttributes);
  bool createShortcut(const std::string& shortcutPath, const std::string& target,
                      const std::string& description);

 private:
  bool samePathText(std::string_view a, std::string_view b) const;

  Files& files_;
  Ids& ids_;
  const ByteText& text_;
};
