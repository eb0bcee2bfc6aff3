// zoetra-probe.dll: loaded into zoetra.exe by zoetra-driver (a remote thread
// calling LoadLibraryW). A thread of its own reads the menu named in the
// shared block, signals the driver, and unloads the library again.
#include <windows.h>

#include "menu_probe.h"

namespace {

DWORD WINAPI probe_thread(void* module) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, MENU_PROBE_BLOCK);
    HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, MENU_PROBE_DONE);
    MenuProbeBlock* block =
        mapping ? static_cast<MenuProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0))
                : nullptr;
    if (block) {
        HMENU menu = reinterpret_cast<HMENU>(static_cast<uintptr_t>(block->menu));
        int count = GetMenuItemCount(menu);
        block->count = count < 0 ? -1 : (count > MENU_PROBE_ITEMS ? MENU_PROBE_ITEMS : count);
        for (int i = 0; i < block->count; i++) {
            MenuProbeItem* item = &block->items[i];
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
            info.dwTypeData = item->text;
            info.cch = MENU_PROBE_TEXT;
            item->text[0] = 0;
            if (GetMenuItemInfoW(menu, UINT(i), TRUE, &info)) {
                item->id = info.wID;
                item->state = info.fState;
                item->type = info.fType;
            }
            item->text[MENU_PROBE_TEXT - 1] = 0;
        }
        UnmapViewOfFile(block);
    }
    if (mapping) CloseHandle(mapping);
    if (done) {
        SetEvent(done);
        CloseHandle(done);
    }
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(module);
        HANDLE thread = CreateThread(nullptr, 0, probe_thread, module, 0, nullptr);
        if (thread) CloseHandle(thread);
    }
    return TRUE;
}
