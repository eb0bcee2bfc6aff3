// The About box's text.
#pragma once

// 14 lines separated by CR LF, none after the last; every line that is not
// empty begins with a space.
extern const char16_t about_text[];
