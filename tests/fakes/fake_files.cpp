#include "fakes/fake_files.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>

namespace {

constexpr size_t kPathLimit = 260;  // with its terminator, as the ANSI functions count
constexpr uint32_t kSettableBits = file_attribute::kReadOnly | file_attribute::kHidden |
                                   file_attribute::kSystem | file_attribute::kArchive |
                                   0x100 /* temporary */ | 0x1000 /* offline */ |
                                   0x2000 /* not indexed */;

char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string upperKey(std::string_view s) {
  std::string key(s);
  for (char& c : key) c = upperAscii(c);
  return key;
}

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}
bool hasWildcard(std::string_view name) {
  return name.find_first_of("*?") != name.npos;
}

bool isIllegalName(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
    if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) return true;
  }
  return false;
}

bool isDevice(std::string_view name) {
  std::string stem = upperKey(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// Case-blind glob with "*" and "?"; "*.*" matches every name, as on Windows.
bool matches(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*") pattern = "*";
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || upperAscii(pattern[p]) == upperAscii(name[n]))) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

struct FakeFiles::Node {
  std::string name;  // as written
  bool folder = false;
  uint32_t attributes = 0;  // settable bits only
  std::string bytes;
  int64_t hole = 0;  // bytes reported beyond `bytes` (a sparse file)
  std::map<std::string, std::shared_ptr<Node>> children;  // by upper-case name
  int writers = 0;
  int readers = 0;
  bool unflushed = false;  // written or cut since the last flush

  int64_t size() const { return static_cast<int64_t>(bytes.size()) + hole; }
  uint32_t reported() const {
    if (folder) return file_attribute::kDirectory | attributes;
    return attributes == 0 ? file_attribute::kNormal : attributes;
  }
};

struct FakeFiles::State {
  struct Fault {
    Op op;
    OsError error;
    std::string prefix;  // upper case
  };
  struct Vanish {
    Op op;
    std::string key;
    bool appears;  // a folder comes instead of going
  };

  // Where a path leads: the folder holding its last name and the entry, if any.
  struct Place {
    OsError error = os_error::kNone;
    std::string rootKey;
    bool isRoot = false;
    bool isShare = false;
    std::shared_ptr<Node> root;
    std::shared_ptr<Node> parent;
    std::string name;  // the last name, as written
    std::shared_ptr<Node> node;
    std::string key;  // the whole path, canonical and in upper case
  };

  std::mutex mutex;
  std::map<std::string, std::shared_ptr<Node>> roots;  // "C:", "\\SERVER\SHARE"
  int64_t freeSpace = -1;
  int64_t usedAtLimit = 0;
  std::vector<Fault> faults;
  std::vector<Vanish> vanishing;
  std::vector<SavedLink> links;
  int64_t stepsLeft = -1;  // before the crash; -1: none coming
  bool holdArmed = false;
  FakeFiles::Op holdOp = FakeFiles::Op::kWrite;  // kWrite or kMap
  bool held = false;
  std::string holdPrefix;  // upper case
  std::condition_variable holdChanged;

  State() { addRoot("C:", "C:"); }

  void addRoot(const std::string& key, const std::string& name) {
    auto node = std::make_shared<Node>();
    node->name = name;
    node->folder = true;
    roots.emplace(upperKey(key), node);
  }

  // Drops the trailing dots and spaces the system ignores; "." is skipped and ".." climbs.
  static bool splitNames(std::string_view rest, std::vector<std::string>& names) {
    size_t i = 0;
    while (i < rest.size()) {
      size_t end = i;
      while (end < rest.size() && !isSeparator(rest[end])) ++end;
      std::string name(rest.substr(i, end - i));
      i = end + 1;
      if (name.empty() || name == ".") continue;
      if (name == "..") {
        if (!names.empty()) names.pop_back();
        continue;
      }
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
      if (!name.empty()) names.push_back(name);
    }
    return true;
  }

  struct Parsed {
    OsError error = os_error::kNone;
    std::string rootKey;
    bool isShare = false;
    std::vector<std::string> names;  // below the root, as written
  };

  static Parsed parse(const std::string& path) {
    Parsed parsed;
    if (path.size() >= kPathLimit) {
      parsed.error = os_error::kNameTooLong;
    } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
      splitNames(path, parsed.names);
      if (parsed.names.size() < 2) {
        parsed.error = os_error::kBadNetPath;
        return parsed;
      }
      parsed.rootKey = upperKey("\\\\" + parsed.names[0] + "\\" + parsed.names[1]);
      parsed.isShare = true;
      parsed.names.erase(parsed.names.begin(), parsed.names.begin() + 2);
    } else if (path.size() >= 2 && path[1] == ':' && (path.size() == 2 || isSeparator(path[2]))) {
      parsed.rootKey = upperKey(path.substr(0, 2));
      splitNames(std::string_view(path).substr(2), parsed.names);
    } else {
      parsed.error = os_error::kInvalidName;  // no root: never reached by the program
    }
    return parsed;
  }

  Place locate(const std::string& path, bool wildcardLast = false) {
    Place place;
    Parsed parsed = parse(path);
    place.error = parsed.error;
    place.rootKey = parsed.rootKey;
    place.isShare = parsed.isShare;
    if (place.error) return place;
    const std::vector<std::string>& names = parsed.names;
    auto root = roots.find(place.rootKey);
    if (root == roots.end()) {
      place.error = place.isShare ? os_error::kBadNetPath : os_error::kPathNotFound;
      return place;
    }
    place.root = root->second;
    place.key = place.rootKey;
    for (const std::string& name : names) place.key += "\\" + upperKey(name);
    if (names.empty()) {
      place.isRoot = true;
      place.node = place.root;
      return place;
    }
    std::shared_ptr<Node> folder = place.root;
    for (size_t i = 0; i + 1 < names.size(); ++i) {
      if (isIllegalName(names[i])) {
        place.error = os_error::kInvalidName;
        return place;
      }
      auto next = folder->children.find(upperKey(names[i]));
      if (next == folder->children.end() || !next->second->folder) {
        place.error = os_error::kPathNotFound;
        return place;
      }
      folder = next->second;
    }
    place.parent = folder;
    place.name = names.back();
    for (char c : place.name) {
      if (wildcardLast && (c == '*' || c == '?')) continue;
      if (isIllegalName(std::string_view(&c, 1))) {
        place.error = os_error::kInvalidName;
        return place;
      }
    }
    auto entry = folder->children.find(upperKey(place.name));
    if (entry != folder->children.end()) place.node = entry->second;
    return place;
  }

  std::string canonicalKey(const std::string& path) {
    Place place = locate(path, true);
    return place.key.empty() ? upperKey(path) : place.key;
  }

  OsError fault(Op op, const std::string& path) {
    if (stepsLeft == 0) return os_error::kAccessDenied;
    if (stepsLeft > 0) --stepsLeft;
    const std::string key = upperKey(path);
    for (const Fault& f : faults)
      if (f.op == op && key.compare(0, f.prefix.size(), f.prefix) == 0) return f.error;
    return os_error::kNone;
  }

  void applyVanishing(Op op, const std::string& path) {
    if (vanishing.empty()) return;
    const std::string key = canonicalKey(path);
    for (auto it = vanishing.begin(); it != vanishing.end(); ++it) {
      if (it->op != op || it->key != key) continue;
      const bool appears = it->appears;
      vanishing.erase(it);
      Place place = locate(path);
      if (!place.parent) return;
      if (appears && !place.node) makeChild(place, true);
      if (!appears && place.node) place.parent->children.erase(upperKey(place.name));
      return;
    }
  }

  // A write held by holdNextWrite (or a mapping by holdNextMap) waits here, the lock let go
  // meanwhile.
  void waitIfHeld(std::unique_lock<std::mutex>& lock, const std::string& path,
                  FakeFiles::Op op = FakeFiles::Op::kWrite) {
    if (!holdArmed || op != holdOp || upperKey(path).compare(0, holdPrefix.size(), holdPrefix) != 0)
      return;
    holdArmed = false;
    held = true;
    holdChanged.notify_all();
    holdChanged.wait(lock, [this] { return !held; });
  }

  // Runs the fault and vanishing checks every operation starts with.
  OsError enter(Op op, const std::string& path) {
    if (OsError error = fault(op, path)) return error;
    applyVanishing(op, path);
    return os_error::kNone;
  }

  int64_t used() const {
    int64_t total = 0;
    std::function<void(const Node&)> add = [&](const Node& node) {
      total += static_cast<int64_t>(node.bytes.size());
      for (const auto& child : node.children) add(*child.second);
    };
    for (const auto& root : roots) add(*root.second);
    return total;
  }

  // How many more bytes may be stored; -1 when there is no limit.
  int64_t room() const {
    if (freeSpace < 0) return -1;
    return std::max<int64_t>(0, usedAtLimit + freeSpace - used());
  }

  // Checks a place where a new entry named place.name may be made.
  static OsError canMake(const Place& place) {
    if (place.error) return place.error;
    if (place.isRoot) return os_error::kAccessDenied;
    if (isDevice(place.name)) return os_error::kAccessDenied;
    return os_error::kNone;
  }

  std::shared_ptr<Node> makeChild(const Place& place, bool folder) {
    auto node = std::make_shared<Node>();
    node->name = place.name;
    node->folder = folder;
    place.parent->children[upperKey(place.name)] = node;
    return node;
  }

  void collect(const Node& node, const std::string& path, std::vector<std::string>& out) const {
    for (const auto& [key, child] : node.children) {
      std::string childPath = path + "\\" + child->name;
      out.push_back(child->folder ? childPath + "\\" : childPath);
      if (child->folder) collect(*child, childPath, out);
    }
  }
};

