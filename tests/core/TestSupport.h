#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/DateValue.h"

namespace kestrivel {

// Small helpers the core tests share: fixture paths, whole-file bytes, little-endian fields and a
// scratch folder that removes itself.

std::string FixturePath(const std::string& name);
// The file's bytes; a failed read is a test failure and gives "".
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& data);
uint16_t U16At(const std::string& data, size_t at);
uint32_t U32At(const std::string& data, size_t at);
// The date value of a real day; a day that does not exist is a test failure and gives 0.
TDateValue DateOf(int year, int month, int day);

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "kestrivel-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace kestrivel
