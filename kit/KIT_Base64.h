#pragma once

// Standard base64. The encoder writes 4 * ceil(inLength / 3) characters and a
// terminator; the decoder stops at the first character outside the alphabet,
// writes at most maxOutLength bytes and returns how many it wrote.
void base64encode(const unsigned char* in, char* out, int inLength);
int base64decode(const char* in, unsigned char* out, int maxOutLength);
int base64EncodedLength(int inLength);
