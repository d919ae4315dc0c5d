/* libsndfile leaks the Vorbis decoder's set-up when the header pages of an
 * Ogg Vorbis stream are damaged: sf_open fails, and what vorbis_info_init
 * allocated (about 5.7 kB with libsndfile 1.2.0 and libvorbis 1.3.7 on
 * Debian 12) is never freed by vorbis_info_clear.
 *
 * Standalone: it writes a short Ogg Vorbis stream into memory with
 * libsndfile, flips one byte of the second page (the comment and set-up
 * headers, so that its checksum fails), and opens the damaged stream N times.
 *
 *   cc sndfile-vorbis-header-leak.c -o leak $(pkg-config --cflags --libs sndfile) -lm
 *   ./leak 3000                # the peak resident size grows by ~17 MB
 *   valgrind --leak-check=full ./leak 3
 *       # 3 blocks "definitely lost" from vorbis_info_init, called from sf_open_virtual
 */
#include <math.h>
#include <sndfile.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct memory
{
    unsigned char *bytes;
    sf_count_t length, capacity, position;
};

static sf_count_t get_length(void *user) { return ((struct memory *)user)->length; }

static sf_count_t seek(sf_count_t offset, int whence, void *user)
{
    struct memory *m = user;
    sf_count_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->length : 0;
    m->position = base + offset < 0 ? 0 : base + offset;
    return m->position;
}

static sf_count_t read_bytes(void *to, sf_count_t count, void *user)
{
    struct memory *m = user;
    sf_count_t left = m->position < m->length ? m->length - m->position : 0;
    if (count > left)
        count = left;
    memcpy(to, m->bytes + m->position, (size_t)count);
    m->position += count;
    return count;
}

static sf_count_t write_bytes(const void *from, sf_count_t count, void *user)
{
    struct memory *m = user;
    if (m->position + count > m->capacity) {
        m->capacity = 2 * (m->position + count);
        m->bytes = realloc(m->bytes, (size_t)m->capacity);
    }
    memcpy(m->bytes + m->position, from, (size_t)count);
    m->position += count;
    if (m->position > m->length)
        m->length = m->position;
    return count;
}

static sf_count_t tell(void *user) { return ((struct memory *)user)->position; }

static long peak_kb(void)
{
    char line[256];
    long kb = -1;
    FILE *status = fopen("/proc/self/status", "r");
    while (status && fgets(line, sizeof line, status))
        if (strncmp(line, "VmHWM:", 6) == 0)
            kb = atol(line + 6);
    if (status)
        fclose(status);
    return kb;
}

int main(int argc, char **argv)
{
    SF_VIRTUAL_IO io = {get_length, seek, read_bytes, write_bytes, tell};
    struct memory m = {0};
    SF_INFO info = {0};
    info.samplerate = 48000;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE *out = sf_open_virtual(&io, SFM_WRITE, &info, &m);
    if (out == NULL) {
        fprintf(stderr, "cannot write: %s\n", sf_strerror(NULL));
        return 1;
    }
    float samples[48000];
    for (int i = 0; i < 48000; ++i)
        samples[i] = 0.25f * (float)(sin(i * 0.0912) + sin(i * 0.1583));
    sf_writef_float(out, samples, 48000);
    sf_close(out);

    /* The second page starts after the first (identification) page. */
    const unsigned char *second = NULL;
    for (sf_count_t i = 4; i + 4 < m.length && second == NULL; ++i)
        if (memcmp(m.bytes + i, "OggS", 4) == 0)
            second = m.bytes + i;
    if (second == NULL) {
        fprintf(stderr, "no second page\n");
        return 1;
    }
    m.bytes[(second - m.bytes) + 40] ^= 0x55;

    const int times = argc > 1 ? atoi(argv[1]) : 3000;
    const long before = peak_kb();
    int failed = 0;
    for (int n = 0; n < times; ++n) {
        SF_INFO in = {0};
        m.position = 0;
        SNDFILE *file = sf_open_virtual(&io, SFM_READ, &in, &m);
        if (file == NULL)
            ++failed;
        else
            sf_close(file);
    }
    printf("%d opens, %d failed; peak resident size %ld kB before, %ld kB after\n", times, failed,
           before, peak_kb());
    free(m.bytes);
    return 0;
}
