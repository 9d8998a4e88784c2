// GDI+'s flat API for the files of the Win32 backend (and the Windows test support), with
// what its headers expect: COM's property types, which windows.h leaves out when it is
// kept lean, and the min and max that NOMINMAX takes away.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace platform {

// Starts GDI+ on the first call and keeps it for the process; false when it cannot start.
bool startGdiplus();

}  // namespace platform