namespace {

class FakeWritable final : public WritableFile {
 public:
  FakeWritable(std::shared_ptr<FakeFiles::State> state, std::shared_ptr<FakeFiles::Node> node,
               std::string path, size_t position = 0)
      : state_(std::move(state)),
        node_(std::move(node)),
        path_(std::move(path)),
        position_(position) {}
  ~FakeWritable() override {
    std::lock_guard<std::mutex> hold(state_->mutex);
    --node_->writers;
  }

  bool write(const void* bytes, size_t count) override {
    std::unique_lock<std::mutex> hold(state_->mutex);
    state_->waitIfHeld(hold, path_);
    if (state_->fault(FakeFiles::Op::kWrite, path_)) return false;
    size_t fits = count;
    int64_t room = state_->room();
    if (room >= 0 && static_cast<int64_t>(count) > room) fits = static_cast<size_t>(room);
    // Written over what lies at the position; a position beyond the end (a truncation, or
    // an opening further on) leaves zeros between.
    if (node_->bytes.size() < position_ + fits) node_->bytes.resize(position_ + fits);
    if (fits > 0) node_->bytes.replace(position_, fits, static_cast<const char*>(bytes), fits);
    node_->unflushed = true;
    position_ += fits;
    return fits == count;
  }

  bool truncateHere() override {
    std::lock_guard<std::mutex> hold(state_->mutex);
    if (state_->fault(FakeFiles::Op::kTruncate, path_)) return false;
    node_->bytes.resize(position_);
    node_->hole = 0;
    node_->unflushed = true;
    return true;
  }

