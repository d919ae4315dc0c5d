/* libdtmf from C: the header compiles as plain C, samples fed in odd pieces
 * give what one call gives, a file gives what its samples give, and every bad
 * argument is an error code with a message. Run with no arguments; prints
 * what fails and exits with 1. */
#define _POSIX_C_SOURCE 200809L

#include <dtmf.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define RATE 48000
#define PI 3.14159265358979323846
#define MAX_SYMBOLS 64

static int failures = 0;

#define CHECK(condition, ...)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            printf("FAIL line %d: ", __LINE__);                                                    \
            printf(__VA_ARGS__);                                                                   \
            printf("\n");                                                                          \
            failures++;                                                                            \
        }                                                                                          \
    } while (0)

static const char digits[] = "159#0AD*";

/* The keypad's row and column tones of a symbol. */
static void tones(char symbol, double *low, double *high)
{
    static const char keys[] = "123A456B789C*0#D";
    static const double rows[] = {697, 770, 852, 941}, columns[] = {1209, 1336, 1477, 1633};
    const int at = (int)(strchr(keys, symbol) - keys);
    *low = rows[at / 4];
    *high = columns[at % 4];
}

/* The digits, 70 ms each with 60 ms between them, at -10 dBFS per tone,
 * after 100 ms of silence; returns the sample count. */
static size_t make_signal(float *samples, size_t capacity)
{
    const size_t tone = RATE * 70 / 1000, gap = RATE * 60 / 1000;
    const double amplitude = pow(10, -10 / 20.0);
    size_t n = RATE / 10;
    memset(samples, 0, capacity * sizeof *samples);
    for (const char *d = digits; *d; d++) {
        double low, high;
        tones(*d, &low, &high);
        for (size_t i = 0; i < tone && n < capacity; i++, n++)
            samples[n] =
                (float)(amplitude * (sin(2 * PI * low * i / RATE) + sin(2 * PI * high * i / RATE)));
        n += gap;
    }
    return n + RATE / 10;
}

/* Feeds the samples in pieces of the given sizes, taken in turn (0: all at
 * once), as floats or as int16, and returns the symbols. */
static size_t decode(dtmf_detector detector, int as_int16, const float *samples, size_t count,
                     const size_t *pieces, dtmf_symbol *symbols)
{
    dtmf_receiver *receiver = NULL;
    int16_t *shorts = malloc(count * sizeof *shorts);
    size_t taken = 0, at = 0, piece = 0;
    CHECK(dtmf_receiver_new(RATE, detector, NULL, 0, &receiver) == DTMF_OK, "new: %s",
          dtmf_error_message());
    for (size_t i = 0; i < count; i++)
        shorts[i] = (int16_t)lrint(samples[i] * 32767);
    while (at < count) {
        size_t now = pieces[piece] == 0 ? count : pieces[piece];
        piece = pieces[piece + 1] == (size_t)-1 ? 0 : piece + 1;
        if (now > count - at)
            now = count - at;
        const dtmf_status status = as_int16 ? dtmf_receiver_feed_int16(receiver, shorts + at, now)
                                            : dtmf_receiver_feed_float(receiver, samples + at, now);
        CHECK(status == DTMF_OK, "feed: %s", dtmf_error_message());
        at += now;
        taken += dtmf_receiver_take(receiver, symbols + taken, MAX_SYMBOLS - taken);
    }
    CHECK(dtmf_receiver_finish(receiver) == DTMF_OK, "finish: %s", dtmf_error_message());
    taken += dtmf_receiver_take(receiver, symbols + taken, MAX_SYMBOLS - taken);
    dtmf_receiver_free(receiver);
    free(shorts);
    return taken;
}

static int same(const dtmf_symbol *a, size_t na, const dtmf_symbol *b, size_t nb)
{
    if (na != nb)
        return 0;
    for (size_t i = 0; i < na; i++)
        if (a[i].symbol != b[i].symbol || a[i].start != b[i].start || a[i].end != b[i].end)
            return 0;
    return 1;
}

