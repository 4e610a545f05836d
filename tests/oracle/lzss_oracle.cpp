#include "lzss_oracle.h"

namespace oracle {

namespace {

const int N = 4096;
const int F = 18;
const int THRESHOLD = 2;
const int NIL = N;

void initTree(Encoder* e) {
    for (int i = N + 1; i <= N + 256; i++) e->rson[i] = NIL;
    for (int i = 0; i < N; i++) e->dad[i] = NIL;
}

void insertNode(Encoder* e, int r) {
    int i, p, cmp;
    unsigned char* key;

    cmp = 1;
    key = &e->textBuf[r];
    p = N + 1 + key[0];
    e->rson[r] = e->lson[r] = NIL;
    e->matchLength = 0;
    for (;;) {
        if (cmp >= 0) {
            if (e->rson[p] != NIL) {
                p = e->rson[p];
            } else {
                e->rson[p] = r;
                e->dad[r] = p;
                return;
            }
        } else {
            if (e->lson[p] != NIL) {
                p = e->lson[p];
            } else {
                e->lson[p] = r;
                e->dad[r] = p;
                return;
            }
        }
        for (i = 1; i < F; i++) {
            if ((cmp = key[i] - e->textBuf[p + i]) != 0) break;
        }
        if (i > e->matchLength) {
            e->matchPosition = p;
            if ((e->matchLength = i) >= F) break;
        }
    }
    e->dad[r] = e->dad[p];
    e->lson[r] = e->lson[p];
    e->rson[r] = e->rson[p];
    e->dad[e->lson[p]] = r;
    e->dad[e->rson[p]] = r;
    if (e->rson[e->dad[p]] == p) {
        e->rson[e->dad[p]] = r;
    } else {
        e->lson[e->dad[p]] = r;
    }
    e->dad[p] = NIL;
}

void deleteNode(Encoder* e, int p) {
    int q;

    if (e->dad[p] == NIL) return;
    if (e->rson[p] == NIL) {
        q = e->lson[p];
    } else if (e->lson[p] == NIL) {
        q = e->rson[p];
    } else {
        q = e->lson[p];
        if (e->rson[q] != NIL) {
            do {
                q = e->rson[q];
            } while (e->rson[q] != NIL);
            e->rson[e->dad[q]] = e->lson[q];
            e->dad[e->lson[q]] = e->dad[q];
            e->lson[q] = e->lson[p];
            e->dad[e->lson[p]] = q;
        }
        e->rson[q] = e->rson[p];
        e->dad[e->rson[p]] = q;
    }
    e->dad[q] = e->dad[p];
    if (e->rson[e->dad[p]] == p) {
        e->rson[e->dad[p]] = q;
    } else {
        e->lson[e->dad[p]] = q;
    }
    e->dad[p] = NIL;
}

}  // namespace

int encode(std::FILE* out, Encoder* e, int n, const unsigned char* data, int final) {
    int i = e->i;
    int c = e->c;
    int len = e->len;
    int r = e->r;
    int s = e->s;
    int lastMatchLength = e->lastMatchLength;
    int codeBufPtr = e->codeBufPtr;
    unsigned char mask = e->mask;
    int result = 0;

#define SAVE()                              \
    do {                                    \
        e->i = i;                           \
        e->c = c;                           \
        e->len = len;                       \
        e->r = r;                           \
        e->s = s;                           \
        e->lastMatchLength = lastMatchLength; \
        e->codeBufPtr = codeBufPtr;         \
        e->mask = mask;                     \
    } while (0)

    if (e->state == 2) goto resumeSlide;
    if (e->state == 1) {
        len++;
        goto resumeFill;
    }

    e->codeBuf[0] = 0;
    mask = 1;
    codeBufPtr = 1;
    s = 0;
    r = N - F;
    initTree(e);
    e->outCount = 0;
    len = 0;

resumeFill:
    for (; len < F && n > 0; len++) {
        e->textBuf[r + len] = *data++;
        if (--n == 0 && !final) {
            e->state = 1;
            SAVE();
            return 0;
        }
    }
    if (len == 0) {
        SAVE();
        return 0;
    }
    for (i = 1; i <= F; i++) insertNode(e, r - i);
    insertNode(e, r);

    do {
        if (e->matchLength > len) e->matchLength = len;
        if (e->matchLength <= THRESHOLD) {
            e->matchLength = 1;
            e->codeBuf[0] |= mask;
            e->codeBuf[codeBufPtr++] = e->textBuf[r];
        } else {
            e->codeBuf[codeBufPtr++] = (unsigned char)e->matchPosition;
            e->codeBuf[codeBufPtr++] =
                (unsigned char)(((e->matchPosition >> 4) & 0xF0) | (e->matchLength - (THRESHOLD + 1)));
        }
        if ((mask <<= 1) == 0) {
            for (i = 0; i < codeBufPtr; i++) {
                fputc(e->codeBuf[i], out);
                e->outCount++;
                if (ferror(out)) {
                    SAVE();
                    return -1;
                }
            }
            e->codeBuf[0] = 0;
            codeBufPtr = mask = 1;
        }
        lastMatchLength = e->matchLength;
        for (i = 0; i < lastMatchLength && n > 0; i++) {
            c = *data++;
            if (--n == 0 && !final) {
                e->state = 2;
                SAVE();
                return 0;
            }
        resumeSlide:
            deleteNode(e, s);
            e->textBuf[s] = (unsigned char)c;
            if (s < F - 1) e->textBuf[s + N] = (unsigned char)c;
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            insertNode(e, r);
        }
        while (i++ < lastMatchLength) {
            deleteNode(e, s);
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (--len) insertNode(e, r);
        }
    } while (len > 0);

    if (codeBufPtr > 1) {
        for (i = 0; i < codeBufPtr; i++) {
            fputc(e->codeBuf[i], out);
            e->outCount++;
            if (ferror(out)) {
                result = -1;
                break;
            }
        }
        for (i = 0; result == 0 && i < codeBufPtr; i++) {
            fputc(0, out);
            e->outCount++;
            if (ferror(out)) result = -1;
        }
    }
    e->state = 0;
    SAVE();
#undef SAVE
    return result;
}

int decode(std::FILE* in, Decoder* d, int want, unsigned char* out) {
    int i = d->i;
    int j = d->j;
    int k = d->k;
    int r = d->r;
    int c = d->c;
    unsigned int flags = (unsigned int)d->flags;
    int produced = 0;

    if (d->state == 2) {
        k++;
        goto resumeReference;
    }
    if (d->state == 1) goto nextItem;
    r = N - F;
    flags = 0;

nextItem:
    for (;;) {
        if (((flags >>= 1) & 256) == 0) {
            if ((c = fgetc(in)) == EOF) break;
            flags = (unsigned int)c | 0xFF00;
        }
        if (flags & 1) {
            if ((c = fgetc(in)) == EOF) break;
            d->textBuf[r++] = (unsigned char)c;
            r &= (N - 1);
            out[produced++] = (unsigned char)c;
            if (produced >= want) {
                d->state = 1;
                goto done;
            }
        } else {
            if ((i = fgetc(in)) == EOF) break;
            if ((j = fgetc(in)) == EOF) break;
            i |= ((j & 0xF0) << 4);
            j = (j & 0x0F) + THRESHOLD;
            k = 0;
        resumeReference:
            for (; k <= j; k++) {
                c = d->textBuf[(i + k) & (N - 1)];
                d->textBuf[r++] = (unsigned char)c;
                r &= (N - 1);
                out[produced++] = (unsigned char)c;
                if (produced >= want) {
                    d->state = 2;
                    goto done;
                }
            }
        }
    }
    d->state = 0;

done:
    d->i = i;
    d->j = j;
    d->k = k;
    d->r = r;
    d->c = c;
    d->flags = (int)flags;
    return produced;
}

}  // namespace oracle