  bool flush() override {
    std::lock_guard<std::mutex> hold(state_->mutex);
    if (state_->fault(FakeFiles::Op::kFlush, path_)) return false;
    node_->unflushed = false;
    return true;
  }

 private:
  std::shared_ptr<FakeFiles::State> state_;
  std::shared_ptr<FakeFiles::Node> node_;
  std::string path_;
  size_t position_ = 0;
};

class FakeMapped final : public MappedFile {
 public:
  FakeMapped(std::shared_ptr<FakeFiles::State> state, std::shared_ptr<FakeFiles::Node> node)
      : state_(std::move(state)), node_(std::move(node)), bytes_(node_->bytes) {}
  ~FakeMapped() override {
    std::lock_guard<std::mutex> hold(state_->mutex);
    --node_->readers;
  }
  const unsigned char* data() const override {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::shared_ptr<FakeFiles::State> state_;
  std::shared_ptr<FakeFiles::Node> node_;
  std::string bytes_;  // nothing can change the file while it is mapped
};

}  // namespace

FakeFiles::FakeFiles() : state_(std::make_shared<State>()) {}
FakeFiles::~FakeFiles() = default;

FoundPath FakeFiles::find(const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  FoundPath result;
  if ((result.error = state_->enter(Op::kFind, path))) return result;
  State::Place place = state_->locate(path, true);
  if (place.error) {
    result.error = place.error;
    return result;
  }
  // A root is no entry of any folder: drives answer "not found", shares "bad network path".
  if (place.isRoot) {
    result.error = place.isShare ? os_error::kBadNetPath : os_error::kFileNotFound;
    return result;
  }
  std::shared_ptr<Node> hit = place.node;
  if (!hit && hasWildcard(place.name)) {
    for (const auto& [key, child] : place.parent->children)
      if (matches(child->name, place.name)) {
        hit = child;
        break;
      }
  }
  if (!hit) {
    result.error = os_error::kFileNotFound;
    return result;
  }
  result.found = true;
  result.size = hit->folder ? 0 : hit->size();
  return result;
}

PathAttributes FakeFiles::attributes(const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  PathAttributes result;
  if ((result.error = state_->enter(Op::kAttributes, path))) return result;
  State::Place place = state_->locate(path);
  if (place.error) {
    result.error = place.error;
  } else if (!place.node) {
    result.error = os_error::kFileNotFound;
  } else {
    result.ok = true;
    result.bits = place.node->reported();
  }
  return result;
}

OsError FakeFiles::setAttributes(const std::string& path, uint32_t bits) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (OsError error = state_->enter(Op::kSetAttributes, path)) return error;
  State::Place place = state_->locate(path);
  if (place.error) return place.error;
  if (!place.node) return os_error::kFileNotFound;
  if (!place.isRoot) place.node->attributes = bits & kSettableBits;
  return os_error::kNone;
}

