/* Bleepforge for native programs: make retro-game sound effects and render
 * them into float buffers, the same samples `bleepforge render` writes.
 *
 * Handles are opaque. Any number may live at once; each is used by one
 * thread at a time, and different handles may run on different threads
 * together. Every call that can fail returns a bf_status; the handle keeps
 * the full text of its last failure (bf_instrument_message,
 * bf_player_message), and bf_status_text names a status. No call prints,
 * exits or throws, whatever it is given. */
#ifndef BLEEPFORGE_H
#define BLEEPFORGE_H
/* The block for C++ callers keeps its declarations unindented. */
/* clang-format off */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define BF_API __attribute__((visibility("default")))
#else
#define BF_API
#endif

/* The bytes of a sound's state, and room enough for any sound code with its
 * terminating NUL. */
#define BF_STATE_SIZE 484
#define BF_CODE_SIZE 1024

typedef enum bf_status
{
    BF_OK = 0,
    BF_NULL_ARGUMENT,    /* a pointer the call needs is NULL */
    BF_BAD_SOUND,        /* a damaged or newer sound code, or bytes that are no state */
    BF_BAD_RECIPE,       /* a recipe refused; the message names its line */
    BF_UNKNOWN_NAME,     /* no kind, parameter, lock group or list entry has that name */
    BF_OUT_OF_RANGE,     /* a number outside what is accepted, or not a number */
    BF_BUFFER_TOO_SMALL, /* the output did not fit; the size it needs is given */
    BF_NO_VARIATION,     /* a player's source makes one sound whatever is drawn */
    BF_NO_MEMORY,
    BF_FAILED            /* anything else; the message says what */
} bf_status;

/* The status's name in a few words ("unknown name"); never NULL. */
BF_API const char* bf_status_text(bf_status status);

/* The library's version, "1.0.0", and as 0xMMMMmmpp (major, minor, patch). */
BF_API const char* bf_version(void);
BF_API uint32_t bf_version_number(void);

/* A note: a MIDI key 0 ... 127, a velocity 1 ... 127, and its start and
 * length in seconds, each 0 ... 3600. */
typedef struct bf_note
{
    int key;
    int velocity;
    double start;
    double duration;
} bf_note;

/* The most frames a render at this rate gives (a sound ends 50 ms after it
 * has died away, at most 30 s in all); 0 for a rate outside 1000 ... 384000. */
BF_API size_t bf_frames_most(int rate);

/* ---- Instruments: one sound, its 60 parameters, and renders of it ---- */

typedef struct bf_instrument bf_instrument;

/* A new instrument holding the default sound; NULL only when memory runs out. */
BF_API bf_instrument* bf_instrument_new(void);
/* Frees it; NULL is allowed. */
BF_API void bf_instrument_free(bf_instrument* instrument);
/* The text of the last failure of a call on this instrument, "" when there
 * was none; valid until the next call on it. NULL gives "". */
BF_API const char* bf_instrument_message(const bf_instrument* instrument);

/* A sound code ("bfs1:..."), or a 484-byte state. A refused sound changes
 * nothing. */
BF_API bf_status bf_instrument_load_code(bf_instrument* instrument, const char* code);
BF_API bf_status bf_instrument_load_state(bf_instrument* instrument, const void* state,
                                          size_t size);
/* A new sound of a kind ("pickup", "shoot", "powerup", "hit", "jump",
 * "blip", "slash", "random", "mutate", "reset", or "coin", "laser",
 * "power-up", "hurt"), drawn from seed, over the sound the instrument holds
 * (as `bleepforge generate KIND --seed SEED --state`). */
BF_API bf_status bf_instrument_generate(bf_instrument* instrument, const char* kind,
                                        uint32_t seed);
/* A recipe's TOML text drawn from seed, as for a kind. A `sound` it names by
 * path is read from the working folder: an absolute path or one with a ".."
 * part is refused (BF_BAD_RECIPE). */
BF_API bf_status bf_instrument_load_recipe(bf_instrument* instrument, const char* recipe,
                                           uint32_t seed);

