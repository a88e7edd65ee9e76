#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrivel {

// Conventions shared by Schemes.dat, Memos.dat and the language files: little-endian integers,
// strings as a signed 32-bit byte count followed by the bytes (a count of 0 or less is the empty
// string with nothing after it), booleans as one byte where any non-zero byte is true.
//
// Every read is bounded by the bytes left: a count larger than what remains fails before anything
// is allocated, so a damaged or hostile file cannot make us allocate more than its own size.
// Once a read has failed the reader stays failed.
class BinaryReader {
public:
    explicit BinaryReader(std::string_view data) : m_data(data) {}

    bool readU8(uint8_t& value);
    bool readU16(uint16_t& value);
    bool readI32(int32_t& value);
    bool readU32(uint32_t& value);
    bool readDouble(double& value);
    bool readBool(bool& value);
    bool readString(std::string& value);

    // The head our binary files share: a signature string and a 16-bit version in
    // minVersion..maxVersion, or no head at all, in which case the reader goes back to offset 0.
    // False when the head cannot be read or names a version outside the range. `hasHeader` says
    // which layout the file has.
    bool readFileHead(std::string_view signature, uint16_t minVersion, uint16_t maxVersion, bool& hasHeader);

    bool seek(size_t pos);
    size_t pos() const { return m_pos; }
    size_t remaining() const { return m_data.size() - m_pos; }
    bool ok() const { return m_ok; }

private:
    bool take(size_t count, const char*& where);

    std::string_view m_data;
    size_t m_pos = 0;
    bool m_ok = true;
};

class BinaryWriter {
public:
    BinaryWriter() = default;
    // Writes into `buffer`, emptied first: a writer that builds the same large file again and
    // again reuses the memory of the last one.
    explicit BinaryWriter(std::string buffer);

    void writeU8(uint8_t value);
    void writeU16(uint16_t value);
    void writeI32(int32_t value);
    void writeU32(uint32_t value);
    void writeDouble(double value);
    void writeBool(bool value);
    // A string longer than 2,147,483,647 bytes cannot be represented; callers never hold one.
    void writeString(std::string_view value);

    // Room for `bytes` more, so a large file is built without growing the buffer again and again.
    void reserve(size_t bytes) { m_buf.reserve(m_buf.size() + bytes); }
    const std::string& data() const { return m_buf; }
    // Hands the bytes over, leaving the writer empty.
    std::string takeData();

private:
    std::string m_buf;
};

// Reads the whole file into `out`, however large. False when it does not exist or cannot be read.
// For the language-file compiler and tests; the program reads its files through ReadFileBounded
// (common/BoundedRead.h), which takes only regular files within a size cap.
bool ReadWholeFile(const std::string& path, std::string& out);
bool FileExists(const std::string& path);

} // namespace kestrivel
