#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrivel {

// The largest header section (status line, headers, and a chunked answer's trailers) read at all.
inline constexpr size_t kMaxHttpHeaderBytes = 64 * 1024;

// Reads one HTTP/1.1 answer as it arrives off the wire, whatever its framing (Content-Length,
// chunked, or until the connection closes) and coding (identity, gzip, deflate), into at most
// `maxBody` bytes of body as decoded. Nothing is ever sized from what the server announces: a
// body grows only by what arrived, so memory stays at the cap plus one piece whatever the answer
// says. Inflation stops at the cap, so a small bomb costs the cap's worth of work and no more.
class HttpAnswerReader {
public:
    enum class State { Head, Body, Done, Failed };

    // `headRequest`: the answer to HEAD has no body, whatever its headers say.
    HttpAnswerReader(size_t maxBody, bool headRequest = false);
    ~HttpAnswerReader();
    HttpAnswerReader(const HttpAnswerReader&) = delete;
    HttpAnswerReader& operator=(const HttpAnswerReader&) = delete;

    // Takes the next bytes off the wire; returns how many were used (the rest belong to no answer
    // of ours). Call until the state is Done or Failed.
    size_t feed(std::string_view bytes);
    // The connection closed: an answer read until close is done; any other is cut off.
    void closed();

    State state() const { return m_state; }
    // Failed: why, one English line; TooLong when the body (or head) passed its cap.
    const std::string& error() const { return m_error; }
    bool tooLong() const { return m_tooLong; }

    int status() const { return m_status; }
    // The first header of that name (any case), empty when none.
    std::string header(std::string_view name) const;
    std::string& body() { return m_body; }
    // Whether the connection may carry the next request once this answer is done.
    bool keepAlive() const { return m_keepAlive; }
    // Bytes taken off the wire so far (head and body as sent, before inflation).
    uint64_t wireBytes() const { return m_wire; }

private:
    enum class Framing { Length, Chunked, Close, None };
    enum class ChunkStep { Size, Data, DataEnd, Trailer };

    size_t feedHead(std::string_view bytes);
    bool parseHead();
    size_t feedChunked(std::string_view bytes);
    bool takeBody(std::string_view piece);
    void fail(std::string why, bool tooLong = false);

    struct Inflater;

    size_t m_maxBody;
    bool m_headRequest;
    State m_state = State::Head;
    std::string m_error;
    bool m_tooLong = false;
    int m_status = 0;
    std::string m_head;
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::string m_body;
    bool m_keepAlive = true;
    uint64_t m_wire = 0;
    Framing m_framing = Framing::None;
    uint64_t m_left = 0; // Length: body bytes still to come; Chunked: of this chunk
    ChunkStep m_chunkStep = ChunkStep::Size;
    std::string m_line; // a chunk size or trailer line being read
    size_t m_trailerBytes = 0;
    std::unique_ptr<Inflater> m_inflater;
};

} // namespace kestrivel
