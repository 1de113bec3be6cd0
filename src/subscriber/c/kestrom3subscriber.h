/* The subscriber component for C, Python (ctypes) and LabVIEW: a handle, callbacks, copies into caller buffers. */
#ifndef KESTROM3SUBSCRIBER_H
#define KESTROM3SUBSCRIBER_H

#include <stddef.h>
#include <stdint.h>

#if defined(KESTROM3SUBSCRIBER_BUILD)
#define K3S_API __attribute__((visibility("default")))
#else
#define K3S_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct k3s_subscriber k3s_subscriber;

/* Results. The positive codes are the component's misuse errors: nothing was sent or stored. */
enum {
    K3S_OK = 0,
    K3S_ERR_CALIBRATE_TAB0 = 1,        /* "Calibrate requested for tab 0" */
    K3S_ERR_PIXEL_CORRECTION_TAB0 = 2, /* "Pixel correction requested for tab 0" */
    K3S_ERR_GAIN_CORRECTION_TAB0 = 3,  /* "Gain correction requested for tab 0" */
    K3S_ERR_GAIN_FACTOR_TAB0 = 4,      /* "SetGainFactor requested for tab 0" */
    K3S_ERR_ARGUMENT = -1,             /* a null handle or pointer, or an unknown event */
    K3S_ERR_BUFFER_TOO_SMALL = -2,     /* the sizes say how much is needed */
    K3S_ERR_UNAVAILABLE = -3,          /* the console's shared memory could not be read */
    K3S_ERR_INTERNAL = -4
};

typedef enum {
    K3S_EVENT_NEW_FRAME = 0,
    K3S_EVENT_KEST_CLOSE = 1,
    K3S_EVENT_KEST_OPEN = 2,
    K3S_EVENT_CALIBRATE_DONE = 3
} k3s_event;

/* Runs on the thread that calls k3s_pump (or the operation that raised the event). */
typedef void (*k3s_callback)(k3s_subscriber* subscriber, k3s_event event, void* user);

/* The text of a result code ("Calibrate requested for tab 0"); never NULL. */
K3S_API const char* k3s_error_text(int code);

/* A component with its own connection to the console of this user. socket_path NULL or "": the
   console's usual socket; shm_prefix NULL or "": the console's shared memory names;
   attach_retry_ms <= 0: every 10 seconds. NULL when out of memory. */
K3S_API k3s_subscriber* k3s_create(void);
K3S_API k3s_subscriber* k3s_create_with(const char* socket_path, const char* shm_prefix, int attach_retry_ms);
K3S_API void k3s_destroy(k3s_subscriber* subscriber);

K3S_API int k3s_set_callback(k3s_subscriber* subscriber, k3s_event event, k3s_callback callback, void* user);

/* Handles the console's messages and the component's timers, waiting up to timeout_ms (0: never
   waits). Every event except the one Open or FindSerial raises comes from here. */
K3S_API int k3s_pump(k3s_subscriber* subscriber, int timeout_ms);
/* For an event loop: readable means call k3s_pump(s, 0); -1 when there is nothing to watch. */
K3S_API int k3s_descriptor(const k3s_subscriber* subscriber);
/* Milliseconds until the next timer is due, -1 when none runs. */
K3S_API int k3s_next_timer_ms(const k3s_subscriber* subscriber);

/* Operations. k3s_open returns the console's window handle, 0 when no console was found (it keeps
   looking from the attach-retry timer). k3s_find_serial returns the slot, 0 when not found. */
K3S_API uint32_t k3s_open(k3s_subscriber* subscriber);
K3S_API int k3s_find_control(k3s_subscriber* subscriber);
K3S_API int k3s_find_serial(k3s_subscriber* subscriber, int serial);
/* After k3s_find_serial has found a camera, k3s_open attaches only to it; when the console shows
   another camera by then, the subscriber leaves it, keeps looking and says why here (NUL-terminated;
   empty after a good attach). */
K3S_API int k3s_attach_error(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length);
K3S_API int k3s_start(k3s_subscriber* subscriber);
K3S_API int k3s_stop(k3s_subscriber* subscriber);
K3S_API int k3s_close(k3s_subscriber* subscriber);
K3S_API int k3s_calibrate(k3s_subscriber* subscriber);

