#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrivel {

// The loaders read files by name, so each input is written to one scratch file per process.
const std::string& WriteFuzzInput(const uint8_t* data, size_t size);

} // namespace kestrivel
