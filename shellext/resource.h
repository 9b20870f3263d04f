// Resource identifiers of the shell extension. The numbers are fixed: the registration tables
// are known by the script numbers, and Explorer finds the overlay pictures by their position
// among the icon groups, so 202 to 204 must stay the first (and only) icon groups.
#pragma once

#define IDR_PELMORAEXT 101
#define IDR_SHELLEXT 106
#define IDR_PELMORADONEOVERLAY 107
#define IDR_PELMORAHALFOVERLAY 108
#define IDR_PELMORAZEROOVERLAY 109

#define IDB_MENU 201
// The menu mark drawn for the check-mark sizes of displays at 150% and 200%.
#define IDB_MENU_150 205
#define IDB_MENU_200 206
#define IDI_DONE_OVERLAY 202
#define IDI_HALF_OVERLAY 203
#define IDI_ZERO_OVERLAY 204
