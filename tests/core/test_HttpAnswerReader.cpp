#include "sync/HttpAnswerReader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

using namespace kestrivel;

namespace {

using State = HttpAnswerReader::State;

// `text` compressed as gzip (windowBits 31) or zlib (15) would send it.
std::string Pack(const std::string& text, int windowBits) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Chunked(const std::string& body) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx", body.size());
    return std::string(size) + "\r\n" + body + "\r\n0\r\n\r\n";
}

struct Case {
    const char* Name;
    std::string Wire;
    size_t Cap;
    bool CloseAfter; // the server closes the connection after Wire
    State Expected;
    bool TooLong;     // Failed: as too long
    int Status;       // Done: the status
    std::string Body; // Done: the body
    bool KeepAlive;   // Done: the connection may be kept
    size_t Used;      // bytes of Wire that belong to the answer (0: all)
};

const std::string kOk = "HTTP/1.1 200 OK\r\n";

std::vector<Case> Cases() {
    const std::string gzipBomb = Pack(std::string(8 * 1024 * 1024, ' '), 31);
    const std::string gzipped = Pack("<multistatus/>", 31);
    const std::string zlibbed = Pack("<multistatus/>", 15);
    return {
        {"length", kOk + "Content-Length: 5\r\n\r\nhelloNEXT", 100, false, State::Done, false, 200, "hello",
         true, kOk.size() + 21 + 5},
        {"bare line feeds", "HTTP/1.1 207 Multi\nContent-Length: 2\n\nok", 100, false, State::Done, false,
         207, "ok", true, 0},
        {"chunked with extension and trailer",
         kOk + "Transfer-Encoding: chunked\r\n\r\n3;x=y\r\nabc\r\n2\r\nde\r\n0\r\nX-T: 1\r\n\r\n", 100, false,
         State::Done, false, 200, "abcde", true, 0},
        {"until close", "HTTP/1.1 200 OK\r\n\r\nall of it", 100, true, State::Done, false, 200, "all of it",
         false, 0},
        {"until close, cut by the cap", "HTTP/1.1 200 OK\r\n\r\n" + std::string(101, 'x'), 100, true,
         State::Failed, true, 0, "", false, 0},
        {"HTTP/1.0 closes", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx", 100, false, State::Done, false,
         200, "x", false, 0},
        {"Connection: close", kOk + "Connection: close\r\nContent-Length: 0\r\n\r\n", 100, false, State::Done,
         false, 200, "", false, 0},
        {"no body for 204", "HTTP/1.1 204 No Content\r\nContent-Length: 9\r\n\r\n", 100, false, State::Done,
         false, 204, "", true, 0},
        {"interim answer first", "HTTP/1.1 100 Continue\r\n\r\n" + kOk + "Content-Length: 2\r\n\r\nhi", 100,
         false, State::Done, false, 200, "hi", true, 0},
        {"length over the cap", kOk + "Content-Length: 101\r\n\r\n", 100, false, State::Failed, true, 0, "",
         false, 0},
        {"absurd length", kOk + "Content-Length: 42949672960\r\n\r\n", 1 << 20, false, State::Failed, true, 0,
         "", false, 0},
        {"twenty digits of length", kOk + "Content-Length: 99999999999999999999\r\n\r\n", 100, false,
         State::Failed, true, 0, "", false, 0},
        {"a length that is no number", kOk + "Content-Length: -1\r\n\r\n", 100, false, State::Failed, false,
         0, "", false, 0},
        {"two lengths", kOk + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", 100, false, State::Failed,
         false, 0, "", false, 0},
        {"endless header section", kOk + std::string(70 * 1024, 'h'), 1 << 20, false, State::Failed, true, 0,
         "", false, kMaxHttpHeaderBytes},
        {"folded header line", kOk + "A: 1\r\n b\r\nContent-Length: 0\r\n\r\n", 100, false, State::Failed,
         false, 0, "", false, 0},
        {"not http", "SSH-2.0-OpenSSH\r\n\r\n", 100, false, State::Failed, false, 0, "", false, 0},
        {"chunks past the cap", kOk + "Transfer-Encoding: chunked\r\n\r\n" + Chunked(std::string(101, 'x')),
         100, false, State::Failed, true, 0, "", false, 0},
        {"an absurd chunk", kOk + "Transfer-Encoding: chunked\r\n\r\nfffffffffffffff\r\n", 100, false,
         State::Failed, true, 0, "", false, 0},
        {"a chunk size too long to read", kOk + "Transfer-Encoding: chunked\r\n\r\n" + std::string(2000, '0'),
         100, false, State::Failed, false, 0, "", false, 0},
        {"endless trailers", kOk + "Transfer-Encoding: chunked\r\n\r\n0\r\n" + std::string(70 * 1024, 't'),
         100, false, State::Failed, true, 0, "", false, 0},
        {"gzip",
         kOk + "Content-Encoding: gzip\r\nContent-Length: " + std::to_string(gzipped.size()) + "\r\n\r\n" +
             gzipped,
         100, false, State::Done, false, 200, "<multistatus/>", true, 0},
        {"deflate, chunked",
         kOk + "Content-Encoding: deflate\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunked(zlibbed), 100,
         false, State::Done, false, 200, "<multistatus/>", true, 0},
        {"gzip bomb", kOk + "Content-Encoding: gzip\r\n\r\n" + gzipBomb, 1 << 20, true, State::Failed, true,
         0, "", false, 0},
        {"gzip cut off", kOk + "Content-Encoding: gzip\r\nContent-Length: 10\r\n\r\n" + gzipped.substr(0, 10),
         100, false, State::Failed, false, 0, "", false, 0},
        {"broken gzip", kOk + "Content-Encoding: gzip\r\nContent-Length: 4\r\n\r\nabcd", 100, false,
         State::Failed, false, 0, "", false, 0},
        {"a coding not read", kOk + "Content-Encoding: br\r\nContent-Length: 1\r\n\r\nx", 100, false,
         State::Failed, false, 0, "", false, 0},
        {"length cut off", kOk + "Content-Length: 9\r\n\r\nabc", 100, true, State::Failed, false, 0, "",
         false, 0},
        {"closed before any answer", "", 100, true, State::Failed, false, 0, "", false, 0},
    };
}

