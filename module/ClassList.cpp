// The module's classes in catalogue order, which is the order of registration
// and lookup. Adding a process is one line here.
#include "framework/ClassCatalogue.h"
#include "processes/cleanup/CZRDespeckle.h"
#include "processes/geometry/CZRInvert.h"
#include "processes/geometry/CZRRotate.h"
#include "processes/lines/CZRDeskew.h"

namespace {
constexpr const ClassDescriptor* kClasses[] = {
    &CZRInvert::kDescriptor,
    &CZRDeskew::kDescriptor,
    &CZRDespeckle::kDescriptor,
    &CZRRotate::kDescriptor,
};
}  // namespace

ClassList ClassCatalogue() { return kClasses; }
