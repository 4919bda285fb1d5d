/* A fresh coin on every key press: the smallest game that plays Bleepforge
 * sounds through SDL2. Each press renders the player's next variation
 * (never the same coin twice in a row) and queues it on the audio device.
 *
 *   coins [--seed N] [--presses N]
 *
 * A window takes the key presses (Escape or closing it quits). With
 * --presses N it opens no window: it presses a key N times itself, plays
 * what they queued and quits, so it runs headless (SDL_AUDIODRIVER=disk
 * writes what it played to a file). Each play's sound code, seed and note
 * go to standard output, so `bleepforge render` can make the same samples.
 *
 * Build it against the installed library:
 *   cc coins.c $(pkg-config --cflags --libs bleepforge sdl2) -o coins */
#include <SDL.h>
#include <bleepforge.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define RATE 44100

typedef struct Game
{
    bf_player* coins;
    bf_instrument* last;
    float* samples;
    size_t most;
    SDL_AudioDeviceID audio;
} Game;

static int complain(const char* what, const char* why)
{
    fprintf(stderr, "coins: %s: %s\n", what, why);
    return 0;
}

/* Renders the next coin, queues it and says what it was. */
static int playCoin(Game* game)
{
    size_t frames = 0;
    bf_play play;
    char code[BF_CODE_SIZE];
    if (bf_player_next(game->coins, RATE, 1, game->samples, game->most, &frames) != BF_OK)
        return complain("next coin", bf_player_message(game->coins));
    if (bf_player_last(game->coins, &play, game->last) != BF_OK ||
        bf_instrument_code(game->last, code, sizeof code) != BF_OK)
        return complain("the coin played", bf_player_message(game->coins));
    if (SDL_QueueAudio(game->audio, game->samples, (Uint32)(frames * sizeof(float))) != 0)
        return complain("queueing audio", SDL_GetError());
    printf("%s %u %d %d %.17g\n", code, (unsigned)play.seed, play.note.key, play.note.velocity,
           play.note.duration);
    fflush(stdout);
    return 1;
}

static void pressKey(void)
{
    SDL_Event press;
    memset(&press, 0, sizeof press);
    press.type = SDL_KEYDOWN;
    press.key.keysym.sym = SDLK_SPACE;
    SDL_PushEvent(&press);
}

/* Handles events until asked to quit; a key press plays a coin. */
static int run(Game* game, SDL_Window* window)
{
    SDL_Event event;
    int running = 1;
    while (running && SDL_WaitEvent(&event))
    {
        if (event.type == SDL_QUIT)
            running = 0;
        else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)
            running = 0;
        else if (event.type == SDL_KEYDOWN && !event.key.repeat && !playCoin(game))
            return 0;
        if (!window && !SDL_HasEvent(SDL_KEYDOWN))
            running = 0; /* every press it made itself has been handled */
    }
    return 1;
}

/* Plays what is queued to the end. */
static void drain(SDL_AudioDeviceID audio)
{
    SDL_PauseAudioDevice(audio, 0);
    while (SDL_GetQueuedAudioSize(audio) > 0)
        SDL_Delay(10);
    SDL_Delay(100); /* the device's last buffer */
}

int main(int argc, char** argv)
{
    unsigned long seed = 1, presses = 0;
    Game game = {0};
    SDL_AudioSpec want;
    SDL_Window* window = NULL;
    int i, ok = 0;
    for (i = 1; i + 1 < argc; i += 2)
    {
        if (strcmp(argv[i], "--seed") == 0)
            seed = strtoul(argv[i + 1], NULL, 10);
        else if (strcmp(argv[i], "--presses") == 0)
            presses = strtoul(argv[i + 1], NULL, 10);
        else
            break;
    }
    if (i != argc)
    {
        fprintf(stderr, "usage: coins [--seed N] [--presses N]\n");
        return 2;
    }

    game.coins = bf_player_new((uint32_t)seed);
    game.last = bf_instrument_new();
    game.most = bf_frames_most(RATE);
    game.samples = malloc(game.most * sizeof(float));
    if (!game.coins || !game.last || !game.samples)
        return 1;
    if (bf_player_set_kind(game.coins, "coin") != BF_OK ||
        bf_player_set_pitch(game.coins, 2) != BF_OK)
        return complain("coins", bf_player_message(game.coins)), 1;

    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_EVENTS | (presses ? 0 : SDL_INIT_VIDEO)) != 0)
        return complain("SDL", SDL_GetError()), 1;
    memset(&want, 0, sizeof want);
    want.freq = RATE;
    want.format = AUDIO_F32SYS;
    want.channels = 1;
    want.samples = 1024;
    /* Opened paused: a headless run queues every press before it plays. */
    game.audio = SDL_OpenAudioDevice(NULL, 0, &want, NULL, 0);
    if (!game.audio)
        complain("audio", SDL_GetError());
    else if (presses)
    {
        for (i = 0; (unsigned long)i < presses; ++i)
            pressKey();
        ok = run(&game, NULL);
        drain(game.audio);
    }
    else if (!(window = SDL_CreateWindow("Bleepforge coins: press a key", SDL_WINDOWPOS_UNDEFINED,
                                         SDL_WINDOWPOS_UNDEFINED, 320, 120, 0)))
        complain("window", SDL_GetError());
    else
    {
        SDL_PauseAudioDevice(game.audio, 0);
        ok = run(&game, window);
        SDL_DestroyWindow(window);
    }
    if (game.audio)
        SDL_CloseAudioDevice(game.audio);
    SDL_Quit();
    free(game.samples);
    bf_instrument_free(game.last);
    bf_player_free(game.coins);
    return ok ? 0 : 1;
}
