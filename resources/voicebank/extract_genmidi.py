#!/usr/bin/env python3
"""One-off: turns the GENMIDI lump of Freedoom (freedoom2.wad, Debian package `freedoom`,
BSD licence, see COPYING.freedoom) into the readable patch list genmidi.txt that the
voice bank generator reads. The build never needs the game package.

usage: extract_genmidi.py /usr/share/games/doom/freedoom2.wad > genmidi.txt
"""
import re
import struct
import sys


def lump(wad, wanted):
    ident, count, table = struct.unpack('<4sii', wad[:12])
    for i in range(count):
        offset, size, name = struct.unpack('<ii8s', wad[table + 16 * i: table + 16 * i + 16])
        if name.rstrip(b'\0') == wanted:
            return wad[offset: offset + size]
    raise SystemExit('no %s lump' % wanted.decode())


def operator(b):
    char, ad, sr, wave, ksl, level = b
    return ('[mul=%d am=%d vib=%d egt=%d ksr=%d ar=%d dr=%d sl=%d rr=%d ksl=%d tl=%d wav=%d]'
            % (char & 15, char >> 7 & 1, char >> 6 & 1, char >> 5 & 1, char >> 4 & 1,
               ad >> 4, ad & 15, sr >> 4, sr & 15, ksl >> 6, level & 63, wave & 7))


def voice(v):
    mod, fb, car = v[0:6], v[6], v[7:13]
    offset = struct.unpack('<h', v[14:16])[0]
    return 'fb=%d con=%d offset=%d mod=%s car=%s' % (fb >> 1 & 7, fb & 1, offset, operator(mod), operator(car))


def short_name(name):
    words = [w for w in re.split(r'[^A-Za-z0-9]+', name) if w]
    if not words:
        return 'NoName'
    if len(words) == 1:
        return words[0][:8]
    # Keep the last word (the instrument) whole where possible, abbreviate the rest.
    last = words[-1][:6]
    head = ''.join(w[0].upper() for w in words[:-1])
    return (head + last)[:8]


def main():
    data = lump(open(sys.argv[1], 'rb').read(), b'GENMIDI')
    assert data[:8] == b'#OPL_II#' and len(data) == 11908
    print('# General MIDI patches for two-operator FM, from the GENMIDI lump of Freedoom')
    print('# (see COPYING.freedoom). One patch per line; "voice2" lines carry the second voice')
    print('# of double-voice patches. Operator fields: multiplier, tremolo, vibrato, sustained')
    print('# envelope, key scale rate, attack/decay/sustain level/release, key scale level,')
    print('# total level (attenuation), waveform. fb feedback, con 0 = modulated, 1 = additive;')
    print('# offset in semitones; fixed = the note a percussion patch always sounds at.')
    for i in range(175):
        rec = data[8 + 36 * i: 8 + 36 * (i + 1)]
        flags, fine, fixed = struct.unpack('<HBB', rec[:4])
        name = data[8 + 175 * 36 + 32 * i: 8 + 175 * 36 + 32 * (i + 1)].split(b'\0')[0].decode('ascii', 'replace')
        kind = 'patch %d' % i if i < 128 else 'drum %d' % (i - 128 + 35)
        fixed_text = str(fixed) if flags & 1 else '-'
        print('%s "%s" short=%s fixed=%s fine=%d %s' % (kind, name, short_name(name), fixed_text, fine, voice(rec[4:20])))
        if flags & 4:
            print('voice2 %s' % voice(rec[20:36]))


main()
