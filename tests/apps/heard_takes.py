#!/usr/bin/env python3
"""Finds sounds in a recording and checks each is its file sample for sample.

The recording and the sounds are WAV files of 32-bit float samples, read
exactly (a converter would round them): the recording of two channels, each
sound of one. The sounds were played one after the other, each whole, with
silence (exact zeros) between them. Each is found where its first sample that
is not zero shows, from where the one before it ended; then every sample of
it must be there, in both channels. Prints one line a sound; exits 1 at the
first that is not there whole.

Usage: heard_takes.py RECORDING.wav SOUND.wav..."""
import array
import struct
import sys

FLOAT, EXTENSIBLE = 3, 0xFFFE


def float_wav(path):
    """The samples of a float WAV, interleaved, and its channel count."""
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit("heard_takes.py: %s is not a WAV file" % path)
    channels, samples, at = 0, None, 12
    while at + 8 <= len(data):
        kind, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        body = data[at + 8:at + 8 + size]
        if kind == b"fmt ":
            tag, channels = struct.unpack("<HH", body[0:4])
            bits = struct.unpack("<H", body[14:16])[0]
            if tag == EXTENSIBLE:
                tag = struct.unpack("<H", body[24:26])[0]
            if tag != FLOAT or bits != 32:
                sys.exit("heard_takes.py: %s does not hold 32-bit floats" % path)
        elif kind == b"data":
            samples = array.array("f")
            samples.frombytes(body[:len(body) // 4 * 4])
            if sys.byteorder != "little":
                samples.byteswap()
        at += 8 + size + (size & 1)
    if samples is None or channels == 0:
        sys.exit("heard_takes.py: %s has no samples" % path)
    return samples, channels


def first_sound(samples, start=0):
    for i in range(start, len(samples)):
        if samples[i] != 0.0:
            return i
    return -1


def main():
    both, channels = float_wav(sys.argv[1])
    if channels != 2:
        sys.exit("heard_takes.py: the recording has %d channels, not 2" % channels)
    left, right = both[0::2], both[1::2]
    if left != right:
        sys.exit("heard_takes.py: the two channels of the recording differ")
    cursor = 0
    for path in sys.argv[2:]:
        sound, channels = float_wav(path)
        name = path.rsplit("/", 1)[-1]
        if channels != 1:
            sys.exit("%s: %d channels, not 1" % (name, channels))
        lead = first_sound(sound)
        heard = first_sound(left, cursor)
        if lead < 0 or heard < 0:
            sys.exit("%s: %s" % (name, "silent" if lead < 0 else "not in the recording"))
        start = heard - lead
        if start < cursor:
            sys.exit("%s: starts inside the sound before it" % name)
        take = left[start:start + len(sound)]
        if take != sound:
            if len(take) < len(sound):
                sys.exit("%s: the recording ends %d samples into it" % (name, len(take)))
            at = next(i for i in range(len(sound)) if take[i] != sound[i])
            sys.exit("%s: sample %d of %d is %.9g in the recording, %.9g in the file" %
                     (name, at, len(sound), take[at], sound[at]))
        print("%s: %d samples, found at sample %d, all equal" % (name, len(sound), start))
        cursor = start + len(sound)


main()
