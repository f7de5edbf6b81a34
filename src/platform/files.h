#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The OS half of the file operations. Paths are byte texts in the ANSI code page with "\"
// as separator, as the system's ANSI file functions take them. The rules built on top of
// these calls (the path rule, the path status, folder making, placing a file) are portable
// code in src/transfer/file_ops.h.

// A system error number (GetLastError); 0 is success.
using OsError = uint32_t;

namespace os_error {
inline constexpr OsError kNone = 0;
inline constexpr OsError kFileNotFound = 2;
inline constexpr OsError kPathNotFound = 3;
inline constexpr OsError kAccessDenied = 5;
inline constexpr OsError kNotSameDevice = 17;
inline constexpr OsError kSharingViolation = 32;
inline constexpr OsError kBadNetPath = 53;
inline constexpr OsError kFileExists = 80;
inline constexpr OsError kDiskFull = 112;
inline constexpr OsError kInvalidName = 123;
inline constexpr OsError kDirNotEmpty = 145;
inline constexpr OsError kAlreadyExists = 183;
inline constexpr OsError kNameTooLong = 206;
inline constexpr OsError kNotAFolder = 267;
}  // namespace os_error

// File attribute bits, as the system stores them.
namespace file_attribute {
inline constexpr uint32_t kReadOnly = 0x1;
inline constexpr uint32_t kHidden = 0x2;
inline constexpr uint32_t kSystem = 0x4;
inline constexpr uint32_t kDirectory = 0x10;
inline constexpr uint32_t kArchive = 0x20;
inline constexpr uint32_t kNormal = 0x80;
}  // namespace file_attribute

// Flags and attributes for creating a file (CreateFileA's sixth argument).
namespace create_flags {
inline constexpr uint32_t kTemporary = 0x08000006;  // sequential scan, hidden, system
inline constexpr uint32_t kNormal = 0x08000080;     // sequential scan, normal
}  // namespace create_flags

// A file open for writing, with no sharing; closed when destroyed.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes every byte at the current position; false when not all were written.
  virtual bool write(const void* bytes, size_t count) = 0;
  // Sets the end of the file at the current position.
  virtual bool truncateHere() = 0;
  // Has the system write what it holds of the file through to the disk (FlushFileBuffers).
  virtual bool flush() = 0;
};

// A whole file mapped read-only; unmapped and closed when destroyed.
class MappedFile {
 public:
  virtual ~MappedFile() = default;
  virtual const unsigned char* data() const = 0;
  virtual int64_t size() const = 0;
};

// The result of looking a path up in its folder (FindFirstFileA).
struct FoundPath {
  bool found = false;
  OsError error = os_error::kNone;  // why it was not found
  int64_t size = 0;                 // the entry's size in bytes, when found
};

// The attributes of a path (GetFileAttributesA).
struct PathAttributes {
  bool ok = false;
  uint32_t bits = 0;
  OsError error = os_error::kNone;  // why they could not be read
};

class Files {
 public:
  virtual ~Files() = default;

  virtual FoundPath find(const std::string& path) = 0;
  virtual PathAttributes attributes(const std::string& path) = 0;
  virtual OsError setAttributes(const std::string& path, uint32_t bits) = 0;
  virtual OsError deleteFile(const std::string& path) = 0;
  virtual OsError removeFolder(const std::string& path) = 0;
  virtual OsError createFolder(const std::string& path) = 0;
  // CreateFileA with GENERIC_WRITE, CREATE_ALWAYS and the given create_flags; no sharing,
  // except for piece files (create_flags::kTemporary), which the other connections of a job
  // may write into at the same time (read and write sharing).
  virtual std::unique_ptr<WritableFile> createForWriting(const std::string& path,
                                                         uint32_t flags) = 0;
  // CreateFileA with GENERIC_WRITE, read and write sharing and OPEN_EXISTING, writing from
  // byte `offset` on (beyond the end, the file grows; what lies between reads as zeros).
  // Nothing when it cannot be opened, and where a platform does not open files that way.
  virtual std::unique_ptr<WritableFile> openForWritingAt(const std::string& path, int64_t offset) {
    return nullptr;
  }
  // CreateFileA with GENERIC_WRITE, no sharing and OPEN_EXISTING, writing from the file's
  // end: more bytes for an existing file. Nothing when it cannot be opened, and where a
  // platform does not open files that way.
  virtual std::unique_ptr<WritableFile> openForAppending(const std::string& path) {
    return nullptr;
  }
  // Opens an existing file for reading with read sharing and maps all of it read-only;
  // nothing when it cannot be opened or mapped, or is empty.
  virtual std::unique_ptr<MappedFile> map(const std::string& path) = 0;
  // CopyFileA; with failIfExists an existing target makes it fail.
  virtual OsError copyFile(const std::string& from, const std::string& to,
                           bool failIfExists) = 0;
  // MoveFileA: fails when the target exists.
  virtual OsError moveFile(const std::string& from, const std::string& to) = 0;
  // MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH: a file takes the
  // place of an existing target file in one step, and the call returns once that is on disk.
  virtual OsError replaceFile(const std::string& from, const std::string& to) = 0;
  // The entries of a folder that match the pattern (FindFirstFileA/FindNextFileA), each
  // as folder + "\" + name, with "\" appended for folders; "." and ".." are skipped.
  virtual std::vector<std::string> listFolder(const std::string& folder,
                                              const std::string& pattern) = 0;
  // Saves a shell link at shortcutPath to target with the description (COM ShellLink
  // and IPersistFile, OLE initialised around it). False on any failure.
  virtual bool saveShellLink(const std::string& shortcutPath, const std::string& target,
                             const std::string& description) = 0;
};
