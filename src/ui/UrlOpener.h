#pragma once

#include <QUrl>
#include <functional>

namespace velmora {

// Hands an address to the desktop's default handler (web browser, mail program) and says whether
// the desktop accepted it.
using UrlOpener = std::function<bool(const QUrl&)>;

// Opens an address through the current opener (the desktop's by default).
bool openUrl(const QUrl& url);

// Installs another opener for the whole program and returns the one it replaces; tests install
// a recorder so that no browser starts.
UrlOpener setUrlOpener(UrlOpener opener);

// The home-page button: opens the home page and examines nothing, so a failure stays silent.
void openHomePage();

}  // namespace velmora
