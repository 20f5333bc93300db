#include "core/jpeg/exif_marker.h"

#include "core/image/exif_orientation.h"

namespace velmora {

namespace {

constexpr std::size_t kLargestPayload = 0xFFFF - 2;

// Our sources never suspend: at the end of the input they hand over an end marker instead.
unsigned nextByte(j_decompress_ptr cinfo) {
  jpeg_source_mgr& source = *cinfo->src;
  if (source.bytes_in_buffer == 0) source.fill_input_buffer(cinfo);
  --source.bytes_in_buffer;
  return *source.next_input_byte++;
}

}  // namespace

ExifMarker::ExifMarker() { block_.reserve(kLargestPayload); }

void ExifMarker::readFrom(j_decompress_ptr cinfo) {
  cinfo->client_data = this;
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, readSegment);
}

// Runs inside libjpeg, and a failing source jumps from here back to the guard that entered the
// library: this frame holds no object with a destructor, and the block never grows past the
// room reserved for it.
boolean ExifMarker::readSegment(j_decompress_ptr cinfo) {
  ExifMarker& keeper = *static_cast<ExifMarker*>(cinfo->client_data);
  const unsigned high = nextByte(cinfo);
  const unsigned low = nextByte(cinfo);
  const unsigned length = (high << 8) | low;
  const std::size_t payload = length > 2 ? length - 2 : 0;
  if (keeper.found_) {
    if (payload > 0) cinfo->src->skip_input_data(cinfo, static_cast<long>(payload));
    return TRUE;
  }
  keeper.block_.resize(payload);
  for (std::size_t i = 0; i < payload; ++i) keeper.block_[i] = static_cast<JOCTET>(nextByte(cinfo));
  keeper.found_ = isExifBlock(keeper.block_.data(), keeper.block_.size());
  if (!keeper.found_) keeper.block_.clear();
  return TRUE;
}

}  // namespace velmora
