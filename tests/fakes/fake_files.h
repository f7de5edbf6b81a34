#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

// An in-memory file system that answers as Windows does: drive roots ("C:" exists; other
// drives on request), network shares ("\\server\share", whose root cannot be found in a
// parent folder and answers error 53, as on Windows), names compared ignoring case but kept
// as written, trailing dots and spaces dropped from names, attributes (read-only files and
// folders cannot be removed; hidden and system are kept), folders that cannot be removed
// while not empty, files open for writing that nothing else may open, delete or move,
// mapped files that cannot be deleted or rewritten, device names (CON, NUL, COM1, ...) that
// cannot be made into files. Paths of 260 bytes or more are refused, as by the ANSI
// functions.
//
// Faults on demand: a disk that fills up (a short write is a failed write), any operation
// failing with a chosen error, a path that vanishes just before the next operation of a kind.
// Each file remembers whether it was written since it was last flushed.
//
// Thread-safe: one mutex guards everything, including the handles it gives out, which may
// outlive the fake.
class FakeFiles final : public Files {
 public:
  enum class Op {
    kFind,
    kAttributes,
    kSetAttributes,
    kDeleteFile,
    kRemoveFolder,
    kCreateFolder,
    kCreate,
    kWrite,
    kTruncate,
    kMap,
    kCopy,
    kMove,
    kList,
    kShellLink,
    kFlush,
    kReplace
  };

  struct SavedLink {
    std::string shortcutPath;
    std::string target;
    std::string description;
  };

  FakeFiles();
  ~FakeFiles() override;

  FoundPath find(const std::string& path) override;
  PathAttributes attributes(const std::string& path) override;
  OsError setAttributes(const std::string& path, uint32_t bits) override;
  OsError deleteFile(const std::string& path) override;
  OsError removeFolder(const std::string& path) override;
  OsError createFolder(const std::string& path) override;
  std::unique_ptr<WritableFile> createForWriting(const std::string& path, uint32_t flags) override;
  // Fails as Op::kCreate does.
  std::unique_ptr<WritableFile> openForAppending(const std::string& path) override;
  std::unique_ptr<WritableFile> openForWritingAt(const std::string& path, int64_t offset) override;
  std::unique_ptr<MappedFile> map(const std::string& path) override;
  OsError copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  OsError moveFile(const std::string& from, const std::string& to) override;
  OsError replaceFile(const std::string& from, const std::string& to) override;
  std::vector<std::string> listFolder(const std::string& folder,
                                      const std::string& pattern) override;
  bool saveShellLink(const std::string& shortcutPath, const std::string& target,
                     const std::string& description) override;

  // Set-up. A drive letter ("D") or a share root ("\\server\share") that exists from now on.
  void addDrive(char letter);
  void addShare(const std::string& root);
  // A file with these bytes and attributes (0: normal), making missing folders; false when
  // the path cannot hold one.
  bool putFile(const std::string& path, std::string_view bytes, uint32_t attributes = 0);
  // A file that reports `size` bytes without holding them (as a sparse file does); too big
  // to map.
  bool putSparseFile(const std::string& path, int64_t size);
  // A folder and its missing parents.
  bool putFolder(const std::string& path);

  // Faults. Writes (and copies) fail once this many more bytes are stored; -1: no limit.
  void setFreeSpace(int64_t bytes);
  // Every `op` on a path that starts (ignoring case) with the prefix fails with the error
  // until the faults are cleared; an empty prefix matches every path.
  void failOperation(Op op, OsError error, const std::string& pathPrefix = {});
  void clearFaults();
  // A crash of the program: after this many more steps (each operation's check, and each
  // write, flush and truncation) every step fails and changes nothing, as if the program
  // had died there; what is on the disk stays as it was. -1: no crash coming.
  void crashAfter(int64_t steps);
  bool crashed() const;
  // A slow disk: the next write to a path that starts (ignoring case) with the prefix waits
  // until releaseWrite(). waitForHeldWrite() waits, with a safety timeout, until one does.
  void holdNextWrite(const std::string& pathPrefix);
  bool waitForHeldWrite();
  void releaseWrite();
  // A slow read: the next mapping of such a path waits in the same way, until
  // releaseMap(); waitForHeldMap() waits until one does.
  void holdNextMap(const std::string& pathPrefix);
  bool waitForHeldMap() { return waitForHeldWrite(); }
  void releaseMap() { releaseWrite(); }
  // The path disappears (as if another program deleted it) just before the next `op` on it.
  void vanishBefore(Op op, const std::string& path);
  // A folder appears at the path (as if another thread made it) just before the next `op`
  // on it.
  void appearBefore(Op op, const std::string& path);

  // The disk as the program would find it after a crash, as a new fake: every folder and
  // file with its bytes and attributes, and no handle, fault or crash of this one.
  std::shared_ptr<FakeFiles> diskCopy() const;

  // Inspection.
  std::optional<std::string> contents(const std::string& path) const;
  // As GetFileAttributesA answers; nothing when the path is missing.
  std::optional<uint32_t> attributesOf(const std::string& path) const;
  bool isFolder(const std::string& path) const;
  bool isFile(const std::string& path) const;
  // Every folder and file, folders ending in "\", in order, with names as written.
  std::vector<std::string> allPaths() const;
  std::vector<SavedLink> savedLinks() const;
  // Handles open on the path: files being written and mappings.
  int openHandles(const std::string& path) const;
  // Whether bytes were written to the file (or it was cut) since its last flush.
  bool hasUnflushedWrites(const std::string& path) const;
  int64_t usedBytes() const;

  struct Node;
  struct State;

 private:
  std::shared_ptr<State> state_;
};
