// The OS layer over the C++ standard library and POSIX (sysconf), for the
// native tools and tests.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <sched.h>
#include <unistd.h>

#include "platform/os.h"

namespace {

// Zero bytes after the file's last byte, so a reader that looks one word
// ahead never leaves the buffer.
constexpr size_t FILE_PADDING = 16;
constexpr size_t FILE_SIZE_LIMIT = size_t(1) << 31;

}  // namespace

int os_load_file(const PathChar* path, uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return 0;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length <= 0 || static_cast<unsigned long>(length) >= FILE_SIZE_LIMIT ||
        std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return 0;
    }
    size_t count = static_cast<size_t>(length);
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(count + FILE_PADDING, 1));
    if (!buffer) {
        std::fclose(file);
        return 0;
    }
    size_t got = std::fread(buffer, 1, count, file);
    std::fclose(file);
    if (got != count) {
        std::free(buffer);
        return 0;
    }
    *data = buffer;
    *size = count;
    return 1;
}

void os_free_file(uint8_t* data) { std::free(data); }

uint32_t os_tick_count() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

// POSIX waits are as fine as the clock already: nothing to ask for.
int os_fine_timer_begin() { return 1; }

void os_fine_timer_end() {}

struct OsEvent {
    std::mutex mutex;
    std::condition_variable signal;
    bool signalled;
};

OsEvent* os_event_create() {
    OsEvent* event = new (std::nothrow) OsEvent;
    if (event) event->signalled = false;
    return event;
}

void os_event_destroy(OsEvent* event) { delete event; }

void os_event_set(OsEvent* event) {
    {
        std::lock_guard<std::mutex> hold(event->mutex);
        event->signalled = true;
    }
    event->signal.notify_one();
}

void os_event_reset(OsEvent* event) {
    std::lock_guard<std::mutex> hold(event->mutex);
    event->signalled = false;
}

int os_event_wait(OsEvent* event, uint32_t timeout_ms) {
    std::unique_lock<std::mutex> hold(event->mutex);
    auto is_set = [event] { return event->signalled; };
    if (timeout_ms == OS_WAIT_FOREVER) {
        event->signal.wait(hold, is_set);
    } else if (timeout_ms == 0) {
        if (!is_set()) return 0;  // a poll: no timed wait, which would sleep for the timer slack
    } else if (!event->signal.wait_for(hold, std::chrono::milliseconds(timeout_ms), is_set)) {
        return 0;
    }
    event->signalled = false;  // auto-reset: this wait consumes the signal
    return 1;
}

int os_thread_start(uint32_t (*procedure)(void* argument), void* argument) {
    // std::thread reports a failed start only by throwing; turn that into the
    // plain refusal the callers expect.
    try {
        std::thread([procedure, argument] { procedure(argument); }).detach();
    } catch (const std::system_error&) {
        return 0;
    }
    return 1;
}

void os_yield() { std::this_thread::yield(); }

uint64_t os_physical_memory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return 0;
    return uint64_t(pages) * uint64_t(page_size);
}

uint32_t os_usable_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    int count = CPU_COUNT(&set);
    return count > 1 ? uint32_t(count) : 1u;
}
