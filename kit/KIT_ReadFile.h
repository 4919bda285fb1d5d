#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Everything we read from outside is a regular file. The check happens on the
// open descriptor, and the open itself never blocks, so a FIFO or a device
// given in place of a file is refused instead of hanging the program.

// A read-only descriptor of the regular file at path, or -1 with *error set.
int KIT_OpenRegularFile(const std::string& path, std::string* error);
// The same as a stream for libraries that read through stdio; null with *error set.
FILE* KIT_OpenRegularStream(const std::string& path, std::string* error);
// The whole file when it holds at most maxBytes; false with *error set otherwise.
bool KIT_ReadFile(const std::string& path, size_t maxBytes, std::string* bytes,
                  std::string* error);
// The same for an entry of an open folder, which is never a link followed:
// a link there is refused as anything but a regular file is.
bool KIT_ReadFileAt(int folder, const std::string& name, size_t maxBytes, std::string* bytes,
                    std::string* error);
