#pragma once
#include <string>
#include <vector>

#include "platform/site_frame.h"

// A Site Window's title, Address box and focus, as texts and counters.
class FakeSiteFrame final : public SiteFrame {
 public:
  std::string title() const override { return windowTitle; }
  void setTitle(const std::string& title) override {
    windowTitle = title;
    ++titleWrites;
  }
  void setAddressText(const std::string& text) override { addressText = text; }
  void focusTree() override { ++treeFocused; }

  std::string windowTitle = "Haulix";
  std::string addressText;
  int titleWrites = 0;
  int treeFocused = 0;
};
