#pragma once
#include <string>
#include <string_view>

// What the shell knows of a file type: its small icon, as an index into the program's
// shared 16x16 image list (-1 when there is none), and its type name (may be empty).
struct FileType {
  int iconIndex = -1;
  std::string typeName;
};

class FileTypes {
 public:
  virtual ~FileTypes() = default;
  // The type of a file with this extension, given with its leading "." as written;
  // the empty text asks for a file without extension.
  virtual FileType lookup(std::string_view extension) = 0;
};
