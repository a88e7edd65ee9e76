#include "sync/EventCache.h"

#include "common/BoundedRead.h"
#include "common/FolderLock.h"
#include "common/SafeFile.h"

#include <charconv>
#include <exception>

namespace kestrivel {

namespace {

constexpr std::string_view kHeader = "KestrivelEvents";
constexpr int kVersion = 1;

bool readNumber(std::string_view& text, char end, size_t& out) {
    const size_t stop = text.find(end);
    if (stop == std::string_view::npos || stop == 0) {
        return false;
    }
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + stop, out);
    if (ec != std::errc() || ptr != text.data() + stop) {
        return false;
    }
    text.remove_prefix(stop + 1);
    return true;
}

bool readField(std::string_view& text, size_t length, std::string& out) {
    if (length > text.size()) {
        return false;
    }
    out.assign(text.substr(0, length));
    text.remove_prefix(length);
    return true;
}

} // namespace

std::string FormatEventCache(const TEventCache& cache) {
    std::string out;
    out += kHeader;
    out += ' ' + std::to_string(kVersion) + ' ' + std::to_string(cache.Events.size()) + '\n';
    for (const TCachedEvent& event : cache.Events) {
        out += std::to_string(event.Source.size()) + ' ' + std::to_string(event.Href.size()) + ' ' +
               std::to_string(event.ETag.size()) + ' ' + std::to_string(event.Data.size()) + '\n';
        out += event.Source;
        out += event.Href;
        out += event.ETag;
        out += event.Data;
        out += '\n';
    }
    return out;
}

bool ParseEventCache(std::string_view text, TEventCache& out) {
    out = {};
    try {
        size_t version = 0;
        size_t count = 0;
        if (text.substr(0, kHeader.size()) != kHeader || text.substr(kHeader.size(), 1) != " ") {
            return false;
        }
        text.remove_prefix(kHeader.size() + 1);
        // Each event takes at least its length line ("0 0 0 0\n") and its closing line break.
        constexpr size_t kLeastPerEvent = 9;
        if (!readNumber(text, ' ', version) || version != kVersion || !readNumber(text, '\n', count) ||
            count > kMaxCachedEvents || count > text.size() / kLeastPerEvent) {
            return false;
        }
        out.Events.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            size_t source = 0, href = 0, etag = 0, data = 0;
            TCachedEvent event;
            if (!readNumber(text, ' ', source) || !readNumber(text, ' ', href) ||
                !readNumber(text, ' ', etag) || !readNumber(text, '\n', data) ||
                !readField(text, source, event.Source) || !readField(text, href, event.Href) ||
                !readField(text, etag, event.ETag) || !readField(text, data, event.Data) ||
                text.substr(0, 1) != "\n") {
                out = {};
                return false;
            }
            text.remove_prefix(1);
            out.Events.push_back(std::move(event));
        }
        if (!text.empty()) {
            out = {};
            return false;
        }
        return true;
    } catch (const std::exception&) {
        out = {};
        return false;
    }
}

std::string EventCachePath(const std::string& folder) {
    return folder + "/" + kEventCacheFileName;
}

bool LoadEventCache(const std::string& folder, TEventCache& out) {
    out = {};
    std::string text;
    return ReadFileBounded(EventCachePath(folder), kDataFileCap, text) == TReadResult::Ok &&
           ParseEventCache(text, out);
}

bool WriteEventCache(const std::string& folder, const TEventCache& cache) {
    try {
        const std::string text = FormatEventCache(cache);
        // What is saved must read again.
        return text.size() <= kDataFileCap && cache.Events.size() <= kMaxCachedEvents &&
               WriteFileAtomic(EventCachePath(folder), text);
    } catch (const std::exception&) {
        return false;
    }
}

bool SaveEventCache(const std::string& folder, const TEventCache& cache) {
    FolderLock lock(folder);
    return lock.acquire() == FolderLock::Result::Taken && WriteEventCache(folder, cache);
}

} // namespace kestrivel
