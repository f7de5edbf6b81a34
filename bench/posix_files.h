#pragma once
// The Files port on POSIX calls, for benchmarks that should touch a real disk: the drive
// "C:" is a folder of this machine, and "\" separates names. Only what the queue database
// and the transfer engine's resume use is real; copies, listings and shortcuts fail.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

class PosixFiles final : public Files {
 public:
  explicit PosixFiles(std::string root) : root_(std::move(root)) {}

  FoundPath find(const std::string& path) override {
    FoundPath found;
    struct stat info {};
    if (::stat(local(path).c_str(), &info) != 0) {
      found.error = errno == ENOENT ? os_error::kFileNotFound : os_error::kPathNotFound;
      return found;
    }
    found.found = true;
    found.size = S_ISDIR(info.st_mode) ? 0 : static_cast<int64_t>(info.st_size);
    return found;
  }
  PathAttributes attributes(const std::string& path) override {
    PathAttributes result;
    struct stat info {};
    if (::stat(local(path).c_str(), &info) != 0) {
      result.error = os_error::kFileNotFound;
      return result;
    }
    result.ok = true;
    result.bits = S_ISDIR(info.st_mode) ? file_attribute::kDirectory : file_attribute::kNormal;
    return result;
  }
  OsError setAttributes(const std::string&, uint32_t) override { return os_error::kNone; }
  OsError deleteFile(const std::string& path) override {
    return ::unlink(local(path).c_str()) == 0 ? os_error::kNone : os_error::kFileNotFound;
  }
  OsError removeFolder(const std::string& path) override {
    return ::rmdir(local(path).c_str()) == 0 ? os_error::kNone : os_error::kDirNotEmpty;
  }
  OsError createFolder(const std::string& path) override {
    if (::mkdir(local(path).c_str(), 0755) == 0) return os_error::kNone;
    return errno == EEXIST ? os_error::kAlreadyExists : os_error::kPathNotFound;
  }
  std::unique_ptr<WritableFile> createForWriting(const std::string& path, uint32_t) override {
    const int fd = ::open(local(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return nullptr;
    return std::make_unique<Writable>(fd);
  }
  std::unique_ptr<MappedFile> map(const std::string& path) override {
    const int fd = ::open(local(path).c_str(), O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size <= 0) {
      ::close(fd);
      return nullptr;
    }
    void* view = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (view == MAP_FAILED) return nullptr;
    return std::make_unique<Mapped>(view, static_cast<int64_t>(info.st_size));
  }
  OsError copyFile(const std::string&, const std::string&, bool) override {
    return os_error::kAccessDenied;
  }
  OsError moveFile(const std::string& from, const std::string& to) override {
    if (::access(local(to).c_str(), F_OK) == 0) return os_error::kAlreadyExists;
    return replaceFile(from, to);
  }
  OsError replaceFile(const std::string& from, const std::string& to) override {
    return ::rename(local(from).c_str(), local(to).c_str()) == 0 ? os_error::kNone
                                                                 : os_error::kAccessDenied;
  }
  std::vector<std::string> listFolder(const std::string&, const std::string&) override {
    return {};
  }
  bool saveShellLink(const std::string&, const std::string&, const std::string&) override {
    return false;
  }

 private:
  class Writable final : public WritableFile {
   public:
    explicit Writable(int fd) : fd_(fd) {}
    ~Writable() override { ::close(fd_); }
    bool write(const void* bytes, size_t count) override {
      const char* next = static_cast<const char*>(bytes);
      while (count > 0) {
        const ssize_t wrote = ::write(fd_, next, count);
        if (wrote <= 0) return false;
        next += wrote;
        count -= static_cast<size_t>(wrote);
      }
      return true;
    }
    bool truncateHere() override { return ::ftruncate(fd_, ::lseek(fd_, 0, SEEK_CUR)) == 0; }
    bool flush() override { return ::fsync(fd_) == 0; }

   private:
    int fd_;
  };

  class Mapped final : public MappedFile {
   public:
    Mapped(void* view, int64_t size) : view_(view), size_(size) {}
    ~Mapped() override { ::munmap(view_, static_cast<size_t>(size_)); }
    const unsigned char* data() const override { return static_cast<unsigned char*>(view_); }
    int64_t size() const override { return size_; }

   private:
    void* view_;
    int64_t size_;
  };

  // "C:\a\b" -> root + "/a/b".
  std::string local(const std::string& path) const {
    std::string out = root_;
    for (size_t i = 2; i < path.size(); ++i) out += path[i] == '\\' ? '/' : path[i];
    return out;
  }

  std::string root_;
};
