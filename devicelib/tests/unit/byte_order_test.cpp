#include "byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

using namespace dalvex::bytes;

// Every load reads its bytes at an odd address, as fields of camera blocks and video boxes lie.
TEST(ByteOrder, LoadsAndStoresAtUnalignedAddresses) {
    const std::array<uint8_t, 9> raw = {0xEE, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    const uint8_t* p = raw.data() + 1;
    EXPECT_EQ(loadLe16(p), 0x0201u);
    EXPECT_EQ(loadBe16(p), 0x0102u);
    EXPECT_EQ(loadLe32(p), 0x04030201u);
    EXPECT_EQ(loadBe32(p), 0x01020304u);
    EXPECT_EQ(loadLe64(p), 0x0807060504030201u);
    EXPECT_EQ(loadBe64(p), 0x0102030405060708u);

    std::array<uint8_t, 9> out{};
    storeLe16(out.data() + 1, 0x0201);
    storeLe32(out.data() + 3, 0x06050403);
    EXPECT_EQ(out, (std::array<uint8_t, 9>{0, 1, 2, 3, 4, 5, 6, 0, 0}));
    storeBe32(out.data() + 1, 0x01020304);
    storeLe64(out.data() + 1, loadLe64(p));
    EXPECT_EQ(out, (std::array<uint8_t, 9>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    storeBe32(out.data() + 5, 0xA0B0C0D0);
    EXPECT_EQ(loadBe32(out.data() + 5), 0xA0B0C0D0u);
    EXPECT_EQ(out[5], 0xA0);
}

}  // namespace
