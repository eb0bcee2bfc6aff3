#include "shell/handover_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/file_rules.h"

namespace {

constexpr uint64_t ALL_ONES = ~uint64_t(0);

struct Received {
    HandoverVerdict verdict;
    std::u16string path;
};

// The payload lies in a buffer of exactly size bytes, so a read past it is
// caught by AddressSanitizer.
Received receive(uint64_t wparam, uint64_t dw_data, const std::vector<unsigned char>& payload,
                 uint32_t claimed_size) {
    unsigned char* exact = payload.empty() ? nullptr : new unsigned char[payload.size()];
    if (exact) std::copy(payload.begin(), payload.end(), exact);
    std::vector<char16_t> path(PATH_CAPACITY + 8, u'#');
    Received r{check_handover(wparam, dw_data, claimed_size, exact, path.data()), u""};
    if (r.verdict == HANDOVER_PATH) r.path = path.data();
    // Nothing is written past requested_path's capacity.
    for (size_t i = PATH_CAPACITY; i < path.size(); i++) EXPECT_EQ(path[i], u'#');
    delete[] exact;
    return r;
}

std::vector<unsigned char> bytes_of(const std::u16string& text, bool terminator = true) {
    std::vector<unsigned char> out(reinterpret_cast<const unsigned char*>(text.data()),
                                   reinterpret_cast<const unsigned char*>(text.data() + text.size()));
    if (terminator) out.insert(out.end(), {0, 0});
    return out;
}

}  // namespace

TEST(Handover, MessagesThatAreNoHandOverAreRejected) {
    auto good = bytes_of(u"C:\\a.gif");
    uint32_t size = uint32_t(good.size());
    EXPECT_EQ(receive(0, COPYDATA_OPEN_FILE, good, size).verdict, HANDOVER_REJECTED);
    EXPECT_EQ(receive(0xFFFFFFFF, COPYDATA_OPEN_FILE, good, size).verdict, HANDOVER_REJECTED);
    EXPECT_EQ(receive(ALL_ONES, COPYDATA_ACK, good, size).verdict, HANDOVER_REJECTED);
    EXPECT_EQ(receive(ALL_ONES, COPYDATA_OPEN_FILE | (uint64_t(1) << 32), good, size).verdict,
              HANDOVER_REJECTED);
    std::vector<unsigned char> big(2050, 'a');
    EXPECT_EQ(receive(ALL_ONES, COPYDATA_OPEN_FILE, big, 2050).verdict, HANDOVER_REJECTED);
}

TEST(Handover, PathIsCopiedUpToItsTerminator) {
    Received r = receive(ALL_ONES, COPYDATA_OPEN_FILE, bytes_of(u"C:\\pics\\cat.gif"), 32);
    EXPECT_EQ(r.verdict, HANDOVER_PATH);
    EXPECT_EQ(r.path, u"C:\\pics\\cat.gif");
    // A longest path: 1023 units and the terminator in 2048 bytes.
    std::u16string longest(1023, u'p');
    r = receive(ALL_ONES, COPYDATA_OPEN_FILE, bytes_of(longest), 2048);
    EXPECT_EQ(r.verdict, HANDOVER_PATH);
    EXPECT_EQ(r.path, longest);
}

TEST(Handover, PayloadsWithoutAUsablePath) {
    struct Case {
        const char* what;
        std::vector<unsigned char> payload;
        uint32_t size;
    };
    const Case cases[] = {
        {"size 0", {}, 0},
        {"null data", {}, 16},
        {"empty path", bytes_of(u""), 2},
        {"no terminator", bytes_of(u"C:\\a.gif", false), 16},
        {"terminator beyond the claimed size", bytes_of(u"C:\\a.gif"), 10},
        {"odd size cuts the terminator", bytes_of(u"C:\\a.gif"), 17},
        {"2048 bytes without a terminator", std::vector<unsigned char>(2048, 'a'), 2048},
        {"one byte", {0}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(receive(ALL_ONES, COPYDATA_OPEN_FILE, c.payload, c.size).verdict, HANDOVER_EMPTY)
            << c.what;
    }
}
