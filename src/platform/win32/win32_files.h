#pragma once
#include "platform/files.h"

// The Files port on the system's ANSI file functions, file mappings and the ShellLink COM
// object. Every handle it gives out closes itself.
class Win32Files final : public Files {
 public:
  FoundPath find(const std::string& path) override;
  PathAttributes attributes(const std::string& path) override;
  OsError setAttributes(const std::string& path, uint32_t bits) override;
  OsError deleteFile(const std::string& path) override;
  OsError removeFolder(const std::string& path) override;
  OsError createFolder(const std::string& path) override;
  std::unique_ptr<WritableFile> createForWriting(const std::string& path, uint32_t flags) override;
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
};
