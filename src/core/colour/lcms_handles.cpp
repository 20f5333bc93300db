#include "core/colour/lcms_handles.h"

namespace velmora {

namespace {

void ignoreError(cmsContext, cmsUInt32Number, const char*) {}

}  // namespace

cmsContext colourContext() {
  static const cmsContext context = [] {
    cmsContext made = cmsCreateContext(nullptr, nullptr);
    cmsSetLogErrorHandlerTHR(made, ignoreError);
    return made;
  }();
  return context;
}

}  // namespace velmora
