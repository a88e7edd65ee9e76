#include "sync/HttpAnswerReader.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

namespace kestrivel {

namespace {

// A chunk-size line with its extensions; real ones are a few bytes.
constexpr size_t kMaxChunkLine = 1024;
// Inflated text is taken in pieces of this size, so a bomb never makes more than one piece past
// the cap.
constexpr size_t kInflatePiece = 16 * 1024;
// Framing costs bytes on the wire beyond the body (chunk lines, compression overhead): allowed up to
// twice the body's cap, then the answer is too long however little of it is body.
constexpr uint64_t kWireSlack = 64 * 1024;

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// Digits only, at most 18 of them (no overflow); false for anything else.
bool ParseDecimal(std::string_view s, uint64_t& out) {
    if (s.empty() || s.size() > 18) {
        return false;
    }
    out = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        out = out * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

bool ParseHex(std::string_view s, uint64_t& out) {
    if (s.empty() || s.size() > 15) {
        return false;
    }
    out = 0;
    for (const char c : s) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                      : -1;
        if (digit < 0) {
            return false;
        }
        out = out * 16 + static_cast<uint64_t>(digit);
    }
    return true;
}

} // namespace

struct HttpAnswerReader::Inflater {
    z_stream Stream{};
    bool Ended = false;
    Inflater() {
        // 32 + 15: a gzip or a zlib header, whichever comes; "deflate" answers carry the zlib one.
        inflateInit2(&Stream, 32 + 15);
    }
    ~Inflater() { inflateEnd(&Stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

HttpAnswerReader::HttpAnswerReader(size_t maxBody, bool headRequest)
    : m_maxBody(maxBody), m_headRequest(headRequest) {}

HttpAnswerReader::~HttpAnswerReader() = default;

void HttpAnswerReader::fail(std::string why, bool tooLong) {
    m_state = State::Failed;
    m_error = std::move(why);
    m_tooLong = tooLong;
    m_keepAlive = false;
    std::string().swap(m_body);
}

std::string HttpAnswerReader::header(std::string_view name) const {
    for (const auto& [key, value] : m_headers) {
        if (SameName(key, name)) {
            return value;
        }
    }
    return std::string();
}

size_t HttpAnswerReader::feed(std::string_view bytes) {
    size_t used = 0;
    while (used < bytes.size() && (m_state == State::Head || m_state == State::Body)) {
        const std::string_view rest = bytes.substr(used);
        size_t step = 0;
        if (m_state == State::Head) {
            step = feedHead(rest);
        } else if (m_framing == Framing::Chunked) {
            step = feedChunked(rest);
        } else {
            step = m_framing == Framing::Length ? static_cast<size_t>(std::min<uint64_t>(m_left, rest.size()))
                                                : rest.size();
            m_wire += step;
            if (takeBody(rest.substr(0, step)) && m_framing == Framing::Length) {
                m_left -= step;
                if (m_left == 0) {
                    if (m_inflater && !m_inflater->Ended) {
                        fail("the compressed answer is cut off");
                    } else {
                        m_state = State::Done;
                    }
                }
            }
        }
        used += step;
    }
    return used;
}

size_t HttpAnswerReader::feedHead(std::string_view bytes) {
    const size_t old = m_head.size();
    const size_t take = std::min(bytes.size(), kMaxHttpHeaderBytes - old);
    m_head.append(bytes.substr(0, take));
    // The end of the head may straddle two pieces: look back three bytes.
    const size_t from = old > 3 ? old - 3 : 0;
    size_t end = std::string::npos;
    for (size_t i = from; i < m_head.size(); ++i) {
        if (m_head[i] != '\n') {
            continue;
        }
        if (i + 1 < m_head.size() && m_head[i + 1] == '\n') {
            end = i + 2;
            break;
        }
        if (i + 2 < m_head.size() && m_head[i + 1] == '\r' && m_head[i + 2] == '\n') {
            end = i + 3;
            break;
        }
    }
    if (end == std::string::npos) {
        m_wire += take;
        if (m_head.size() >= kMaxHttpHeaderBytes) {
            fail("the answer's headers are too long", true);
        }
        return take;
    }
    const size_t used = end - old;
    m_wire += used;
    m_head.resize(end);
    if (!parseHead()) {
        return used;
    }
    // An interim answer (100 Continue and the like) is followed by the real one.
    if (m_status >= 100 && m_status < 200) {
        m_head.clear();
        m_headers.clear();
        m_state = State::Head;
    }
    return used;
}

bool HttpAnswerReader::parseHead() {
    std::string_view head(m_head);
    size_t lineEnd = head.find('\n');
    const std::string_view statusLine = Trim(head.substr(0, lineEnd));
    // "HTTP/1.1 200 OK": the version, a space, three digits.
    if (statusLine.size() < 12 || statusLine.substr(0, 5) != "HTTP/" || statusLine[8] != ' ' ||
        !std::isdigit(static_cast<unsigned char>(statusLine[9])) ||
        !std::isdigit(static_cast<unsigned char>(statusLine[10])) ||
        !std::isdigit(static_cast<unsigned char>(statusLine[11]))) {
        fail("not an HTTP answer");
        return false;
    }
    m_status = (statusLine[9] - '0') * 100 + (statusLine[10] - '0') * 10 + (statusLine[11] - '0');
    const bool oldVersion = statusLine.substr(0, 8) == "HTTP/1.0";
    while (lineEnd != std::string_view::npos) {
        const size_t start = lineEnd + 1;
        lineEnd = head.find('\n', start);
        const std::string_view raw =
            head.substr(start, lineEnd == std::string_view::npos ? lineEnd : lineEnd - start);
        const std::string_view line = Trim(raw);
        if (line.empty()) {
            continue;
        }
        const size_t colon = line.find(':');
        // A line folded onto the one before, or one without a name: not a head we can read safely.
        if (colon == std::string_view::npos || colon == 0 || raw.front() == ' ' || raw.front() == '\t') {
            fail("the answer's headers do not read");
            return false;
        }
        m_headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                               std::string(Trim(line.substr(colon + 1))));
    }
    if (m_status < 200) {
        return true;
    }
    const std::string connection = Lower(header("Connection"));
    m_keepAlive = oldVersion ? connection.find("keep-alive") != std::string::npos
                             : connection.find("close") == std::string::npos;
    const std::string coding = Lower(Trim(header("Content-Encoding")));
    if (coding == "gzip" || coding == "x-gzip" || coding == "deflate") {
        m_inflater = std::make_unique<Inflater>();
    } else if (!coding.empty() && coding != "identity") {
        fail("the answer is compressed in a way this program does not read");
        return false;
    }
    m_state = State::Body;
    if (m_headRequest || m_status == 204 || m_status == 304) {
        m_state = State::Done;
        return true;
    }
    const std::string transfer = Lower(Trim(header("Transfer-Encoding")));
    if (!transfer.empty()) {
        const size_t comma = transfer.rfind(',');
        const std::string_view last =
            Trim(comma == std::string::npos ? std::string_view(transfer)
                                            : std::string_view(transfer).substr(comma + 1));
        if (last == "chunked") {
            m_framing = Framing::Chunked;
        } else {
            m_framing = Framing::Close;
            m_keepAlive = false;
        }
        return true;
    }
    std::string length;
    for (const auto& [key, value] : m_headers) {
        if (!SameName(key, "Content-Length")) {
            continue;
        }
        if (!length.empty() && value != length) {
            fail("the answer gives two lengths");
            return false;
        }
        length = value;
    }
    if (length.empty()) {
        m_framing = Framing::Close;
        m_keepAlive = false;
        return true;
    }
    uint64_t announced = 0;
    if (!ParseDecimal(length, announced)) {
        // Twenty digits and more are more than any cap; anything else is not a length.
        const bool digits =
            std::all_of(length.begin(), length.end(), [](unsigned char c) { return std::isdigit(c); });
        fail(digits ? "answer too long" : "the answer's length does not read", digits);
        return false;
    }
    if (announced > m_maxBody + kWireSlack && announced > 2 * static_cast<uint64_t>(m_maxBody)) {
        fail("answer too long", true);
        return false;
    }
    if (!m_inflater && announced > m_maxBody) {
        fail("answer too long", true);
        return false;
    }
    m_framing = Framing::Length;
    m_left = announced;
    if (m_left == 0) {
        m_state = State::Done;
        if (m_inflater) {
            m_inflater.reset();
        }
    }
    return true;
}

bool HttpAnswerReader::takeBody(std::string_view piece) {
    if (m_wire > 2 * static_cast<uint64_t>(m_maxBody) + kWireSlack + m_head.size()) {
        fail("answer too long", true);
        return false;
    }
    // The body never holds more room than the cap: it grows by doubling up to the cap, then stops.
    const auto append = [this](const char* data, size_t size) {
        if (size > m_maxBody - m_body.size()) {
            fail("answer too long", true);
            return false;
        }
        const size_t needed = m_body.size() + size;
        if (needed > m_body.capacity()) {
            // A string's own reserve doubles past what is asked; a fresh one takes what it is told.
            std::string grown;
            grown.reserve(std::min(std::max(needed, 2 * m_body.capacity()), m_maxBody));
            grown.append(m_body);
            m_body.swap(grown);
        }
        m_body.append(data, size);
        return true;
    };
    if (!m_inflater) {
        return append(piece.data(), piece.size());
    }
    if (m_inflater->Ended) {
        return true; // what follows the compressed stream is not the answer's
    }
    z_stream& z = m_inflater->Stream;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(piece.size());
    char out[kInflatePiece];
    while (z.avail_in > 0 || z.avail_out == 0) {
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = sizeof out;
        const int result = inflate(&z, Z_NO_FLUSH);
        const size_t made = sizeof out - z.avail_out;
        if (made > 0 && !append(out, made)) {
            return false;
        }
        if (result == Z_STREAM_END) {
            m_inflater->Ended = true;
            return true;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) {
            fail("the compressed answer does not read");
            return false;
        }
        if (result == Z_BUF_ERROR || (made == 0 && z.avail_in == 0)) {
            break;
        }
    }
    return true;
}

size_t HttpAnswerReader::feedChunked(std::string_view bytes) {
    if (m_chunkStep == ChunkStep::Data) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(m_left, bytes.size()));
        m_wire += step;
        if (takeBody(bytes.substr(0, step))) {
            m_left -= step;
            if (m_left == 0) {
                m_chunkStep = ChunkStep::DataEnd;
            }
        }
        return step;
    }
    // The other steps read one line.
    const size_t newline = bytes.find('\n');
    const size_t step = newline == std::string_view::npos ? bytes.size() : newline + 1;
    const size_t lineCap = m_chunkStep == ChunkStep::Trailer ? kMaxHttpHeaderBytes : kMaxChunkLine;
    m_wire += step;
    if (m_line.size() + step > lineCap) {
        fail(m_chunkStep == ChunkStep::Trailer ? "the answer's headers are too long"
                                               : "a chunk of the answer does not read",
             m_chunkStep == ChunkStep::Trailer);
        return step;
    }
    m_line.append(bytes.substr(0, step));
    if (newline == std::string_view::npos) {
        return step;
    }
    const std::string_view line = Trim(std::string_view(m_line).substr(0, m_line.size() - 1));
    switch (m_chunkStep) {
    case ChunkStep::Size: {
        uint64_t size = 0;
        if (!ParseHex(Trim(line.substr(0, line.find(';'))), size)) {
            fail("a chunk of the answer does not read");
            break;
        }
        if (size > m_maxBody + kWireSlack && size > 2 * static_cast<uint64_t>(m_maxBody)) {
            fail("answer too long", true);
            break;
        }
        m_left = size;
        m_chunkStep = size == 0 ? ChunkStep::Trailer : ChunkStep::Data;
        break;
    }
    case ChunkStep::DataEnd:
        if (!line.empty()) {
            fail("a chunk of the answer does not read");
        }
        m_chunkStep = ChunkStep::Size;
        break;
    case ChunkStep::Trailer:
        m_trailerBytes += m_line.size();
        if (m_trailerBytes + m_head.size() > kMaxHttpHeaderBytes) {
            fail("the answer's headers are too long", true);
        } else if (line.empty()) {
            if (m_inflater && !m_inflater->Ended) {
                fail("the compressed answer is cut off");
            } else {
                m_state = State::Done;
            }
        }
        break;
    case ChunkStep::Data:
        break;
    }
    m_line.clear();
    return step;
}

void HttpAnswerReader::closed() {
    if (m_state == State::Head) {
        fail(m_head.empty() ? "the server closed the connection without an answer" : "the answer broke off");
    } else if (m_state == State::Body) {
        if (m_framing == Framing::Close && (!m_inflater || m_inflater->Ended)) {
            m_state = State::Done;
            m_keepAlive = false;
        } else {
            fail("the answer broke off");
        }
    }
}

} // namespace kestrivel
