#pragma once
// Turning one source JPEG into one thumbnail file, with its log line.
//
// The work is split so that many files can be made at once while results are committed in
// order: renderThumbnail does everything in memory (read, header, sizing, decode, sample,
// encode), prepareThumbnail also writes the result to a temporary file beside the destination
// and flushes it to the disk, and commitThumbnail only gives it its name and the log line.
// The errors prepareThumbnail and commitThumbnail raise name the request's source (Error::file).

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "core/files/atomic_file.h"
#include "core/jpeg/decode_limits.h"
#include "core/rules/thumbnail_request.h"

namespace velmora {

// "缩略图生成:" + source + "-->" + destination
std::string successLine(const std::string& source, const std::string& destination);
// "缩略图失败：" + source + "只能缩小！"
std::string refusalLine(const std::string& source);

// One output of a rendered request.
struct RenderedOutput {
  bool refused = false;             // the sizing rules refused: nothing is to be written
  std::vector<unsigned char> jpeg;  // the encoded thumbnail when not refused
};

struct RenderedThumbnail {
  std::vector<RenderedOutput> outputs;  // one per output of the request, in its order
  StagedSource source;                  // the source as it was opened
  bool truncated = false;               // the source's picture data ended early; the rest is grey
  std::vector<std::string> warnings;    // what was left out of the thumbnails, and why
};

// "would make: " + source + " --> " + destination + " (W x H)", a dry run's line for a file it
// would make.
std::string wouldMakeLine(const std::string& source, const std::string& destination,
                          PixelSize size);

// Reads the source's header alone and decides, per output of the request: the thumbnail's size,
// or nothing when the sizing rules refuse. Throws EFOpenError, EReadError or EJPEG, naming the
// source; writes nothing.
std::vector<std::optional<PixelSize>> decideThumbnails(const ThumbnailRequest& request,
                                                       const DecodeLimits& limits);

// Reads the source and renders every output of the request into memory from one decode: full
// size, each output picking its pixels, in the default mode; at the scale the most demanding
// output needs in area mode. Throws EFOpenError, EReadError or EJPEG; touches no destination.
RenderedThumbnail renderThumbnail(const ThumbnailRequest& request, const DecodeLimits& limits);

// One output of a prepared request.
struct PreparedOutput {
  bool refused = false;              // the sizing rules refused: nothing is to be written
  std::optional<StagedFile> staged;  // the thumbnail under its temporary name when not refused
  std::exception_ptr error;          // why it could not be staged (velmora::Error), naming the
                                     // source; the other outputs are staged all the same
};

struct PreparedThumbnail {
  std::vector<PreparedOutput> outputs;  // one per output of the request, in its order
  bool truncated = false;               // as RenderedThumbnail::truncated
  std::vector<std::string> warnings;    // as RenderedThumbnail::warnings
};

// Renders the request's outputs and stages each in its destination's folder as `folders` holds
// it. Throws EFOpenError, EReadError or EJPEG when the source cannot be read; an output that
// cannot be staged keeps its EFCreateError, ESameFile or EWriteError. No destination itself is
// touched.
PreparedThumbnail prepareThumbnail(const ThumbnailRequest& request, const DecodeLimits& limits,
                                   DestinationFolders& folders);

// Puts a prepared output of `source` in place of its destination, replacing any file there
// atomically, and returns the log line (the refusal line when it was refused, writing nothing).
// Throws EFCreateError, ESameFile or EDestinationTaken, naming the source; on failure the old
// destination file is intact.
std::string commitThumbnail(const std::string& source, const std::string& destination,
                            PreparedOutput& prepared);

// One file, one log line, or an error and no line. Tidies the destination folder of what
// killed runs left there first, and flushes its new entry to the disk after.
std::string makeThumbnailFile(const ThumbnailRequest& request, DecoderMemoryBudget& memory);

}  // namespace velmora
