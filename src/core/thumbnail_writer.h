#pragma once
// Turning one source JPEG into one thumbnail file, with its log line.
//
// The work is split in two so that many files can be rendered at once while results are
// committed in order: renderThumbnail does everything in memory (read, header, sizing, decode,
// sample, encode); commitThumbnail writes the result and gives the log line.

#include <string>
#include <vector>

#include "core/thumbnail_request.h"

namespace velmora {

// "缩略图生成:" + source + "-->" + destination
std::string successLine(const std::string& source, const std::string& destination);
// "缩略图失败：" + source + "只能缩小！"
std::string refusalLine(const std::string& source);

struct RenderedThumbnail {
  bool refused = false;            // the sizing rules refused: nothing is to be written
  std::vector<unsigned char> jpeg;  // the encoded thumbnail when not refused
};

// Reads the source and renders the thumbnail into memory. Throws EFOpenError, EReadError or
// EJPEG; touches no destination.
RenderedThumbnail renderThumbnail(const ThumbnailRequest& request);

// Writes a rendered thumbnail to the request's destination, replacing any file there
// atomically, and returns the log line (the refusal line when it was refused, writing nothing).
// Throws EFCreateError or EWriteError; on failure the old destination file is intact.
std::string commitThumbnail(const ThumbnailRequest& request, const RenderedThumbnail& rendered);

// render + commit: one file, one log line, or an error and no line.
std::string MakeThumbnail(const ThumbnailRequest& request);

}  // namespace velmora
