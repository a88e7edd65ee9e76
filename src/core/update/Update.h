#pragma once

#include "common/Version.h"
#include "update/HttpClient.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kestrivel {

// This program's own version number is kOwnVersion (common/Version.h); a version file naming a
// greater one means an update exists.
// The version file's keys are this prefix followed by "Version" and "URL".
inline constexpr std::string_view kUpdateKeyPrefix = "Kestri";
inline constexpr std::string_view kUpdateUserAgent = "Kestrivel";
inline constexpr std::string_view kVersionFilePath = "/versions.inf";
// The version file is a few lines; anything longer than this is not one and fails the check.
inline constexpr size_t kMaxVersionResponseBytes = 1024 * 1024;

// What the last check learned. Version and URL hold the last successful reading; Response the
// bytes of the last answer, one character per byte.
class TUpdate {
public:
    int32_t Version = 0;
    std::string URL;
    std::string Response;
};

// The value of `key` in a version file: the text after the first occurrence of key + "=" up to the
// next CR LF pair or the end; empty when the key is missing. Nothing is trimmed.
std::string extractVersionValue(std::string_view response, std::string_view key);

// Reads a version-file answer into `update` (the pure half of FetchVersionInfo): Response becomes
// `response`; on success Version and URL take the file's values. An empty answer or a version that
// is not an integer fails and leaves Version and URL as they were.
bool readVersionInfo(TUpdate& update, std::string_view prefix, std::string response);

// Whether the version read names a newer program than this one.
bool isNewerVersion(const TUpdate& update);

// The version file's address on `endpoint` (scheme and host); empty when there is no endpoint.
std::string versionFileAddress(std::string_view endpoint);

// Fetches the version file at `url` through `http` and reads it into `update`; `done` gets the
// result later, on the caller's thread. Response is emptied at once; a failed request leaves it
// empty. `update` is kept alive until the answer arrives.
void FetchVersionInfo(std::shared_ptr<TUpdate> update, IHttpClient& http, std::string prefix,
                      const std::string& url, std::function<void(bool)> done);

} // namespace kestrivel
