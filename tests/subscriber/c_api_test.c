/* A C program on the subscriber library: misuse codes and texts, first arrays, then frames from the console at argv[1]. */
#include <stdio.h>
#include <string.h>

#include "subscriber/c/kestrom3subscriber.h"

static int failures = 0;

#define CHECK(condition)                                                   \
    do {                                                                   \
        if (!(condition)) {                                                \
            printf("%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                    \
        }                                                                  \
    } while (0)

struct Seen {
    int frames;
    int opens;
    int mismatched;
    int frameDataOutsideEvent;
};

static double data[124 * 124];

static void onEvent(k3s_subscriber* s, k3s_event event, void* user) {
    struct Seen* seen = (struct Seen*)user;
    if (event == K3S_EVENT_KEST_OPEN) ++seen->opens;
    if (event != K3S_EVENT_NEW_FRAME) return;
    ++seen->frames;
    const int16_t* pixels = k3s_frame_data(s);
    size_t dim0 = 0, dim1 = 0;
    if (!pixels || k3s_get_data(s, data, 124 * 124, &dim0, &dim1) != K3S_OK || dim0 != 124 || dim1 != 124) {
        ++seen->mismatched;
        return;
    }
    for (size_t r = 0; r < 124; ++r)
        for (size_t c = 0; c < 124; ++c)
            if (data[r + 124 * c] != pixels[r * 124 + c] / 2.0) ++seen->mismatched;
}

static void misuse(void) {
    k3s_subscriber* s = k3s_create_with("/nonexistent/console.sock", NULL, 0);
    CHECK(s != NULL);
    CHECK(k3s_open(s) == 0);   /* no console: no error, it keeps looking */
    struct {
        int code;
        const char* text;
    } cases[] = {
        {k3s_calibrate(s), "Calibrate requested for tab 0"},
        {k3s_set_pixel_correction(s, 1), "Pixel correction requested for tab 0"},
        {k3s_set_gain_correction(s, 1), "Gain correction requested for tab 0"},
        {k3s_set_gain_factor(s, 4), "SetGainFactor requested for tab 0"},
    };
    for (int i = 0; i < 4; ++i) {
        CHECK(cases[i].code == i + 1);
        CHECK(strcmp(k3s_error_text(cases[i].code), cases[i].text) == 0);
    }
    CHECK(k3s_pixel_correction(s) == 0);

    /* Before any frame or attach: one zero each. */
    double one[2] = {7, 7};
    size_t dim0 = 0, dim1 = 0, count = 0;
    uint8_t byte[2] = {7, 7};
    CHECK(k3s_get_data(s, one, 2, &dim0, &dim1) == K3S_OK && dim0 == 1 && dim1 == 1 && one[0] == 0.0);
    CHECK(k3s_get_console(s, byte, 2, &count) == K3S_OK && count == 1 && byte[0] == 0);
    CHECK(k3s_get_factory(s, NULL, 0, &count) == K3S_ERR_BUFFER_TOO_SMALL && count == 1);
    CHECK(k3s_frame_data(s) == NULL);
    CHECK(k3s_next_timer_ms(s) >= 0);   /* the attach-retry timer runs */
    CHECK(k3s_calibrate(NULL) == K3S_ERR_ARGUMENT);
    k3s_destroy(s);
}

static void frames(const char* socketPath) {
    struct Seen seen = {0, 0, 0, 0};
    k3s_subscriber* s = k3s_create_with(socketPath, NULL, 200);
    for (int e = K3S_EVENT_NEW_FRAME; e <= K3S_EVENT_CALIBRATE_DONE; ++e)
        CHECK(k3s_set_callback(s, (k3s_event)e, onEvent, &seen) == K3S_OK);
    CHECK(k3s_open(s) != 0);
    CHECK(seen.opens == 1);
    CHECK(k3s_tab(s) == 2);
    CHECK(k3s_serial(s) == 4321);
    CHECK(k3s_ibp(s) == 1);
    CHECK(k3s_descriptor(s) >= 0);

    char list[64];
    size_t length = 0;
    CHECK(k3s_get_serial_list(s, list, sizeof list, &length) == K3S_OK);
    CHECK(strcmp(list, "0,1234,4321,0,0,0,0,0,0,0,0") == 0 && length == strlen(list));
    CHECK(k3s_get_serial_list(s, list, 4, &length) == K3S_ERR_BUFFER_TOO_SMALL);
    uint8_t raw[1024];
    CHECK(k3s_get_serial_list_bytes(s, raw, sizeof raw) == K3S_OK && strcmp((const char*)raw, list) == 0);

    for (int round = 0; round < 500 && seen.frames < 3; ++round) CHECK(k3s_pump(s, 10) == K3S_OK);
    CHECK(seen.frames >= 3);
    CHECK(seen.mismatched == 0);
    CHECK(k3s_frame_data(s) == NULL);
    CHECK(k3s_new_frame(s) == 1);
    CHECK(k3s_frame_count(s) > 0);

    size_t dim0 = 0, dim1 = 0, count = 0;
    CHECK(k3s_get_data(s, data, 10, &dim0, &dim1) == K3S_ERR_BUFFER_TOO_SMALL && dim0 == 124 && dim1 == 124);
    uint8_t factory[256];
    CHECK(k3s_get_factory(s, factory, sizeof factory, &count) == K3S_OK && count == 256);
    CHECK(factory[0] * 256 + factory[1] == 4321 && factory[238] == 1);

    CHECK(k3s_close(s) == K3S_OK);
    k3s_destroy(s);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        printf("usage: %s CONSOLE_SOCKET\n", argv[0]);
        return 2;
    }
    misuse();
    frames(argv[1]);
    return failures == 0 ? 0 : 1;
}
