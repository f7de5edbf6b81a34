#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_types.h"
#include "platform/win32/win32_file_types.h"

// The program's icons and the shared 16x16 image list that the list and tree views show.
// Beside the list, one key per image: -1 for the program's own icons, the system image
// list's index for a file type's icon, so each type's icon is added once. The list holds at
// most 100 images; past that a new type gets no icon (-1).
class ImageStore {
 public:
  static constexpr int kMaxImages = 100;

  ImageStore();
  ~ImageStore();
  ImageStore(const ImageStore&) = delete;
  ImageStore& operator=(const ImageStore&) = delete;

  // The class, button and link icons, the image list with the program's own icons first,
  // then the default file icon and the Web page icon (with the browser's icon when the
  // shell has none of its own for Web pages).
  void loadImages(HINSTANCE instance, const std::string& programFiles);
  // Destroys the image list (its indexes stay meaningless afterwards).
  void destroyImageList();

  HIMAGELIST imageList() const { return list_; }
  // A button icon (24x24) or link icon (16x16) by resource name; null when missing.
  HICON icon(const char* name) const;
  HICON programIcon() const { return programLarge_; }
  HICON programSmallIcon() const { return programSmall_; }
  HICON siteSmallIcon() const { return siteSmall_; }
  HICON trayIcon() const { return tray_; }

  // Adds an icon under the key; its index, or -1 when the list is full or refuses it.
  int addIcon(HICON icon, int key);
  int imageCount() const { return static_cast<int>(keys_.size()); }
  // The image of a system image-list index, added from the shell's icon for the extension
  // when it is not there yet; -1 when it cannot be had.
  int typeImageFor(int systemIndex, const std::string& extension);

  // The icon of a file type and its type text, as the lists show them (the lookups the
  // address parser makes). -1 becomes the default file icon, and a Web page shown with the
  // default file icon gets the Web page icon.
  FileTypes& fileTypes() { return extensionImages_; }
  int defaultFileIcon() const { return defaultFileIcon_; }
  int htmlIcon() const { return htmlIcon_; }

 private:
  class ExtensionImages final : public FileTypes {
   public:
    explicit ExtensionImages(ImageStore& store);
    FileType lookup(std::string_view extension) override;
    // TypeImage: the shell's answer, with its cache of the last extension.
    FileType typeImage(std::string_view extension) { return typeImages_.lookup(extension); }

   private:
    ImageStore& store_;
    Win32FileTypes typeImages_;
  };

  void loadOwnImages(HINSTANCE instance);
  void findWebPageIcon(const std::string& programFiles);

  HIMAGELIST list_ = nullptr;
  std::vector<int> keys_;
  std::map<std::string, HICON> icons_;
  HICON programLarge_ = nullptr, programSmall_ = nullptr, siteSmall_ = nullptr, tray_ = nullptr;
  int defaultFileIcon_ = -1;
  int htmlIcon_ = -1;
  ExtensionImages extensionImages_;
};
