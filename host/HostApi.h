// Symbol visibility of libZRObjectsClient91.so, the host object library.
#pragma once

#define ZR_HOST_API __attribute__((visibility("default")))
