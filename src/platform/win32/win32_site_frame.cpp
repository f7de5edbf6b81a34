#include "platform/win32/win32_site_frame.h"

#include <vector>

std::string Win32SiteFrame::title() const {
  // The length may shrink before the copy, never grow past what was asked for.
  const int length = GetWindowTextLengthA(window_);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window_, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void Win32SiteFrame::setTitle(const std::string& title) {
  SetWindowTextA(window_, title.c_str());
}

void Win32SiteFrame::setAddressText(const std::string& text) {
  SetWindowTextA(addressBox_, text.c_str());
}

void Win32SiteFrame::focusTree() {
  SetFocus(tree_);
}
