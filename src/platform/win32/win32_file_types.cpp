#include "platform/win32/win32_file_types.h"

#include <shellapi.h>

#include "platform/win32/win32_text_rules.h"

namespace {

// The shell takes a zero-ended path of at most MAX_PATH characters; anything else is not
// an extension it could know.
bool askable(std::string_view extension) {
  return extension.size() < MAX_PATH && extension.find('\0') == std::string_view::npos;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  Win32TextRules rules;
  for (size_t i = 0; i < a.size(); ++i)
    if (rules.upperByte(static_cast<unsigned char>(a[i])) !=
        rules.upperByte(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

ShellFileType fileTypeInfo(std::string_view extension) {
  if (!askable(extension)) return {};
  std::string name(extension);
  SHFILEINFOA info = {};
  DWORD_PTR answer = SHGetFileInfoA(
      name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
      SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  if (answer == 0) return {};
  info.szTypeName[sizeof info.szTypeName - 1] = '\0';
  return {info.iIcon, info.szTypeName};
}

HICON fileTypeIcon(std::string_view extension) {
  if (!askable(extension)) return nullptr;
  std::string name(extension);
  SHFILEINFOA info = {};
  if (!SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                      SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES))
    return nullptr;
  return info.hIcon;
}

FileType Win32FileTypes::lookup(std::string_view extension) {
  if (cached_ && sameIgnoringCase(extension, cachedExtension_)) return cachedType_;
  ShellFileType shell = fileTypeInfo(extension);
  if (shell.systemIconIndex < 0) return {};
  FileType type{-1, shell.typeName};
  if (toImageIndex_) {
    type.iconIndex = toImageIndex_(shell.systemIconIndex, std::string(extension));
    if (type.iconIndex < 0) return {};
  }
  cached_ = true;
  cachedExtension_ = extension;
  cachedType_ = type;
  return type;
}
