#include "app/images.h"

#include <shellapi.h>

#include "platform/own_images.h"

namespace {

// The program's own images, in the order of OwnImage.
const char* const kOwnImages[] = {
    "CLEAR",     "COLUMN_ASCENDING", "COLUMN_DESCENDING", "LIST_DONE", "LIST_GET", "LIST_NOT",
    "LIST_PAGE", "TREE_ARROW",       "TREE_DOT",          "TREE_HOLE", "TREE_RED", "TREE_WORLD"};

const char* const kButtonIcons[] = {
    "BUTTON_BACK", "BUTTON_FORWARD", "BUTTON_STOP",   "BUTTON_REFRESH", "BUTTON_EXPAND",
    "BUTTON_GET",  "BUTTON_PAUSE",   "BUTTON_REMOVE", "GRAY_BACK",      "GRAY_FORWARD",
    "GRAY_GET",    "GRAY_REFRESH",   "GRAY_REMOVE",   "GRAY_STOP"};
const char* const kLinkIcons[] = {"LINK_GET", "LINK_GO"};

HICON loadIcon(HINSTANCE instance, const char* name, int size) {
  return static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

bool isFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isWebPageExtension(std::string_view e) {
  return lstrcmpiA(std::string(e).c_str(), ".htm") == 0 ||
         lstrcmpiA(std::string(e).c_str(), ".html") == 0;
}

}  // namespace

ImageStore::ExtensionImages::ExtensionImages(ImageStore& store)
    : store_(store), typeImages_([&store](int systemIndex, const std::string& extension) {
        return store.typeImageFor(systemIndex, extension);
      }) {}

FileType ImageStore::ExtensionImages::lookup(std::string_view extension) {
  FileType type = typeImages_.lookup(extension);
  if (type.iconIndex == -1) type.iconIndex = store_.defaultFileIcon_;
  if (isWebPageExtension(extension) && type.iconIndex == store_.defaultFileIcon_)
    type.iconIndex = store_.htmlIcon_;
  return type;
}

ImageStore::ImageStore() : extensionImages_(*this) {}

ImageStore::~ImageStore() {
  destroyImageList();
  // Icons loaded from resources are shared and need no destroying; the browser's icon
  // went into the list as a copy and was destroyed at once.
}

void ImageStore::loadImages(HINSTANCE instance, const std::string& programFiles) {
  programLarge_ = loadIcon(instance, "0PROGRAM", 32);
  programSmall_ = loadIcon(instance, "0PROGRAM", 16);
  siteSmall_ = loadIcon(instance, "WINDOW_SITE", 16);
  tray_ = loadIcon(instance, "WINDOW_TASKBAR", 16);
  for (const char* name : kButtonIcons) icons_[name] = loadIcon(instance, name, 24);
  for (const char* name : kLinkIcons) icons_[name] = loadIcon(instance, name, 16);
  loadOwnImages(instance);
  defaultFileIcon_ = extensionImages_.typeImage("").iconIndex;
  htmlIcon_ = extensionImages_.typeImage(".htm").iconIndex;
  if (htmlIcon_ != -1 && htmlIcon_ == defaultFileIcon_) findWebPageIcon(programFiles);
}

void ImageStore::loadOwnImages(HINSTANCE instance) {
  destroyImageList();
  list_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 100);
  for (const char* name : kOwnImages) {
    HICON icon = loadIcon(instance, name, 16);
    // A missing icon still takes its place, so the fixed indexes of OwnImage hold.
    if (addIcon(icon, -1) == -1 && list_) {
      HICON blank = CreateIcon(instance, 16, 16, 1, 1, std::vector<BYTE>(32, 0xFF).data(),
                               std::vector<BYTE>(32, 0).data());
      addIcon(blank, -1);
      if (blank) DestroyIcon(blank);
    }
  }
}

void ImageStore::findWebPageIcon(const std::string& programFiles) {
  for (const char* place :
       {"\\Internet Explorer\\iexplore.exe", "\\Plus!\\Microsoft Internet\\iexplore.exe"}) {
    std::string path = programFiles + place;
    if (!isFile(path)) continue;
    HICON small = nullptr;
    if (ExtractIconExA(path.c_str(), 1, nullptr, &small, 1) > 0 && small) {
      int index = addIcon(small, -1);
      DestroyIcon(small);
      if (index != -1) htmlIcon_ = index;
    }
    return;
  }
}

void ImageStore::destroyImageList() {
  if (list_) ImageList_Destroy(list_);
  list_ = nullptr;
  keys_.clear();
}

HICON ImageStore::icon(const char* name) const {
  if (!name) return nullptr;
  auto found = icons_.find(name);
  return found == icons_.end() ? nullptr : found->second;
}

int ImageStore::addIcon(HICON icon, int key) {
  if (!list_ || !icon || imageCount() >= kMaxImages) return -1;
  int index = ImageList_AddIcon(list_, icon);
  if (index < 0) return -1;
  keys_.push_back(key);
  return index;
}

int ImageStore::typeImageFor(int systemIndex, const std::string& extension) {
  for (int i = imageCount() - 1; i >= 0; --i)
    if (keys_[i] == systemIndex) return i;
  HICON icon = fileTypeIcon(extension);
  if (!icon) return -1;
  int index = addIcon(icon, systemIndex);
  DestroyIcon(icon);
  return index;
}
