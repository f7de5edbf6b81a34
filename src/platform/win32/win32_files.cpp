#include "platform/win32/win32_files.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>
// After windows.h, which it needs.
#include <winioctl.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

// A kernel handle (file or mapping), closed when it goes.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

// A search handle of FindFirstFileA, closed with FindClose.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A view of a mapping, unmapped when it goes.
class ViewPointer {
 public:
  explicit ViewPointer(const void* view) : view_(view) {}
  ViewPointer(const ViewPointer&) = delete;
  ViewPointer& operator=(const ViewPointer&) = delete;
  ~ViewPointer() {
    if (view_) UnmapViewOfFile(view_);
  }
  const void* get() const { return view_; }

 private:
  const void* view_;
};

// A COM interface pointer, released when it goes.
template <typename Interface>
class ComPointer {
 public:
  ComPointer() = default;
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;
  ~ComPointer() {
    if (pointer_) pointer_->Release();
  }
  Interface* operator->() const { return pointer_; }
  void** out() { return reinterpret_cast<void**>(&pointer_); }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  Interface* pointer_ = nullptr;
};

// OLE initialised for the current thread while it lives.
class ComApartment {
 public:
  ComApartment() : result_(CoInitialize(nullptr)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }

 private:
  HRESULT result_;
};

OsError lastError() {
  return static_cast<OsError>(GetLastError());
}
OsError resultOf(BOOL ok) {
  return ok ? os_error::kNone : lastError();
}

class Win32WritableFile final : public WritableFile {
 public:
  explicit Win32WritableFile(UniqueHandle file) : file_(std::move(file)) {}

  bool write(const void* bytes, size_t count) override {
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
      // WriteFile takes at most a DWORD; large buffers go in steps.
      DWORD step = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(file_.get(), next, step, &written, nullptr) || written == 0) return false;
      next += written;
      count -= written;
    }
    return true;
  }

  bool truncateHere() override { return SetEndOfFile(file_.get()) != FALSE; }

  bool flush() override { return FlushFileBuffers(file_.get()) != FALSE; }

 private:
  UniqueHandle file_;
};

class Win32MappedFile final : public MappedFile {
 public:
  Win32MappedFile(UniqueHandle file, UniqueHandle mapping, const void* view, int64_t size)
      : file_(std::move(file)), mapping_(std::move(mapping)), view_(view), size_(size) {}

  const unsigned char* data() const override {
    return static_cast<const unsigned char*>(view_.get());
  }
  int64_t size() const override { return size_; }

 private:
  // Unmapped first, then the mapping and the file are closed (members go in reverse).
  UniqueHandle file_;
  UniqueHandle mapping_;
  ViewPointer view_;
  int64_t size_;
};

}  // namespace

FoundPath Win32Files::find(const std::string& path) {
  FoundPath result;
  WIN32_FIND_DATAA data = {};
  FindHandle search(FindFirstFileA(path.c_str(), &data));
  if (!search.valid()) {
    result.error = lastError();
    return result;
  }
  result.found = true;
  result.size = static_cast<int64_t>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
  return result;
}

PathAttributes Win32Files::attributes(const std::string& path) {
  PathAttributes result;
  DWORD bits = GetFileAttributesA(path.c_str());
  if (bits == INVALID_FILE_ATTRIBUTES) {
    result.error = lastError();
    return result;
  }
  result.ok = true;
  result.bits = bits;
  return result;
}

OsError Win32Files::setAttributes(const std::string& path, uint32_t bits) {
  return resultOf(SetFileAttributesA(path.c_str(), bits));
}

OsError Win32Files::deleteFile(const std::string& path) {
  return resultOf(DeleteFileA(path.c_str()));
}

OsError Win32Files::removeFolder(const std::string& path) {
  return resultOf(RemoveDirectoryA(path.c_str()));
}

OsError Win32Files::createFolder(const std::string& path) {
  return resultOf(CreateDirectoryA(path.c_str(), nullptr));
}

std::unique_ptr<WritableFile> Win32Files::createForWriting(const std::string& path,
                                                           uint32_t flags) {
  // A piece file is shared with the job's other connections, which write into it at their
  // own offsets.
  const DWORD sharing = flags == create_flags::kTemporary ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
  UniqueHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, sharing, nullptr, CREATE_ALWAYS, flags, nullptr));
  if (!file.valid()) return nullptr;
  // Sparse, so that a write far into it leaves a hole instead of first writing zeros up to
  // there (where the system cannot, the zeros are written and the pieces still fit).
  if (sharing != 0) {
    DWORD returned = 0;
    DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  }
  return std::make_unique<Win32WritableFile>(std::move(file));
}

std::unique_ptr<WritableFile> Win32Files::openForWritingAt(const std::string& path,
                                                           int64_t offset) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return nullptr;
  LARGE_INTEGER at = {};
  at.QuadPart = offset;
  if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(file));
}

std::unique_ptr<WritableFile> Win32Files::openForAppending(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return nullptr;
  LARGE_INTEGER none = {};
  if (!SetFilePointerEx(file.get(), none, nullptr, FILE_END)) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(file));
}

std::unique_ptr<MappedFile> Win32Files::map(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return nullptr;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0) return nullptr;
  // A view must fit the address space.
  if (static_cast<uint64_t>(size.QuadPart) > SIZE_MAX) return nullptr;
  UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.valid()) return nullptr;
  const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (!view) return nullptr;
  return std::make_unique<Win32MappedFile>(std::move(file), std::move(mapping), view,
                                           size.QuadPart);
}

OsError Win32Files::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  return resultOf(CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE));
}

OsError Win32Files::moveFile(const std::string& from, const std::string& to) {
  return resultOf(MoveFileA(from.c_str(), to.c_str()));
}

OsError Win32Files::replaceFile(const std::string& from, const std::string& to) {
  return resultOf(
      MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

std::vector<std::string> Win32Files::listFolder(const std::string& folder,
                                                const std::string& pattern) {
  std::vector<std::string> entries;
  std::string prefix = folder;
  while (!prefix.empty() && prefix.back() == '\\') prefix.pop_back();
  WIN32_FIND_DATAA data = {};
  FindHandle search(FindFirstFileA((prefix + "\\" + pattern).c_str(), &data));
  if (!search.valid()) return entries;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back(prefix + "\\" + name + (isFolder ? "\\" : ""));
  } while (FindNextFileA(search.get(), &data));
  return entries;
}

bool Win32Files::saveShellLink(const std::string& shortcutPath, const std::string& target,
                               const std::string& description) {
  // The link file's name in UTF-16, as IPersistFile takes it, from the ANSI code page.
  wchar_t widePath[MAX_PATH] = {};
  if (MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, widePath, MAX_PATH) == 0)
    return false;

  ComApartment apartment;
  ComPointer<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.out())))
    return false;
  ComPointer<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
  if (FAILED(link->SetPath(target.c_str()))) return false;
  if (FAILED(link->SetDescription(description.c_str()))) return false;
  return SUCCEEDED(file->Save(widePath, TRUE));
}
