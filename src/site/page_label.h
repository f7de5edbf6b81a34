#pragma once
#include <string>

#include "site/site_page.h"
#include "url/byte_text.h"

// How a page shows in the Site Tree and in the On Page column.

// TREE_ARROW while it is being fetched, else TREE_HOLE (Unread), TREE_WORLD (Read) or
// TREE_RED (CannotFindServer): an index into the shared image list.
int pageImage(const SitePage& page);

// "title - name.ext", "name.ext", "title" or "Index at host/folder", cut to 100 bytes and
// "...", then " (Cannot find server)" for a page whose server was not found.
std::string pageLabel(const SitePage& page, const ByteText& text);