OsError FakeFiles::deleteFile(const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (OsError error = state_->enter(Op::kDeleteFile, path)) return error;
  State::Place place = state_->locate(path);
  if (place.error) return place.error;
  if (!place.node) return os_error::kFileNotFound;
  if (place.isRoot || place.node->folder) return os_error::kAccessDenied;
  if (place.node->attributes & file_attribute::kReadOnly) return os_error::kAccessDenied;
  if (place.node->writers || place.node->readers) return os_error::kSharingViolation;
  place.parent->children.erase(upperKey(place.name));
  return os_error::kNone;
}

OsError FakeFiles::removeFolder(const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (OsError error = state_->enter(Op::kRemoveFolder, path)) return error;
  State::Place place = state_->locate(path);
  if (place.error) return place.error;
  if (!place.node) return os_error::kFileNotFound;
  if (place.isRoot) return os_error::kAccessDenied;
  if (!place.node->folder) return os_error::kNotAFolder;
  if (!place.node->children.empty()) return os_error::kDirNotEmpty;
  if (place.node->attributes & file_attribute::kReadOnly) return os_error::kAccessDenied;
  place.parent->children.erase(upperKey(place.name));
  return os_error::kNone;
}

OsError FakeFiles::createFolder(const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (OsError error = state_->enter(Op::kCreateFolder, path)) return error;
  State::Place place = state_->locate(path);
  if (place.error) return place.error;
  if (place.node) return os_error::kAlreadyExists;
  if (OsError error = State::canMake(place)) return error;
  state_->makeChild(place, true);
  return os_error::kNone;
}

std::unique_ptr<WritableFile> FakeFiles::createForWriting(const std::string& path, uint32_t flags) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (state_->enter(Op::kCreate, path)) return nullptr;
  State::Place place = state_->locate(path);
  if (State::canMake(place)) return nullptr;
  const uint32_t wanted =
      flags & (file_attribute::kReadOnly | file_attribute::kHidden | file_attribute::kSystem);
  std::shared_ptr<Node> node = place.node;
  if (node) {
    if (node->folder) return nullptr;
    if (node->writers || node->readers) return nullptr;
    if (node->attributes & file_attribute::kReadOnly) return nullptr;
    // The system refuses to rewrite a hidden or system file without those attributes.
    const uint32_t guarded = file_attribute::kHidden | file_attribute::kSystem;
    if ((node->attributes & guarded & ~wanted) != 0) return nullptr;
    node->bytes.clear();
    node->hole = 0;
  } else {
    node = state_->makeChild(place, false);
  }
  node->unflushed = true;
  node->attributes = wanted | file_attribute::kArchive;
  ++node->writers;
  return std::make_unique<FakeWritable>(state_, node, path);
}

