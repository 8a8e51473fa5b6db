#pragma once
// A text of the UI table as the windows use it.

#include <QString>

#include "texts/ui_texts.h"

namespace tavrilo {

inline QString UiText(int slot) {
    const std::string_view t = GetUiText(slot);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

}  // namespace tavrilo
