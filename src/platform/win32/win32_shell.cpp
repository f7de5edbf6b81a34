#include "platform/win32/win32_shell.h"

#include <shellapi.h>
#include <shlobj.h>

#include <memory>

namespace {

// Item ID lists come from the shell's allocator and go back to it.
struct IdListDeleter {
  void operator()(ITEMIDLIST* list) const {
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
      allocator->Free(list);
      allocator->Release();
    }
  }
};
using IdList = std::unique_ptr<ITEMIDLIST, IdListDeleter>;

std::string pathOf(const IdList& list) {
  char path[MAX_PATH + 1] = {};
  if (!list || !SHGetPathFromIDListA(list.get(), path)) return {};
  return path;
}

// A zero-ended copy for the ANSI functions; the empty text as null where they take null
// for "none".
const char* orNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace

void Win32Shell::open(const std::string& target, const std::string& parameters) {
  ShellExecuteA(nullptr, nullptr, target.c_str(), orNull(parameters), "C:\\", SW_SHOWNORMAL);
}

std::string Win32Shell::chooseFolder(const std::string& title) {
  char displayName[MAX_PATH + 1] = {};
  BROWSEINFOA browse = {};
  browse.hwndOwner = owner_;
  browse.pszDisplayName = displayName;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  return pathOf(IdList(SHBrowseForFolderA(&browse)));
}

std::string Win32Shell::specialFolderPath(int which, int csidl) {
  char path[MAX_PATH] = {};
  if (which == 0 || which == 1) {
    // Both answer the full buffer size (or more) when the path did not fit; a cut path
    // would name another file.
    DWORD length = which == 0 ? GetModuleFileNameA(nullptr, path, MAX_PATH)
                              : GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::string(path, length);
  }
  ITEMIDLIST* list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list))) return {};
  std::string folder = pathOf(IdList(list));
  // Wine names some of these folders with a closing backslash, and callers append
  // "\name"; a drive root keeps its own. CharPrevA: a trail byte may look like one.
  const char* last = CharPrevA(folder.c_str(), folder.c_str() + folder.size());
  if (folder.size() > 3 && *last == '\\') folder.erase(last - folder.c_str());
  return folder;
}
