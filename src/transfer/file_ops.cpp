#include "transfer/file_ops.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr size_t kMaxPath = 260;

std::string withoutTrailingSlashes(std::string_view path) {
  size_t end = path.size();
  while (end > 0 && path[end - 1] == '\\') --end;
  return std::string(path.substr(0, end));
}

std::vector<std::string> splitComponents(std::string_view rest) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t slash = rest.find('\\', start);
    if (slash == std::string_view::npos) slash = rest.size();
    // A doubled "\" names no folder of its own; the system reads it as one.
    if (slash > start) parts.emplace_back(rest.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// The root of a path ("C:" or "\\server\share") and the components below it; false when
// the path has neither kind of root.
bool splitRoot(std::string_view path, std::string& root, std::vector<std::string>& below) {
  if (path.size() >= 2 && path[1] == ':' && (path.size() == 2 || path[2] == '\\')) {
    root = std::string(path.substr(0, 2));
    below = splitComponents(path.size() > 3 ? path.substr(3) : std::string_view());
    return true;
  }
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    std::vector<std::string> parts = splitComponents(path);
    if (parts.size() < 2) return false;
    root = "\\\\" + parts[0] + "\\" + parts[1];
    below.assign(parts.begin() + 2, parts.end());
    return true;
  }
  return false;
}

}  // namespace

