// zoetra-bench [--repeat N] [--helpers auto|never|always] [--zoetra-only] FILE...
//
// Times, for each file with its bytes already in memory, the whole load
// (release included): Zoetra's own load to its frame store; giflib's
// DGifSlurp with a plain compositing loop that makes every frame's picture
// once in one reused picture (keeping none: the least a player over giflib
// does); stb_image, which returns every frame as a whole picture; and the
// floor of writing a whole 32-bit picture per frame into fresh memory. Prints
//   FILE frames W H zoetra_ms giflib_ms stb_ms memcpy_ms zoetra_wall_ms memcpy_wall_ms
// (medians over the repetitions; "skipped" where a loader refused or crashed),
// then the geometric means, then the memory of a Zoetra load: its peak (what
// the load added to the resident set, the file's own bytes not counted, as
// the bound does not count them, nor the pages of code it ran) and what its
// store holds at the end, per canvas pixel per frame, against the bound of
// whole pictures; then the time to bring a key frame of the largest canvas on
// show in a display picture.
//
// Every measurement runs in a child process of its own, so each load starts
// from the same fresh heap and a crash in a loader cannot take the benchmark
// down. The _ms columns are the child's CPU time (user and system, of all its
// threads), which other work on the machine does not inflate; the _wall_ms
// columns are wall-clock time, what a user waits, which helper threads on
// other cores shorten. --helpers chooses how Zoetra's load uses its
// helper threads (default auto, as the program); --zoetra-only skips giflib
// and stb_image, for quick comparisons of two builds.
//
// zoetra-bench --profile FILE... runs only Zoetra's load, once per file in
// this process, for profilers (callgrind: --toggle-collect=profiled_load).
// zoetra-bench --check FILE... compares Zoetra's pictures with giflib's.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "loads.h"
#include "stb_load.h"

namespace {

enum Load { LOAD_ZOETRA, LOAD_GIFLIB, LOAD_STB, LOAD_FLOOR, LOAD_KINDS };

struct Measurement {
    int ok;
    double ms;       // CPU time
    double wall_ms;  // wall-clock time
    uint32_t frames, width, height;
    int64_t peak_growth;  // bytes the load added to the process's peak resident set, less code
    uint64_t stored;      // Zoetra: bytes of its store and frame table at the end
};

struct FileData {
    std::string path;
    std::vector<uint8_t> bytes;
};

double clock_ms(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// CPU time of this process, user and system (page faults included), over
// all its threads: the machine may be busy with other work, which wall time
// would count.
double now_ms() { return clock_ms(CLOCK_PROCESS_CPUTIME_ID); }

double wall_now_ms() { return clock_ms(CLOCK_MONOTONIC); }

// How Zoetra's loads use helper threads (--helpers).
CompositeHelpersMode helpers_mode = HELPERS_AUTO;

// The process's resident set from /proc/self/status, in bytes (0 where
// unknown): its peak (VmHWM), and the pages of files and code it maps
// (RssFile). Both from one read, so that the pages mapped between two
// reads are not counted on one side only.
struct Resident {
    int64_t peak, files;
};

Resident resident() {
    Resident r{};
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return r;
    char line[256];
    long long kib = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %lld kB", &kib) == 1) r.peak = int64_t(kib) * 1024;
        if (std::sscanf(line, "RssFile: %lld kB", &kib) == 1) r.files = int64_t(kib) * 1024;
    }
    std::fclose(status);
    return r;
}

Measurement measure(Load load, const FileData& file, LzwTable* table, uint32_t frames,
                    uint32_t width, uint32_t height) {
    Measurement m{};
    const uint8_t* data = file.bytes.data();
    const size_t size = file.bytes.size();
    // A forked child maps again the code it runs, 64 KB at a fault, and
    // starting threads runs much of it (about 0.8 MiB): those pages are not
    // memory a load holds, and they only grow during it, so what they add
    // at the end is taken off the peak.
    const Resident before = resident();
    double start = now_ms(), wall_start = wall_now_ms();
    switch (load) {
    case LOAD_ZOETRA: {
        Animation animation{};
        int result = zoetra_load(data, size, table, &animation, helpers_mode);
        m.ok = result != RESULT_LOAD_FAILED;
        m.frames = animation.frame_count;
        m.width = animation.width;
        m.height = animation.height;
        const Resident after = resident();
        m.peak_growth = (after.peak - before.peak) - (after.files - before.files);
        m.stored = animation.stored_bytes + uint64_t(((animation.frame_count + FRAME_TABLE_STEP) /
                                                      FRAME_TABLE_STEP) * FRAME_TABLE_STEP) *
                                                sizeof(Frame);
        animation_release(&animation);
        break;
    }
    case LOAD_GIFLIB: {
        Pictures pictures;
        m.ok = giflib_load(data, size, &pictures, false);
        m.frames = pictures.count;
        m.width = pictures.width;
        m.height = pictures.height;
        pictures_release(&pictures);
        break;
    }
    case LOAD_STB:
        m.ok = stb_load(data, size, &m.frames, &m.width, &m.height);
        break;
    case LOAD_FLOOR: {
        Pictures pictures;
        floor_load(width, height, frames, &pictures);
        m.ok = 1;
        pictures_release(&pictures);
        break;
    }
    default: break;
    }
    m.ms = now_ms() - start;
    m.wall_ms = wall_now_ms() - wall_start;
    return m;
}

// Runs one measurement in a child process. A child that crashes or dies
// reports nothing: the measurement is not ok.
Measurement measure_isolated(Load load, const FileData& file, LzwTable* table, uint32_t frames,
                             uint32_t width, uint32_t height) {
    Measurement m{};
    int channel[2];
    if (pipe(channel) != 0) return m;
    std::fflush(stdout);
    pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return m;
    }
    if (child == 0) {
        close(channel[0]);
        Measurement result = measure(load, file, table, frames, width, height);
        ssize_t written = write(channel[1], &result, sizeof result);
        _exit(written == ssize_t(sizeof result) ? 0 : 1);
    }
    close(channel[1]);
    Measurement received{};
    ssize_t got = read(channel[0], &received, sizeof received);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got == ssize_t(sizeof received) && WIFEXITED(status) && WEXITSTATUS(status) == 0) m = received;
    return m;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool read_file(const char* path, std::vector<uint8_t>* bytes) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    unsigned char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

