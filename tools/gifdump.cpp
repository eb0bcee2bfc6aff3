// gifdump: decodes a GIF file with Zoetra's decoder and writes what came out,
// for checking the decoder against other decoders and by eye.
//
//   gifdump [--background RRGGBB] [--memory-budget BYTES] [--summary-only] FILE.gif OUTDIR
//
// OUTDIR/summary.txt:
//   result R
//   canvas W H
//   frames N
//   images M                        (image descriptors in the file; more than
//                                    N when the memory bound cut the decode)
//   loop L
//   frame I delay D disposal X      (one line per frame, delay normalised)
// OUTDIR/frame_NNNN.ppm: each frame as binary P6 RGB, rebuilt from the frame
// store in order, in one picture, as the player shows it.
//
// --memory-budget sets the decode's memory bound (default: as the program,
// from the machine's memory).
//
// Exits 0 whenever the decoder ran (a file that fails to load too), 2 for a
// usage error, 3 when OUTDIR cannot be written.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decode/gif_decode.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: gifdump [--background RRGGBB] [--memory-budget BYTES] "
                         "[--summary-only] FILE.gif OUTDIR\n");
    return 2;
}

bool parse_colour(const char* text, uint32_t* colour) {
    if (std::strlen(text) != 6) return false;
    char* end;
    unsigned long value = std::strtoul(text, &end, 16);
    if (*end != 0) return false;
    *colour = uint32_t(value);
    return true;
}

bool parse_bytes(const char* text, uint64_t* bytes) {
    char* end;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == 0 || *end != 0 || value == 0) return false;
    *bytes = value;
    return true;
}

bool write_ppm(const std::string& path, const uint32_t* picture, uint32_t width, uint32_t height) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fprintf(file, "P6\n%u %u\n255\n", width, height);
    std::vector<uint8_t> row(size_t(width) * 3);
    bool ok = true;
    for (uint32_t y = 0; y < height && ok; y++) {
        const uint32_t* pixels = picture + size_t(y) * width;
        for (uint32_t x = 0; x < width; x++) {
            row[x * 3] = uint8_t(pixels[x] >> 16);
            row[x * 3 + 1] = uint8_t(pixels[x] >> 8);
            row[x * 3 + 2] = uint8_t(pixels[x]);
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    uint32_t background = 0xABABAB;
    uint64_t budget = 0;
    bool summary_only = false;
    std::vector<const char*> names;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--background") == 0) {
            if (++i == argc || !parse_colour(argv[i], &background)) return usage();
        } else if (std::strcmp(argv[i], "--memory-budget") == 0) {
            if (++i == argc || !parse_bytes(argv[i], &budget)) return usage();
        } else if (std::strcmp(argv[i], "--summary-only") == 0) {
            summary_only = true;
        } else {
            names.push_back(argv[i]);
        }
    }
    if (names.size() != 2) return usage();
    std::string out = names[1];
    if (mkdir(out.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "gifdump: cannot make %s: %s\n", out.c_str(), std::strerror(errno));
        return 3;
    }

    LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    Animation animation{};
    if (!table || !animation_create_table(&animation)) {
        std::fprintf(stderr, "gifdump: out of memory\n");
        return 4;
    }
    DecodeTarget target{background, nullptr, nullptr};
    target.memory_budget = budget;
    // The one picture the frames are rebuilt in, counted as the player
    // counts its own.
    target.display_pictures = summary_only ? 0 : 1;
    int result = gif_decode_file(names[0], table, &animation, &target);

    int status = 0;
    FILE* summary = std::fopen((out + "/summary.txt").c_str(), "w");
    if (!summary) {
        std::fprintf(stderr, "gifdump: cannot write %s/summary.txt\n", out.c_str());
        status = 3;
    } else {
        std::fprintf(summary, "result %d\ncanvas %u %u\nframes %u\nimages %u\nloop %u\n",
                     result, animation.width, animation.height, animation.frame_count,
                     animation.image_count, animation.loop_count);
        for (uint32_t i = 0; i < animation.frame_count; i++) {
            std::fprintf(summary, "frame %u delay %u disposal %u\n", i,
                         animation.frames[i].delay_ms, animation.frames[i].disposal);
        }
        if (std::fclose(summary) != 0) status = 3;
    }
    std::vector<uint32_t> picture;
    if (!summary_only && animation.frame_count > 0) {
        picture.resize(size_t(animation.width) * animation.height);
    }
    uint32_t holds = NO_FRAME;
    for (uint32_t i = 0; i < animation.frame_count && !summary_only && status == 0; i++) {
        frame_bring(&animation, picture.data(), holds, i);
        holds = i;
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%04u.ppm", i);
        if (!write_ppm(out + name, picture.data(), animation.width, animation.height)) {
            std::fprintf(stderr, "gifdump: cannot write %s%s\n", out.c_str(), name);
            status = 3;
        }
    }
    animation_release(&animation);
    std::free(table);
    return status;
}
