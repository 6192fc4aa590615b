/* ROM self-test for a full AT89C55 (20 KiB): at reset the program adds up
 * every code byte from 0000h to 4FFDh and compares the 16-bit sum with the
 * big-endian word at 4FFEh, which the build stores there. P1.0 low means the
 * flash is intact, P1.1 low means it is not. The space after the program is
 * a text table that the build repeats up to the end of the flash. */
#include <8051.h>

#define SUM_AT 0x4FFE

void main(void)
{
    __code unsigned char *p = 0;
    unsigned int sum = 0;
    unsigned int stored;

    for (; p != (__code unsigned char *)SUM_AT; ++p)
        sum += *p;
    stored = ((unsigned int)p[0] << 8) | p[1];

    P1 = 0xFF;
    if (sum == stored)
        P1_0 = 0;
    else
        P1_1 = 0;
    for (;;)
        ;
}