// The display: the time to bring a key frame of the file on show in a
// display picture (32-bit, written before, as the player's are), from
// nothing on show; the median of 9 times repeat. The key frame is the last
// one of the file, so a file of 32-bit and 8-bit frames shows its usual.
void print_display_time(const FileData& file, LzwTable* table, int repeat) {
    Animation animation{};
    if (zoetra_load(file.bytes.data(), file.bytes.size(), table, &animation, helpers_mode) ==
            RESULT_LOAD_FAILED ||
        animation.frame_count == 0) {
        animation_release(&animation);
        return;
    }
    uint32_t key = 0;
    for (uint32_t i = 0; i < animation.frame_count; i++) {
        if (animation.frames[i].key == i) key = i;
    }
    std::vector<uint32_t> picture(size_t(animation.width) * animation.height, 1);
    std::vector<double> times;
    for (int k = 0; k < 9 * repeat; k++) {
        const double start = wall_now_ms();
        frame_bring(&animation, picture.data(), NO_FRAME, key);
        times.push_back(wall_now_ms() - start);
    }
    std::printf("display %s: key frame %u of %u x %u (%s pixels) brought on show in %.3f ms\n",
                file.path.c_str(), key, animation.width, animation.height,
                animation.frames[key].palette ? "8-bit" : "32-bit", median(times));
    animation_release(&animation);
}

}  // namespace

// Zoetra's load and release, kept out of line so a profiler can count it alone.
extern "C" __attribute__((noinline)) int profiled_load(const uint8_t* data, size_t size,
                                                       LzwTable* table, uint32_t* frames,
                                                       uint32_t* width, uint32_t* height) {
    Animation animation{};
    int result = zoetra_load(data, size, table, &animation, helpers_mode);
    *frames = animation.frame_count;
    *width = animation.width;
    *height = animation.height;
    animation_release(&animation);
    return result;
}

