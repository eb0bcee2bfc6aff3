// The GIF stream parser: walks the file's blocks, hands every image to the
// frame image builder and the compositor, which stores it, and ends with the
// frame count and the delays normalised.
//
// The file (multi-byte numbers little-endian):
//   "GIF89a" or "GIF87a"
//   screen descriptor: width (2), height (2), packed (1: 0x80 a global
//     colour table follows, bits 0-2 n: it holds 2^(n+1) entries),
//     background index (1, not used), aspect ratio (1, not used)
//   global colour table: 3 bytes (red, green, blue) per entry
//   blocks: 0x21 label ... an extension, 0x2C an image, anything else ends
//   the walk (the trailer 0x3B among them)
//
// Extensions:
//   0xF9 graphic control: size (1), packed (1: bit 0 transparency, bits 2-4
//        disposal), delay in 1/100 s (2), transparent index (1), terminator
//   0xFE comment, 0xFF application, others: data sub-blocks up to a zero
//        size byte; application: first a 12-byte block of size (1),
//        identifier (8) and authentication code (3); "NETSCAPE" sub-blocks
//        then start with an id: 1 loop count (2), 2 buffer size (4)
#include "decode/gif_decode.h"

#include <cstdlib>
#include <cstring>

#include "decode/byte_stream.h"
#include "decode/composite_helpers.h"
#include "decode/compositor.h"
#include "decode/frame_image.h"
#include "decode/frame_store.h"
#include "platform/surface.h"

