// Small helpers shared by the board codecs.
#pragma once

#include "image/ConfigImage.h"

#include <QString>

namespace kvx {

// A u32 counter shown in decimal; 0 when the field does not lie inside.
inline QString decimalField(const ConfigImage& image, int offset) {
    return QString::number(image.readU32(offset));
}

} // namespace kvx
