#pragma once
// The one place where an output's sampled picture becomes its JPEG bytes: every thumbnail a run
// writes is encoded here, with the settings its request carries for its outputs.

#include <string>
#include <vector>

#include "core/colour/source_colour.h"
#include "core/image/row_sink.h"
#include "core/jpeg/jpeg_encoder.h"
#include "core/jpeg/source_markers.h"
#include "core/rules/thumbnail_request.h"
#include "core/thumbnail/colour_output.h"

namespace velmora {

// Takes the picture of one output, `size` as displayed, a row at a time as it is sampled, so
// that no output is held whole before it is encoded; its colours follow the source's plan
// (converted after the reduction, or its profile embedded), and it carries the source's
// metadata the request keeps.
class OutputEncoder : public RowSink {
 public:
  // `colour` must outlive the encoder.
  OutputEncoder(PixelSize size, const ThumbnailRequest& request, const ColourPlan& colour,
                const SourceMarkers& markers);
  OutputEncoder(const OutputEncoder&) = delete;
  OutputEncoder& operator=(const OutputEncoder&) = delete;
  void takeRow(const unsigned char* rgb) override { coloured_.takeRow(rgb); }
  // After the last row: the thumbnail file's bytes.
  std::vector<unsigned char> finish();
  // What of the source's metadata had to be left out, and why.
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  class Encoded : public RowSink {
   public:
    explicit Encoded(JpegEncoder& encoder) : encoder_(encoder) {}
    void takeRow(const unsigned char* rgb) override { encoder_.writeRow(rgb); }

   private:
    JpegEncoder& encoder_;
  };

  JpegEncoder encoder_;
  std::vector<std::string> warnings_;
  Encoded encoded_;
  ColouredRows coloured_;
};

}  // namespace velmora