namespace {

constexpr uint8_t BLOCK_EXTENSION = 0x21;
constexpr uint8_t BLOCK_IMAGE = 0x2C;
constexpr uint8_t LABEL_GRAPHIC_CONTROL = 0xF9;
constexpr uint8_t LABEL_COMMENT = 0xFE;
constexpr uint8_t LABEL_APPLICATION = 0xFF;

// Everything one decode works with besides the Animation.
struct Parser {
    ByteStream stream;
    LzwTable* table;
    Animation* animation;
    const DecodeTarget* target;
    CompositingContext compositing;
    CompositeHelpers helpers;  // threads that copy key frames; none started on one CPU
    uint32_t ahead_posted;     // 1 while the helpers write the pages of the block made ahead
    ImageScratch scratch;      // each image's indices until its frame is composited
    Palette global;
    uint32_t global_count;   // entries of the global colour table, 0 without one
    uint32_t frame_count;    // frames built so far: the entry the next blocks fill
    uint32_t capacity;       // entries of the frame table
    uint64_t budget;         // bytes the decode may hold
    uint64_t display_bytes;  // the caller's display pictures, counted in the budget
    uint64_t work_done;      // image pixels decoded and canvas pixels composited so far
    bool bound_reached;      // the budget ended the walk at an image
    int result;
};

void read_graphic_control(Parser* parser) {
    uint8_t block[6];
    if (!stream_read(&parser->stream, block, 6)) {
        parser->result = RESULT_BAD_DATA;
        return;
    }
    // It belongs to the image that comes next; a second one before that
    // image overrides delay and disposal but keeps an earlier transparency.
    Frame* frame = &parser->animation->frames[parser->frame_count];
    uint8_t packed = block[1];
    if (packed & 1) frame->transparent_key = block[4] | FRAME_HAS_TRANSPARENCY;
    frame->disposal = (packed >> 2) & 7;
    frame->delay_ms = read_u16(block + 2) * 10;
    parser->result = RESULT_OK;
}

void read_comment(Parser* parser) {
    // A comment without data leaves 1, like one that runs past the end.
    ByteStream* stream = &parser->stream;
    bool ok = false;
    uint8_t size;
    while (stream_read_byte(stream, &size) && size != 0) {
        stream->position += size;
        ok = stream->position < stream->size;
    }
    parser->result = ok ? RESULT_OK : RESULT_SHORT_DATA;
}

// The NETSCAPE block's sub-blocks, up to its terminator. The loop sub-block
// (id 1) sets the loop count; so does a first sub-block of exactly 3 bytes
// whatever its id, where the loop count has always been read from, so files
// with another id there keep their loop counts. A buffering sub-block (id 2)
// and any other are stepped over, and the images after them are not lost. A
// later loop sub-block overrides an earlier one, as a later NETSCAPE block
// does.
void read_netscape(Parser* parser) {
    ByteStream* stream = &parser->stream;
    bool first = true;
    uint8_t size;
    while (stream_read_byte(stream, &size)) {
        if (size == 0) {
            parser->result = RESULT_OK;
            return;
        }
        const size_t start = stream->position;
        uint8_t field[3];  // id and loop count, when they lie in the sub-block and the file
        if (size >= 3 && stream_read(stream, field, 3) && (field[0] == 1 || (first && size == 3))) {
            parser->animation->loop_count = read_u16(field + 1);
        }
        first = false;
        stream->position = start + size;
    }
    parser->result = RESULT_SHORT_DATA;
}

void read_application(Parser* parser) {
    uint8_t header[12];
    if (!stream_read(&parser->stream, header, 12)) return;  // the walk ends at the next read
    if (std::memcmp(header + 1, "NETSCAPE", 8) == 0) {
        read_netscape(parser);
        return;
    }
    // Other applications (colour profiles, XMP) hold binary data: step over
    // it by the sub-blocks' size bytes.
    parser->result = stream_skip_sub_blocks(&parser->stream) ? RESULT_OK : RESULT_SHORT_DATA;
}

// Returns false when the walk must end.
bool read_extension(Parser* parser) {
    uint8_t label;
    if (!stream_read_byte(&parser->stream, &label)) return false;
    switch (label) {
    case LABEL_GRAPHIC_CONTROL: read_graphic_control(parser); break;
    case LABEL_COMMENT: read_comment(parser); break;
    case LABEL_APPLICATION: read_application(parser); break;
    default:  // plain text and unknown extensions: data sub-blocks
        parser->result = stream_skip_sub_blocks(&parser->stream) ? RESULT_OK : RESULT_SHORT_DATA;
        break;
    }
    return true;
}

uint64_t larger(uint64_t a, uint64_t b) { return a > b ? a : b; }

// The frame table once the next image is counted: grown if it fills it.
uint64_t table_bytes(const Parser* parser) {
    uint32_t capacity = parser->capacity;
    if (parser->frame_count + 1 >= capacity) capacity += FRAME_TABLE_STEP;
    return uint64_t(capacity) * sizeof(Frame);
}

// What the decode holds once the next image (image_bytes of indices, to be
// composited as the plan says) is decoded. An image too large for any
// bitmap is left to the frame image builder, which refuses it.
uint64_t held_bytes(const Parser* parser, const CompositePlan* plan, uint64_t image_bytes) {
    return table_bytes(parser) + parser->animation->stored_bytes +
           larger(image_bytes, parser->scratch.capacity) +
           compositing_scratch_bytes(&parser->compositing) + plan->scratch_bytes +
           plan->store_bytes + parser->display_bytes;
}

// One image of the file, from its descriptor to its stored frame.
struct ImageStep {
    uint8_t descriptor[9];
    CompositePlan plan;
    FrameImage image;
};

// With helpers, has them write the pages of a new block for the store to
// take ahead of need (frame_store.h), where none is held and the budget
// holds one more, so that storing a large frame costs the decoder no page
// faults. A block of a canvas of changes: any key frame or large change fits.
void make_block_ahead(Parser* parser) {
    StoreAhead* ahead = &parser->compositing.run.ahead;
    if (parser->helpers.helper_count == 0 || ahead->block) return;
    const Animation* animation = parser->animation;
    const uint32_t pixel_bytes = parser->compositing.pixel_bytes ? parser->compositing.pixel_bytes : 1;
    const size_t bytes = change_bound_bytes(animation->width, animation->height, pixel_bytes);
    const CompositePlan none{};
    if (held_bytes(parser, &none, 0) + bytes > parser->budget) return;
    ahead->block = static_cast<uint8_t*>(std::malloc(bytes));
    if (!ahead->block) return;
    ahead->capacity = bytes;
    ahead->ready = 0;
    const CompositeJob job{nullptr, ahead->block, bytes / animation->height, animation->height, 0};
    composite_helpers_post(&parser->helpers, &job);
    parser->ahead_posted = 1;
}

// Ends the helpers' job: the block made ahead is then ready, or the key
// frame whose picture they copied whole.
void finish_helpers(Parser* parser) {
    composite_helpers_finish(&parser->helpers);
    if (parser->ahead_posted) parser->compositing.run.ahead.ready = 1;
    parser->ahead_posted = 0;
}

// The start of an image: its plan, and whether the bound lets it be decoded
// (false: the walk ends before it, the frames so far kept).
bool begin_image(Parser* parser, ImageStep* step) {
    Animation* animation = parser->animation;
    const uint8_t* d = step->descriptor;
    const uint32_t image_width = read_u16(d + 4), image_height = read_u16(d + 6);
    const uint64_t image_bytes = uint64_t(image_width) * image_height;
    composite_plan(&parser->compositing, parser->frame_count, read_u16(d), read_u16(d + 2),
                   image_width, image_height, animation->frames[parser->frame_count].disposal,
                   &step->plan);
    // The image's pixels decoded, and the rectangle of change drawn and compared.
    const uint64_t work = parser->work_done + image_bytes + rect_area(step->plan.change);
    // The block made ahead is held only while the budget holds it beside
    // everything else: it never costs a frame.
    if (held_bytes(parser, &step->plan, image_bytes) > parser->budget &&
        parser->compositing.run.ahead.block) {
        finish_helpers(parser);
        store_ahead_release(&parser->compositing.run);
    }
    if (held_bytes(parser, &step->plan, image_bytes) > parser->budget ||
        work / DECODE_WORK_PER_BYTE > parser->budget) {
        if (parser->frame_count == 0) parser->result = RESULT_LOAD_FAILED;
        parser->bound_reached = true;
        return false;
    }
    parser->work_done = work;
    return true;
}

// The end of an image decoded into step->image as frame index: composited
// and stored, a key frame's picture copied by the helpers while the next
// image decodes, or here. Returns false without memory (nothing stored).
bool end_image(Parser* parser, uint32_t index, const ImageStep* step) {
    Animation* animation = parser->animation;
    // The canvas changes now, and the store may take the block made ahead:
    // the helpers' job ends first.
    finish_helpers(parser);
    CompositeJob job;
    if (!composite_frame(animation, &parser->compositing, index, &step->image, &step->plan, &job)) {
        return false;
    }
    const DecodeTarget* target = parser->target;
    const bool preview = parser->stream.size > PREVIEW_MIN_FILE_SIZE && target->show_progress;
    // A picture whose pages are written already is copied at once; the
    // preview shows the frame now, so its picture must be whole.
    if (job.picture && !job.warm && parser->helpers.helper_count > 0 && !preview) {
        composite_helpers_post(&parser->helpers, &job);
    } else {
        composite_rows(&job, 0, job.height);
        make_block_ahead(parser);
    }
    if (preview) target->show_progress(target->progress_context, animation, index);
    return true;
}

// Returns false when the walk must end: the next frame does not fit in the
// budget, or no memory to store it or for a larger frame table. The frames
// stored so far are kept.
bool read_image(Parser* parser) {
    ImageStep step;
    if (!stream_read(&parser->stream, step.descriptor, 9)) {
        parser->result = RESULT_SHORT_DATA;
        return true;
    }
    Animation* animation = parser->animation;
    animation->image_count++;
    if (!begin_image(parser, &step)) return false;
    parser->result = build_frame_image(&parser->stream, step.descriptor, &parser->global,
                                       parser->global_count, parser->table, &parser->scratch,
                                       &parser->frame_count, animation, &step.image,
                                       &parser->target->poll);
    if (parser->result != RESULT_LOAD_FAILED) {
        const uint32_t index = parser->frame_count - 1;
        if (!end_image(parser, index, &step)) {
            parser->frame_count = index;  // never count a frame that is not stored
            if (index == 0) parser->result = RESULT_LOAD_FAILED;
            return false;
        }
    }
    if (parser->frame_count >= parser->capacity) {
        uint32_t grown = parser->capacity + FRAME_TABLE_STEP;
        if (grown < parser->capacity ||
            !animation_grow_table(animation, parser->capacity, grown)) {
            return false;
        }
        parser->capacity = grown;
    }
    return true;
}

// After the budget ended the walk inside an image's descriptor: steps over
// the rest of the file by its blocks' sizes, counting the image descriptors
// (Animation.image_count) without decoding anything, until the trailer or
// anything that is no block.
void count_images_left(Parser* parser) {
    ByteStream* stream = &parser->stream;
    uint8_t block = BLOCK_IMAGE;
    const uint8_t* descriptor = stream->data + stream->position - 9;
    for (;;) {
        if (block == BLOCK_IMAGE) {
            // The local colour table, the LZW minimum code size, the data.
            if (descriptor[8] & 0x80) stream->position += 3 * (size_t(2) << (descriptor[8] & 7));
            uint8_t code_size;
            if (!stream_read_byte(stream, &code_size) || !stream_skip_sub_blocks(stream)) return;
        } else if (block == BLOCK_EXTENSION) {
            uint8_t label;
            if (!stream_read_byte(stream, &label) || !stream_skip_sub_blocks(stream)) return;
        } else {
            return;
        }
        if (!stream_read_byte(stream, &block)) return;
        if (block == BLOCK_IMAGE) {
            if (stream->position + 9 > stream->size) return;
            descriptor = stream->data + stream->position;
            stream->position += 9;
            parser->animation->image_count++;
        }
    }
}

void walk_blocks(Parser* parser) {
    uint8_t block;
    if (!stream_read_byte(&parser->stream, &block)) return;
    for (;;) {
        if (block == BLOCK_EXTENSION) {
            if (!read_extension(parser)) return;
        } else if (block == BLOCK_IMAGE) {
            if (!read_image(parser)) return;
        } else if (parser->result != RESULT_PIXEL_OVERFLOW) {
            return;  // the trailer, or something that is no block
        }
        poll_now(&parser->target->poll);
        if (!stream_read_byte(&parser->stream, &block)) return;
    }
}

// Reads the screen descriptor and the global colour table. Returns false
// when the file cannot be used.
bool read_screen(Parser* parser) {
    ByteStream* stream = &parser->stream;
    Animation* animation = parser->animation;
    // A file too short for these reads leaves zeros.
    uint8_t size[2] = {}, screen[3] = {};
    stream_read(stream, size, 2);
    animation->width = read_u16(size);
    size[0] = size[1] = 0;
    stream_read(stream, size, 2);
    animation->height = read_u16(size);
    stream_read(stream, screen, 3);
    // A canvas that no picture can hold (2^31 bytes or more) can show nothing.
    if (bitmap_byte_size(animation->width, animation->height) == 0) return false;
    if (screen[0] & 0x80) {
        uint32_t count = 2u << (screen[0] & 7);
        if (!read_color_table(stream, &parser->global, count)) return false;
        parser->global_count = count;
        animation->flags |= ANIM_HAS_GLOBAL_PALETTE;
    }
    return true;
}

}  // namespace

