#pragma once

// The one zlib routine the sound codes use, for the browser build, which has
// no zlib of its own; platform/Crc32.cpp computes it.
typedef unsigned char Bytef;
typedef unsigned int uInt;
typedef unsigned long uLong;

uLong crc32(uLong crc, const Bytef* buf, uInt len);
