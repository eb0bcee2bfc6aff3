// The paint lock: a spin-lock that yields between tries. It is held only
// for one drawing at a time, never across a wait.
#include "player/player.h"

void acquire_paint_lock(Player* player) {
    while (player->paint_lock.exchange(1, std::memory_order_acquire) != 0) os_yield();
}

void release_paint_lock(Player* player) { player->paint_lock.store(0, std::memory_order_release); }
