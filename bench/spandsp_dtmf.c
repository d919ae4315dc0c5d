/* spandsp_dtmf: feeds raw signed 16-bit 8000 Hz mono PCM from standard input
   to SpanDSP's DTMF receiver with its default settings and prints each digit
   it reports on a line of its own. Built by receiver-vs-peers.sh. */
#include <spandsp.h>
#include <stdint.h>
#include <stdio.h>

static void Digits(void *UserData, const char *Digits, int Length)
{
    (void)UserData;
    for (int i = 0; i < Length; i++)
        printf("%c\n", Digits[i]);
}

int main(void)
{
    dtmf_rx_state_t *Receiver = dtmf_rx_init(NULL, Digits, NULL);
    int16_t Samples[160];
    size_t Got;
    if (Receiver == NULL)
        return 1;
    while ((Got = fread(Samples, sizeof Samples[0], 160, stdin)) > 0)
        dtmf_rx(Receiver, Samples, (int)Got);
    /* A digit still held at the end is reported once silence follows. */
    for (int i = 0; i < 10; i++) {
        int16_t Silence[160] = {0};
        dtmf_rx(Receiver, Silence, 160);
    }
    dtmf_rx_free(Receiver);
    return 0;
}
