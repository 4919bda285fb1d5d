#pragma once

// The CRC-32 of sound codes and packed text (the polynomial of zlib, PNG
// and Ethernet), here so that what reads codes needs no compression library.
#include <cstddef>
#include <cstdint>

uint32_t Crc32(const unsigned char* bytes, size_t size);
