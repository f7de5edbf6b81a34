#pragma once
#include <string>

// What a Site Window's model sets in its window besides the tree and the list: the window
// title, the Address box and the keyboard focus.
class SiteFrame {
 public:
  virtual ~SiteFrame() = default;
  virtual std::string title() const = 0;
  virtual void setTitle(const std::string& title) = 0;
  // Replaces the text of the Address box.
  virtual void setAddressText(const std::string& text) = 0;
  // Gives the keyboard focus to the Site Tree.
  virtual void focusTree() = 0;
};