// Byte by byte with the system's upper-casing: the locale comparison would call two
// different names equal when they differ only in bytes it ignores.
bool FileOps::samePathText(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (text_.upper(static_cast<unsigned char>(a[i])) !=
        text_.upper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool FileOps::isValidPath(std::string_view path) {
  if (path.size() > kMaxPath) return false;
  if (path.size() == 2 && path[1] == ':') return true;
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return true;
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

int64_t FileOps::pathStatus(const std::string& path) {
  if (!isValidPath(path)) return path_status::kInvalid;
  const std::string bare = withoutTrailingSlashes(path);
  FoundPath found = files_.find(bare);
  if (found.found) {
    PathAttributes attributes = files_.attributes(bare);
    if (!attributes.ok) return path_status::kInvalid;
    if (attributes.bits & file_attribute::kDirectory) return path_status::kFolder;
    return found.size;
  }
  if (found.error == os_error::kFileNotFound) return path_status::kMissing;
  if (found.error != os_error::kBadNetPath) return path_status::kInvalid;

  // A share root cannot be looked up in a parent folder; writing a file into it tells
  // whether it is there. Without a fresh token the probe could overwrite a file.
  const std::string token = ids_.newToken();
  if (token.empty()) return path_status::kInvalid;
  const std::string probe = bare + "\\Haulix " + token + ".db";
  std::unique_ptr<WritableFile> file = createForWriting(true, probe);
  if (!file) return path_status::kInvalid;
  file.reset();
  removePath(probe);
  return path_status::kFolder;
}

bool FileOps::removePath(const std::string& path) {
  if (!isValidPath(path)) return false;
  // Most paths removed are plain files (pieces, pages read): one call deletes them, where
  // the look at the attributes first costs two more round trips to the system. A path that
  // ends in "\" names a folder, which only the attributes tell how to remove.
  if (path.back() != '\\') {
    const OsError deleted = files_.deleteFile(path);
    if (deleted == os_error::kNone || deleted == os_error::kFileNotFound ||
        deleted == os_error::kPathNotFound) {
      return true;
    }
  }
  PathAttributes old = files_.attributes(path);
  if (!old.ok) {
    return old.error == os_error::kFileNotFound || old.error == os_error::kPathNotFound;
  }
  files_.setAttributes(path, file_attribute::kNormal);
  const bool folder = (old.bits & file_attribute::kDirectory) != 0;
  OsError error = folder ? files_.removeFolder(path) : files_.deleteFile(path);
  if (error == os_error::kNone) return true;
  // Gone meanwhile: what the caller wanted.
  if (error == os_error::kFileNotFound || error == os_error::kPathNotFound) return true;
  uint32_t restore = old.bits & ~file_attribute::kDirectory;
  files_.setAttributes(path, restore != 0 ? restore : file_attribute::kNormal);
  return false;
}

bool FileOps::setAttributes(const std::string& path, uint32_t bits) {
  if (!isValidPath(path)) return false;
  return files_.setAttributes(path, bits) == os_error::kNone;
}

bool FileOps::makeFolders(const std::string& path, bool namesFile) {
  if (!isValidPath(path)) return false;
  std::string folder = path;
  if (namesFile) {
    size_t slash = folder.rfind('\\');
    if (slash != std::string::npos) folder.resize(slash);
  }
  folder = withoutTrailingSlashes(folder);
  if (pathStatus(folder) == path_status::kFolder) return true;

  std::string root;
  std::vector<std::string> below;
  if (!splitRoot(folder, root, below)) return false;
  std::string made = root;
  for (const std::string& component : below) {
    made += "\\" + component;
    int64_t status = pathStatus(made);
    if (status == path_status::kFolder) continue;
    if (status != path_status::kMissing) return false;
    OsError error = files_.createFolder(made);
    if (error == os_error::kNone) continue;
    // Another thread (a worker making its piece file) may have made it meanwhile.
    if (error == os_error::kAlreadyExists && pathStatus(made) == path_status::kFolder) continue;
    return false;
  }
  return true;
}

std::unique_ptr<WritableFile> FileOps::createForWriting(bool temporary, const std::string& path) {
  if (!isValidPath(path)) return nullptr;
  return files_.createForWriting(path,
                                 temporary ? create_flags::kTemporary : create_flags::kNormal);
}

bool FileOps::writeAll(WritableFile& file, const void* bytes, size_t count) {
  return file.write(bytes, count);
}

bool FileOps::writeText(WritableFile& file, std::string_view text) {
  return writeAll(file, text.data(), text.size());
}

void FileOps::closeTruncated(std::unique_ptr<WritableFile> file) {
  if (!file) return;
  file->truncateHere();
  file.reset();
}

bool FileOps::replaceFile(const std::string& from, const std::string& to) {
  if (!isValidPath(from) || !isValidPath(to)) return false;
  return files_.replaceFile(from, to) == os_error::kNone;
}

std::unique_ptr<MappedFile> FileOps::mapFile(const std::string& path) {
  if (!isValidPath(path)) return nullptr;
  std::unique_ptr<MappedFile> mapped = files_.map(path);
  if (!mapped || mapped->size() <= 0) return nullptr;
  return mapped;
}

bool FileOps::sameContent(const std::string& a, const std::string& b) {
  const int64_t sizeA = pathStatus(a);
  const int64_t sizeB = pathStatus(b);
  if (sizeA < 0 || sizeB < 0 || sizeA != sizeB) return false;
  if (sizeA == 0) return true;
  std::unique_ptr<MappedFile> mapA = mapFile(a);
  if (!mapA) return false;
  std::unique_ptr<MappedFile> mapB = mapFile(b);
  if (!mapB) return false;
  // The files may have changed since their sizes were read; the mappings decide.
  if (mapA->size() != mapB->size()) return false;
  return std::memcmp(mapA->data(), mapB->data(), static_cast<size_t>(mapA->size())) == 0;
}

std::string FileOps::placeFile(const std::string& source, const std::string& folder,
                               const std::string& name, const std::string& extension, bool copy,
                               Collision collision, bool resetAttributes) {
  if (pathStatus(source) < 0) return {};
  if (!makeFolders(folder, false)) return {};
  const std::string stem = withoutTrailingSlashes(folder) + "\\" + name;

  auto transfer = [&](const std::string& target) {
    OsError error = copy ? files_.copyFile(source, target, true) : files_.moveFile(source, target);
    return error == os_error::kNone;
  };

  std::string candidate;
  for (int64_t i = 1;; ++i) {
    candidate = stem + (i == 1 ? std::string() : " (" + formatNumber(i) + ")") + extension;
    const int64_t status = pathStatus(candidate);
    if (status == path_status::kInvalid) return {};
    // The source already under its own name: removing either would lose the only copy.
    if (status >= 0 && samePathText(candidate, source)) break;
    if (status >= 0 && collision == Collision::kKeepIdentical && sameContent(source, candidate)) {
      if (!copy && !removePath(source)) return {};
      break;
    }
    if (status == path_status::kMissing) {
      if (!transfer(candidate)) return {};
      break;
    }
    if (collision != Collision::kReplace) continue;
    if (!removePath(candidate)) return {};
    if (!transfer(candidate)) return {};
    break;
  }

  if (resetAttributes && !setAttributes(candidate, file_attribute::kArchive)) return {};
  return candidate;
}

bool FileOps::createShortcut(const std::string& shortcutPath, const std::string& target,
                             const std::string& description) {
  if (!isValidPath(shortcutPath)) return false;
  if (!makeFolders(shortcutPath, true)) return false;
  if (!removePath(shortcutPath)) return false;
  return files_.saveShellLink(shortcutPath, target, description);
}
