#include "KIT_Base64.h"

namespace
{

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

int base64EncodedLength(int inLength)
{
    return inLength > 0 ? (inLength + 2) / 3 * 4 : 0;
}

void base64encode(const unsigned char* in, char* out, int inLength)
{
    unsigned accumulator = 0;
    int bits = 0;
    int n = 0;
    for (int i = 0; i < inLength; ++i)
    {
        accumulator = (accumulator << 8) | in[i];
        bits += 8;
        while (bits >= 6)
        {
            bits -= 6;
            out[n++] = kAlphabet[(accumulator >> bits) & 0x3F];
        }
    }
    if (bits == 2)
    {
        out[n++] = kAlphabet[(accumulator & 0x3) << 4];
        out[n++] = '=';
        out[n++] = '=';
    }
    else if (bits == 4)
    {
        out[n++] = kAlphabet[(accumulator & 0xF) << 2];
        out[n++] = '=';
    }
    out[n] = '\0';
}

int base64decode(const char* in, unsigned char* out, int maxOutLength)
{
    unsigned accumulator = 0;
    int bits = 0;
    int n = 0;
    for (; *in && n < maxOutLength; ++in)
    {
        const int value = sextet(*in);
        if (value < 0)
            break;
        accumulator = (accumulator << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8)
        {
            bits -= 8;
            out[n++] = static_cast<unsigned char>((accumulator >> bits) & 0xFF);
        }
    }
    return n;
}
