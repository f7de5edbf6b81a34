#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_types.h"

// What the shell says of a file with this extension, without touching any file
// (SHGetFileInfoA with FILE_ATTRIBUTE_NORMAL, SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME |
// SHGFI_SYSICONINDEX | SHGFI_SMALLICON): the index of its small icon in the system image
// list and its type name; -1 and an empty name on failure.
struct ShellFileType {
  int systemIconIndex = -1;
  std::string typeName;
};
ShellFileType fileTypeInfo(std::string_view extension);

// The small icon of the type (SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES), which
// the caller destroys with DestroyIcon; null on failure.
HICON fileTypeIcon(std::string_view extension);

// FileTypes answered by the shell. The system image list is not the program's own list:
// `toImageIndex`, when given, maps a system icon index (with the extension asked for) to an
// index in the program's list, adding the icon there when needed, or answers a negative
// value when it cannot. Without it every answer has icon index -1.
class Win32FileTypes final : public FileTypes {
 public:
  using ImageIndexMap = std::function<int(int systemIconIndex, const std::string& extension)>;

  explicit Win32FileTypes(ImageIndexMap toImageIndex = {})
      : toImageIndex_(std::move(toImageIndex)) {}

  // Answers the last extension again (compared ignoring case) without asking the shell, as
  // list rows of one type tend to come together. Failures are not remembered.
  FileType lookup(std::string_view extension) override;

 private:
  ImageIndexMap toImageIndex_;
  bool cached_ = false;
  std::string cachedExtension_;
  FileType cachedType_;
};
