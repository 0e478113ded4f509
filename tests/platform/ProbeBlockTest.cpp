#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "TestEnvironment.h"
#include "platform/ProbeBlock.h"

using platform::ProbeBlock;

namespace {

TEST(ProbeBlock, HelperAndProgramShareTheLayoutEachInItsOwnMapping) {
    qbtest::TempHome home;
    ProbeBlock helper;
    ASSERT_TRUE(helper.create()) << qPrintable(helper.errorString());
    helper.setField(0, "http://h/a.zip");
    helper.setField(1, QByteArray(2000, 'b')); // cut to its field
    helper.setField(2, "");

    ProbeBlock program;
    ASSERT_EQ(program.openExisting(), ProbeBlock::Opened);
    EXPECT_EQ(program.field(0), "http://h/a.zip");
    EXPECT_EQ(program.field(1), QByteArray(ProbeBlock::kFieldSize, 'b'));
    EXPECT_EQ(program.field(2), "");
    EXPECT_EQ(program.answer(), 0);
    ASSERT_TRUE(program.setAnswer(1));
    EXPECT_EQ(helper.answer(), 1);

    // The same bytes at the fixed offsets, as any other helper would see them.
    const int fd = ::shm_open(ProbeBlock::name().constData(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::lseek(fd, 0, SEEK_END), 3076);
    char raw[3076];
    ASSERT_EQ(::pread(fd, raw, sizeof raw, 0), 3076);
    ::close(fd);
    EXPECT_EQ(QByteArray(raw, 15), QByteArray("http://h/a.zip\0", 15));
    EXPECT_EQ(raw[1025], 'b');
    EXPECT_EQ(raw[2049], 'b');
    EXPECT_EQ(raw[2050], 0);
    EXPECT_EQ(raw[3075], 1);

    // Each opening keeps its own mapping: with an inner one gone, the outer one still works.
    {
        ProbeBlock inner;
        ASSERT_EQ(inner.openExisting(), ProbeBlock::Opened);
        ASSERT_TRUE(inner.setAnswer(0));
    }
    EXPECT_EQ(program.field(0), "http://h/a.zip");
    EXPECT_TRUE(program.setAnswer(1));
    // The helper removes the name once it has its answer; a later probe finds nothing.
    helper.unlink();
    EXPECT_TRUE(program.setAnswer(1));
    ProbeBlock later;
    EXPECT_EQ(later.openExisting(), ProbeBlock::Missing);
}

TEST(ProbeBlock, MissingAndUnusableBlocksAreToldApart) {
    qbtest::TempHome home;
    ProbeBlock block;
    EXPECT_EQ(block.openExisting(), ProbeBlock::Missing);
    EXPECT_EQ(block.errorString(), QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_FALSE(block.isMapped());
    EXPECT_FALSE(block.setAnswer(1));

    // A block smaller than the layout would fault on access: it is not used.
    const int fd = ::shm_open(ProbeBlock::name().constData(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 100), 0);
    ::close(fd);
    EXPECT_EQ(block.openExisting(), ProbeBlock::NotMapped);
    EXPECT_FALSE(block.isMapped());
    block.unlink();
}

TEST(ProbeBlock, ABlockShrunkWhileMappedIsNeverTouched) {
    qbtest::TempHome home;
    ProbeBlock helper;
    ASSERT_TRUE(helper.create());
    helper.setField(0, "ftp://h/x");
    ProbeBlock program;
    ASSERT_EQ(program.openExisting(), ProbeBlock::Opened);
    // Another process cuts the block: touching the lost pages would be a bus error, so no
    // access may reach them, not even a read.
    const int fd = ::shm_open(ProbeBlock::name().constData(), O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 0), 0);
    ::close(fd);
    EXPECT_EQ(program.field(0), QByteArray());
    EXPECT_EQ(program.answer(), 0);
    program.setField(2, "x");
    EXPECT_FALSE(program.setAnswer(1));
    helper.unlink();
}

} // namespace
