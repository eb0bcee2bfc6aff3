// Building small GIF files in tests: a plain LZW encoder and the blocks of
// the file format, so each test can say in a line what is special about its
// file.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

namespace gif_builder {

using Bytes = std::vector<uint8_t>;

// Packs codes lowest bit first, as GIF's LZW data does.
struct BitPacker {
    Bytes bytes;
    uint32_t buffer = 0;
    uint32_t count = 0;
    void put(uint32_t code, uint32_t width) {
        buffer |= code << count;
        count += width;
        while (count >= 8) {
            bytes.push_back(uint8_t(buffer));
            buffer >>= 8;
            count -= 8;
        }
    }
    Bytes finish() {
        if (count) bytes.push_back(uint8_t(buffer));
        count = 0;
        return bytes;
    }
};

// Splits data into sub-blocks of up to 255 bytes and adds the terminator.
inline Bytes sub_blocks(const Bytes& data, bool terminator = true) {
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = data.size() - i < 255 ? data.size() - i : 255;
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + i, data.begin() + i + n);
    }
    if (terminator) out.push_back(0);
    return out;
}

// LZW-encodes palette indices: the code bytes only (no code size byte, no
// sub-blocks). With clear_when_full false the table fills to 4095 and the
// rest is coded with the entries it has, as a decoder must accept.
inline Bytes lzw_codes(const std::vector<uint8_t>& indices, uint32_t min_code_size,
                       bool end_code = true, bool clear_when_full = true) {
    const uint32_t clear = 1u << min_code_size, end = clear + 1;
    BitPacker out;
    uint32_t width = min_code_size + 1, next = end + 1;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> table;
    out.put(clear, width);
    int64_t prefix = -1;
    for (uint8_t k : indices) {
        if (prefix < 0) {
            prefix = k;
            continue;
        }
        auto found = table.find({uint32_t(prefix), k});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        out.put(uint32_t(prefix), width);
        if (next < 4096) {
            table[{uint32_t(prefix), k}] = next++;
            if (next > (1u << width) && width < 12) width++;
        } else if (clear_when_full) {
            out.put(clear, width);
            table.clear();
            width = min_code_size + 1;
            next = end + 1;
        }
        prefix = k;
    }
    if (prefix >= 0) out.put(uint32_t(prefix), width);
    // Reading that last code, a decoder adds the entry this encoder never
    // makes; when that entry fills the width, the end code is one bit wider.
    if (next == (1u << width) && width < 12) width++;
    if (end_code) out.put(end, width);
    return out.finish();
}

// The image data of an image: code size byte, sub-blocks, terminator.
inline Bytes image_data(const std::vector<uint8_t>& indices, uint32_t min_code_size = 2) {
    Bytes out{uint8_t(min_code_size)};
    Bytes blocks = sub_blocks(lzw_codes(indices, min_code_size));
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

inline void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
inline void put16(Bytes& to, uint32_t v) {
    to.push_back(uint8_t(v));
    to.push_back(uint8_t(v >> 8));
}
inline void put_colours(Bytes& to, const std::vector<uint32_t>& colours) {
    for (uint32_t c : colours) {
        to.push_back(uint8_t(c >> 16));
        to.push_back(uint8_t(c >> 8));
        to.push_back(uint8_t(c));
    }
}
// Bits 0-2 of a packed byte for a table of count (a power of two) entries.
inline uint8_t table_bits(size_t count) {
    uint8_t n = 0;
    while ((2u << n) < count) n++;
    return n;
}

// Signature, screen descriptor and global table (none when empty).
inline Bytes header(uint32_t width, uint32_t height, const std::vector<uint32_t>& global = {}) {
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};
    put16(out, width);
    put16(out, height);
    out.push_back(global.empty() ? 0 : uint8_t(0x80 | table_bits(global.size())));
    out.push_back(0);
    out.push_back(0);
    put_colours(out, global);
    return out;
}

// A graphic control extension; transparent < 0 for none.
inline Bytes control(uint32_t disposal, uint32_t delay_cs, int transparent = -1) {
    Bytes out{0x21, 0xF9, 4, uint8_t(disposal << 2 | (transparent >= 0 ? 1 : 0))};
    put16(out, delay_cs);
    out.push_back(uint8_t(transparent >= 0 ? transparent : 0));
    out.push_back(0);
    return out;
}

// A NETSCAPE application extension holding the given data sub-blocks, each
// given by its bytes (its size byte is added).
inline Bytes netscape_block(std::initializer_list<Bytes> blocks) {
    Bytes out{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    for (const Bytes& block : blocks) {
        out.push_back(uint8_t(block.size()));
        append(out, block);
    }
    out.push_back(0);
    return out;
}

// The usual NETSCAPE block: one loop sub-block (id 1, the loop count).
inline Bytes netscape(uint32_t loops) {
    return netscape_block({Bytes{1, uint8_t(loops), uint8_t(loops >> 8)}});
}

inline Bytes descriptor(uint32_t left, uint32_t top, uint32_t width, uint32_t height,
                        uint8_t packed = 0) {
    Bytes out{0x2C};
    put16(out, left);
    put16(out, top);
    put16(out, width);
    put16(out, height);
    out.push_back(packed);
    return out;
}

// An image with its data; indices in display order (reordered into pass
// order when interlaced). A local table is written when one is given.
inline Bytes image(uint32_t left, uint32_t top, uint32_t width, uint32_t height,
                   const std::vector<uint8_t>& indices, const std::vector<uint32_t>& local = {},
                   bool interlaced = false, uint32_t min_code_size = 2) {
    uint8_t packed = (local.empty() ? 0 : uint8_t(0x80 | table_bits(local.size()))) |
                     (interlaced ? 0x40 : 0);
    Bytes out = descriptor(left, top, width, height, packed);
    put_colours(out, local);
    std::vector<uint8_t> stored = indices;
    if (interlaced) {
        stored.clear();
        for (uint32_t start : {0u, 4u, 2u, 1u}) {
            uint32_t step = start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2;
            for (uint32_t y = start; y < height; y += step) {
                stored.insert(stored.end(), indices.begin() + y * width,
                              indices.begin() + (y + 1) * width);
            }
        }
    }
    append(out, image_data(stored, min_code_size));
    return out;
}

inline Bytes trailer() { return {0x3B}; }

inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) append(out, part);
    return out;
}

}  // namespace gif_builder