static void check_pieces(const float *samples, size_t count)
{
    static const size_t whole[] = {0, (size_t)-1};
    static const size_t odd[] = {1, 7, 333, 4101, 2, 9999, (size_t)-1};
    for (int detector = 0; detector < 2; detector++) {
        for (int as_int16 = 0; as_int16 < 2; as_int16++) {
            dtmf_symbol one[MAX_SYMBOLS], many[MAX_SYMBOLS];
            const size_t n_one = decode(detector, as_int16, samples, count, whole, one);
            const size_t n_many = decode(detector, as_int16, samples, count, odd, many);
            char found[MAX_SYMBOLS + 1] = "";
            for (size_t i = 0; i < n_one; i++) {
                found[i] = one[i].symbol;
                found[i + 1] = 0;
                CHECK(one[i].start >= 0 && one[i].end > one[i].start, "times of %c", found[i]);
            }
            CHECK(strcmp(found, digits) == 0, "detector %d, int16 %d: '%s'", detector, as_int16,
                  found);
            CHECK(same(one, n_one, many, n_many), "detector %d, int16 %d: pieces differ", detector,
                  as_int16);
        }
    }
}

/* Start events: one per symbol, at its start, before its end is known. */
static void check_starts(const float *samples, size_t count)
{
    for (int detector = 0; detector < 2; detector++) {
        dtmf_receiver *receiver = NULL;
        dtmf_symbol ended[MAX_SYMBOLS], started[MAX_SYMBOLS];
        CHECK(dtmf_receiver_new(RATE, detector, NULL, DTMF_START_EVENTS, &receiver) == DTMF_OK,
              "new");
        dtmf_receiver_feed_float(receiver, samples, count);
        dtmf_receiver_finish(receiver);
        const size_t n_ended = dtmf_receiver_take(receiver, ended, MAX_SYMBOLS);
        const size_t n_started = dtmf_receiver_take_started(receiver, started, MAX_SYMBOLS);
        CHECK(n_started == n_ended, "detector %d: %zu starts, %zu ends", detector, n_started,
              n_ended);
        for (size_t i = 0; i < n_started && i < n_ended; i++)
            CHECK(started[i].symbol == ended[i].symbol && started[i].start == ended[i].start &&
                      started[i].end == -1,
                  "detector %d: start event %zu", detector, i);
        dtmf_receiver_free(receiver);
    }
}

static void put16(FILE *f, unsigned v)
{
    fputc(v & 0xFF, f);
    fputc(v >> 8 & 0xFF, f);
}
static void put32(FILE *f, unsigned v)
{
    put16(f, v & 0xFFFF);
    put16(f, v >> 16);
}

/* A 16-bit mono WAV of the samples whose header claims extra_frames more. */
static void write_wav(const char *path, const float *samples, size_t count, size_t extra_frames)
{
    FILE *f = fopen(path, "wb");
    const unsigned data = (unsigned)((count + extra_frames) * 2);
    fwrite("RIFF", 1, 4, f);
    put32(f, 36 + data);
    fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1);
    put16(f, 1);
    put32(f, RATE);
    put32(f, RATE * 2);
    put16(f, 2);
    put16(f, 16);
    fwrite("data", 1, 4, f);
    put32(f, data);
    for (size_t i = 0; i < count; i++)
        put16(f, (unsigned)(uint16_t)(int16_t)lrint(samples[i] * 32767));
    fclose(f);
}

static void check_file(const float *samples, size_t count)
{
    static const size_t whole[] = {0, (size_t)-1};
    char path[] = "/tmp/test_libdtmf_XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    for (int cut = 0; cut < 2; cut++) {
        write_wav(path, samples, count, cut ? RATE : 0);
        dtmf_symbol *symbols = NULL, expected[MAX_SYMBOLS];
        size_t n = 0;
        const dtmf_status status = dtmf_decode_file(path, DTMF_DETECTOR_STRICT, NULL, &symbols, &n);
        CHECK(status == (cut ? DTMF_ERROR_CUT_SHORT : DTMF_OK), "file, cut %d: %d %s", cut, status,
              dtmf_error_message());
        const size_t n_expected = decode(DTMF_DETECTOR_STRICT, 1, samples, count, whole, expected);
        CHECK(same(symbols, n, expected, n_expected), "file, cut %d: %zu symbols, not %zu", cut, n,
              n_expected);
        dtmf_symbols_free(symbols);
    }
    /* Not audio. */
    FILE *f = fopen(path, "w");
    fputs("these are no samples\n", f);
    fclose(f);
    dtmf_symbol *symbols = NULL;
    size_t n = 1;
    CHECK(dtmf_decode_file(path, DTMF_DETECTOR_WINDOW, NULL, &symbols, &n) == DTMF_ERROR_FORMAT &&
              symbols == NULL && n == 0,
          "text file");
    unlink(path);
}

