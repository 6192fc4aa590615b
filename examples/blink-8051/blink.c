/* Blinks an LED on P1.0 of an AT89C2051 at about 1 Hz (12 MHz crystal):
 * timer 0 in mode 1 overflows every 50 ms; ten overflows toggle the pin. */
#include <8051.h>

#define RELOAD (65536 - 50000) /* 50 ms of 1 us machine cycles */

static void wait50ms(void)
{
    TH0 = RELOAD >> 8;
    TL0 = RELOAD & 0xFF;
    TF0 = 0;
    TR0 = 1;
    while (!TF0)
        ;
    TR0 = 0;
}

void main(void)
{
    unsigned char i;

    TMOD = (TMOD & 0xF0) | 0x01; /* timer 0, 16-bit */
    for (;;) {
        P1_0 = !P1_0;
        for (i = 0; i < 10; i++)
            wait50ms();
    }
}
