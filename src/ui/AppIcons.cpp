#include "ui/AppIcons.h"

#include <QGuiApplication>
#include <QString>

// The resources live in a static library: nothing references their object file, so the linker
// would drop it unless they are registered by hand. Q_INIT_RESOURCE must be called outside any
// namespace.
static void registerVelmoraResources() { Q_INIT_RESOURCE(velmora); }

namespace velmora {

namespace {

void ensureResources() {
  static const bool registered = (registerVelmoraResources(), true);
  (void)registered;
}

constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

QString iconPath(int size) {
  return QStringLiteral(":/velmora/resources/icons/velmora-%1.png").arg(size);
}

QString glyphName(ButtonGlyph glyph) {
  switch (glyph) {
    case ButtonGlyph::About:
      return QStringLiteral("about");
    case ButtonGlyph::HomePage:
      return QStringLiteral("homepage");
    case ButtonGlyph::ThumbnailOne:
      return QStringLiteral("thumbnail-one");
    case ButtonGlyph::ThumbnailBatch:
      return QStringLiteral("thumbnail-batch");
    case ButtonGlyph::ChooseFolder:
      return QStringLiteral("folder");
  }
  return {};
}

}  // namespace

QIcon applicationIcon() {
  ensureResources();
  QIcon icon;
  for (int size : kIconSizes) icon.addFile(iconPath(size), QSize(size, size));
  return icon;
}

QPixmap applicationPixmap(int size) {
  ensureResources();
  return QPixmap(iconPath(size));
}

void setupApplicationIdentity() {
  QGuiApplication::setWindowIcon(applicationIcon());
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopAppId));
}

QIcon buttonGlyph(ButtonGlyph glyph) {
  ensureResources();
  const QString base = QStringLiteral(":/velmora/resources/glyphs/") + glyphName(glyph);
  QIcon icon;
  icon.addFile(base + QStringLiteral(".png"), QSize(16, 16), QIcon::Normal);
  icon.addFile(base + QStringLiteral("-disabled.png"), QSize(16, 16), QIcon::Disabled);
  return icon;
}

}  // namespace velmora
