/* libdtmf: the DTMF receivers of dtmf-decode for C and every language that
 * calls C. Samples go in, keypad symbols ('0'-'9', 'A'-'D', '*', '#') come
 * out with their start and end in seconds.
 *
 * Every call returns DTMF_OK or a negative dtmf_status; dtmf_error_message()
 * then says what went wrong. Nothing aborts the program. A receiver is used by
 * one thread at a time; different receivers, and dtmf_decode_file(), may run
 * on as many threads as wanted. */
#ifndef DTMF_H
#define DTMF_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum dtmf_status
{
    DTMF_OK = 0,
    DTMF_ERROR_ARGUMENT =
        -1, /* a null pointer, an unknown detector, a rate or limit out of range */
    DTMF_ERROR_UNREADABLE = -2, /* the file can't be opened or read */
    DTMF_ERROR_FORMAT = -3,     /* the file is no audio that can be decoded */
    DTMF_ERROR_CUT_SHORT = -4,  /* the file ends early or can't be read to its end; the
                                   symbols of what was read are given all the same */
    DTMF_ERROR_FINISHED = -5,   /* samples fed to a receiver after dtmf_receiver_finish() */
    DTMF_ERROR_MEMORY = -6,     /* out of memory */
    DTMF_ERROR_INTERNAL = -7    /* the resampler failed, or another fault of the library */
} dtmf_status;

typedef enum dtmf_detector
{
    /* Wants a clean tone pair for about 40 ms and rejects speech and music;
     * takes the limits below. */
    DTMF_DETECTOR_STRICT = 0,
    /* The window program's detector: blocks of 1024 samples at 48000 Hz and a
     * gate that wants the same symbol in two blocks in a row. It has no
     * limits: giving it any is DTMF_ERROR_ARGUMENT. */
    DTMF_DETECTOR_WINDOW = 1
} dtmf_detector;

/* The strict receiver's limits. Start from dtmf_limits_default() and change
 * what you need. */
typedef struct dtmf_limits
{
    double normal_twist;  /* dB the low tone may stand over the high */
    double reverse_twist; /* dB the high tone may stand over the low */
    double min_level;     /* dBFS of each tone's amplitude */
    double min_tone;      /* seconds a tone must last to make a digit */
    double min_pause;     /* seconds of absence that end a digit */
} dtmf_limits;

typedef struct dtmf_symbol
{
    char symbol;  /* one of "0123456789ABCD*#" */
    double start; /* seconds from the first sample to the start of the tone */
    double end;   /* seconds to its end; -1 in a start event */
    int channel;  /* of a file of several channels, decoded each on its own: 1, 2...; else 0 */
} dtmf_symbol;

typedef struct dtmf_receiver dtmf_receiver;

/* Flags of dtmf_receiver_new(). */
#define DTMF_START_EVENTS 1u /* keep a start event for each symbol as soon as it is confirmed */

/* The version of the library, "1.0" for example. */
const char *dtmf_version(void);

/* Why the last call on this thread that failed failed; "" before any did. */
const char *dtmf_error_message(void);

/* The limits the strict receiver uses when it is given none. */
void dtmf_limits_default(dtmf_limits *limits);

/* A receiver for mono samples at rate Hz (1000 to 1000000; other rates than
 * 48000 are resampled). limits may be NULL for the defaults. *receiver is
 * NULL after a failure. */
dtmf_status dtmf_receiver_new(int rate, dtmf_detector detector, const dtmf_limits *limits,
                              unsigned flags, dtmf_receiver **receiver);

/* Samples in pieces of any size; feeding in pieces gives what one call gives.
 * Floats are on the scale [-1, 1); infinities and NaNs count as silence.
 * int16 samples are divided by 32768. */
dtmf_status dtmf_receiver_feed_float(dtmf_receiver *receiver, const float *samples, size_t count);
dtmf_status dtmf_receiver_feed_int16(dtmf_receiver *receiver, const int16_t *samples, size_t count);

/* The input has ended: what is still pending is decided. Nothing may be fed
 * afterwards; the symbols may still be taken. */
dtmf_status dtmf_receiver_finish(dtmf_receiver *receiver);

/* Moves up to capacity of the symbols that have ended, oldest first, to
 * symbols and returns how many it moved (0 when none are waiting). */
size_t dtmf_receiver_take(dtmf_receiver *receiver, dtmf_symbol *symbols, size_t capacity);

/* The same for the start events (end -1), kept only with DTMF_START_EVENTS. A
 * started symbol of the strict receiver may yet be dropped as music, so its
 * end is not always taken later. */
size_t dtmf_receiver_take_started(dtmf_receiver *receiver, dtmf_symbol *symbols, size_t capacity);

/* Frees the receiver and what it still holds; NULL is allowed. */
void dtmf_receiver_free(dtmf_receiver *receiver);

/* Decodes a whole sound file (any format libsndfile reads, any rate and
 * channel count) as dtmf-decode does, giving the same symbols. On DTMF_OK and
 * DTMF_ERROR_CUT_SHORT, *symbols holds *count symbols, to be freed with
 * dtmf_symbols_free(); otherwise it is NULL and *count 0. */
dtmf_status dtmf_decode_file(const char *path, dtmf_detector detector, const dtmf_limits *limits,
                             dtmf_symbol **symbols, size_t *count);

void dtmf_symbols_free(dtmf_symbol *symbols);

#ifdef __cplusplus
}
#endif

#endif
