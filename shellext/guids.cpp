#include "shellext/guids.h"

// {5A449DC2-D170-44A0-BD55-65C0558759A7}
const CLSID CLSID_ShellExt = {0x5a449dc2,
                              0xd170,
                              0x44a0,
                              {0xbd, 0x55, 0x65, 0xc0, 0x55, 0x87, 0x59, 0xa7}};
// {39CB4FD6-FFC1-4F66-89AB-02AD2511EE32}
const CLSID CLSID_PelmoraDoneOverlay = {0x39cb4fd6,
                                        0xffc1,
                                        0x4f66,
                                        {0x89, 0xab, 0x02, 0xad, 0x25, 0x11, 0xee, 0x32}};
// {C62E1C9A-30ED-47EA-920F-61B6BCA21066}
const CLSID CLSID_PelmoraHalfOverlay = {0xc62e1c9a,
                                        0x30ed,
                                        0x47ea,
                                        {0x92, 0x0f, 0x61, 0xb6, 0xbc, 0xa2, 0x10, 0x66}};
// {5AAB66C5-AFBD-4ECF-AB27-925FAAF3EDB8}
const CLSID CLSID_PelmoraZeroOverlay = {0x5aab66c5,
                                        0xafbd,
                                        0x4ecf,
                                        {0xab, 0x27, 0x92, 0x5f, 0xaa, 0xf3, 0xed, 0xb8}};
// {73DB7013-4DD1-4005-A7F6-B7E022A7C356}
const GUID APPID_PelmoraExt = {0x73db7013,
                               0x4dd1,
                               0x4005,
                               {0xa7, 0xf6, 0xb7, 0xe0, 0x22, 0xa7, 0xc3, 0x56}};
