/* Blinks an LED on PB0 of an AT90S2313 at about 1 Hz (4 MHz crystal):
 * timer 1 clears on compare every half second and the interrupt toggles
 * the pin. */
#include <avr/interrupt.h>
#include <avr/io.h>

#define HALF_SECOND (F_CPU / 256 / 2) /* timer ticks at F_CPU / 256 */

ISR(TIMER1_COMP1_vect)
{
    PORTB ^= _BV(PB0);
}

int main(void)
{
    DDRB = _BV(PB0);
    OCR1 = HALF_SECOND;
    TCCR1B = _BV(CTC1) | _BV(CS12); /* clear on compare, clock / 256 */
    TIMSK = _BV(OCIE1A);
    sei();
    for (;;)
        ;
}
