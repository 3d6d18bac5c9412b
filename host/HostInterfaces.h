// Every host interface that processes call: page, image, page container,
// page part files, status messages and their list, property bag, page range,
// zone manager and zone (one header each under host/interfaces/).
#pragma once

#include "host/interfaces/IZRImage.h"
#include "host/interfaces/IZRPage.h"
#include "host/interfaces/IZRPageContainer.h"
#include "host/interfaces/IZRPagePartA.h"
#include "host/interfaces/IZRPagePartB.h"
#include "host/interfaces/IZRPagePartC.h"
#include "host/interfaces/IZRStatusMessages.h"
#include "host/interfaces/IZRZone.h"
#include "host/interfaces/ZRPageRange.h"
#include "host/interfaces/ZRPropertyBag.h"
#include "host/interfaces/ZRStatusMessage.h"
#include "host/interfaces/ZRZoneManager.h"
