// Resource identifiers of the start-up baseline program.
#pragma once

#define IDD_MINIMAL 101
#define IDC_MINIMAL_LIST 1001
