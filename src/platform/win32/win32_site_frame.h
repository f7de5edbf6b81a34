#pragma once
#include <windows.h>

#include <string>

#include "platform/site_frame.h"

// The SiteFrame port on a Site Window's own controls: the window's title, its Address box
// (an edit control) and its tree view. The handles are set once the window has made them.
class Win32SiteFrame final : public SiteFrame {
 public:
  Win32SiteFrame() = default;
  Win32SiteFrame(HWND window, HWND addressBox, HWND tree) { attach(window, addressBox, tree); }
  void attach(HWND window, HWND addressBox, HWND tree) {
    window_ = window;
    addressBox_ = addressBox;
    tree_ = tree;
  }

  std::string title() const override;
  void setTitle(const std::string& title) override;
  void setAddressText(const std::string& text) override;
  void focusTree() override;

 private:
  HWND window_ = nullptr;
  HWND addressBox_ = nullptr;
  HWND tree_ = nullptr;
};
