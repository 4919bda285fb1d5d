/* The header as a C99 program includes it, pedantically. */
#include "bleepforge.h"

size_t HeaderC99Frames(void);

size_t HeaderC99Frames(void)
{
    bf_note note = {60, 127, 0.0, 0.5};
    bf_play play;
    play.note = note;
    play.index = 0;
    return bf_frames_most(44100) + (size_t)play.note.key;
}
