#pragma once
// The submenus of "MENU_CONTEXT" and their commands; shared with the resource script.

#define MENU_ID_RESTORE 40001
#define MENU_ID_TRAY_EXIT 40002
#define MENU_ID_DOWNLOAD_WINDOW 40003
#define MENU_ID_NEW_SITE_WINDOW 40004
#define MENU_ID_OPTIONS 40005
#define MENU_ID_ABOUT 40006
#define MENU_ID_GET 40007
#define MENU_ID_PAUSE 40008
#define MENU_ID_OPEN 40009
#define MENU_ID_OPEN_SAVED 40010
#define MENU_ID_OPEN_FOLDER 40011
#define MENU_ID_COPY_TEXT 40012
#define MENU_ID_GET_FIRST 40013
#define MENU_ID_GET_LAST 40014
#define MENU_ID_SET_INACTIVE 40015
#define MENU_ID_RESET 40016
#define MENU_ID_REMOVE 40017
#define MENU_ID_DELETE 40018
#define MENU_ID_PROPERTIES 40019
#define MENU_ID_TREE_OPEN 40020
#define MENU_ID_TREE_ELEVATE 40021
#define MENU_ID_TREE_PROPERTIES 40022
#define MENU_ID_LIST_OPEN 40023
#define MENU_ID_LIST_OPEN_PAGE 40024
#define MENU_ID_LIST_GET 40025
#define MENU_ID_LIST_COPY_TEXT 40026
#define MENU_ID_LIST_PROPERTIES 40027

// Items of the About box and the Delete dialog.
#define ABOUT_VERSION 1037
#define ABOUT_LINE_2 1038
#define ABOUT_LINE_3 1039
#define DELETE_RESET 1060
#define DELETE_REMOVE 1061
#define DELETE_FILES 1062
#define DELETE_FOLDERS 1064

#ifdef __cplusplus
namespace menu_id {
inline constexpr int kTaskbarMenu = 0;
inline constexpr int kOpenMenu = 1;
inline constexpr int kDownloadMenu = 2;
inline constexpr int kSiteTreeMenu = 3;
inline constexpr int kSiteListMenu = 4;

inline constexpr unsigned kRestore = MENU_ID_RESTORE;
inline constexpr unsigned kTrayExit = MENU_ID_TRAY_EXIT;
inline constexpr unsigned kDownloadWindow = MENU_ID_DOWNLOAD_WINDOW;
inline constexpr unsigned kNewSiteWindow = MENU_ID_NEW_SITE_WINDOW;
inline constexpr unsigned kOptions = MENU_ID_OPTIONS;
inline constexpr unsigned kAbout = MENU_ID_ABOUT;
inline constexpr unsigned kGet = MENU_ID_GET;
inline constexpr unsigned kPause = MENU_ID_PAUSE;
inline constexpr unsigned kOpen = MENU_ID_OPEN;
inline constexpr unsigned kOpenSaved = MENU_ID_OPEN_SAVED;
inline constexpr unsigned kOpenFolder = MENU_ID_OPEN_FOLDER;
inline constexpr unsigned kCopyText = MENU_ID_COPY_TEXT;
inline constexpr unsigned kGetFirst = MENU_ID_GET_FIRST;
inline constexpr unsigned kGetLast = MENU_ID_GET_LAST;
inline constexpr unsigned kSetInactive = MENU_ID_SET_INACTIVE;
inline constexpr unsigned kReset = MENU_ID_RESET;
inline constexpr unsigned kRemove = MENU_ID_REMOVE;
inline constexpr unsigned kDelete = MENU_ID_DELETE;
inline constexpr unsigned kProperties = MENU_ID_PROPERTIES;
inline constexpr unsigned kTreeOpen = MENU_ID_TREE_OPEN;
inline constexpr unsigned kTreeElevate = MENU_ID_TREE_ELEVATE;
inline constexpr unsigned kTreeProperties = MENU_ID_TREE_PROPERTIES;
inline constexpr unsigned kListOpen = MENU_ID_LIST_OPEN;
inline constexpr unsigned kListOpenPage = MENU_ID_LIST_OPEN_PAGE;
inline constexpr unsigned kListGet = MENU_ID_LIST_GET;
inline constexpr unsigned kListCopyText = MENU_ID_LIST_COPY_TEXT;
inline constexpr unsigned kListProperties = MENU_ID_LIST_PROPERTIES;
}  // namespace menu_id
#endif