static void check_errors(void)
{
    dtmf_receiver *receiver = (dtmf_receiver *)&failures;
    dtmf_limits limits, bad;
    dtmf_limits_default(&limits);
    bad = limits;
    bad.min_tone = -1;
    const struct
    {
        int rate;
        int detector;
        const dtmf_limits *limits;
        unsigned flags;
    } wrong[] = {
        {999, DTMF_DETECTOR_STRICT, NULL, 0},
        {1000001, DTMF_DETECTOR_STRICT, NULL, 0},
        {8000, 7, NULL, 0},
        {8000, DTMF_DETECTOR_WINDOW, &limits, 0},
        {8000, DTMF_DETECTOR_STRICT, &bad, 0},
        {8000, DTMF_DETECTOR_STRICT, NULL, 8},
    };
    for (size_t i = 0; i < sizeof wrong / sizeof wrong[0]; i++) {
        const dtmf_status status =
            dtmf_receiver_new(wrong[i].rate, (dtmf_detector)wrong[i].detector, wrong[i].limits,
                              wrong[i].flags, &receiver);
        CHECK(status == DTMF_ERROR_ARGUMENT && receiver == NULL && *dtmf_error_message(),
              "case %zu: %d '%s'", i, status, dtmf_error_message());
    }
    CHECK(dtmf_receiver_new(8000, DTMF_DETECTOR_STRICT, NULL, 0, NULL) == DTMF_ERROR_ARGUMENT,
          "no place for the receiver");
    CHECK(dtmf_receiver_feed_float(NULL, NULL, 0) == DTMF_ERROR_ARGUMENT, "no receiver");
    CHECK(dtmf_receiver_finish(NULL) == DTMF_ERROR_ARGUMENT, "finish no receiver");
    CHECK(dtmf_receiver_take(NULL, NULL, 5) == 0, "take from no receiver");

    CHECK(dtmf_receiver_new(8000, DTMF_DETECTOR_STRICT, &limits, 0, &receiver) == DTMF_OK, "new");
    const float nan_and_more[] = {NAN, INFINITY, 0.5f};
    CHECK(dtmf_receiver_feed_float(receiver, nan_and_more, 3) == DTMF_OK, "NaN is silence");
    CHECK(dtmf_receiver_feed_int16(receiver, NULL, 5) == DTMF_ERROR_ARGUMENT, "no samples");
    CHECK(dtmf_receiver_finish(receiver) == DTMF_OK, "finish");
    CHECK(dtmf_receiver_feed_float(receiver, nan_and_more, 3) == DTMF_ERROR_FINISHED,
          "fed after finish");
    CHECK(dtmf_receiver_finish(receiver) == DTMF_ERROR_FINISHED, "finished twice");
    dtmf_receiver_free(receiver);
    dtmf_receiver_free(NULL);

    dtmf_symbol *symbols = NULL;
    size_t n = 0;
    CHECK(dtmf_decode_file(NULL, DTMF_DETECTOR_STRICT, NULL, &symbols, &n) == DTMF_ERROR_ARGUMENT,
          "no path");
    CHECK(dtmf_decode_file("/nonexistent/x.wav", DTMF_DETECTOR_STRICT, NULL, &symbols, &n) ==
              DTMF_ERROR_UNREADABLE,
          "missing file");
    CHECK(strstr(dtmf_error_message(), "No such file") != NULL, "message '%s'",
          dtmf_error_message());
    CHECK(dtmf_decode_file("/", DTMF_DETECTOR_STRICT, NULL, &symbols, &n) == DTMF_ERROR_UNREADABLE,
          "a directory");
}

int main(void)
{
    static float samples[2 * RATE];
    const size_t count = make_signal(samples, sizeof samples / sizeof samples[0]);
    CHECK(dtmf_version()[0] != 0, "version");
    check_pieces(samples, count);
    check_starts(samples, count);
    check_file(samples, count);
    check_errors();
    printf("libdtmf %s: %s\n", dtmf_version(), failures ? "FAILED" : "all checks passed");
    return failures ? 1 : 0;
}
