#pragma once
#include <string>

// The folders resolved once at start-up. A lookup that failed leaves its text empty, except
// where a default is given.
struct KnownFolders {
  std::string executable;     // the own program file
  std::string windows;        // the Windows folder
  std::string desktop;
  std::string myDocuments;
  std::string startMenu;
  std::string programs;
  std::string programFiles;   // default "C:\Program Files"
  std::string applicationData;  // default Windows folder + "\Application Data"
  std::string quickLaunch;    // Application Data + "\Microsoft\Internet Explorer\Quick Launch"
};
