// The exchange block: its byte layout as another program sees it, the shared
// object's creation (zero-filled, mode 0600) and that two mappings see each
// other's writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "exchange/exchange_block.hpp"

namespace tarno {
namespace {

// A block name of this test process only, removed afterwards.
struct TestBlockName {
    std::string name = "/tarno_jointc_test_" + std::to_string(getpid());
    TestBlockName() { shm_unlink(name.c_str()); }
    ~TestBlockName() {
        use_private_exchange_block();
        shm_unlink(name.c_str());
    }
};

// Maps the named object a second time, as the partner would.
unsigned char* map_as_partner(const std::string& name) {
    int fd = shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) return nullptr;
    void* address = mmap(nullptr, JOINTC_BYTES, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return address == MAP_FAILED ? nullptr : static_cast<unsigned char*>(address);
}

TEST(exchange_block, created_zero_filled_with_owner_only_mode) {
    TestBlockName block;
    ASSERT_TRUE(open_exchange_block(block.name));
    EXPECT_TRUE(exchange_block_is_shared());

    int fd = shm_open(block.name.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    struct stat info {};
    ASSERT_EQ(fstat(fd, &info), 0);
    close(fd);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(static_cast<size_t>(info.st_size), JOINTC_BYTES);

    unsigned char* partner = map_as_partner(block.name);
    ASSERT_NE(partner, nullptr);
    for (size_t i = 0; i < JOINTC_BYTES; ++i) ASSERT_EQ(partner[i], 0) << "byte " << i;
    munmap(partner, JOINTC_BYTES);
}

TEST(exchange_block, fields_sit_at_their_offsets_for_the_partner) {
    TestBlockName block;
    ASSERT_TRUE(open_exchange_block(block.name));
    unsigned char* partner = map_as_partner(block.name);
    ASSERT_NE(partner, nullptr);

    publish_view_limits(100.25, 200.5);
    publish_cursor(150.125);
    publish_spectrum(90.0, 300.0, "run5.spe");
    set_exchange_transition_intensity(2.5f);
    for (int q = 1; q <= 11; ++q) set_exchange_quantum_number(q, q * 10);
    set_exchange_transition_extra(-7.75f);
    set_exchange_command(4);

    auto real64 = [&](size_t offset) { double v; std::memcpy(&v, partner + offset, 8); return v; };
    auto real32 = [&](size_t offset) { float v; std::memcpy(&v, partner + offset, 4); return v; };
    auto int32 = [&](size_t offset) { int32_t v; std::memcpy(&v, partner + offset, 4); return v; };
    EXPECT_EQ(real64(0), 100.25);
    EXPECT_EQ(real64(8), 200.5);
    EXPECT_EQ(real64(16), 150.125);
    EXPECT_EQ(real64(24), 90.0);
    EXPECT_EQ(real64(32), 300.0);
    EXPECT_EQ(real32(40), 2.5f);
    for (int q = 1; q <= 11; ++q) EXPECT_EQ(int32(44 + 4 * (q - 1)), q * 10) << "Q" << q;
    EXPECT_EQ(real32(88), -7.75f);
    EXPECT_EQ(int32(92), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(partner + 96), 60), "run5.spe" + std::string(52, ' '));

    // The partner writes; the program reads.
    double low = 1234.5;
    std::memcpy(partner + 0, &low, 8);
    int32_t command = 6;
    std::memcpy(partner + 92, &command, 4);
    EXPECT_EQ(read_exchange_view().view_low, 1234.5);
    EXPECT_EQ(exchange_command(), 6);
    munmap(partner, JOINTC_BYTES);
}

TEST(exchange_block, reopening_keeps_what_another_program_wrote) {
    TestBlockName block;
    ASSERT_TRUE(open_exchange_block(block.name));
    publish_cursor(42.0);
    publish_spectrum(1, 2, std::string(70, 'x'));   // cut to the 60-character field
    ASSERT_TRUE(open_exchange_block(block.name));
    EXPECT_EQ(read_exchange_view().cursor_freq, 42.0);
    EXPECT_EQ(exchange_spectrum_name(), std::string(60, 'x'));
}

TEST(exchange_block, quantum_number_outside_range_is_ignored) {
    use_private_exchange_block();
    set_exchange_quantum_number(0, 5);
    set_exchange_quantum_number(13, 5);
    EXPECT_EQ(exchange_quantum_number(0), 0);
    EXPECT_EQ(exchange_quantum_number(13), 0);
    for (int q = 1; q <= 12; ++q) EXPECT_EQ(exchange_quantum_number(q), 0);
}

}  // namespace
}  // namespace tarno

namespace tarno {
namespace {

TEST(exchange_block, environment_may_name_another_block) {
    unsetenv("TARNO_JOINTC_NAME");
    EXPECT_EQ(exchange_block_name(), "/tarno_jointc");
    setenv("TARNO_JOINTC_NAME", "/tarno_jointc_other", 1);
    EXPECT_EQ(exchange_block_name(), "/tarno_jointc_other");
    setenv("TARNO_JOINTC_NAME", "no_slash", 1);     // a shared-memory name begins with "/"
    EXPECT_EQ(exchange_block_name(), "/no_slash");
    unsetenv("TARNO_JOINTC_NAME");
}

}  // namespace
}  // namespace tarno