std::unique_ptr<WritableFile> FakeFiles::openForAppending(const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (state_->enter(Op::kCreate, path)) return nullptr;
  State::Place place = state_->locate(path);
  if (place.error || !place.node || place.node->folder) return nullptr;
  std::shared_ptr<Node> node = place.node;
  if (node->writers || node->readers) return nullptr;  // opened with no sharing
  if (node->attributes & file_attribute::kReadOnly) return nullptr;
  if (node->hole != 0) return nullptr;  // a file too large to hold: nothing to append to
  ++node->writers;
  return std::make_unique<FakeWritable>(state_, node, path, node->bytes.size());
}

std::unique_ptr<WritableFile> FakeFiles::openForWritingAt(const std::string& path, int64_t offset) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (state_->enter(Op::kCreate, path)) return nullptr;
  State::Place place = state_->locate(path);
  if (place.error || !place.node || place.node->folder || offset < 0) return nullptr;
  std::shared_ptr<Node> node = place.node;
  if (node->readers) return nullptr;  // mapped: opened without write sharing
  if (node->attributes & file_attribute::kReadOnly) return nullptr;
  if (node->hole != 0) return nullptr;
  ++node->writers;
  return std::make_unique<FakeWritable>(state_, node, path, static_cast<size_t>(offset));
}

std::unique_ptr<MappedFile> FakeFiles::map(const std::string& path) {
  std::unique_lock<std::mutex> hold(state_->mutex);
  state_->waitIfHeld(hold, path, Op::kMap);
  if (state_->enter(Op::kMap, path)) return nullptr;
  State::Place place = state_->locate(path);
  if (place.error || !place.node || place.node->folder) return nullptr;
  if (place.node->writers) return nullptr;                            // opened with no sharing
  if (place.node->bytes.empty() || place.node->hole) return nullptr;  // empty, or too big
  ++place.node->readers;
  return std::make_unique<FakeMapped>(state_, place.node);
}

OsError FakeFiles::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (OsError error = state_->enter(Op::kCopy, from)) return error;
  if (OsError error = state_->fault(Op::kCopy, to)) return error;
  State::Place source = state_->locate(from);
  if (source.error) return source.error;
  if (!source.node) return os_error::kFileNotFound;
  if (source.node->folder) return os_error::kAccessDenied;
  if (source.node->writers) return os_error::kSharingViolation;
  State::Place target = state_->locate(to);
  if (OsError error = State::canMake(target)) return error;
  if (target.node) {
    if (failIfExists) return os_error::kFileExists;
    if (target.node->folder || (target.node->attributes & file_attribute::kReadOnly))
      return os_error::kAccessDenied;
    if (target.node->writers || target.node->readers) return os_error::kSharingViolation;
    if (target.node == source.node) return os_error::kSharingViolation;
  }
  int64_t room = state_->room();
  int64_t freed = target.node ? static_cast<int64_t>(target.node->bytes.size()) : 0;
  if (room >= 0 && static_cast<int64_t>(source.node->bytes.size()) > room + freed)
    return os_error::kDiskFull;  // the partial copy is removed again
  std::shared_ptr<Node> copy = target.node ? target.node : state_->makeChild(target, false);
  copy->bytes = source.node->bytes;
  copy->hole = source.node->hole;
  copy->attributes = source.node->attributes | file_attribute::kArchive;
  return os_error::kNone;
}

OsError FakeFiles::moveFile(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (OsError error = state_->enter(Op::kMove, from)) return error;
  if (OsError error = state_->fault(Op::kMove, to)) return error;
  State::Place source = state_->locate(from);
  if (source.error) return source.error;
  if (!source.node) return os_error::kFileNotFound;
  if (source.isRoot) return os_error::kAccessDenied;
  if (source.node->writers || source.node->readers) return os_error::kSharingViolation;
  State::Place target = state_->locate(to);
  if (OsError error = State::canMake(target)) return error;
  if (target.node && target.node != source.node) return os_error::kAlreadyExists;
  if (source.node->folder) {
    if (source.rootKey != target.rootKey) return os_error::kNotSameDevice;
    // A folder cannot move into itself.
    if (target.key.compare(0, source.key.size() + 1, source.key + "\\") == 0)
      return os_error::kAccessDenied;
  }
  std::shared_ptr<Node> node = source.node;
  source.parent->children.erase(upperKey(source.name));
  node->name = target.name;
  target.parent->children[upperKey(target.name)] = node;
  return os_error::kNone;
}

