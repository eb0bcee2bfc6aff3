// The title-bar status line and the texts of the speed and zoom steps.
#include "shell/title.h"

#include "player/playback.h"

const char16_t* const speed_texts[SPEED_STEPS] = {
    u"16.00", u"8.00", u"4.00", u"2.00", u"1.75", u"1.50", u"1.25",
    u"1.125", u"1.00", u"0.75", u"0.50", u"0.25", u"0.125", u"0.0625",
};

const char16_t* const zoom_texts[ZOOM_STEPS] = {
    u"400%", u"200%", u"150%", u"125%", u"100%", u"75%", u"50%", u"25%",
};

namespace {

// Appends to a title buffer, dropping whatever does not fit before the
// terminator's place.
struct TitleWriter {
    char16_t* buffer;
    size_t length;
};

void put_text(TitleWriter* writer, const char16_t* text) {
    for (; *text; text++) {
        if (writer->length >= TITLE_CAPACITY - 1) return;
        writer->buffer[writer->length++] = *text;
    }
}

void put_number(TitleWriter* writer, uint32_t value) {
    char16_t digits[11];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    char16_t text[11];
    for (size_t k = 0; k < count; k++) text[k] = digits[count - 1 - k];
    text[count] = 0;
    put_text(writer, text);
}

const char16_t* step_text(const char16_t* const* texts, int32_t count, int32_t index) {
    return index >= 0 && index < count ? texts[index] : u"";
}

}  // namespace

void set_title_name(char16_t* title_name, const char16_t* path) {
    const char16_t* name = path;
    for (const char16_t* p = path; *p; p++) {
        if (*p == u'\\') name = p + 1;
    }
    size_t length = 0;
    while (name[length] && length < TITLE_CAPACITY - 1) {
        title_name[length] = name[length];
        length++;
    }
    title_name[length] = 0;
}

size_t format_title(char16_t* title, const char16_t* title_name, const Animation* animation,
                    const Player* player) {
    TitleWriter writer{title, 0};
    const char16_t* zoom = step_text(zoom_texts, ZOOM_STEPS, player->zoom_index);
    uint32_t count = animation ? animation->frame_count : 0;
    // A file that the memory bound cut short says how many images it holds.
    uint32_t images = animation ? animation->image_count : 0;
    auto put_frames = [&](const char16_t* frames) {
        put_text(&writer, frames);
        if (images > count) {
            put_text(&writer, u", ");
            put_number(&writer, images);
            put_text(&writer, u" in file");
        }
        put_text(&writer, u" | ");
    };
    put_text(&writer, title_name);
    if (count <= 1) {
        put_text(&writer, u" (1");
        put_frames(u" frame");
        put_text(&writer, zoom);
    } else if (const uint32_t paused = paused_frame(player); paused == NO_FRAME) {
        put_text(&writer, u" (");
        put_number(&writer, count);
        put_frames(u" frames");
        put_text(&writer, player->reverse ? u"<<" : u">>");
        put_text(&writer, u" | \u00D7\u2009");
        put_text(&writer, step_text(speed_texts, SPEED_STEPS,
                                    player->speed_index.load(std::memory_order_relaxed)));
        put_text(&writer, u" | ");
        put_text(&writer, zoom);
    } else {
        put_text(&writer, u" (");
        put_number(&writer, paused + 1);
        put_text(&writer, u" of ");
        put_number(&writer, count);
        put_frames(u" frames");
        put_text(&writer, zoom);
    }
    put_text(&writer, u")");
    title[writer.length] = 0;
    return writer.length;
}