/* Properties. */
K3S_API int k3s_serial(const k3s_subscriber* subscriber);
K3S_API int k3s_ibp(const k3s_subscriber* subscriber);
K3S_API int k3s_tab(const k3s_subscriber* subscriber);
K3S_API int k3s_set_tab(k3s_subscriber* subscriber, int tab);
K3S_API float k3s_hscale(const k3s_subscriber* subscriber);
K3S_API float k3s_vscale(const k3s_subscriber* subscriber);
K3S_API int k3s_is_labview(const k3s_subscriber* subscriber);
K3S_API int k3s_set_is_labview(k3s_subscriber* subscriber, int value);
K3S_API int k3s_new_frame(const k3s_subscriber* subscriber);
K3S_API int k3s_set_new_frame(k3s_subscriber* subscriber, int value);
K3S_API int k3s_hold_new_frame(const k3s_subscriber* subscriber);
K3S_API int k3s_set_hold_new_frame(k3s_subscriber* subscriber, int value);
K3S_API int k3s_menu_lockout(const k3s_subscriber* subscriber);
K3S_API int k3s_set_menu_lockout(k3s_subscriber* subscriber, int value);
K3S_API int k3s_pixel_correction(const k3s_subscriber* subscriber);
K3S_API int k3s_set_pixel_correction(k3s_subscriber* subscriber, int value);
K3S_API int k3s_gain_correction_on(const k3s_subscriber* subscriber);
K3S_API int k3s_set_gain_correction(k3s_subscriber* subscriber, int value);
K3S_API int k3s_set_gain_factor(k3s_subscriber* subscriber, int factor);
K3S_API int k3s_set_setup_filename(k3s_subscriber* subscriber, const char* path);
/* The stored name, NUL-terminated; *length (may be NULL) is its length without the NUL. */
K3S_API int k3s_setup_filename(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length);
/* The console's frame count that came with the last frame. */
K3S_API long long k3s_frame_count(const k3s_subscriber* subscriber);

/* The console's serial number list as text ("0,1234,0,..."), NUL-terminated; the property
   SerialNumberList reads the same. An empty text when it cannot be read. */
K3S_API int k3s_get_serial_list(k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length);
/* The raw 1024 bytes of the list; K3S_ERR_UNAVAILABLE, buffer untouched, when they cannot be read. */
K3S_API int k3s_get_serial_list_bytes(k3s_subscriber* subscriber, uint8_t* buffer, size_t capacity);

/* Copies made under the component's lock; any thread may call these. The data array is dim0 x dim1
   doubles, the first index fastest: element [r, c] (pixel at row r, column c, divided by 2) is
   buffer[r + dim0 * c]. Before the first frame it is 1 x 1 and holds 0; the byte arrays hold a
   single 0 before the first frame or attach. *count / *dim0 / *dim1 are set even when the buffer
   is too small. */
K3S_API int k3s_get_data(const k3s_subscriber* subscriber, double* buffer, size_t capacity, size_t* dim0,
                         size_t* dim1);
K3S_API int k3s_get_console(const k3s_subscriber* subscriber, uint8_t* buffer, size_t capacity, size_t* count);
K3S_API int k3s_get_factory(const k3s_subscriber* subscriber, uint8_t* buffer, size_t capacity, size_t* count);

/* The current frame's 124 x 124 pixels, row after row; only inside a new-frame callback raised
   directly by the frame notice (not in LabVIEW mode). NULL otherwise. */
K3S_API const int16_t* k3s_frame_data(const k3s_subscriber* subscriber);

/* Saved frames and beam results. These need no console and no handle; any thread may call them. */

#define K3S_FRAME_ROWS 124
#define K3S_FRAME_COLUMNS 124
#define K3S_TRAILER_SIZE 992
#define K3S_RESULTS_MAX 40

enum {
    K3S_ERR_FILE = -5, /* the file is no frame record: the message names it and says why */
    K3S_ERR_MEMORY = -6 /* the results could not get their buffers */
};

typedef enum { K3S_KNIFE_EDGE = 0, K3S_SECOND_MOMENT = 1 } k3s_width_method;

/* The 320-byte frame header as a frame record holds it at offset 16,384: little-endian, not
   aligned, the names those of the record's header text (docs/frame-files.md). */
#pragma pack(push, 1)
typedef struct k3s_frame_header {
    char Version[8];
    double DateTime;
    int32_t Height, Width, PixelBits, CaptureResolution;
    double PixelHScale, PixelVScale;
    int32_t Interlaced;
    double FrameTotal, ApertureTotal, ApertureFrac, Peak, Valley;
    int32_t PeakLocx, PeakLocy;
    double Centroidx, Centroidy, BeamWidthx, BeamWidthy, Diameter, Divergencex, Divergencey;
    double EffectiveArea;
    int32_t ZLocation, WheelA;
    double FilterA;
    int32_t WheelB;
    double FilterB, BloomTop, BloomBottom;
    int32_t FlagPass, FlagFail, FlagFrameTotal, FlagBeamWidthx, FlagBeamWidthy;
    int32_t FlagDivergencex, FlagDivergencey, FlagEffectiveArea;
    double CenterXLoc, CenterYLoc, Major, Minor;
    int32_t Flags, AC, RS, Unused284;
    double Mean, Deviation;
    uint8_t Exclude;
    uint8_t Reserved305[15];
} k3s_frame_header;

/* A frame record (".RAW") without its header text: the header, the 124 x 124 pixels row after
   row (each row left to right) and the trailer of the frame block as the console delivered it. */
