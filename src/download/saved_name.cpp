#include "download/saved_name.h"

#include "url/byte_text.h"
#include "url/escapes.h"

namespace {

constexpr size_t kMaxPath = 260;
// Room kept for the " (n)" of a taken name and the system's own limits.
constexpr size_t kSpare = 16;
constexpr size_t kShortName = 8;
constexpr size_t kShortExtension = 4;  // the dot and three letters

char asciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string trimSpacesAndDots(std::string_view text) {
  return trimTokens(text, {" ", "."});
}

// One part of the address made fit to stand in a path: decoded, no illegal characters,
// no spaces or dots at its ends.
std::string cleanComponent(std::string_view raw) {
  return trimSpacesAndDots(replaceIllegal(decodeEscapes(raw)));
}

// The first `count` bytes, never ending inside a UTF-8 sequence (the manifest makes the ANSI
// code page UTF-8, and half a character would not make a valid name).
std::string leadingBytes(std::string_view text, size_t count) {
  if (text.size() <= count) return std::string(text);
  size_t cut = count;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut));
}

std::string withDot(const std::string& extension) {
  return extension.empty() ? extension : "." + extension;
}

// A folder of the subfolder, with its "\"; nothing for a part that cleans down to nothing,
// which would otherwise make an empty folder name (a doubled "\").
std::string folderPart(const std::string& cleaned) {
  if (cleaned.empty()) return {};
  return avoidDeviceName(cleaned) + "\\";
}

// Scheme 4: each folder of the raw path, in order, up to the first empty segment.
std::string eachFolder(std::string_view rawFolder) {
  size_t start = rawFolder.find_first_not_of('/');
  if (start == std::string_view::npos) return {};
  std::string_view rest = rawFolder.substr(start);
  std::string subfolder;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    if (segment.empty()) break;
    subfolder += folderPart(cleanComponent(segment));
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
  }
  return subfolder;
}

std::string subfolderFor(int scheme, const UrlParts& address) {
  const std::string site = cleanComponent(address.host);
  const std::string folders =
      trimTokens(replaceIllegal(decodeEscapes(address.folder)), {" ", ".", "-"});
  switch (static_cast<SubfolderScheme>(scheme)) {
    case SubfolderScheme::kSite:
      return folderPart(site);
    case SubfolderScheme::kSiteFolders:
      return folderPart(folders.empty() ? site : site + "-" + folders);
    case SubfolderScheme::kSiteThenFolders:
      return folderPart(site) + folderPart(folders);
    case SubfolderScheme::kSiteEachFolder:
      return folderPart(site) + eachFolder(address.folder);
    case SubfolderScheme::kFile:
    default:
      return {};
  }
}

// The name and extension of a name the server gave (already without path and control
// bytes): split at its last dot, both trimmed. False when nothing is left of it.
bool serverNamed(std::string_view serverName, std::string& name, std::string& extension) {
  const size_t dot = serverName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) {
    name = trimSpacesAndDots(serverName);
    extension.clear();
  } else {
    name = trimSpacesAndDots(serverName.substr(0, dot));
    extension = trimSpacesAndDots(serverName.substr(dot + 1));
  }
  return !name.empty() || !extension.empty();
}

}  // namespace

std::string replaceIllegal(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '<':
      case '>':
      case '|':
        c = '-';
        break;
      case '"':
        c = '\'';
        break;
      default:
        break;
    }
  }
  return result;
}

bool isDeviceName(std::string_view name) {
  // The system reads only what stands before the first dot, without the spaces around it.
  std::string stem = trimTokens(name.substr(0, name.find('.')), {" "});
  for (char& c : stem) c = asciiUpper(c);
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

std::string avoidDeviceName(const std::string& name) {
  return isDeviceName(name) ? "_" + name : name;
}

SavedTarget targetName(const UrlParts& address, const std::string& finishedPath, int scheme,
                       std::string_view serverName) {
  SavedTarget target;
  const size_t slash = finishedPath.rfind('\\');
  target.folder = slash == std::string::npos ? std::string() : finishedPath.substr(0, slash + 1);
  if (target.folder.empty() || target.folder.back() != '\\') target.folder += '\\';

  const std::string subfolder = subfolderFor(scheme, address);

  std::string name, extension;
  target.serverNamed = serverNamed(serverName, name, extension);
  if (!target.serverNamed) {
    if (!address.baseName.empty()) {
      name = address.baseName;
      extension = address.extension;
    } else {
      name = "index at " + address.host + address.folder;
      while (!name.empty() && name.back() == '/') name.pop_back();
      extension = ".htm";
    }
    name = trimSpacesAndDots(decodeEscapes(name));
    extension = trimSpacesAndDots(decodeEscapes(extension));
  }
  // Letters of other scripts are left as they are: their bytes are parts of characters.
  for (char& c : extension) c = asciiLower(c);
  if (name.empty()) name = "(untitled)";
  name = replaceIllegal(name);
  extension = replaceIllegal(withDot(extension));

  // A name too long for the path is shortened; the file stays in its subfolder all the same
  // (a subfolder too deep for the path makes the file unsaveable, never saved elsewhere).
  if (extension.size() + name.size() + target.folder.size() + subfolder.size() + kSpare >
      kMaxPath) {
    name = trimSpacesAndDots(leadingBytes(name, kShortName));
    extension = withDot(trimSpacesAndDots(leadingBytes(extension, kShortExtension)));
    if (name.empty()) name = "(untitled)";
  }

  target.folder += subfolder;
  target.name = isDeviceName(name + extension) ? "_" + name : name;
  target.extension = extension;
  return target;
}

bool namesAFile(std::string_view serverName) {
  std::string name, extension;
  return serverNamed(serverName, name, extension);
}
