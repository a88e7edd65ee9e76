#include "TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "common/BinaryStream.h"

namespace kestrivel {

std::string FixturePath(const std::string& name) {
    return std::string(KESTRIVEL_TEST_DATA) + "/" + name;
}

std::string ReadBytes(const std::string& path) {
    std::string data;
    EXPECT_TRUE(ReadWholeFile(path, data)) << path;
    return data;
}

void WriteBytes(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    EXPECT_TRUE(out.good()) << path;
}

uint16_t U16At(const std::string& data, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(data.at(at)) |
                                 (static_cast<unsigned char>(data.at(at + 1)) << 8));
}

uint32_t U32At(const std::string& data, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(data.at(at + static_cast<size_t>(i)));
    }
    return v;
}

TempFolder::TempFolder(const std::string& prefix) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    m_path = tmpl;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

TDateValue DateOf(int year, int month, int day) {
    TDateValue value = 0;
    EXPECT_TRUE(TryEncodeDate(year, month, day, value));
    return value;
}

} // namespace kestrivel
