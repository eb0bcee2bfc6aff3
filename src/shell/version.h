// The program's version, kept here only: the version block of the resource
// script (src/res/zoetra.rc), the About text, the build's project version
// (CMakeLists.txt) and the name of `make dist`'s zip all read it from here.
// Plain #defines, so the resource compiler and CMake read them too.
#pragma once

#define ZOETRA_VERSION_MAJOR 1
#define ZOETRA_VERSION_MINOR 1
#define ZOETRA_VERSION_PATCH 0
// As the program shows it: the major number, a point, then the minor and
// patch numbers run together (1.1.0 is "1.10").
#define ZOETRA_VERSION_TEXT "1.10"
