#include "common/BinaryStream.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

TEST(BinaryWriter, IntegersAreLittleEndian) {
    BinaryWriter w;
    w.writeU8(0xAB);
    w.writeU16(0x1234);
    w.writeI32(-2);
    w.writeU32(0xDEADBEEF);
    w.writeBool(true);
    w.writeBool(false);
    EXPECT_EQ(w.data(), bytes({0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE, 1, 0}));
}

TEST(BinaryWriter, DoubleIsIeeeLittleEndian) {
    BinaryWriter w;
    w.writeDouble(38903.0); // 2006-07-05 as a date value
    EXPECT_EQ(w.data(), bytes({0x00, 0x00, 0x00, 0x00, 0xE0, 0xFE, 0xE2, 0x40}));
}

TEST(BinaryWriter, StringIsCountThenBytesWithoutTerminator) {
    BinaryWriter w;
    w.writeString("Abc");
    w.writeString("");
    EXPECT_EQ(w.data(), bytes({3, 0, 0, 0, 'A', 'b', 'c', 0, 0, 0, 0}));
}

TEST(BinaryReader, ReadsWhatTheWriterWrote) {
    BinaryWriter w;
    w.writeU8(7);
    w.writeU16(65535);
    w.writeI32(std::numeric_limits<int32_t>::min());
    w.writeU32(4000000000u);
    w.writeDouble(-0.25);
    w.writeBool(true);
    w.writeString(std::string("with\0zero", 9));
    BinaryReader r(w.data());
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    double d = 0;
    bool b = false;
    std::string s;
    ASSERT_TRUE(r.readU8(u8));
    ASSERT_TRUE(r.readU16(u16));
    ASSERT_TRUE(r.readI32(i32));
    ASSERT_TRUE(r.readU32(u32));
    ASSERT_TRUE(r.readDouble(d));
    ASSERT_TRUE(r.readBool(b));
    ASSERT_TRUE(r.readString(s));
    EXPECT_EQ(u8, 7);
    EXPECT_EQ(u16, 65535);
    EXPECT_EQ(i32, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(u32, 4000000000u);
    EXPECT_EQ(d, -0.25);
    EXPECT_TRUE(b);
    EXPECT_EQ(s, std::string("with\0zero", 9));
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_TRUE(r.ok());
}

TEST(BinaryReader, AnyNonZeroByteIsTrue) {
    const std::string data = bytes({0, 1, 2, 0xFF});
    BinaryReader r(data);
    bool b = true;
    ASSERT_TRUE(r.readBool(b));
    EXPECT_FALSE(b);
    for (int i = 0; i < 3; ++i) {
        b = false;
        ASSERT_TRUE(r.readBool(b));
        EXPECT_TRUE(b);
    }
}

TEST(BinaryReader, ZeroOrNegativeCountIsAnEmptyStringWithNothingAfter) {
    const std::string data = bytes({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 'x'});
    BinaryReader r(data);
    std::string s = "old";
    ASSERT_TRUE(r.readString(s));
    EXPECT_EQ(s, "");
    s = "old";
    ASSERT_TRUE(r.readString(s));
    EXPECT_EQ(s, "");
    ASSERT_TRUE(r.readString(s)); // INT32_MIN
    EXPECT_EQ(s, "");
    EXPECT_EQ(r.pos(), 12u);
    uint8_t next = 0;
    ASSERT_TRUE(r.readU8(next));
    EXPECT_EQ(next, 'x');
}

TEST(BinaryReader, CountBeyondTheDataFailsWithoutAllocating) {
    // Claims 2 GiB with three bytes behind it.
    const std::string data = bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'});
    BinaryReader r(data);
    std::string s = "untouched";
    EXPECT_FALSE(r.readString(s));
    EXPECT_EQ(s, "untouched");
    EXPECT_FALSE(r.ok());
}

TEST(BinaryReader, CountOfExactlyTheRestSucceedsOneMoreFails) {
    const std::string exact = bytes({3, 0, 0, 0, 'a', 'b', 'c'});
    BinaryReader r1(exact);
    std::string s;
    EXPECT_TRUE(r1.readString(s));
    EXPECT_EQ(s, "abc");
    const std::string shortBy1 = bytes({4, 0, 0, 0, 'a', 'b', 'c'});
    BinaryReader r2(shortBy1);
    EXPECT_FALSE(r2.readString(s));
}

TEST(BinaryReader, TruncatedIntegersFailAndLeaveValues) {
    const std::string data = bytes({1, 2, 3});
    BinaryReader r(data);
    uint32_t u32 = 99;
    EXPECT_FALSE(r.readU32(u32));
    EXPECT_EQ(u32, 99u);
    BinaryReader r2(bytes({1}));
    uint16_t u16 = 99;
    EXPECT_FALSE(r2.readU16(u16));
    EXPECT_EQ(u16, 99);
    BinaryReader r3(bytes({1, 2, 3, 4, 5, 6, 7}));
    double d = 1.5;
    EXPECT_FALSE(r3.readDouble(d));
    EXPECT_EQ(d, 1.5);
    BinaryReader empty("");
    uint8_t u8 = 5;
    bool b = true;
    EXPECT_FALSE(empty.readU8(u8));
    EXPECT_FALSE(empty.readBool(b));
    EXPECT_EQ(u8, 5);
}

TEST(BinaryReader, StaysFailedAfterAFailedRead) {
    const std::string data = bytes({1, 2, 3});
    BinaryReader r(data);
    uint32_t u32 = 0;
    EXPECT_FALSE(r.readU32(u32));
    uint8_t u8 = 0;
    // The bytes are there, but a failed reader reads nothing more.
    EXPECT_FALSE(r.readU8(u8));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.pos(), 0u);
}

