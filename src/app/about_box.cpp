// The About box: the version line and a banner drawn like the main window's.
#include <string>

#include "app/app.h"
#include "app/menu_ids.h"
#include "app/paint_context.h"
#include "platform/product.h"

namespace {

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT area = {left, top, right, bottom};
  SetDCBrushColor(dc, colour);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void paintBanner(HWND dialog, const Theme& theme) {
  PaintContext context = PaintContext::forPaint(dialog);
  HDC dc = context.dc();
  RECT client = {};
  GetClientRect(dialog, &client);
  fill(dc, 0, 0, client.right, 72, Theme::kWhite);
  fill(dc, 0, 72, 104, 77, Theme::kTitle);
  fill(dc, 104, 72, client.right, 77, Theme::kBanner);
  context.setFont(theme.large);
  context.setTextColour(Theme::kTitle);
  context.setBackgroundColour(Theme::kWhite);
  context.setBackgroundMode(OPAQUE);
  const std::string name = "haulix 3";
  SIZE size = {};
  GetTextExtentPoint32A(dc, name.c_str(), static_cast<int>(name.size()), &size);
  TextOutA(dc, client.right - 15 - size.cx, 8, name.c_str(), static_cast<int>(name.size()));
}

// "Haulix Version 3.00".
std::string versionLine() {
  return std::string(product::kName) + " Version " + std::string(product::kVersionText);
}

INT_PTR CALLBACK aboutProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, l);
      SetDlgItemTextA(dialog, ABOUT_VERSION, versionLine().c_str());
      return TRUE;
    case WM_PAINT: {
      auto* app = reinterpret_cast<App*>(GetWindowLongPtrA(dialog, DWLP_USER));
      if (!app) return FALSE;
      paintBanner(dialog, app->theme());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
        EndDialog(dialog, LOWORD(w));
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void App::showAboutBox() {
  modal_.showDialog(aboutProcedure, "DIALOG_ABOUT", reinterpret_cast<LPARAM>(this));
}
