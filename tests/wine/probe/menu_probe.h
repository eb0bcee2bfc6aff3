// The report of zoetra-probe.dll: the items of a pop-up menu read from inside
// the process that owns it (Wine reads no other process's menus), written
// into a named shared block for zoetra-driver.
#pragma once
#include <cstdint>

constexpr wchar_t MENU_PROBE_BLOCK[] = L"Local\\ZoetraMenuProbeBlock";
constexpr wchar_t MENU_PROBE_DONE[] = L"Local\\ZoetraMenuProbeDone";
constexpr int MENU_PROBE_ITEMS = 32;
constexpr int MENU_PROBE_TEXT = 64;

struct MenuProbeItem {
    uint32_t id;
    uint32_t state;  // MENUITEMINFOW.fState
    uint32_t type;   // MENUITEMINFOW.fType
    wchar_t text[MENU_PROBE_TEXT];
};

struct MenuProbeBlock {
    uint64_t menu;   // in: the HMENU to read
    int32_t count;   // out: its items, or -1 when it could not be read
    MenuProbeItem items[MENU_PROBE_ITEMS];
};