TEST(BinaryReader, SeekWithinRangeResumesAndBeyondFails) {
    const std::string data = bytes({10, 20, 30});
    BinaryReader r(data);
    uint8_t v = 0;
    ASSERT_TRUE(r.seek(2));
    ASSERT_TRUE(r.readU8(v));
    EXPECT_EQ(v, 30);
    EXPECT_FALSE(r.readU8(v));
    // Going back to the start reads the data again, from a clean state.
    ASSERT_TRUE(r.seek(0));
    EXPECT_TRUE(r.ok());
    ASSERT_TRUE(r.readU8(v));
    EXPECT_EQ(v, 10);
    EXPECT_TRUE(r.seek(3));
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_FALSE(r.seek(4));
    EXPECT_FALSE(r.ok());
}

class FileHelpersTest : public ::testing::Test {
protected:
    TempFolder m_temp{"kestrivel-bin"};

    void SetUp() override { m_folder = m_temp.path(); }
    fs::path m_folder;
};

TEST_F(FileHelpersTest, ReadWholeFileReadsEveryByte) {
    std::string data;
    for (int i = 0; i < 200000; ++i) {
        data.push_back(static_cast<char>(i * 7));
    }
    const std::string path = (m_folder / "data.bin").string();
    { std::ofstream(path, std::ios::binary) << data; }
    std::string out = "old";
    ASSERT_TRUE(ReadWholeFile(path, out));
    EXPECT_EQ(out, data);
    EXPECT_TRUE(FileExists(path));
}

TEST_F(FileHelpersTest, EmptyFileReadsAsEmpty) {
    const std::string path = (m_folder / "empty").string();
    { std::ofstream(path, std::ios::binary); }
    std::string out = "old";
    ASSERT_TRUE(ReadWholeFile(path, out));
    EXPECT_EQ(out, "");
}

TEST_F(FileHelpersTest, MissingFileAndFolderFail) {
    std::string out = "old";
    EXPECT_FALSE(ReadWholeFile((m_folder / "missing").string(), out));
    EXPECT_EQ(out, "old");
    EXPECT_FALSE(FileExists((m_folder / "missing").string()));
    EXPECT_FALSE(ReadWholeFile(m_folder.string(), out));
    EXPECT_EQ(out, "old");
    EXPECT_FALSE(FileExists(m_folder.string()));
}

} // namespace

namespace {

std::string Head(const std::string& signature, uint16_t version, const std::string& rest) {
    BinaryWriter w;
    w.writeString(signature);
    w.writeU16(version);
    return w.data() + rest;
}

} // namespace

TEST(BinaryReaderFileHead, SignatureAndVersionInRangeLeaveTheReaderBehindThem) {
    const std::string data = Head("Sig", 100, std::string("\x07\x00", 2));
    BinaryReader r(data);
    bool hasHeader = false;
    ASSERT_TRUE(r.readFileHead("Sig", 100, 100, hasHeader));
    EXPECT_TRUE(hasHeader);
    uint16_t next = 0;
    ASSERT_TRUE(r.readU16(next));
    EXPECT_EQ(next, 7);
}

TEST(BinaryReaderFileHead, VersionOutsideTheRangeIsRejected) {
    for (uint16_t version : {99, 101}) {
        const std::string data = Head("Sig", version, "");
        BinaryReader r(data);
        bool hasHeader = false;
        EXPECT_FALSE(r.readFileHead("Sig", 100, 100, hasHeader)) << version;
    }
}

TEST(BinaryReaderFileHead, OtherFirstStringRewindsToTheStart) {
    // Count 2 followed by a record whose first bytes are zero: read as a string of length 2.
    const std::string data("\x02\x00\x00\x00XY", 6);
    BinaryReader r(data);
    bool hasHeader = true;
    ASSERT_TRUE(r.readFileHead("Sig", 100, 100, hasHeader));
    EXPECT_FALSE(hasHeader);
    EXPECT_EQ(r.pos(), 0u);
}

TEST(BinaryReaderFileHead, CutHeadFails) {
    const std::string whole = Head("Sig", 100, "");
    for (size_t cut : {size_t{2}, size_t{5}, whole.size() - 1}) {
        BinaryReader r(std::string_view(whole).substr(0, cut));
        bool hasHeader = false;
        EXPECT_FALSE(r.readFileHead("Sig", 100, 100, hasHeader)) << cut;
    }
}
