#pragma once
// Several area-averaged sizes of one picture from a single pass over its rows. Each size is
// averaged from the smallest whole-picture size at least twice its own on both sides, the rule
// the decode scale follows, or else from the picture's rows: a small thumbnail then costs a
// pass over a picture a few times its size, not over the full one. A centre cut is taken from
// a smaller size only where its edges fall on that size's pixel edges.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/image/area_sampling.h"
#include "core/image/row_sink.h"

namespace velmora {

// One size to make: its sides, whether it keeps the centre cut with its own proportions rather
// than the whole picture, and where its rows go.
struct AreaTarget {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool centreCut = false;
  RowSink* sink = nullptr;
};

class AreaCascade : public RowSink {
 public:
  AreaCascade(std::int32_t sourceWidth, std::int32_t sourceHeight,
              const std::vector<AreaTarget>& targets);
  AreaCascade(const AreaCascade&) = delete;
  AreaCascade& operator=(const AreaCascade&) = delete;
  void takeRow(const unsigned char* rgb) override;

 private:
  // Hands each row of the picture to the reducers of the sizes averaged from it.
  class Fork : public RowSink {
   public:
    void add(RowSink& sink) { sinks_.push_back(&sink); }
    void takeRow(const unsigned char* rgb) override {
      for (RowSink* sink : sinks_) sink->takeRow(rgb);
    }

   private:
    std::vector<RowSink*> sinks_;
  };

  Fork pictureRows_;
  std::vector<std::unique_ptr<AreaReducer>> reducers_;
};

}  // namespace velmora
