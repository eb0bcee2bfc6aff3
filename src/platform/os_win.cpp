// The OS layer over Win32: the twin of os_posix.cpp.
#include <windows.h>
#include <timeapi.h>

#include "platform/os.h"

namespace {

// Zero bytes after the file's last byte, so a reader that looks one word
// ahead never leaves the buffer.
constexpr size_t FILE_PADDING = 16;
constexpr LONGLONG FILE_SIZE_LIMIT = LONGLONG(1) << 31;

struct ThreadStart {
    uint32_t (*procedure)(void* argument);
    void* argument;
};

DWORD WINAPI thread_trampoline(void* parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    HeapFree(GetProcessHeap(), 0, parameter);
    return start.procedure(start.argument);
}

}  // namespace

int os_load_file(const PathChar* path, uint8_t** data, size_t* size, const PollHook* poll) {
    *data = nullptr;
    *size = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file, &length) || length.QuadPart <= 0 ||
        length.QuadPart >= FILE_SIZE_LIMIT) {
        CloseHandle(file);
        return 0;
    }
    DWORD count = static_cast<DWORD>(length.QuadPart);
    uint8_t* buffer = static_cast<uint8_t*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size_t(count) + FILE_PADDING));
    if (!buffer) {
        CloseHandle(file);
        return 0;
    }
    // In chunks, so that a slow disk or a network share does not keep the
    // caller from its poll for the whole read.
    DWORD done = 0;
    while (done < count) {
        DWORD want = count - done < FILE_READ_CHUNK ? count - done : DWORD(FILE_READ_CHUNK);
        DWORD got = 0;
        if (!ReadFile(file, buffer + done, want, &got, nullptr) || got != want) break;
        done += got;
        poll_now(poll);
    }
    CloseHandle(file);
    if (done != count) {
        HeapFree(GetProcessHeap(), 0, buffer);
        return 0;
    }
    *data = buffer;
    *size = count;
    return 1;
}

void os_free_file(uint8_t* data) {
    if (data) HeapFree(GetProcessHeap(), 0, data);
}

uint32_t os_tick_count() {
    // The performance counter, not GetTickCount, which advances in steps of
    // the system timer (15.625 ms by default). Split so that counter * 1000
    // cannot overflow however long the machine has run.
    static const ULONGLONG per_second = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return ULONGLONG(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    ULONGLONG count = ULONGLONG(counter.QuadPart);
    return static_cast<uint32_t>(count / per_second * 1000 + count % per_second * 1000 / per_second);
}

int os_fine_timer_begin() { return timeBeginPeriod(1) == TIMERR_NOERROR; }

void os_fine_timer_end() { timeEndPeriod(1); }

// An OsEvent* is the event's HANDLE.
OsEvent* os_event_create() {
    return static_cast<OsEvent*>(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

void os_event_destroy(OsEvent* event) {
    if (event) CloseHandle(static_cast<HANDLE>(event));
}

void os_event_set(OsEvent* event) { SetEvent(static_cast<HANDLE>(event)); }

void os_event_reset(OsEvent* event) { ResetEvent(static_cast<HANDLE>(event)); }

int os_event_wait(OsEvent* event, uint32_t timeout_ms) {
    return WaitForSingleObject(static_cast<HANDLE>(event), timeout_ms) == WAIT_OBJECT_0;
}

int os_thread_start(uint32_t (*procedure)(void* argument), void* argument) {
    ThreadStart* start =
        static_cast<ThreadStart*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadStart)));
    if (!start) return 0;
    start->procedure = procedure;
    start->argument = argument;
    HANDLE thread = CreateThread(nullptr, 0, thread_trampoline, start, 0, nullptr);
    if (!thread) {
        HeapFree(GetProcessHeap(), 0, start);
        return 0;
    }
    CloseHandle(thread);  // detached: nobody joins it
    return 1;
}

int os_thread_start_apart(uint32_t (*procedure)(void* argument), void* argument) {
    // Windows gives each new thread of a process another ideal processor and
    // runs a ready thread on an idle one: it begins apart already.
    return os_thread_start(procedure, argument);
}

void os_yield() { SwitchToThread(); }

uint64_t os_physical_memory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
}

uint32_t os_usable_cpus() {
    DWORD_PTR process_mask = 0, system_mask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) return 1;
    uint32_t count = 0;
    for (; process_mask; process_mask &= process_mask - 1) count++;
    return count > 1 ? count : 1u;
}
