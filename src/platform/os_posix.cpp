// The OS layer over the C++ standard library, POSIX (sysconf, pthreads) and
// Linux's CPU affinity calls, for the native tools and tests.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "platform/os.h"

namespace {

// Zero bytes after the file's last byte, so a reader that looks one word
// ahead never leaves the buffer.
constexpr size_t FILE_PADDING = 16;
constexpr size_t FILE_SIZE_LIMIT = size_t(1) << 31;

}  // namespace

int os_load_file(const PathChar* path, uint8_t** data, size_t* size, const PollHook* poll) {
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
    size_t done = 0;
    while (done < count) {
        size_t want = count - done < FILE_READ_CHUNK ? count - done : FILE_READ_CHUNK;
        if (std::fread(buffer + done, 1, want, file) != want) break;
        done += want;
        poll_now(poll);
    }
    std::fclose(file);
    if (done != count) {
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
    // std::thread reports a failed start only by throwing: std::system_error
    // when no thread can be had, std::bad_alloc when its state cannot. Every
    // exception becomes the plain refusal the callers expect.
    try {
        std::thread([procedure, argument] { procedure(argument); }).detach();
    } catch (...) {
        return 0;
    }
    return 1;
}

namespace {

struct ApartStart {
    uint32_t (*procedure)(void* argument);
    void* argument;
    cpu_set_t allowed;  // the process's CPUs, which the thread gets back at once
};

void* apart_trampoline(void* parameter) {
    ApartStart start = *static_cast<ApartStart*>(parameter);
    delete static_cast<ApartStart*>(parameter);
    // Now running away from the creator's CPU: the scheduler keeps a thread
    // where it runs, so it may have every CPU again.
    pthread_setaffinity_np(pthread_self(), sizeof start.allowed, &start.allowed);
    start.procedure(start.argument);
    return nullptr;
}

}  // namespace

int os_thread_start_apart(uint32_t (*procedure)(void* argument), void* argument) {
    // Linux places a new thread by its own rules, often on its creator's
    // CPU, and spreads busy threads only at its next balancing, milliseconds
    // later. So the thread is created allowed everywhere but here.
    ApartStart* start = new (std::nothrow) ApartStart{procedure, argument, {}};
    if (!start) return 0;
    cpu_set_t elsewhere;
    const int here = sched_getcpu();
    if (sched_getaffinity(0, sizeof start->allowed, &start->allowed) != 0 || here < 0 ||
        CPU_COUNT(&start->allowed) < 2 || !CPU_ISSET(here, &start->allowed)) {
        delete start;
        return os_thread_start(procedure, argument);
    }
    elsewhere = start->allowed;
    CPU_CLR(here, &elsewhere);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        delete start;
        return 0;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere);
    pthread_t thread;
    const int failed = pthread_create(&thread, &attributes, apart_trampoline, start);
    pthread_attr_destroy(&attributes);
    if (failed) {
        delete start;
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
