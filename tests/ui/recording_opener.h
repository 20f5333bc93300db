#pragma once

#include <QUrl>
#include <vector>

#include "ui/UrlOpener.h"

// Stands in for the desktop while a test runs: records every address and answers as told.
class RecordingOpener {
 public:
  explicit RecordingOpener(bool accepts) {
    previous_ = velmora::setUrlOpener([this, accepts](const QUrl& url) {
      opened.push_back(url);
      return accepts;
    });
  }
  ~RecordingOpener() { velmora::setUrlOpener(previous_); }

  std::vector<QUrl> opened;

 private:
  velmora::UrlOpener previous_;
};
