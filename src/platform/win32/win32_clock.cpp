#include "platform/win32/win32_clock.h"

#include <windows.h>

uint32_t Win32Clock::tickCount() const { return GetTickCount(); }