int main(int argc, char** argv) {
    int repeat = 5;
    bool profile = false, check = false, zoetra_only = false;
    std::vector<FileData> files;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--zoetra-only") == 0) {
            zoetra_only = true;
        } else if (std::strcmp(argv[i], "--profile") == 0) {
            profile = true;
        } else if (std::strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (std::strcmp(argv[i], "--helpers") == 0 && i + 1 < argc) {
            const char* mode = argv[++i];
            if (std::strcmp(mode, "never") == 0) {
                helpers_mode = HELPERS_NEVER;
            } else if (std::strcmp(mode, "always") == 0) {
                helpers_mode = HELPERS_ALWAYS;
            } else if (std::strcmp(mode, "auto") == 0) {
                helpers_mode = HELPERS_AUTO;
            } else {
                std::fprintf(stderr, "zoetra-bench: --helpers takes auto, never or always\n");
                return 2;
            }
        } else {
            FileData file{argv[i], {}};
            if (!read_file(argv[i], &file.bytes)) {
                std::fprintf(stderr, "zoetra-bench: cannot read %s\n", argv[i]);
                return 2;
            }
            files.push_back(std::move(file));
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: zoetra-bench [--repeat N] [--helpers auto|never|always] "
                             "[--zoetra-only] FILE...\n"
                             "       zoetra-bench --profile FILE...\n"
                             "       zoetra-bench --check FILE...\n");
        return 2;
    }
    // Allocated once for the program's life, as the player does.
    LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));

    if (profile) {
        for (const FileData& file : files) {
            uint32_t frames = 0, width = 0, height = 0;
            int result = profiled_load(file.bytes.data(), file.bytes.size(), table, &frames,
                                       &width, &height);
            std::printf("%s result %d frames %u %u x %u output pixels %llu\n", file.path.c_str(),
                        result, frames, width, height,
                        static_cast<unsigned long long>(uint64_t(frames) * width * height));
        }
        std::free(table);
        return 0;
    }

    if (check) {
        int differ = 0;
        for (const FileData& file : files) {
            Animation animation{};
            int result = zoetra_load(file.bytes.data(), file.bytes.size(), table, &animation,
                                     helpers_mode);
            Pictures pictures;
            int ok = giflib_load(file.bytes.data(), file.bytes.size(), &pictures);
            const char* verdict = "same pictures";
            if (!ok || result == RESULT_LOAD_FAILED) {
                verdict = "not loaded by both";
            } else if (pictures.count != animation.frame_count || pictures.width != animation.width ||
                       pictures.height != animation.height) {
                verdict = "different frame count or size";
            } else {
                size_t bytes = size_t(pictures.width) * pictures.height * 4u;
                std::vector<uint32_t> picture(bytes / 4);
                for (uint32_t i = 0; i < pictures.count; i++) {
                    frame_bring(&animation, picture.data(), i == 0 ? NO_FRAME : i - 1, i);
                    if (std::memcmp(pictures.frames[i], picture.data(), bytes)) {
                        verdict = "different pictures";
                        break;
                    }
                }
            }
            if (std::strcmp(verdict, "same pictures") != 0) differ++;
            std::printf("%s %s\n", file.path.c_str(), verdict);
            pictures_release(&pictures);
            animation_release(&animation);
        }
        std::free(table);
        return differ ? 1 : 0;
    }

    double log_giflib = 0, log_stb = 0, log_floor = 0;
    int n_giflib = 0, n_stb = 0, n_floor = 0;
    // Wall-clock: Zoetra's load over the floor's, and each on its own.
    double log_wall_share = 0, log_wall_zoetra = 0, log_wall_floor = 0;
    int n_wall = 0;
    std::vector<std::string> memory_lines;
    uint64_t largest_canvas = 0;
    const FileData* largest = nullptr;
    for (const FileData& file : files) {
        // The first Zoetra load gives the frame count and size for the floor.
        Measurement first = measure_isolated(LOAD_ZOETRA, file, table, 0, 0, 0);
        std::vector<double> times[LOAD_KINDS], walls[LOAD_KINDS];
        bool ok[LOAD_KINDS] = {true, !zoetra_only, !zoetra_only, true};
        int64_t peak = first.peak_growth;
        ok[LOAD_ZOETRA] = first.ok;
        for (int r = 0; r < repeat; r++) {
            for (int load = 0; load < LOAD_KINDS; load++) {
                if (!ok[load] || (load == LOAD_FLOOR && !first.ok)) {
                    ok[load] = false;
                    continue;
                }
                Measurement m = measure_isolated(Load(load), file, table, first.frames,
                                                 first.width, first.height);
                if (!m.ok) {
                    ok[load] = false;
                    std::fprintf(stderr, "zoetra-bench: %s: %s refused or crashed; skipped\n",
                                 file.path.c_str(),
                                 load == LOAD_ZOETRA ? "zoetra" : load == LOAD_GIFLIB ? "giflib"
                                                                  : load == LOAD_STB ? "stb_image"
                                                                                     : "floor");
                    continue;
                }
                times[load].push_back(m.ms);
                walls[load].push_back(m.wall_ms);
                if (load == LOAD_ZOETRA) peak = std::max(peak, m.peak_growth);
            }
        }
        double ms[LOAD_KINDS], wall[LOAD_KINDS];
        char column[LOAD_KINDS][32], wall_column[LOAD_KINDS][32];
        for (int load = 0; load < LOAD_KINDS; load++) {
            ms[load] = ok[load] ? median(times[load]) : 0;
            wall[load] = ok[load] ? median(walls[load]) : 0;
            if (ok[load]) {
                std::snprintf(column[load], sizeof column[load], "%.3f", ms[load]);
                std::snprintf(wall_column[load], sizeof wall_column[load], "%.3f", wall[load]);
            } else {
                std::snprintf(column[load], sizeof column[load], "skipped");
                std::snprintf(wall_column[load], sizeof wall_column[load], "skipped");
            }
        }
        std::printf("%s %u %u %u %s %s %s %s %s %s\n", file.path.c_str(), first.frames,
                    first.width, first.height, column[0], column[1], column[2], column[3],
                    wall_column[LOAD_ZOETRA], wall_column[LOAD_FLOOR]);
        std::fflush(stdout);
        if (ok[LOAD_ZOETRA] && ok[LOAD_FLOOR] && wall[LOAD_ZOETRA] > 0 && wall[LOAD_FLOOR] > 0) {
            log_wall_share += std::log(wall[LOAD_ZOETRA] / wall[LOAD_FLOOR]);
            log_wall_zoetra += std::log(wall[LOAD_ZOETRA]);
            log_wall_floor += std::log(wall[LOAD_FLOOR]);
            n_wall++;
        }
        if (!ok[LOAD_ZOETRA] || ms[LOAD_ZOETRA] <= 0) continue;
        if (ok[LOAD_GIFLIB]) log_giflib += std::log(ms[LOAD_GIFLIB] / ms[LOAD_ZOETRA]), n_giflib++;
        if (ok[LOAD_STB]) log_stb += std::log(ms[LOAD_STB] / ms[LOAD_ZOETRA]), n_stb++;
        if (ok[LOAD_FLOOR]) log_floor += std::log(ms[LOAD_FLOOR] / ms[LOAD_ZOETRA]), n_floor++;

        // Memory: at the peak, what the load added to the resident set (the
        // file it reads is not counted); at the end, what the store and the
        // frame table hold, per canvas pixel per frame (4 for whole 32-bit
        // pictures); both also per byte of whole pictures (one per frame),
        // beside the bound of whole pictures with a page each, the two
        // display pictures, 64 bytes a frame and 8 MiB.
        const double pixels = double(first.frames) * first.width * first.height;
        const double pictures = pixels * 4.0;
        const double canvas = double(first.width) * first.height * 4.0;
        char line[512];
        std::snprintf(line, sizeof line,
                      "memory %s peak %.1f MiB (%.3f per picture byte) stored %.3f bytes per "
                      "pixel per frame (%.3f per picture byte) bound %.2f",
                      file.path.c_str(), double(peak) / (1024.0 * 1024.0), double(peak) / pictures,
                      double(first.stored) / pixels, double(first.stored) / pictures,
                      (pictures + double(first.frames) * (4096 + 64) + 2 * canvas +
                       8.0 * 1024 * 1024) / pictures);
        memory_lines.push_back(line);
        if (first.ok && uint64_t(first.width) * first.height > largest_canvas) {
            largest_canvas = uint64_t(first.width) * first.height;
            largest = &file;
        }
    }
    auto mean = [](double log_sum, int n) { return n ? std::exp(log_sum / n) : 0.0; };
    std::printf("geomean speedup vs giflib %.2f, vs stb %.2f, memcpy share %.2f\n",
                mean(log_giflib, n_giflib), mean(log_stb, n_stb), mean(log_floor, n_floor));
    std::printf("geomean wall-clock ms: zoetra %.3f, floor %.3f; zoetra / floor %.2f\n",
                mean(log_wall_zoetra, n_wall), mean(log_wall_floor, n_wall),
                mean(log_wall_share, n_wall));
    for (const std::string& line : memory_lines) std::printf("%s\n", line.c_str());
    if (largest) print_display_time(*largest, table, repeat);
    std::free(table);
    return 0;
}