class HttpAnswerReaderTable : public ::testing::TestWithParam<size_t> {};

// Each answer in one piece and in pieces of GetParam() bytes: the end of the head, a chunk line or a
// compressed block may fall anywhere.
TEST_P(HttpAnswerReaderTable, ReadsWhatArrives) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.Name);
        HttpAnswerReader reader(c.Cap);
        size_t used = 0;
        const size_t piece = GetParam() == 0 ? c.Wire.size() + 1 : GetParam();
        for (size_t at = 0;
             at < c.Wire.size() && (reader.state() == State::Head || reader.state() == State::Body);
             at += piece) {
            const std::string_view part = std::string_view(c.Wire).substr(at, piece);
            const size_t took = reader.feed(part);
            used += took;
            if (took < part.size()) {
                break;
            }
        }
        if (c.CloseAfter) {
            reader.closed();
        }
        ASSERT_EQ(reader.state(), c.Expected) << reader.error();
        if (c.Expected == State::Failed) {
            EXPECT_EQ(reader.tooLong(), c.TooLong) << reader.error();
            EXPECT_FALSE(reader.error().empty());
            EXPECT_LE(reader.body().capacity(), c.Cap);
        } else {
            EXPECT_EQ(reader.status(), c.Status);
            EXPECT_EQ(reader.body(), c.Body);
            EXPECT_EQ(reader.keepAlive(), c.KeepAlive);
        }
        if (c.Used != 0) {
            EXPECT_LE(used, c.Used);
            EXPECT_GE(used + piece, std::min(c.Used, c.Wire.size()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pieces, HttpAnswerReaderTable, ::testing::Values(0, 1, 7, 4096));

// The body never takes room beyond the cap, whatever the length said and however it grew.
TEST(HttpAnswerReader, RoomStaysWithinTheCap) {
    const size_t cap = 1000;
    HttpAnswerReader reader(cap);
    reader.feed(kOk + "Content-Length: 1000\r\n\r\n");
    for (int i = 0; i < 1000; ++i) {
        reader.feed("x");
    }
    ASSERT_EQ(reader.state(), State::Done);
    EXPECT_EQ(reader.body().size(), cap);
    EXPECT_LE(reader.body().capacity(), cap + 32); // the string's own rounding
}

} // namespace
