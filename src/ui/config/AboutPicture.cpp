#include "config/AboutPicture.h"

#include <QByteArray>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace kestrivel {

namespace {

// A picture larger than this is not an icon; decoding stops before allocating it.
static constexpr unsigned kMaxPicturePixels = 4096u * 4096u;
static constexpr unsigned kRgbBytes = 3;

struct JpegErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

// Everything one decode keeps, all of it plain C data. It lives in the frame of the caller of
// decodeRgb, not in the frame that calls setjmp, so what libjpeg wrote into it before a jump is
// still there after it (locals of the setjmp frame changed after setjmp would be indeterminate).
struct JpegSession {
    jpeg_decompress_struct Info;
    JpegErrorManager Errors;
    // The decoded rows, RGB, Stride bytes apart; from malloc, freed by whoever holds the session.
    unsigned char* Pixels;
    unsigned Width;
    unsigned Height;
    std::size_t Stride;
};

// libjpeg's own handler ends the process; ours jumps back into decodeRgb, which gives up.
[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->Jump, 1);
}

void JpegQuiet(j_common_ptr) {}

// All of libjpeg's work. An error inside libjpeg longjmps from its handler straight back to the
// setjmp below, skipping libjpeg's frames and the rest of this function. A jump runs no destructor,
// so nothing here has one: libjpeg's structures, the pixel block and the sizes sit in `session`
// (plain C data), and the only locals are a reference bound before setjmp and a row pointer the
// jump makes no use of. The caller builds the image from the pixels once this has returned.
bool decodeRgb(JpegSession& session, const unsigned char* data, unsigned long size) {
    jpeg_decompress_struct& info = session.Info;
    info.err = jpeg_std_error(&session.Errors.Base);
    session.Errors.Base.error_exit = JpegErrorExit;
    session.Errors.Base.output_message = JpegQuiet;
    if (setjmp(session.Errors.Jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&info);
    if (info.output_width == 0 || info.output_height == 0 ||
        info.output_width > kMaxPicturePixels / info.output_height) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    session.Width = info.output_width;
    session.Height = info.output_height;
    session.Stride = std::size_t{info.output_width} * kRgbBytes;
    session.Pixels = static_cast<unsigned char*>(std::malloc(session.Stride * session.Height));
    if (session.Pixels == nullptr) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = session.Pixels + session.Stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& data) {
    if (data.isEmpty()) {
        return QImage();
    }
    JpegSession session{};
    const bool decoded = decodeRgb(session, reinterpret_cast<const unsigned char*>(data.constData()),
                                   static_cast<unsigned long>(data.size()));
    QImage image;
    if (decoded) {
        image =
            QImage(static_cast<int>(session.Width), static_cast<int>(session.Height), QImage::Format_RGB888);
        for (int y = 0; y < image.height(); ++y) {
            std::memcpy(image.scanLine(y), session.Pixels + session.Stride * static_cast<std::size_t>(y),
                        session.Stride);
        }
    }
    std::free(session.Pixels);
    return image;
}

} // namespace kestrivel
