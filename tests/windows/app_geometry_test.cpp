// The main window's arithmetic: layout of both roles, the splitter's limits, the status
// line, colours, the progress bar's shares, hit-testing and the command line.
#include <gtest/gtest.h>

#include "app/clipboard.h"
#include "app/control_logic.h"
#include "app/layout.h"
#include "app/paint_math.h"
#include "app/startup.h"
#include "platform/win32/win32_text_rules.h"

namespace {

using namespace control;

// Labels measured as a 13-pixel font would measure them.
DrawnControls measured(ProcessRole role) {
  DrawnControls c;
  setRoleLabels(role, c);
  refreshKinds(role, ButtonStates{}, c);
  auto size = [&](int index, int width) { c[index].labelSize = {width, 13}; };
  size(kOpen, 40);
  size(kHelp, 36);
  if (role == ProcessRole::kDownload) {
    size(kPause, 30);
    size(kRemove, 40);
    size(kAddressLink, 50);
    size(kGoLink, 18);
    size(kClipboardCaption, 500);
  } else {
    size(kBack, 25);
    size(kForward, 45);
    size(kStop, 25);
    size(kRefresh, 42);
    size(kExpand, 38);
    size(kGet, 18);
    size(kAddressLink, 40);
    size(kGoLink, 14);
  }
  return c;
}

struct Laid {
  DrawnControls controls;
  SplitterPosition splitter;
  LayoutBoxes boxes;

  Laid(ProcessRole role, int width, int height, bool maximised = false)
      : controls(measured(role)), input{role, width, height, maximised, 200} {
    EXPECT_TRUE(layoutWindow(input, 0, controls, splitter, boxes));
  }
  void drag(int delta) { EXPECT_TRUE(layoutWindow(input, delta, controls, splitter, boxes)); }
  Rect at(int index) const { return controls[index].rect; }

