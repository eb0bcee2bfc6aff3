// The thin layer between the portable code and the operating system: whole
// file reads (with a poll for long work), the millisecond clock, the fine
// timer request, an auto-reset event, detached threads, yielding and the size
// of physical memory.
// os_win.cpp implements it with Win32 for zoetra.exe, os_posix.cpp with the
// C++ standard library and POSIX for the native tools and tests.
#pragma once
#include <cstddef>
#include <cstdint>

#ifdef _WIN32
using PathChar = wchar_t;  // UTF-16 paths, as Win32 takes them
#else
using PathChar = char;
#endif

// A call that long work makes now and then, so that the thread it runs on
// can look at other things meanwhile: the window's thread answers the
// messages sent to it during a load. A null call is none.
struct PollHook {
    void (*call)(void* context);
    void* context;
};

inline void poll_now(const PollHook* hook) {
    if (hook && hook->call) hook->call(hook->context);
}

// Reads a whole file into one zero-padded heap buffer. Returns 1 with *data
// and *size set (free with os_free_file), or 0 with nothing allocated when the
// file cannot be opened or read, is empty, or is 2^31 bytes or larger. The
// file is read in chunks of FILE_READ_CHUNK bytes with poll called after
// each (poll may be null).
constexpr size_t FILE_READ_CHUNK = size_t(4) << 20;
int os_load_file(const PathChar* path, uint8_t** data, size_t* size,
                 const PollHook* poll = nullptr);
void os_free_file(uint8_t* data);

// Milliseconds since some fixed moment, 32 bits, wrapping, read from a clock
// of 1 ms resolution or finer (never Windows' 15.625 ms tick count). Compare
// ticks only by unsigned differences.
uint32_t os_tick_count();

// Asks for waits and sleeps that end within about 1 ms of their timeout
// (Windows: timeBeginPeriod(1); its default timer ticks every 15.625 ms).
// Returns 1 when the request was taken, to be ended by os_fine_timer_end
// once; 0 when it was refused, with nothing to end. A taken request may still
// go unanswered (Windows 11 ignores it for a minimised or covered window).
int os_fine_timer_begin();
void os_fine_timer_end();

// An auto-reset event: a signal wakes one wait and is consumed by it; setting
// an already signalled event leaves one signal.
struct OsEvent;
OsEvent* os_event_create();
void os_event_destroy(OsEvent* event);
void os_event_set(OsEvent* event);
void os_event_reset(OsEvent* event);
// Waits up to timeout_ms, or without end for OS_WAIT_FOREVER. Returns 1 if
// the event was or became signalled (which resets it), 0 when the timeout
// passed first.
constexpr uint32_t OS_WAIT_FOREVER = 0xFFFFFFFF;  // INFINITE on Windows
int os_event_wait(OsEvent* event, uint32_t timeout_ms);

// Starts procedure(argument) on a new detached thread. Returns 1, or 0 when
// the thread cannot be created.
int os_thread_start(uint32_t (*procedure)(void* argument), void* argument);

// The same for a thread meant to run beside its creator, so that the two
// run in parallel from the first moment rather than once the scheduler has
// spread them. On POSIX, where the process may run on more than one CPU,
// the thread is allowed every CPU but the caller's while it starts, then
// all of them. On Windows it is a plain start: Windows gives each new
// thread of a process another ideal processor, and nothing is promised.
int os_thread_start_apart(uint32_t (*procedure)(void* argument), void* argument);

// Gives the rest of this time slice to another ready thread.
void os_yield();

// Bytes of physical memory in the machine, or 0 when that cannot be told.
uint64_t os_physical_memory();

// The CPUs this process may run on (its affinity mask, so a process limited
// to one CPU counts 1 on a machine of many); at least 1.
uint32_t os_usable_cpus();