typedef struct k3s_frame_record {
    k3s_frame_header header;
    int16_t pixels[K3S_FRAME_ROWS * K3S_FRAME_COLUMNS];
    uint8_t trailer[K3S_TRAILER_SIZE];
} k3s_frame_record;
#pragma pack(pop)

/* Reads a frame record as the viewer's "&Load data" reads it. K3S_ERR_FILE: the message naming the
   file and what is wrong with it goes to error (NUL-terminated, cut to capacity; may be NULL) and
   the record is left as it was. */
K3S_API int k3s_read_frame_record(const char* path, k3s_frame_record* record, char* error, size_t capacity);

/* Reads a text log record (".CSV": 124 lines of 124 values) into 124 x 124 pixels, row after row.
   K3S_ERR_FILE: the message naming the file and what is wrong with it goes to error, as above, and
   the pixels are left as they were. */
K3S_API int k3s_read_frame_csv(const char* path, int16_t* pixels, char* error, size_t capacity);

/* The name of file k (1, 2, ...) of the frame log named log_name, as the viewer names it: "beam.RAW"
   or "beam" gives "beam000001.RAW". */
K3S_API int k3s_frame_log_file(const char* log_name, int k, char* text, size_t capacity, size_t* length);

/* The header of a live frame: version "h2.90", 124 x 124 pixels of 14 bits, unbinned, holding valid
   data, pixel pitch hscale_um x vscale_um, every result zero. */
K3S_API int k3s_live_header(k3s_frame_header* header, double hscale_um, double vscale_um);

/* One beam result: its name, its value as kestrom3-frame results writes it, and that value read
   back (the written text gives it again). */
typedef struct k3s_result {
    char name[32];
    char text[32];
    double value;
} k3s_result;

/* The beam results of 124 x 124 pixels (row after row) under header (which gives the pixel pitch,
   the binning and the stage position), computed as the viewer computes the frame it shows: the
   whole frame, then the automatic aperture. The results are those kestrom3-frame results prints,
   in its order: FrameTotal ... Minor, and with K3S_SECOND_MOMENT the Iso... values after them.
   *count is set even when capacity is too small (K3S_RESULTS_MAX is always enough). computed (may
   be NULL) gets the header with the results written into it, as a frame record would hold it. */
K3S_API int k3s_beam_results(const int16_t* pixels, const k3s_frame_header* header, int method,
                             k3s_result* results, size_t capacity, size_t* count,
                             k3s_frame_header* computed);


/* A handle on its own thread, for hosts that take frames when they are ready (Python). The
   library's thread handles the console's messages; each frame notice copies the frame into a
   bounded queue there and is answered at once, so a host that falls behind never holds up the
   camera: when the queue is full its oldest frame is dropped and counted. The other events queue
   too and are never dropped. Every other call on the handle may then come from any thread; the
   callbacks are not called. */

enum {
    K3S_ERR_TIMEOUT = -7, /* nothing came within the time given */
    K3S_ERR_STATE = -8    /* the handle runs on its own thread already, or does not */
};

/* The frame block as the notice handed it out, and where it came from. */
typedef struct k3s_frame {
    int16_t pixels[K3S_FRAME_ROWS * K3S_FRAME_COLUMNS]; /* row after row, host order */
    uint8_t console[256];  /* the frame's ConsoleBlock: big-endian 32-bit words */
    uint8_t factory[256];  /* the camera's FactoryInfo in the camera's byte order */
    int64_t index;         /* the console's frame count */
    int32_t slot;
    int32_t serial;
    double time;           /* arrival, seconds since 1970 (the system clock) */
    int64_t received_ns;   /* arrival on the monotonic clock (CLOCK_MONOTONIC), nanoseconds */
} k3s_frame;

/* Starts the handle's own thread with a queue of queue_frames frames (at least 1). */
K3S_API int k3s_run_background(k3s_subscriber* subscriber, size_t queue_frames);
/* The oldest event waiting, up to timeout_ms (0: never waits): K3S_OK with *event set, and for a
   new frame the frame copied to *frame (may be NULL); K3S_ERR_TIMEOUT when none came. After
   K3S_EVENT_KEST_CLOSE, k3s_close_reason says why. */
K3S_API int k3s_wait_event(k3s_subscriber* subscriber, int timeout_ms, k3s_event* event, k3s_frame* frame);
/* Readable while an event waits (for an event loop: then call k3s_wait_event with timeout 0);
   -1 before k3s_run_background. */
K3S_API int k3s_event_descriptor(const k3s_subscriber* subscriber);
/* Frames dropped from the queue so far. */
K3S_API long long k3s_dropped_frames(const k3s_subscriber* subscriber);
/* Why the camera of the last close event taken has gone ("The console closed camera 1234 in tab 1",
   "The console has gone"), NUL-terminated. */
K3S_API int k3s_close_reason(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length);
/* Why the last look for the console found none ("No console is running (nothing listens at ...)"),
   NUL-terminated; empty when it was found. */
K3S_API int k3s_console_error(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length);

#ifdef __cplusplus
}
#endif

#endif
