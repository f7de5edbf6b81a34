// The SiteFrame port on a real window, edit box and tree view.
#include "platform/win32/win32_site_frame.h"

#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class Win32SiteFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&init);
    window_ = CreateWindowExA(0, "STATIC", "Haulix", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 300, 20,
                            window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 30, 300,
                            200, window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(edit_, nullptr);
    ASSERT_NE(tree_, nullptr);
    frame_.attach(window_, edit_, tree_);
  }
  void TearDown() override { DestroyWindow(window_); }

  static std::string textOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
  }

  HWND window_ = nullptr;
  HWND edit_ = nullptr;
  HWND tree_ = nullptr;
  Win32SiteFrame frame_;
};

TEST_F(Win32SiteFrameTest, TheTitleAndTheAddressBoxTakeTheirTextsWhole) {
  EXPECT_EQ(frame_.title(), "Haulix");
  const std::string title = "Caf\xC3\xA9 \xE2\x80\x94 " + std::string(300, 'x') + " - Haulix";
  frame_.setTitle(title);
  EXPECT_EQ(frame_.title(), title);
  EXPECT_EQ(textOf(window_), title.substr(0, 511));
  frame_.setTitle("");
  EXPECT_EQ(frame_.title(), "");
  frame_.setAddressText("http://h/caf\xC3\xA9.htm");
  EXPECT_EQ(textOf(edit_), "http://h/caf\xC3\xA9.htm");
}

TEST_F(Win32SiteFrameTest, TheFocusGoesToTheTree) {
  ShowWindow(window_, SW_SHOW);
  SetFocus(edit_);
  frame_.focusTree();
  EXPECT_EQ(GetFocus(), tree_);
}

}  // namespace
