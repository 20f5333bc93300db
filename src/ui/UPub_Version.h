#pragma once

#include <QString>

namespace velmora {

// Replaces every "$V$" in the text, found left to right without overlap and without regard to
// letter case, with the version text. Should the replacement fail, the text comes back as it
// was: a caption without its version is better than no window.
QString StampVersion(const QString& text, const QString& version);

}  // namespace velmora
