// The module's classes in catalogue order, which is the order of registration
// and lookup. Adding a process is one line here.
#include "framework/ClassCatalogue.h"
#include "processes/cleanup/CZRCrop.h"
#include "processes/cleanup/CZRDespeckle.h"
#include "processes/cleanup/CZRSmooth.h"
#include "processes/geometry/CZRBorderPadding.h"
#include "processes/geometry/CZRInvert.h"
#include "processes/geometry/CZRPageRemoval.h"
#include "processes/geometry/CZRResize.h"
#include "processes/geometry/CZRRotate.h"
#include "processes/lines/CZRDeskew.h"
#include "processes/lines/CZRLineRemoval.h"
#include "processes/tone/CZRColorSmoothing.h"
#include "processes/tone/CZRDeshade.h"
#include "processes/tone/CZRDynamicThresholding.h"

namespace {
// clang-format off
constexpr const ClassDescriptor* kClasses[] = {
    &CZRInvert::kDescriptor,
    &CZRDeskew::kDescriptor,
    &CZRCrop::kDescriptor,
    &CZRPageRemoval::kDescriptor,
    &CZRBorderPadding::kDescriptor,
    &CZRResize::kDescriptor,
    &CZRSmooth::kDescriptor,
    &CZRDespeckle::kDescriptor,
    &CZRLineRemoval::kDescriptor,
    &CZRDynamicThresholding::kDescriptor,
    &CZRColorSmoothing::kDescriptor,
    &CZRRotate::kDescriptor,
    &CZRDeshade::kDescriptor,
};
// clang-format on
}  // namespace

ClassList ClassCatalogue() { return kClasses; }
