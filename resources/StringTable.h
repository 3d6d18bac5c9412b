// The module's own (English) message table, sorted by id.
#pragma once

#include "platform/win32/StringResources.h"

const StringTableEntry* EnglishStringTable(std::size_t* count);
