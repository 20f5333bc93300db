#pragma once
// Owned lcms2 handles, and the one lcms2 context every profile and transform is made in.

#include <lcms2.h>

#include <memory>

namespace velmora {

struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using TransformHandle = std::unique_ptr<void, TransformDeleter>;

// lcms2 reports a damaged profile to its context's log handler and returns null; this context's
// handler is silent, so the library neither prints nor ends anything and the caller decides what
// a failure means. Made once, for the process's life.
cmsContext colourContext();

}  // namespace velmora
