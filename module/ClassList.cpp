// The module's classes in catalogue order, which is the order of registration
// and lookup. Adding a process is one line here.
#include "framework/ClassCatalogue.h"
#include "processes/cleanup/CZRDespeckle.h"
#include "processes/geometry/CZRBorderPadding.h"
#include "processes/geometry/CZRInvert.h"
#include "processes/geometry/CZRPageRemoval.h"
#include "processes/geometry/CZRResize.h"
#include "processes/geometry/CZRRotate.h"
#include "processes/lines/CZRDeskew.h"

namespace {
// clang-format off
constexpr const ClassDescriptor* kClasses[] = {
    &CZRInvert::kDescriptor,
    &CZRDeskew::kDescriptor,
    &CZRPageRemoval::kDescriptor,
    &CZRBorderPadding::kDescriptor,
    &CZRResize::kDescriptor,
    &CZRDespeckle::kDescriptor,
    &CZRRotate::kDescriptor,
};
// clang-format on
}  // namespace

ClassList ClassCatalogue() { return kClasses; }
