#pragma once

#include <QImage>

class QByteArray;

namespace kestrivel {

// Decodes a JPEG file's bytes (baseline or progressive) with libjpeg; a null image when the data is
// not a JPEG picture libjpeg can read, or one larger than an About picture could sensibly be.
QImage DecodeJpeg(const QByteArray& data);

} // namespace kestrivel
