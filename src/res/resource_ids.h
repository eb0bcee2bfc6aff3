// The identifiers of zoetra.exe's resources, shared by the resource script
// and the code: plain #defines, so the resource compiler reads them too.
#pragma once

#define IDI_PROGRAM 1         // icon group: 32 x 32
#define IDI_PROGRAM_SMALL 2   // icon group: 16 x 16
#define IDD_ABOUT 1           // the About box's dialog template
#define IDC_ABOUT_TEXT 40001  // its read-only text box