OsError FakeFiles::replaceFile(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (OsError error = state_->enter(Op::kReplace, from)) return error;
  if (OsError error = state_->fault(Op::kReplace, to)) return error;
  State::Place source = state_->locate(from);
  if (source.error) return source.error;
  if (!source.node) return os_error::kFileNotFound;
  if (source.isRoot || source.node->folder) return os_error::kAccessDenied;
  if (source.node->writers || source.node->readers) return os_error::kSharingViolation;
  State::Place target = state_->locate(to);
  if (OsError error = State::canMake(target)) return error;
  if (target.node && target.node != source.node) {
    if (target.node->folder || (target.node->attributes & file_attribute::kReadOnly))
      return os_error::kAccessDenied;
    if (target.node->writers || target.node->readers) return os_error::kSharingViolation;
    target.parent->children.erase(upperKey(target.name));
  }
  std::shared_ptr<Node> node = source.node;
  source.parent->children.erase(upperKey(source.name));
  node->name = target.name;
  target.parent->children[upperKey(target.name)] = node;
  return os_error::kNone;
}

std::vector<std::string> FakeFiles::listFolder(const std::string& folder,
                                               const std::string& pattern) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  std::vector<std::string> entries;
  if (state_->enter(Op::kList, folder)) return entries;
  State::Place place = state_->locate(folder);
  if (place.error || !place.node || !place.node->folder) return entries;
  std::string prefix = folder;
  while (!prefix.empty() && prefix.back() == '\\') prefix.pop_back();
  for (const auto& [key, child] : place.node->children) {
    if (!matches(child->name, pattern)) continue;
    entries.push_back(prefix + "\\" + child->name + (child->folder ? "\\" : ""));
  }
  return entries;
}

bool FakeFiles::saveShellLink(const std::string& shortcutPath, const std::string& target,
                              const std::string& description) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (state_->enter(Op::kShellLink, shortcutPath)) return false;
  State::Place place = state_->locate(shortcutPath);
  if (State::canMake(place)) return false;
  if (place.node && (place.node->folder || place.node->writers || place.node->readers ||
                     (place.node->attributes & file_attribute::kReadOnly)))
    return false;
  std::shared_ptr<Node> node = place.node ? place.node : state_->makeChild(place, false);
  node->bytes = "shell link\n" + target + "\n" + description + "\n";
  node->hole = 0;
  node->attributes = file_attribute::kArchive;
  state_->links.push_back({shortcutPath, target, description});
  return true;
}

void FakeFiles::addDrive(char letter) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  const std::string root = std::string(1, upperAscii(letter)) + ":";
  state_->addRoot(root, root);
}

void FakeFiles::addShare(const std::string& root) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->addRoot(root, root);
}

bool FakeFiles::putFolder(const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Parsed parsed = State::parse(path);
  if (parsed.error) return false;
  auto root = state_->roots.find(parsed.rootKey);
  if (root == state_->roots.end()) return false;
  std::shared_ptr<Node> folder = root->second;
  for (const std::string& name : parsed.names) {
    if (isIllegalName(name) || isDevice(name)) return false;
    auto next = folder->children.find(upperKey(name));
    if (next == folder->children.end()) {
      auto node = std::make_shared<Node>();
      node->name = name;
      node->folder = true;
      next = folder->children.emplace(upperKey(name), node).first;
    } else if (!next->second->folder) {
      return false;
    }
    folder = next->second;
  }
  return true;
}

bool FakeFiles::putFile(const std::string& path, std::string_view bytes, uint32_t attributes) {
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos && slash > 2 && !putFolder(path.substr(0, slash))) return false;
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Place place = state_->locate(path);
  if (State::canMake(place)) return false;
  if (place.node && (place.node->folder || place.node->writers || place.node->readers))
    return false;
  std::shared_ptr<Node> node = place.node ? place.node : state_->makeChild(place, false);
  node->bytes = std::string(bytes);
  node->hole = 0;
  node->attributes = attributes & kSettableBits;
  node->unflushed = false;
  return true;
}

