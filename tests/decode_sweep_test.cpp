// Damaged files: valid files cut at every byte offset and with single bytes
// flipped. Every decode must stay inside its buffers (this file runs in the
// AddressSanitizer and UndefinedBehaviorSanitizer build too), every counted
// frame must be stored after its key frame, and a cut file must give the
// result code its cut calls for: 5 inside the header, screen descriptor or
// global colour table; 1 inside an image (counted from its complete
// descriptor on); 3 inside a graphic control extension; and so on.
//
// Then the player's orders: every file of the corpus shown frame by frame
// forward, backward, across both wraps, by rewinds and steps, each picture
// on show compared with the reference decoder's and each step's writing
// held to its bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "decode/gif_decode.h"
#include "decode_fixture.h"
#include "gif_builder.h"
#include "player_fixture.h"
#include "reference/gif_reference.h"

namespace {

using gif_builder::Bytes;
constexpr uint32_t BACKGROUND = 0xABABAB;
// Flipped size bytes can ask for huge canvases; a small budget keeps every
// decode quick while still letting the real files through whole.
constexpr uint64_t BUDGET = 4ull << 20;

// ---------------------------------------------------------------- decoding --

struct SweepRun {
    int result;
    Animation animation;
};

LzwTable* shared_table() {
    static LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    return table;
}

SweepRun decode(const uint8_t* data, size_t size) {
    SweepRun run{RESULT_LOAD_FAILED, Animation{}};
    if (!animation_create_table(&run.animation)) std::abort();
    // With helpers, so that decodes cut short and bounds reached end while
    // helpers copy key frames.
    DecodeTarget target{.background = BACKGROUND, .memory_budget = BUDGET,
                        .helpers = HELPERS_ALWAYS};
    run.result = gif_decode_memory(data, size, shared_table(), &run.animation, &target);
    return run;
}

// Every counted frame is stored, after a key frame of its own run. Returns
// a description of the first fault, or "".
std::string picture_fault(const Animation& a) {
    for (uint32_t i = 0; i < a.frame_count; i++) {
        const Frame& f = a.frames[i];
        if (!f.stored || f.key > i || a.frames[f.key].key != f.key) {
            char text[160];
            std::snprintf(text, sizeof text, "frame %u of %u: stored %p, key frame %u", i,
                          a.frame_count, f.stored, f.key);
            return text;
        }
    }
    return "";
}

// ------------------------------------------------------ the file's blocks --

enum class Kind { Control, Netscape, Application, Comment, OtherExtension, Image, Trailer };

struct Segment {
    Kind kind;
    size_t start;      // the introducer byte
    size_t end;        // one past the block
    size_t data_end;   // images: one past the last data sub-block (the terminator)
    bool has_data;     // comments: at least one data sub-block
    uint32_t data_blocks;  // images: data sub-blocks
};

// A loop count in a NETSCAPE block, and one past its last byte: a cut file
// holds it from there on.
struct LoopField {
    size_t end;
    uint32_t loops;
};

struct Layout {
    size_t screen_end;  // one past the global colour table
    std::vector<Segment> segments;
    std::vector<LoopField> loop_fields;  // in file order
    bool exact_images;  // the end code lies in the last data sub-block of every image
};

// Steps over sub-blocks from p; returns one past the terminator (or 0 when the
// file is not well formed).
size_t skip_sub_blocks(const Bytes& f, size_t p, bool* any = nullptr) {
    if (any) *any = false;
    while (p < f.size() && f[p] != 0) {
        if (any) *any = true;
        p += 1 + size_t(f[p]);
    }
    return p < f.size() ? p + 1 : 0;
}

// Splits a well-formed file into its blocks, the way the decoder walks them.
bool layout_of(const Bytes& f, bool exact_images, Layout* out) {
    if (f.size() < 13) return false;
    size_t p = 13;
    if (f[10] & 0x80) p += 3 * (size_t(2) << (f[10] & 7));
    out->screen_end = p;
    out->exact_images = exact_images;
    while (p < f.size()) {
        Segment s{Kind::Trailer, p, p + 1, 0, false, 0};
        if (f[p] == 0x21) {
            if (p + 1 >= f.size()) return false;
            uint8_t label = f[p + 1];
            if (label == 0xF9) {
                s.kind = Kind::Control;
                s.end = p + 8;
            } else if (label == 0xFF) {
                bool netscape = p + 11 <= f.size() && std::memcmp(&f[p + 3], "NETSCAPE", 8) == 0;
                s.kind = netscape ? Kind::Netscape : Kind::Application;
                s.end = skip_sub_blocks(f, p + 14);
                // Its loop sub-blocks: id 1, or the first one when it has
                // exactly 3 bytes.
                for (size_t q = p + 14; netscape && q < f.size() && f[q] != 0; q += 1 + f[q]) {
                    if (f[q] >= 3 && q + 3 < f.size() &&
                        (f[q + 1] == 1 || (q == p + 14 && f[q] == 3))) {
                        out->loop_fields.push_back({q + 4, uint32_t(f[q + 2]) | uint32_t(f[q + 3]) << 8});
                    }
                }
            } else {
                s.kind = label == 0xFE ? Kind::Comment : Kind::OtherExtension;
                s.end = skip_sub_blocks(f, p + 2, &s.has_data);
            }
        } else if (f[p] == 0x2C) {
            s.kind = Kind::Image;
            size_t q = p + 10;
            if (q > f.size()) return false;
            if (f[p + 9] & 0x80) q += 3 * (size_t(2) << (f[p + 9] & 7));
            s.end = skip_sub_blocks(f, q + 1);
            s.data_end = s.end - 1;
            for (size_t b = q + 1; b < s.data_end; b += 1 + size_t(f[b])) s.data_blocks++;
        } else if (f[p] != 0x3B) {
            return false;
        }
        if (s.end == 0 || s.end > f.size()) return false;
        out->segments.push_back(s);
        if (s.kind == Kind::Trailer) break;
        p = s.end;
    }
    return true;
}

struct Expected {
    std::set<int> results;
    uint32_t frames;
};

// What a decode of the first `cut` bytes of the file must give.
Expected expected_for_cut(const Layout& layout, size_t cut) {
    if (cut <= layout.screen_end) return {{RESULT_LOAD_FAILED}, 0};
    int result = RESULT_LOAD_FAILED;
    uint32_t frames = 0;
    for (const Segment& s : layout.segments) {
        if (cut <= s.start) return {{result}, frames};
        if (cut >= s.end) {
            switch (s.kind) {
            case Kind::Comment: result = s.has_data ? RESULT_OK : RESULT_SHORT_DATA; break;
            case Kind::Image: frames++; result = RESULT_OK; break;
            case Kind::Trailer: return {{result}, frames};
            default: result = RESULT_OK; break;
            }
            continue;
        }
        // The cut lies inside this block; only its introducer is read when
        // cut is s.start + 1.
        size_t inside = cut - s.start;
        switch (s.kind) {
        case Kind::Control:
            return {{inside == 1 ? result : RESULT_BAD_DATA}, frames};
        case Kind::Netscape:
        case Kind::Application:
            // The 12-byte header cut short leaves the result as it was.
            return {{inside <= 13 ? result : RESULT_SHORT_DATA}, frames};
        case Kind::Comment:
        case Kind::OtherExtension:
            return {{inside == 1 ? result : RESULT_SHORT_DATA}, frames};
        case Kind::Image:
            if (inside < 10) return {{RESULT_SHORT_DATA}, frames};  // descriptor cut short
            // Counted from its complete descriptor on; the end code is in
            // the last sub-block, which a cut file may still hold whole.
            if (cut >= s.data_end) return {{RESULT_OK}, frames + 1};
            if (layout.exact_images) return {{RESULT_SHORT_DATA}, frames + 1};
            return {{RESULT_OK, RESULT_SHORT_DATA}, frames + 1};
        case Kind::Trailer:
            break;
        }
    }
    return {{result}, frames};
}

// The loop count a decode of the first `cut` bytes must give: the last one
// wholly inside them.
uint32_t expected_loops(const Layout& layout, size_t cut) {
    uint32_t loops = 0;
    for (const LoopField& field : layout.loop_fields) {
        if (field.end <= cut) loops = field.loops;
    }
    return loops;
}

std::string describe(const std::set<int>& results) {
    std::string s;
    for (int r : results) s += (s.empty() ? "" : " or ") + std::to_string(r);
    return s;
}

// Cut offsets: all of them for small files; for larger ones the header
// region, a spread over the file, and every offset near a block boundary.
std::vector<size_t> cut_points(const Layout& layout, size_t size) {
    std::set<size_t> points;
    if (size <= 3000) {
        for (size_t c = 0; c <= size; c++) points.insert(c);
    } else {
        for (size_t c = 0; c <= layout.screen_end + 2 && c <= size; c++) points.insert(c);
        for (size_t c = 0; c <= size; c += size / 150 + 1) points.insert(c);
        for (const Segment& s : layout.segments) {
            for (size_t b : {s.start, s.start + 10, s.data_end, s.end}) {
                for (size_t d = 0; d < 5; d++) {
                    if (b + d >= 2 && b + d - 2 <= size) points.insert(b + d - 2);
                }
            }
        }
        points.insert(size);
    }
    return {points.begin(), points.end()};
}

// ----------------------------------------------------------------- files --

struct TestFile {
    std::string name;
    Bytes bytes;
    bool exact_images;  // made here: every end code stands in the last sub-block
    // The frames' pictures where the reference decoder does not give them:
    // it keys transparency by index, the player by colour.
    std::vector<std::vector<uint32_t>> pictures = {};
};

std::vector<uint8_t> random_indices(size_t n, uint32_t colours, uint32_t seed,
                                    uint32_t longest_run = 6) {
    std::mt19937 random(seed);
    std::vector<uint8_t> v(n);
    // Runs of a colour, so the LZW strings get long as well as short.
    for (size_t i = 0; i < n;) {
        uint8_t k = uint8_t(random() % colours);
        size_t run = 1 + random() % longest_run;
        for (; run && i < n; run--) v[i++] = k;
    }
    return v;
}

Bytes application(const char identifier[11], const Bytes& data) {
    Bytes out{0x21, 0xFF, 11};
    out.insert(out.end(), identifier, identifier + 11);
    gif_builder::append(out, gif_builder::sub_blocks(data));
    return out;
}

Bytes extension(uint8_t label, const Bytes& data) {
    Bytes out{0x21, label};
    gif_builder::append(out, gif_builder::sub_blocks(data));
    return out;
}

std::vector<TestFile> built_files() {
    using namespace gif_builder;
    std::vector<TestFile> files;
    const std::vector<uint32_t> global{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    const std::vector<uint32_t> local{0x000000, 0x112233, 0x445566, 0x778899,
                                      0xAABBCC, 0xDDEEFF, 0x00FF00, 0xFF00FF};
    Bytes binary;  // an embedded profile's worth of bytes, block introducers among them
    for (int i = 0; i < 300; i++) binary.push_back(uint8_t(i % 3 == 0 ? 0 : i % 3 == 1 ? 0x21 : 0x2C));
    Bytes text{1, 0, 1, 0, 8, 0, 8, 0, 8, 8, 1, 0, 'h', 'i'};

    // Every kind of block: loop count, comment, an interlaced image, foreign
    // application data, a sub-rectangle with a local table and transparency
    // (disposal 2), a restore-to-previous image that reaches past the canvas
    // edges over several sub-blocks, a plain text extension.
    files.push_back({"blocks",
                     join({header(24, 18, global), netscape(5), extension(0xFE, {'z', 'o'}),
                           control(1, 5),
                           image(0, 0, 24, 18, random_indices(24 * 18, 4, 1), {}, true),
                           application("XMP DataXMP", binary), control(2, 3, 1),
                           image(4, 3, 10, 8, random_indices(80, 8, 2), local, false, 3),
                           control(3, 3, 0),
                           image(6, 5, 48, 30, random_indices(1440, 4, 3, 1)),
                           extension(0x01, text), control(0, 7),
                           image(20, 14, 4, 4, random_indices(16, 4, 4)), trailer()}),
                     true});
    // No colour table at all (grey ramp), 8-bit codes, a transparent index.
    files.push_back({"grey ramp",
                     join({header(32, 16), image(0, 0, 32, 16, random_indices(512, 256, 5), {},
                                                 false, 8),
                           control(0, 2, 128),
                           image(8, 4, 16, 8, random_indices(128, 256, 6), {}, true, 8),
                           trailer()}),
                     true});
    // Image data need not begin with a clear code. The second image starts
    // with a literal and then uses roots it has not used yet, which must come
    // from its own palette, not from where the first image left them.
    {
        BitPacker codes;  // K = 4, E = 5: literal 1, then 2, 3 (entries 6, 7: width 4), 0, E
        codes.put(1, 3);
        codes.put(2, 3);
        codes.put(3, 3);
        codes.put(0, 4);
        codes.put(5, 4);
        Bytes second = descriptor(1, 1, 2, 2, 0x81);
        put_colours(second, {0x102030, 0x405060, 0x708090, 0xA0B0C0});
        second.push_back(2);
        append(second, sub_blocks(codes.finish()));
        files.push_back({"no leading clear code",
                         join({header(4, 4, global),
                               image(0, 0, 4, 4, {2, 3, 0, 1, 1, 0, 3, 2, 2, 2, 3, 3, 0, 1, 2, 3}),
                               second, trailer()}),
                         true});
    }
    // NETSCAPE blocks with the buffering sub-block (id 2, a 4-byte size, here
    // with block introducers and zeros in it): after the loop sub-block, and
    // alone.
    const Bytes buffering{2, 0x00, 0x2C, 0x21, 0x00};
    for (bool with_loop : {true, false}) {
        Bytes block = with_loop ? netscape_block({Bytes{1, 4, 0}, buffering}) : netscape_block({buffering});
        files.push_back({with_loop ? "netscape loop and buffering" : "netscape buffering only",
                         join({header(6, 4, global), block, control(1, 4),
                               image(0, 0, 6, 4, random_indices(24, 4, 7)), control(0, 4),
                               image(1, 1, 3, 2, random_indices(6, 4, 8)), trailer()}),
                         true});
    }
    // A black transparent colour: the pixels the data never reaches (it ends
    // after three of eight) are black and see-through, and so are indices
    // past a short local table; with a green key, unreached pixels are
    // opaque black. Frame 0 is red all over.
    {
        const uint32_t R = 0xFF0000, Gr = 0x00FF00, Bl = 0x0000FF, W = 0xFFFFFF, K = 0;
        const std::vector<uint32_t> table{0x000000, 0x00FF00, 0x0000FF, 0xFFFFFF};
        BitPacker three;  // K = 4, E = 5: clear, 1, 0, 2, end
        for (uint32_t code : {4u, 1u, 0u, 2u, 5u}) three.put(code, 3);
        auto short_image = [&](int key) {
            Bytes out = join({control(1, 2, key), descriptor(0, 0, 4, 2)});
            out.push_back(2);
            append(out, sub_blocks(three.finish()));
            return out;
        };
        files.push_back(
            {"black key: unreached pixels and indices past the table",
             join({header(4, 2, table), image(0, 0, 4, 2, std::vector<uint8_t>(8, 0), {R, Gr}),
                   short_image(0), short_image(1),
                   control(1, 2, 0), image(0, 0, 4, 2, {0, 1, 3, 2, 3, 0, 1, 1}, {K, W}), trailer()}),
             true,
             {{R, R, R, R, R, R, R, R},
              {Gr, R, Bl, R, R, R, R, R},
              {Gr, K, Bl, K, K, K, K, K},
              {Gr, W, Bl, K, K, K, W, W}}});
    }
    // The 50-byte file.
    files.push_back({"fifty bytes",
                     {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x03, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00,
                      0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
                      0x21, 0xF9, 0x04, 0x05, 0x0A, 0x00, 0x01, 0x00, 0x2C, 0x00, 0x00, 0x00,
                      0x00, 0x03, 0x00, 0x02, 0x00, 0x00, 0x02, 0x03, 0x8C, 0x2D, 0x05, 0x00,
                      0x3B},
                     true});
    return files;
}

bool read_file(const std::string& path, Bytes* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->insert(out->end(), buffer, buffer + n);
    std::fclose(f);
    return !out->empty();
}

// The encoder corpus of this build folder (tests/make_corpus.sh, made here
// when the comparison test has not made it yet), whole or by name.
std::vector<std::string> corpus_paths(std::vector<std::string> names = {}) {
    const std::string corpus = std::string(ZOETRA_BINARY_DIR) + "/corpus";
    const std::string make = "bash " ZOETRA_SOURCE_DIR "/tests/make_corpus.sh " + corpus +
                             " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) ADD_FAILURE() << "cannot make the corpus: " << make;
    if (names.empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            if (entry.path().extension() == ".gif") names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
    }
    for (std::string& name : names) name = corpus + "/" + name;
    return names;
}

// The built files, the bundled sample and a few files of the encoder corpus.
std::vector<TestFile> all_files() {
    std::vector<TestFile> files = built_files();
    std::vector<std::string> paths{std::string(ZOETRA_SOURCE_DIR) + "/src/res/sample.gif"};
    for (const std::string& path :
         corpus_paths({"im_dispose_previous.gif", "gs_O2_disposal_previous.gif",
                       "im_transparent_shared_colour.gif", "im_interlaced_tiny.gif"})) {
        paths.push_back(path);
    }
    for (const std::string& path : paths) {
        TestFile f{path, {}, false};
        if (read_file(path, &f.bytes)) files.push_back(std::move(f));
    }
    return files;
}

// The pictures a file's frames must show: the reference decoder's, or those
// the file comes with.
bool reference_of(const TestFile& file, ReferenceAnimation* reference) {
    std::string error;
    if (!reference_decode(file.bytes.data(), file.bytes.size(), BACKGROUND, reference, &error)) {
        if (file.pictures.empty()) ADD_FAILURE() << error;
        if (file.pictures.empty()) return false;
        *reference = ReferenceAnimation{};
    }
    if (file.pictures.empty()) return true;
    reference->frames.resize(file.pictures.size());
    for (size_t i = 0; i < file.pictures.size(); i++) reference->frames[i].pixels = file.pictures[i];
    return true;
}

// ----------------------------------------------------------------- tests --

// The files themselves decode whole and match the giflib reference, so the
// sweeps below start from pictures known to be right.
TEST(DecodeSweep, WholeFilesMatchTheReference) {
    for (const TestFile& file : all_files()) {
        SCOPED_TRACE(file.name);
        SweepRun run = decode(file.bytes.data(), file.bytes.size());
        ReferenceAnimation reference;
        ASSERT_TRUE(reference_of(file, &reference));
        EXPECT_EQ(run.result, RESULT_OK);
        ASSERT_EQ(picture_fault(run.animation), "");
        ASSERT_EQ(run.animation.frame_count, reference.frames.size());
        const bool timed = file.pictures.empty();  // the reference read the file
        if (timed) {
            EXPECT_EQ(run.animation.loop_count, reference.loop_count);
        }
        const auto pictures = frame_pictures(run.animation);
        for (uint32_t i = 0; i < run.animation.frame_count; i++) {
            const Frame& f = run.animation.frames[i];
            if (timed) {
                EXPECT_EQ(f.delay_ms, reference.frames[i].delay_ms) << "frame " << i;
                EXPECT_EQ(f.disposal, reference.frames[i].disposal) << "frame " << i;
            }
            const std::vector<uint32_t>& want = reference.frames[i].pixels;
            for (size_t k = 0; k < want.size(); k++) {
                if (pictures[i][k] != want[k]) {
                    ADD_FAILURE() << "frame " << i << " pixel x=" << k % run.animation.width
                                  << " y=" << k / run.animation.width << ": got " << std::hex
                                  << pictures[i][k] << ", giflib gives " << want[k];
                    break;
                }
            }
        }
        animation_release(&run.animation);
    }
}

TEST(DecodeSweep, CutAtEveryOffset) {
    for (const TestFile& file : all_files()) {
        SCOPED_TRACE(file.name);
        Layout layout{};
        ASSERT_TRUE(layout_of(file.bytes, file.exact_images, &layout));
        uint32_t most_blocks = 0;
        for (const Segment& s : layout.segments) most_blocks = std::max(most_blocks, s.data_blocks);
        if (file.name == "blocks") {
            EXPECT_GE(most_blocks, 2u) << "no image spreads its data over several sub-blocks";
        }
        SweepRun whole = decode(file.bytes.data(), file.bytes.size());
        ASSERT_EQ(picture_fault(whole.animation), "");
        const auto whole_pictures = frame_pictures(whole.animation);
        int failures = 0;
        for (size_t cut : cut_points(layout, file.bytes.size())) {
            // A copy of exactly `cut` bytes, so reading one byte more is caught.
            std::vector<uint8_t> part(file.bytes.begin(), file.bytes.begin() + cut);
            SweepRun run = decode(cut ? part.data() : nullptr, cut);
            Expected want = expected_for_cut(layout, cut);
            std::string fault = picture_fault(run.animation);
            const uint32_t loops = expected_loops(layout, cut);
            bool ok = want.results.count(run.result) && run.animation.frame_count == want.frames &&
                      run.animation.loop_count == loops && fault.empty();
            // Frames before the cut one are finished exactly as in the whole file.
            const auto pictures = fault.empty() ? frame_pictures(run.animation)
                                                : std::vector<std::vector<uint32_t>>{};
            for (uint32_t i = 0; ok && i + 1 < run.animation.frame_count; i++) {
                if (pictures[i] != whole_pictures[i]) {
                    ok = false;
                    fault = "frame " + std::to_string(i) + " differs from the whole file's";
                }
            }
            if (!ok && failures++ < 10) {
                ADD_FAILURE() << "cut at " << cut << " of " << file.bytes.size() << ": result "
                              << run.result << " (expected " << describe(want.results)
                              << "), frames " << run.animation.frame_count << " (expected "
                              << want.frames << "), loop count " << run.animation.loop_count
                              << " (expected " << loops << ") " << fault;
            }
            animation_release(&run.animation);
        }
        animation_release(&whole.animation);
    }
}

TEST(DecodeSweep, FlippedBytes) {
    const uint8_t masks[] = {0xFF, 0x01, 0x80, 0x10};
    for (const TestFile& file : all_files()) {
        SCOPED_TRACE(file.name);
        const size_t size = file.bytes.size();
        // Every offset of the small files with four masks, a spread over the
        // larger ones with two.
        const bool small = size <= 3000;
        const size_t step = small ? 1 : size / 250 + 1;
        int failures = 0;
        for (size_t offset = 0; offset < size; offset += step) {
            for (uint8_t mask : masks) {
                if (!small && (mask == 0x80 || mask == 0x10)) continue;
                std::vector<uint8_t> bad = file.bytes;
                bad[offset] ^= mask;
                SweepRun run = decode(bad.data(), bad.size());
                std::string fault = picture_fault(run.animation);
                // Each frame needs an image separator of its own.
                uint32_t separators = 0;
                for (uint8_t b : bad) separators += b == 0x2C;
                bool ok = fault.empty() && run.result >= RESULT_OK &&
                          run.result <= RESULT_LOAD_FAILED &&
                          run.result != RESULT_BITMAP_FAILED &&
                          run.animation.frame_count <= separators;
                if (run.result != RESULT_LOAD_FAILED && run.animation.frame_count > 0) {
                    uint32_t w = uint32_t(bad[6]) | uint32_t(bad[7]) << 8;
                    uint32_t h = uint32_t(bad[8]) | uint32_t(bad[9]) << 8;
                    if (run.animation.width != w || run.animation.height != h) {
                        ok = false;
                        fault += " canvas is not the screen descriptor's";
                    }
                }
                if (!ok && failures++ < 10) {
                    ADD_FAILURE() << "byte " << offset << " ^ 0x" << std::hex << int(mask)
                                  << std::dec << ": result " << run.result << ", frames "
                                  << run.animation.frame_count << " " << fault;
                }
                animation_release(&run.animation);
            }
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- player --

namespace {

// The frames a player brings on show, in the orders it uses, for a file of
// n frames: forward across the wrap to the first, backward across the wrap
// to the last, a rewind from the middle, steps forward and back after a
// pause, then jumps anywhere.
std::vector<uint32_t> player_orders(uint32_t n, uint32_t seed) {
    std::vector<uint32_t> order;
    for (uint32_t i = 0; i < n; i++) order.push_back(i);
    order.push_back(0);
    for (uint32_t i = n; i-- > 0;) order.push_back(i);
    order.push_back(n - 1);
    for (uint32_t i : {n / 2, 0u, n / 3, n / 3 + 1, n / 3, n / 3 + 1}) order.push_back(i % n);
    for (uint32_t i = n / 3 + 1; i-- > 0 && i + 4 > n / 3;) order.push_back(i);
    std::mt19937 random(seed);
    for (int k = 0; k < 50; k++) order.push_back(random() % n);
    return order;
}

// Shows the decoded file in the orders above through a player's display and
// compares every picture on show with the reference decoder's. Each step
// writes at most two canvases of pixels, and the store holds no more than
// whole pictures (with a page each) and 64 bytes a frame would.
void play_through(const TestFile& file, uint64_t budget = BUDGET) {
    SCOPED_TRACE(file.name);
    const Bytes& bytes = file.bytes;
    Decoded d;
    animation_create_table(&d.animation);
    DecodeTarget target{.background = BACKGROUND, .memory_budget = budget, .display_pictures = 2};
    d.result = gif_decode_memory(bytes.data(), bytes.size(), d.table, &d.animation, &target);
    ReferenceAnimation reference;
    ASSERT_TRUE(reference_of(file, &reference));
    const Animation& a = d.animation;
    ASSERT_NE(d.result, RESULT_LOAD_FAILED);
    ASSERT_EQ(a.frame_count, reference.frames.size());
    const uint64_t canvas = uint64_t(a.width) * a.height;
    EXPECT_LE(a.stored_bytes, a.frame_count * (canvas * 4 + 4096 + 64));

    TestPlayer test;
    setup_player(&test, &d.animation, 8, 8);
    Player* player = &test.player;
    ASSERT_NE(player->display.pictures[0].pixels, nullptr);
    int failures = 0;
    uint32_t last = NO_FRAME;
    for (uint32_t frame : player_orders(a.frame_count, a.frame_count)) {
        const uint64_t before = player->display.pixels_written;
        display_show(player, frame);
        const uint64_t written = player->display.pixels_written - before;
        const Bitmap& shown = player->display.pictures[player->display.front];
        const std::vector<uint32_t> picture(shown.pixels, shown.pixels + canvas);
        if ((picture != reference.frames[frame].pixels || written > 2 * canvas) && failures++ < 5) {
            ADD_FAILURE() << "frame " << frame << " after frame " << last << ": "
                          << (picture != reference.frames[frame].pixels ? "not giflib's picture, "
                                                                        : "")
                          << written << " pixels written for a canvas of " << canvas;
        }
        last = frame;
    }
    teardown_player(&test);
}

}  // namespace

TEST(DecodeSweep, EveryOrderOfThePlayerShowsTheReferencePictures) {
    for (const TestFile& file : built_files()) play_through(file);
    for (const std::string& path : corpus_paths()) {
        TestFile file{path, {}, false};
        ASSERT_TRUE(read_file(path, &file.bytes)) << path;
        play_through(file, DECODE_BUDGET_FLOOR);
    }
}

// Twelve thousand frames with no more bitmaps than Windows' quota of GDI
// objects allows in miniature: the store holds none, the display two.
TEST(DecodeSweep, TwelveThousandFramesWithinABitmapQuota) {
    using namespace gif_builder;
    Bytes file = header(8, 8, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    for (uint32_t i = 0; i < 12000; i++) {
        append(file, control(i % 3, 1));
        // A dot on most frames, the whole canvas on every hundredth.
        if (i % 100 == 0) {
            append(file, image(0, 0, 8, 8, std::vector<uint8_t>(64, uint8_t(i % 4))));
        } else {
            append(file, image(i % 7, i % 5, 1 + i % 2, 1, std::vector<uint8_t>(1 + i % 2, uint8_t(i % 4))));
        }
    }
    append(file, trailer());
    bitmap_set_quota(4);
    play_through(TestFile{"12,000 frames of 8 x 8", file, true});
    bitmap_set_quota(0);
}