uint64_t decode_memory_budget(uint64_t physical_memory) {
    if (physical_memory == 0) return DECODE_BUDGET_UNKNOWN;
    uint64_t budget = physical_memory / DECODE_BUDGET_SHARE;
    if (budget > DECODE_BUDGET_CAP) budget = DECODE_BUDGET_CAP;
    if (budget < DECODE_BUDGET_FLOOR) budget = DECODE_BUDGET_FLOOR;
    return budget;
}

void normalise_delays(Animation* animation) {
    uint32_t n = animation->frame_count;
    uint64_t sum = 0;  // 16-bit delays x 10 over up to 2^32 frames: no wrap in 64 bits
    for (uint32_t i = 0; i < n; i++) sum += animation->frames[i].delay_ms;
    if (n > 0 && sum < 1000 && sum < 15ull * n) {
        for (uint32_t i = 0; i < n; i++) animation->frames[i].delay_ms = 100;
    }
}

int gif_decode_memory(const uint8_t* data, size_t size, LzwTable* table, Animation* animation,
                      const DecodeTarget* target) {
    Parser parser{};
    parser.stream = ByteStream{data, 0, size};
    parser.table = table;
    parser.animation = animation;
    parser.target = target;
    parser.compositing.background = target->background & 0x00FFFFFFu;
    parser.capacity = FRAME_TABLE_STEP;
    parser.budget = target->memory_budget ? target->memory_budget
                                          : decode_memory_budget(os_physical_memory());
    parser.result = RESULT_LOAD_FAILED;

    uint8_t signature[6] = {};
    stream_read(&parser.stream, signature, 6);
    if (std::memcmp(signature, "GIF89a", 6) != 0 && std::memcmp(signature, "GIF87a", 6) != 0) {
        return RESULT_LOAD_FAILED;
    }
    if (!read_screen(&parser)) return RESULT_LOAD_FAILED;
    parser.compositing.width = animation->width;
    parser.compositing.height = animation->height;

    parser.display_bytes =
        uint64_t(target->display_pictures) * bitmap_byte_size(animation->width, animation->height);
    composite_helpers_start(&parser.helpers, target->helpers, animation->width,
                            animation->height);
    make_block_ahead(&parser);
    walk_blocks(&parser);
    // However the walk ended, the last picture is finished before the frame
    // count is stored.
    composite_helpers_stop(&parser.helpers);
    if (parser.bound_reached) count_images_left(&parser);

    animation->frame_count = parser.frame_count;
    normalise_delays(animation);
    compositing_release(&parser.compositing);
    image_scratch_release(&parser.scratch);
    return parser.result;
}

int gif_decode_file(const PathChar* path, LzwTable* table, Animation* animation,
                    const DecodeTarget* target) {
    uint8_t* data;
    size_t size;
    if (!os_load_file(path, &data, &size, &target->poll)) return RESULT_LOAD_FAILED;
    int result = gif_decode_memory(data, size, table, animation, target);
    os_free_file(data);
    return result;
}