  LayoutInput input;
};

TEST(DownloadLayout, PlacesTheTopRowTheAddressesBoxAndTheListAt800By600) {
  Laid l(ProcessRole::kDownload, 800, 600);
  EXPECT_EQ(l.at(kOpen), (Rect{216, 0, 48, 16}));
  EXPECT_EQ(l.at(kHelp), (Rect{264, 0, 44, 16}));
  EXPECT_EQ(l.at(kPause), (Rect{4, 27, 56, 44}));
  EXPECT_EQ(l.at(kRemove), (Rect{60, 27, 56, 44}));
  EXPECT_EQ(l.at(kAddressLink), (Rect{129, 27, 50, 16}));
  EXPECT_EQ(l.at(kGoLink), (Rect{754, 27, 38, 16}));
  EXPECT_EQ(l.at(kSplitter), (Rect{183, 70, 567, 5}));
  EXPECT_EQ(l.boxes.edit, (Rect{184, 28, 565, 42}));
  EXPECT_EQ(l.boxes.checkBox, (Rect{183, 75, 13, 13}));
  EXPECT_EQ(l.at(kClipboardCaption), (Rect{196, 75, 504, 13}));
  EXPECT_EQ(l.boxes.list, (Rect{2, 93, 796, 490}));
  EXPECT_EQ(l.boxes.status, (Rect{0, 584, 784, 16}));
  EXPECT_EQ(l.at(kSizeGrip), (Rect{784, 584, 16, 16}));
  EXPECT_TRUE(l.boxes.tree.empty());
  // The Site Window's buttons are not there to be hit.
  EXPECT_TRUE(l.at(kBack).empty());
  EXPECT_TRUE(l.at(kGet).empty());
}

TEST(DownloadLayout, KeepsTheTopRowWhenTheWindowIsNarrowerThanItsContent) {
  Laid l(ProcessRole::kDownload, 100, 300);
  // E = 38 + 2 * 56 + 50 + 13 + 33 = 246.
  EXPECT_EQ(l.at(kGoLink).x, 246 - 38 - 8);
  EXPECT_EQ(l.at(kSplitter).width, 246 - 129 - 38 - 50 - 16);
  EXPECT_EQ(l.boxes.list.width, 96);
  // The caption never reaches past the splitter's end.
  EXPECT_EQ(l.at(kClipboardCaption).right(), l.at(kSplitter).right());
}

TEST(DownloadLayout, SplitterStopsAt53AboveAndWhereTheListWouldVanishBelow) {
  Laid l(ProcessRole::kDownload, 800, 600);
  l.drag(-100);
  EXPECT_EQ(l.at(kSplitter).y, 53);
  EXPECT_EQ(l.boxes.edit.height, 25);
  l.drag(5000);
  EXPECT_EQ(l.at(kSplitter).y, 600 - 2 * 13 - 14);
  EXPECT_EQ(l.boxes.list.height, 0);
  EXPECT_GE(l.boxes.status.y, l.boxes.list.y);
  // The position is remembered: a later resize keeps it where it fits.
  l.input.height = 400;
  l.drag(0);
  EXPECT_EQ(l.at(kSplitter).y, 400 - 2 * 13 - 14);
  l.input.height = 50;
  l.drag(0);
  EXPECT_EQ(l.at(kSplitter).y, 53);
  EXPECT_EQ(l.boxes.list.height, 0);
}

TEST(DownloadLayout, MaximisedShowsNoSizeGripAndTheStatusLineSpansTheWidth) {
  Laid l(ProcessRole::kDownload, 1024, 700, true);
  EXPECT_EQ(l.boxes.status.width, 1024);
  EXPECT_EQ(l.at(kSizeGrip).x, 1024);
  EXPECT_EQ(l.at(kSizeGrip).width, 0);
  EXPECT_EQ(hitTest(l.controls, 1023, l.boxes.status.y + 2), -1);
}

TEST(DownloadLayout, AnEmptyClientAreaChangesNothing) {
  DrawnControls c = measured(ProcessRole::kDownload);
  SplitterPosition splitter;
  LayoutBoxes boxes;
  EXPECT_FALSE(layoutWindow({ProcessRole::kDownload, 0, 600, false, 0}, 0, c, splitter, boxes));
  EXPECT_FALSE(splitter.placed);
  EXPECT_TRUE(c[kPause].rect.empty());
}

TEST(SiteLayout, PlacesButtonsAddressTreeAndListAt800By600) {
  Laid l(ProcessRole::kSite, 800, 600);
  EXPECT_EQ(l.at(kBack), (Rect{4, 27, 56, 44}));
  EXPECT_EQ(l.at(kForward), (Rect{60, 27, 56, 44}));
  EXPECT_EQ(l.at(kStop), (Rect{116, 27, 56, 44}));
  EXPECT_EQ(l.at(kRefresh), (Rect{172, 27, 56, 44}));
  EXPECT_EQ(l.at(kExpand), (Rect{237, 27, 56, 44}));
  EXPECT_EQ(l.at(kGet), (Rect{302, 27, 56, 44}));
  EXPECT_EQ(l.at(kAddressLink), (Rect{8, 82, 40, 16}));
  EXPECT_EQ(l.at(kGoLink), (Rect{758, 82, 34, 16}));
  EXPECT_EQ(l.boxes.edit, (Rect{54, 83, 699, 13}));
  EXPECT_EQ(l.at(kSplitter), (Rect{199, 104, 6, 480}));
  EXPECT_EQ(l.boxes.tree, (Rect{2, 105, 197, 478}));
  EXPECT_EQ(l.boxes.list, (Rect{205, 105, 593, 478}));
  EXPECT_EQ(l.boxes.status, (Rect{0, 584, 784, 16}));
  EXPECT_EQ(l.boxes.gripMinimumY, 44 + 13 + 49);
  EXPECT_TRUE(l.boxes.checkBox.empty());
  EXPECT_TRUE(l.at(kPause).empty());
  EXPECT_TRUE(l.at(kClipboardCaption).empty());
}

TEST(SiteLayout, SplitterStartsAtAQuarterAndStaysBetween2AndWidthLess8) {
  Laid small(ProcessRole::kSite, 410, 300);
  EXPECT_EQ(small.at(kSplitter).x, (410 - 10) / 4 + 2);
  small.drag(1000);
  EXPECT_EQ(small.at(kSplitter).x, 410 - 8);
  EXPECT_EQ(small.boxes.list.width, 0);
  small.drag(-5000);
  EXPECT_EQ(small.at(kSplitter).x, 2);
  EXPECT_EQ(small.boxes.tree.width, 0);
}

TEST(SiteLayout, AnAddressBoxWithoutRoomGetsNoWidth) {
  Laid l(ProcessRole::kSite, 50, 300);
  // E = 34 + 40 + 26 = 100, so Go sits at 58 and the box would be 58 - 40 - 19 < 0 wide.
  EXPECT_EQ(l.at(kGoLink).x, 58);
  EXPECT_EQ(l.boxes.edit, (Rect{53, 83, 0, 13}));
}

TEST(SiteLayout, MaximisedHidesTheGrip) {
  Laid l(ProcessRole::kSite, 640, 480, true);
  EXPECT_EQ(l.boxes.status.width, 640);
  EXPECT_EQ(l.at(kSizeGrip).width, 0);
}

TEST(DrawnControls, HitTestingIsHalfOpenAndSkipsHiddenControls) {
  Laid l(ProcessRole::kDownload, 800, 600);
  EXPECT_EQ(hitTest(l.controls, 4, 27), kPause);
  EXPECT_EQ(hitTest(l.controls, 59, 70), kPause);
  EXPECT_EQ(hitTest(l.controls, 60, 70), kRemove);
  EXPECT_EQ(hitTest(l.controls, 116, 27), -1);
  EXPECT_EQ(hitTest(l.controls, 799, 599), kSizeGrip);
  EXPECT_EQ(hitTest(l.controls, 800, 599), -1);
}

TEST(DrawnControls, StatesFollowHoverCaptureAndTheButton) {
  DrawnControls c = measured(ProcessRole::kDownload);
  refreshKinds(ProcessRole::kDownload, ButtonStates{false, false}, c);
  EXPECT_EQ(c[kRemove].kind, ControlKind::kDisabledButton);
  EXPECT_EQ(controlState(c, kRemove, kRemove, kRemove, true), ControlState::kDisabled);
  EXPECT_EQ(controlState(c, kPause, kPause, -1, false), ControlState::kHot);
  EXPECT_EQ(controlState(c, kPause, kPause, kPause, true), ControlState::kPressed);
  EXPECT_EQ(controlState(c, kPause, kPause, -1, true), ControlState::kNormal);
  EXPECT_EQ(controlState(c, kPause, -1, kPause, true), ControlState::kNormal);
  refreshKinds(ProcessRole::kDownload, ButtonStates{true, true}, c);
  EXPECT_EQ(c[kPause].kind, ControlKind::kLatchedButton);
  EXPECT_EQ(controlState(c, kPause, -1, -1, false), ControlState::kPressed);
  EXPECT_EQ(c[kRemove].kind, ControlKind::kButton);
  // A link is hot under the cursor while it is held, or with the button up.
  EXPECT_EQ(controlState(c, kGoLink, kGoLink, kGoLink, true), ControlState::kHot);
  EXPECT_EQ(controlState(c, kGoLink, kGoLink, -1, true), ControlState::kNormal);
  EXPECT_EQ(controlState(c, kSplitter, kSplitter, -1, false), ControlState::kNone);
}

TEST(DrawnControls, CursorFollowsTheCapturedThenTheHoveredControl) {
  DrawnControls c = measured(ProcessRole::kDownload);
  EXPECT_EQ(chooseCursor(c, kGoLink, kSplitter, true, true), CursorShape::kSizeNorthSouth);
  EXPECT_EQ(chooseCursor(c, kGoLink, -1, false, true), CursorShape::kHand);
  EXPECT_EQ(chooseCursor(c, kGoLink, -1, true, true), CursorShape::kArrow);
  EXPECT_EQ(chooseCursor(c, -1, -1, false, false), CursorShape::kLeaveAlone);
  EXPECT_EQ(chooseCursor(c, kSizeGrip, -1, false, true), CursorShape::kSizeDiagonal);
  DrawnControls site = measured(ProcessRole::kSite);
  EXPECT_EQ(chooseCursor(site, kSplitter, -1, false, true), CursorShape::kSizeWestEast);
}

TEST(DrawnControls, GripDragKeepsTheGrabbedPointInsideItsLimits) {
  // Grabbed at (790, 590) with offset (6, 6); the grip may not rise above y = 77.
  GripDrag free = limitGripDrag(30, -20, 790, 590, 6, 6, 77);
  EXPECT_EQ(free.dx, 30);
  EXPECT_EQ(free.dy, -20);
  GripDrag cut = limitGripDrag(-1000, -1000, 790, 590, 6, 6, 77);
  EXPECT_EQ(790 + cut.dx, 6);
  EXPECT_EQ(590 + cut.dy, 77 + 6);
}

TEST(StatusLine, CountsRowsWaitingItemsAndTheSelection) {
  EXPECT_EQ(statusLineText(0, 0, 0), "0 files");
  EXPECT_EQ(statusLineText(1, 0, 0), "1 file");
  EXPECT_EQ(statusLineText(1, 1, 1), "1 file  1 to get  1 selected");
  EXPECT_EQ(statusLineText(1000, 1000, 2), "1,000 files  1,000 to get  2 selected");
  EXPECT_EQ(statusLineText(1234567, 0, 1000), "1,234,567 files  1,000 selected");
}

TEST(Colours, BlendWeighsEachChannelAndGivesBlackForNoWeight) {
  EXPECT_EQ(blend(rgb(255, 0, 0), rgb(0, 0, 255), 1, 2), rgb(85, 0, 170));
  EXPECT_EQ(blend(rgb(10, 20, 30), rgb(200, 200, 200), 255, 0), rgb(10, 20, 30));
  EXPECT_EQ(blend(rgb(10, 20, 30), rgb(200, 200, 200), 0, 0), rgb(0, 0, 0));
  EXPECT_EQ(blend(rgb(255, 255, 255), rgb(0, 0, 0), 1, 1), rgb(127, 127, 127));
}

TEST(SizeCellBar, FirstAndLastQuarterFillTheEndsAndLeaveTheMiddleEmpty) {
  std::vector<int> shares = pieceShares("400,0,100,300,100", 8);
  EXPECT_EQ(shares, (std::vector<int>{255, 255, 0, 0, 0, 0, 255, 255}));
}

TEST(SizeCellBar, PartlyCoveredColumnsGetTheirShare) {
  EXPECT_EQ(pieceShares("3,0,1", 2), (std::vector<int>{170, 0}));
  // Overlapping pairs are capped at full.
  EXPECT_EQ(pieceShares("10,0,10,0,10", 2), (std::vector<int>{255, 255}));
  // Sizes beyond 32 bits still divide right.
  const std::string big = "8589934592,0,4294967296";
  EXPECT_EQ(pieceShares(big, 4), (std::vector<int>{255, 255, 0, 0}));
}

TEST(SizeCellBar, DamagedOrEmptyMapsShowNothing) {
  EXPECT_EQ(pieceShares("", 3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(pieceShares("0,0,10", 3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(pieceShares("x,0,10", 3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(pieceShares("10,0", 2), (std::vector<int>{0, 0}));
  EXPECT_TRUE(pieceShares("10,0,10", 0).empty());
  // At most 16 pairs are read.
  std::string map = "34";
  for (int i = 0; i < 17; ++i) map += "," + std::to_string(i * 2) + ",1";
  std::vector<int> shares = pieceShares(map, 34);
  EXPECT_EQ(shares[30], 255);
  EXPECT_EQ(shares[32], 0);
}

class CommandLine : public testing::Test {
 protected:
  Win32TextRules rules_;
  ByteText text_{rules_};
};

TEST_F(CommandLine, FindsOptionsAnywhereWithoutRegardToCase) {
  EXPECT_EQ(readCommandLine(300, "", text_), StartRequest::kDownload);
  EXPECT_EQ(readCommandLine(300, "x /SITE y", text_), StartRequest::kSiteWindow);
  EXPECT_EQ(readCommandLine(300, "--/sitemap", text_), StartRequest::kSiteWindow);
  EXPECT_EQ(readCommandLine(300, "/site /AddRemove", text_), StartRequest::kRemoval);
  EXPECT_EQ(readCommandLine(301, "/si te", text_), StartRequest::kDownload);
}

TEST_F(CommandLine, IsIgnoredOnTheFirstRunOfThisRelease) {
  EXPECT_EQ(readCommandLine(0, "/site", text_), StartRequest::kFirstRunDownload);
  EXPECT_EQ(readCommandLine(299, "/addremove", text_), StartRequest::kFirstRunDownload);
}

TEST_F(CommandLine, ClipboardCopiesGiveOnlyATrimmedFirstLineWithAKnownScheme) {
  EXPECT_EQ(watchedAddress("  HTTP://a/b  \r\nhttp://c/", text_), "HTTP://a/b");
  EXPECT_EQ(watchedAddress("ftp://a/x", text_), "ftp://a/x");
  EXPECT_EQ(watchedAddress("Gopher://a/x", text_), "Gopher://a/x");
  EXPECT_EQ(watchedAddress("https://a/x\r\n", text_), "https://a/x");
  EXPECT_EQ(watchedAddress("\r\nhttp://a/", text_), "");
  EXPECT_EQ(watchedAddress("www.a.com/x", text_), "");
  EXPECT_EQ(watchedAddress("mailto:me@a.com", text_), "");
  EXPECT_EQ(watchedAddress("\thttp://a/", text_), "");
  EXPECT_EQ(watchedAddress("", text_), "");
}

}  // namespace
