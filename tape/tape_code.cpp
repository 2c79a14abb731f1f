#include "tape/tape_code.h"
unsigned char isoEncode(unsigned char c) { return c; }
unsigned char isoDecode(unsigned char b) { return b & 0x7F; }
unsigned char eiaEncode(unsigned char c) { return c; }
unsigned char eiaDecode(unsigned char b) { return b; }
