// The plain LZSS codec: a literal, unoptimised rendering of the resumable
// encoder and decoder, writing and reading a stdio stream one byte at a time.
// Tests compare the product codec with it; it is kept deliberately simple.
#pragma once

#include <cstdio>

namespace oracle {

struct Encoder {
    int state;
    int outCount;
    int i;
    int c;
    int len;
    int r;
    int s;
    int lastMatchLength;
    int codeBufPtr;
    unsigned char mask;
    unsigned char codeBuf[17];
    int matchPosition;
    int matchLength;
    int lson[4097];
    int rson[4353];
    int dad[4097];
    unsigned char textBuf[4096 + 17];
};

struct Decoder {
    int state;
    int i;
    int j;
    int k;
    int r;
    int c;
    int flags;
    unsigned char textBuf[4096];
};

// Encodes n (>= 1) bytes; `final` on the call with the input's last chunk.
// Returns 0, or -1 when the stream reports a write error.
int encode(std::FILE* out, Encoder* encoder, int n, const unsigned char* data, int final);

// Decodes up to `want` (>= 1) bytes into out; returns how many it produced.
int decode(std::FILE* in, Decoder* decoder, int want, unsigned char* out);

}  // namespace oracle
