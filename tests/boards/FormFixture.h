// The bare form on a plain window: every page enabled, as setupUi leaves it,
// except the Figaro page, which no connection ever enables.
#pragma once

#include "image/ConfigImage.h"
#include "ui_KVX_Configurator.h"

#include <QByteArray>
#include <QMainWindow>

#include <initializer_list>
#include <memory>

namespace kvx::test {

struct Form {
    QMainWindow window;
    Ui_KVX_Configurator ui;
    Form() {
        ui.setupUi(&window);
        ui.Tab_Figaro->setEnabled(false);
    }
};

// A received record: the request word, then the given bytes.
inline ConfigImage record(quint16 word, std::initializer_list<int> bytes = {}) {
    ConfigImage image;
    image.resetRequest(word);
    for (int b : bytes)
        image.appendU8(quint32(b));
    return image;
}

// The data bytes of a built request (after the request word, before padding).
inline QByteArray dataOf(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.bytes.data()) + 2, image.length - 2);
}

inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace kvx::test