bool FakeFiles::putSparseFile(const std::string& path, int64_t size) {
  if (!putFile(path, {})) return false;
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->locate(path).node->hole = size;
  return true;
}

void FakeFiles::setFreeSpace(int64_t bytes) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->freeSpace = bytes;
  state_->usedAtLimit = state_->used();
}

void FakeFiles::failOperation(Op op, OsError error, const std::string& pathPrefix) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->faults.push_back({op, error, upperKey(pathPrefix)});
}

void FakeFiles::clearFaults() {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->faults.clear();
  state_->vanishing.clear();
  state_->freeSpace = -1;
  state_->stepsLeft = -1;
}

void FakeFiles::vanishBefore(Op op, const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->vanishing.push_back({op, state_->canonicalKey(path), false});
}

void FakeFiles::appearBefore(Op op, const std::string& path) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->vanishing.push_back({op, state_->canonicalKey(path), true});
}

std::optional<std::string> FakeFiles::contents(const std::string& path) const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Place place = state_->locate(path);
  if (place.error || !place.node || place.node->folder) return std::nullopt;
  return place.node->bytes + std::string(static_cast<size_t>(place.node->hole), '\0');
}

std::optional<uint32_t> FakeFiles::attributesOf(const std::string& path) const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Place place = state_->locate(path);
  if (place.error || !place.node) return std::nullopt;
  return place.node->reported();
}

bool FakeFiles::isFolder(const std::string& path) const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Place place = state_->locate(path);
  return !place.error && place.node && place.node->folder;
}

bool FakeFiles::isFile(const std::string& path) const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Place place = state_->locate(path);
  return !place.error && place.node && !place.node->folder;
}

std::vector<std::string> FakeFiles::allPaths() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  std::vector<std::string> out;
  for (const auto& [key, root] : state_->roots) state_->collect(*root, root->name, out);
  return out;
}

std::vector<FakeFiles::SavedLink> FakeFiles::savedLinks() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->links;
}

int FakeFiles::openHandles(const std::string& path) const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Place place = state_->locate(path);
  if (place.error || !place.node) return 0;
  return place.node->writers + place.node->readers;
}

bool FakeFiles::hasUnflushedWrites(const std::string& path) const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State::Place place = state_->locate(path);
  return !place.error && place.node && place.node->unflushed;
}

int64_t FakeFiles::usedBytes() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->used();
}

void FakeFiles::crashAfter(int64_t steps) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->stepsLeft = steps;
}

bool FakeFiles::crashed() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->stepsLeft == 0;
}

void FakeFiles::holdNextWrite(const std::string& pathPrefix) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->holdArmed = true;
  state_->holdOp = Op::kWrite;
  state_->holdPrefix = upperKey(pathPrefix);
}

void FakeFiles::holdNextMap(const std::string& pathPrefix) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->holdArmed = true;
  state_->holdOp = Op::kMap;
  state_->holdPrefix = upperKey(pathPrefix);
}

bool FakeFiles::waitForHeldWrite() {
  std::unique_lock<std::mutex> hold(state_->mutex);
  return state_->holdChanged.wait_for(hold, std::chrono::seconds(20),
                                      [this] { return state_->held; });
}

void FakeFiles::releaseWrite() {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->held = false;
  state_->holdChanged.notify_all();
}

namespace {

std::shared_ptr<FakeFiles::Node> copyTree(const FakeFiles::Node& node) {
  auto copy = std::make_shared<FakeFiles::Node>();
  copy->name = node.name;
  copy->folder = node.folder;
  copy->attributes = node.attributes;
  copy->bytes = node.bytes;
  copy->hole = node.hole;
  for (const auto& [key, child] : node.children) copy->children.emplace(key, copyTree(*child));
  return copy;
}

}  // namespace

std::shared_ptr<FakeFiles> FakeFiles::diskCopy() const {
  auto copy = std::make_shared<FakeFiles>();
  std::lock_guard<std::mutex> hold(state_->mutex);
  copy->state_->roots.clear();
  for (const auto& [key, root] : state_->roots) copy->state_->roots.emplace(key, copyTree(*root));
  return copy;
}
