#include "ui/UrlOpener.h"

#include <QDesktopServices>
#include <utility>

#include "core/version.h"

namespace velmora {

namespace {

UrlOpener& currentOpener() {
  static UrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}

}  // namespace

bool openUrl(const QUrl& url) { return currentOpener()(url); }

UrlOpener setUrlOpener(UrlOpener opener) {
  return std::exchange(currentOpener(), std::move(opener));
}

void openHomePage() { openUrl(QUrl(QString::fromLatin1(kHomePageUrl))); }

}  // namespace velmora
