// The extension's fixed class identifiers and AppID. They are written into the registry at
// registration, so they never change once released.
#pragma once

#include <objbase.h>
#include <windows.h>

extern const CLSID CLSID_ShellExt;
extern const CLSID CLSID_PelmoraDoneOverlay;
extern const CLSID CLSID_PelmoraHalfOverlay;
extern const CLSID CLSID_PelmoraZeroOverlay;
extern const GUID APPID_PelmoraExt;
