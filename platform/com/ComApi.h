// Symbol visibility for libzrcom.so, the process-wide COM/Win32 stand-in.
#pragma once

#define ZR_COM_API __attribute__((visibility("default")))
