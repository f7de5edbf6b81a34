#pragma once
#include "app/modal.h"
#include "platform/shell.h"
#include "site/site_page.h"

// Properties of a Site Tree page ("PROPERTIES_TREE"); "&Open" opens its address.
void showPageProperties(Modal& modal, Shell& shell, const SitePage& page);
