#pragma once
#include "app/modal.h"
#include "platform/shell.h"
#include "site/site_page.h"
#include "url/byte_text.h"

// Properties of a Site List row ("PROPERTIES_GET"); "&Open" opens the row's address and
// "O&pen" the page it is listed on (nothing when there is none). The buttons take the
// addresses as they are when pressed.
void showLinkProperties(Modal& modal, Shell& shell, const ByteText& text, const SitePage& page);
