// The about box: the product picture, closed by any click.
#pragma once

#include <windows.h>

void RunAboutBox(HWND owner);