/* A parameter by its name (as `bleepforge params` lists them) in its own
 * units, whole where it takes whole numbers; or a list entry by its text
 * ("Osc1 Type", "Square"). A value out of range changes nothing. */
BF_API bf_status bf_instrument_set(bf_instrument* instrument, const char* name, double value);
BF_API bf_status bf_instrument_set_text(bf_instrument* instrument, const char* name,
                                        const char* text);
BF_API bf_status bf_instrument_get(bf_instrument* instrument, const char* name, double* value);

/* The sound as a code, NUL-terminated, into code[size] (BF_CODE_SIZE is
 * always enough); or as a state into state[size] (BF_STATE_SIZE bytes). */
BF_API bf_status bf_instrument_code(bf_instrument* instrument, char* code, size_t size);
BF_API bf_status bf_instrument_state(bf_instrument* instrument, void* state, size_t size);

/* Renders notes (none, with count 0: the sound's own note, held through its
 * attack, hold and decay) at rate 1000 ... 384000 Hz with noise seeded from
 * seed, until the sound has died away. Writes frames of 1 or 2 interleaved
 * channels (both channels are the same) into out, at most capacity frames,
 * and the sound's length in frames into *frames. When the sound is longer
 * than capacity the status is BF_BUFFER_TOO_SMALL and out holds its start;
 * bf_frames_most(rate) frames always suffice. */
BF_API bf_status bf_instrument_render(bf_instrument* instrument, const bf_note* notes,
                                      size_t count, int rate, int channels, uint32_t seed,
                                      float* out, size_t capacity, size_t* frames);

/* ---- Players: a fresh variation of a sound on every play ---- */

typedef struct bf_player bf_player;

/* A player whose plays follow from seed: the same seed gives the same
 * sounds, in the same order, on every machine. It starts from the default
 * sound, with no kind and no variation; NULL only when memory runs out. */
BF_API bf_player* bf_player_new(uint32_t seed);
BF_API void bf_player_free(bf_player* player);
BF_API const char* bf_player_message(const bf_player* player);

/* What each play is made from. Every change starts the plays again from
 * the first.
 * - sound: the sound each play starts from, the instrument's as it is now;
 * - kind or recipe: drawn anew over that sound on every play (NULL for
 *   none; setting one clears the other);
 * - lock: a parameter or group (osc1, osc2, osc3, noise, amp-env,
 *   filter-env, filters, pitch, crusher, output) that keeps the sound's values;
 * - pitch: each play's note moves up to this many semitones (0 ... 48) up or down;
 * - mutation: each play is mutated by this "Mutation %" (0 ... 10). */
BF_API bf_status bf_player_set_sound(bf_player* player, bf_instrument* sound);
BF_API bf_status bf_player_set_kind(bf_player* player, const char* kind);
BF_API bf_status bf_player_set_recipe(bf_player* player, const char* recipe);
BF_API bf_status bf_player_lock(bf_player* player, const char* name);
BF_API bf_status bf_player_set_pitch(bf_player* player, int semitones);
BF_API bf_status bf_player_set_mutation(bf_player* player, double percent);

/* What a play was: its place in the sequence, its note, and the seed its
 * values were drawn from and its noise is seeded with. */
typedef struct bf_play
{
    uint64_t index;
    bf_note note;
    uint32_t seed;
} bf_play;

/* Renders the next play as bf_instrument_render does, never the same sound
 * as the play before it. BF_BUFFER_TOO_SMALL keeps the play for the next
 * call. BF_NO_VARIATION when the source cannot vary. */
BF_API bf_status bf_player_next(bf_player* player, int rate, int channels, float* out,
                                size_t capacity, size_t* frames);
/* The next call of bf_player_next plays play number index (counted from 0). */
BF_API bf_status bf_player_seek(bf_player* player, uint64_t index);
/* The play bf_player_next last rendered; into sound (if not NULL) its sound. */
BF_API bf_status bf_player_last(bf_player* player, bf_play* play, bf_instrument* sound);

#ifdef __cplusplus
}
#endif

/* clang-format on */
#endif
