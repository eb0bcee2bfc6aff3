// The GIF stream parser: walks the file's blocks, hands every image to the
// frame image builder and the compositor, and ends with the frame count and
// the delays normalised.
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

#include <cstring>

#include "decode/byte_stream.h"
#include "decode/compositor.h"
#include "decode/frame_image.h"
#include "decode/pictures_ahead.h"

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
    PicturesAhead ahead;     // the next frames' pictures, made resident by helpers
    ImageScratch scratch;    // each image's pixels, until it is composited
    Palette global;
    Palette work;
    uint32_t global_count;   // entries of the global colour table, 0 without one
    uint32_t frame_count;    // frames built so far: the entry the next blocks fill
    uint32_t capacity;       // entries of the frame table
    uint64_t budget;         // bytes of pictures and table the decode may hold
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

// Bytes a picture of width x height holds, its overhead included.
uint64_t picture_cost(uint32_t width, uint32_t height) {
    return uint64_t(width) * height * 4u + PICTURE_OVERHEAD;
}

// How many full-canvas pictures the budget allows once the image of this
// descriptor is built, beside the rest of what the decode then holds: the
// frame table (grown if this image fills it) and the image scratch (grown
// if this image needs more). The compositor keeps no canvas of its own, so
// the pictures are the finished frames', this image's and those made
// ahead. An image too large for any bitmap is left to the frame image
// builder, which refuses it.
uint64_t pictures_allowed(const Parser* parser, const uint8_t descriptor[9]) {
    uint32_t capacity = parser->capacity;
    if (parser->frame_count + 1 >= capacity) capacity += FRAME_TABLE_STEP;
    uint64_t held = uint64_t(capacity) * sizeof(Frame);
    uint32_t width = read_u16(descriptor + 4), height = read_u16(descriptor + 6);
    const uint64_t image = bitmap_byte_size(width, height);
    const uint64_t scratch = uint64_t(parser->scratch.capacity) * 4u;
    held += image > scratch ? image : scratch;
    if (held > parser->budget) return 0;
    const Animation* animation = parser->animation;
    return (parser->budget - held) / picture_cost(animation->width, animation->height);
}

// The picture for the frame being composited: made ahead, or made now.
int make_picture(Parser* parser, Bitmap* picture) {
    if (pictures_ahead_take(&parser->ahead, picture)) return 1;
    return bitmap_create(picture, parser->animation->width, parser->animation->height);
}

// Returns false when the walk must end: the next frame does not fit in the
// budget, or no memory for a finished picture or for a larger frame table.
// The frames finished so far are kept.
bool read_image(Parser* parser) {
    uint8_t descriptor[9];
    if (!stream_read(&parser->stream, descriptor, 9)) {
        parser->result = RESULT_SHORT_DATA;
        return true;
    }
    const uint64_t allowed = pictures_allowed(parser, descriptor);
    if (allowed < uint64_t(parser->frame_count) + 1) {
        if (parser->frame_count == 0) parser->result = RESULT_LOAD_FAILED;
        return false;
    }
    // Pictures ahead count as held. Their helpers make them resident while
    // this image decodes; the first of them is this frame's.
    const uint64_t room = allowed - parser->frame_count;
    const uint32_t ahead = room < AHEAD_SLOTS ? uint32_t(room) : AHEAD_SLOTS;
    pictures_ahead_trim(&parser->ahead, ahead);
    pictures_ahead_fill(&parser->ahead, ahead);

    Animation* animation = parser->animation;
    parser->result = build_frame_image(&parser->stream, descriptor, &parser->global,
                                       parser->global_count, &parser->work, parser->table,
                                       &parser->scratch, &parser->frame_count, animation);
    if (parser->result != RESULT_LOAD_FAILED) {
        uint32_t index = parser->frame_count - 1;
        Bitmap picture{};
        if (!make_picture(parser, &picture)) {
            parser->frame_count = index;  // never count a frame without its picture
            if (index == 0) parser->result = RESULT_LOAD_FAILED;
            return false;
        }
        composite_frame(animation, &parser->compositing, index, parser->scratch.pixels, picture);
        const DecodeTarget* target = parser->target;
        if (parser->stream.size > PREVIEW_MIN_FILE_SIZE && target->show_progress) {
            target->show_progress(target->progress_context, animation, index);
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
    if (animation->width == 0 || animation->height == 0) return false;
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

    pictures_ahead_start(&parser.ahead, target->pictures_ahead, animation->width,
                         animation->height);
    walk_blocks(&parser);
    // Also a decode that ended early frees what it made ahead.
    pictures_ahead_stop(&parser.ahead);

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
    if (!os_load_file(path, &data, &size)) return RESULT_LOAD_FAILED;
    int result = gif_decode_memory(data, size, table, animation, target);
    os_free_file(data);
    return result;
}
