/* A C program built against the installed library: renders a kind's sound,
 * or a player's play, into a file of raw floats and prints what the command
 * line needs to render the same.
 *   RenderWithLibrary sound KIND SEED OUT     prints the sound's code
 *   RenderWithLibrary play KIND SEED N OUT    prints "CODE SEED KEY VELOCITY DURATION" of play N */
#include <bleepforge.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(const char* what, bf_status status, const char* message)
{
    fprintf(stderr, "%s: %s (%s)\n", what, bf_status_text(status), message);
    return 1;
}

static int save(const char* path, const float* samples, size_t frames)
{
    FILE* file = fopen(path, "wb");
    if (!file || fwrite(samples, sizeof *samples, frames, file) != frames || fclose(file) != 0)
    {
        perror(path);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    const int rate = 44100;
    const size_t most = bf_frames_most(rate);
    float* samples = malloc(most * sizeof *samples);
    bf_instrument* sound = bf_instrument_new();
    char code[BF_CODE_SIZE];
    size_t frames = 0;
    bf_status status;
    int failed = 1;
    if (!samples || !sound)
        return 1;

    if (argc == 5 && strcmp(argv[1], "sound") == 0)
    {
        const uint32_t seed = (uint32_t)strtoul(argv[3], NULL, 10);
        if ((status = bf_instrument_generate(sound, argv[2], seed)) != BF_OK)
            failed = fail("generate", status, bf_instrument_message(sound));
        else if ((status = bf_instrument_render(sound, NULL, 0, rate, 1, seed, samples, most,
                                                &frames)) != BF_OK)
            failed = fail("render", status, bf_instrument_message(sound));
        else if ((status = bf_instrument_code(sound, code, sizeof code)) != BF_OK)
            failed = fail("code", status, bf_instrument_message(sound));
        else
        {
            printf("%s\n", code);
            failed = save(argv[4], samples, frames);
        }
    }
    else if (argc == 6 && strcmp(argv[1], "play") == 0)
    {
        bf_player* player = bf_player_new((uint32_t)strtoul(argv[3], NULL, 10));
        const long plays = strtol(argv[4], NULL, 10);
        bf_play play;
        long i;
        if (!player)
            return 1;
        status = bf_player_set_kind(player, argv[2]);
        if (status == BF_OK)
            status = bf_player_set_pitch(player, 3);
        for (i = 0; i <= plays && status == BF_OK; ++i)
            status = bf_player_next(player, rate, 1, samples, most, &frames);
        if (status == BF_OK)
            status = bf_player_last(player, &play, sound);
        if (status != BF_OK)
            failed = fail("play", status, bf_player_message(player));
        else if ((status = bf_instrument_code(sound, code, sizeof code)) != BF_OK)
            failed = fail("code", status, bf_instrument_message(sound));
        else
        {
            printf("%s %u %d %d %.17g\n", code, (unsigned)play.seed, play.note.key,
                   play.note.velocity, play.note.duration);
            failed = save(argv[5], samples, frames);
        }
        bf_player_free(player);
    }
    else
        fprintf(stderr, "usage: %s sound KIND SEED OUT | play KIND SEED N OUT\n", argv[0]);

    bf_instrument_free(sound);
    free(samples);
    return failed;
}
