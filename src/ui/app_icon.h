#pragma once

#include <QIcon>

namespace zorvan::ui {

// The application icon, drawn rather than shipped as a bitmap.
QIcon AppIcon();

}  // namespace zorvan::ui
