// gifref: the test suite's giflib-based reference decoder as a command-line
// tool, writing the same output as gifdump, plus the comparison of two such
// output folders.
//
//   gifref [--background RRGGBB] FILE.gif OUTDIR
//       decodes FILE with giflib and writes OUTDIR/summary.txt ("result -",
//       canvas, frames, images, loop and one line per frame) and
//       OUTDIR/frame_NNNN.ppm.
//   gifref --compare EXPECTED_DIR ACTUAL_DIR
//       compares the summaries (all lines but "result") and every frame's
//       pixels; prints the first difference and exits 1 when they differ.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "gif_reference.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: gifref [--background RRGGBB] FILE.gif OUTDIR\n"
                 "       gifref --compare EXPECTED_DIR ACTUAL_DIR\n");
    return 2;
}

int read_file(const char* path, std::vector<uint8_t>* bytes) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
    int ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

std::string frame_path(const std::string& dir, size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%04zu.ppm", index);
    return dir + name;
}

int write_ppm(const std::string& path, uint32_t width, uint32_t height, const uint32_t* pixels) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fprintf(f, "P6\n%u %u\n255\n", width, height);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (uint32_t y = 0; y < height; y++) {
        for (uint32_t x = 0; x < width; x++) {
            uint32_t p = pixels[size_t(y) * width + x];
            row[x * 3] = uint8_t(p >> 16);
            row[x * 3 + 1] = uint8_t(p >> 8);
            row[x * 3 + 2] = uint8_t(p);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

int dump(const char* file, const char* outdir, uint32_t background) {
    std::vector<uint8_t> bytes;
    if (!read_file(file, &bytes)) {
        std::fprintf(stderr, "gifref: cannot read %s\n", file);
        return 1;
    }
    ReferenceAnimation animation;
    std::string error;
    if (!reference_decode(bytes.data(), bytes.size(), background, &animation, &error)) {
        std::fprintf(stderr, "gifref: giflib refused %s: %s\n", file, error.c_str());
        return 1;
    }
    mkdir(outdir, 0777);
    std::string dir = outdir;
    FILE* summary = std::fopen((dir + "/summary.txt").c_str(), "w");
    if (!summary) {
        std::fprintf(stderr, "gifref: cannot write to %s\n", outdir);
        return 1;
    }
    // Every image the file holds is a frame here.
    std::fprintf(summary, "result -\ncanvas %u %u\nframes %zu\nimages %zu\nloop %u\n",
                 animation.width, animation.height, animation.frames.size(),
                 animation.frames.size(), animation.loop_count);
    for (size_t i = 0; i < animation.frames.size(); i++)
        std::fprintf(summary, "frame %zu delay %u disposal %u\n", i, animation.frames[i].delay_ms,
                     animation.frames[i].disposal);
    std::fclose(summary);
    for (size_t i = 0; i < animation.frames.size(); i++) {
        if (!write_ppm(frame_path(dir, i), animation.width, animation.height,
                       animation.frames[i].pixels.data())) {
            std::fprintf(stderr, "gifref: cannot write %s\n", frame_path(dir, i).c_str());
            return 1;
        }
    }
    return 0;
}

// The summary without its "result" line.
int read_summary(const std::string& dir, std::vector<std::string>* lines) {
    FILE* f = std::fopen((dir + "/summary.txt").c_str(), "r");
    if (!f) return 0;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        std::string s = line;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
        if (s.rfind("result", 0) == 0 || s.empty()) continue;
        lines->push_back(s);
    }
    std::fclose(f);
    return 1;
}

// Reads a binary P6 picture with maxval 255 (comments allowed in the header).
int read_ppm(const std::string& path, uint32_t* width, uint32_t* height, std::vector<uint8_t>* rgb) {
    std::vector<uint8_t> bytes;
    if (!read_file(path.c_str(), &bytes)) return 0;
    size_t p = 0;
    auto skip_space = [&] {
        for (;;) {
            while (p < bytes.size() && std::strchr(" \t\r\n", bytes[p])) p++;
            if (p < bytes.size() && bytes[p] == '#') {
                while (p < bytes.size() && bytes[p] != '\n') p++;
            } else {
                return;
            }
        }
    };
    auto number = [&](uint32_t* value) {
        skip_space();
        if (p >= bytes.size() || bytes[p] < '0' || bytes[p] > '9') return 0;
        uint64_t v = 0;
        while (p < bytes.size() && bytes[p] >= '0' && bytes[p] <= '9' && v < 100000000)
            v = v * 10 + (bytes[p++] - '0');
        *value = uint32_t(v);
        return 1;
    };
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return 0;
    p = 2;
    uint32_t maxval = 0;
    if (!number(width) || !number(height) || !number(&maxval) || maxval != 255) return 0;
    if (p >= bytes.size()) return 0;
    p++;  // the single whitespace byte before the pixels
    size_t need = size_t(*width) * *height * 3;
    if (bytes.size() - p != need) return 0;
    rgb->assign(bytes.begin() + p, bytes.end());
    return 1;
}

int compare(const char* expected_dir, const char* actual_dir) {
    std::vector<std::string> expected, actual;
    if (!read_summary(expected_dir, &expected)) {
        std::printf("no summary.txt in %s\n", expected_dir);
        return 1;
    }
    if (!read_summary(actual_dir, &actual)) {
        std::printf("no summary.txt in %s\n", actual_dir);
        return 1;
    }
    int failed = 0;
    for (size_t i = 0; i < expected.size() || i < actual.size(); i++) {
        const char* e = i < expected.size() ? expected[i].c_str() : "(missing)";
        const char* a = i < actual.size() ? actual[i].c_str() : "(missing)";
        if (std::strcmp(e, a) != 0) {
            std::printf("summary line %zu differs: expected \"%s\", got \"%s\"\n", i + 1, e, a);
            failed = 1;
            break;
        }
    }
    size_t frames = 0;
    for (const std::string& s : expected)
        if (s.rfind("frames ", 0) == 0) frames = std::strtoul(s.c_str() + 7, nullptr, 10);
    size_t differing_frames = 0;
    for (size_t i = 0; i < frames; i++) {
        uint32_t ew = 0, eh = 0, aw = 0, ah = 0;
        std::vector<uint8_t> e, a;
        if (!read_ppm(frame_path(expected_dir, i), &ew, &eh, &e)) {
            std::printf("frame %zu: cannot read %s\n", i, frame_path(expected_dir, i).c_str());
            return 1;
        }
        if (!read_ppm(frame_path(actual_dir, i), &aw, &ah, &a)) {
            std::printf("frame %zu: missing or unreadable %s\n", i, frame_path(actual_dir, i).c_str());
            failed = 1;
            differing_frames++;
            continue;
        }
        if (ew != aw || eh != ah) {
            std::printf("frame %zu: size %ux%u, expected %ux%u\n", i, aw, ah, ew, eh);
            failed = 1;
            differing_frames++;
            continue;
        }
        size_t count = 0, first = 0;
        for (size_t k = 0; k < size_t(ew) * eh; k++) {
            if (std::memcmp(&e[k * 3], &a[k * 3], 3) != 0) {
                if (count++ == 0) first = k;
            }
        }
        if (count) {
            failed = 1;
            if (differing_frames++ < 5) {
                const uint8_t* ep = &e[first * 3];
                const uint8_t* ap = &a[first * 3];
                std::printf("frame %zu: %zu pixels differ; first at x=%zu y=%zu: expected %02X%02X%02X, got %02X%02X%02X\n",
                            i, count, first % ew, first / ew, ep[0], ep[1], ep[2], ap[0], ap[1], ap[2]);
            }
        }
    }
    if (differing_frames > 5) std::printf("... %zu frames differ in all\n", differing_frames);
    return failed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--compare") == 0) return compare(argv[2], argv[3]);
    uint32_t background = 0xABABAB;
    int a = 1;
    if (a < argc && std::strcmp(argv[a], "--background") == 0) {
        if (a + 1 >= argc) return usage();
        char* end = nullptr;
        unsigned long v = std::strtoul(argv[a + 1], &end, 16);
        if (!*argv[a + 1] || *end || v > 0xFFFFFF) return usage();
        background = uint32_t(v);
        a += 2;
    }
    if (argc - a != 2) return usage();
    return dump(argv[a], argv[a + 1], background);
}
