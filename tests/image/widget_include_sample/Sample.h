// clang-format off
// Holds one widget include on purpose.
#pragma once
#include <QtCore/QString>
#  include "QCheckBox"
