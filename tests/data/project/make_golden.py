#!/usr/bin/env python3
"""Writes the golden project texts of tests/app/shell/project_format_test.cpp, straight from the
file format's rules (section and key order, CR LF, floats as single precision to 9 significant
digits, "true"/"false"), without the program's writer. Run it in this folder."""
import struct


def f(value):
    single = struct.unpack('<f', struct.pack('<f', value))[0]
    return '%.9g' % single


def flag(value):
    return 'true' if value else 'false'


def general():
    return ['[General]', 'WinPosX=10', 'WinPosY=-20', 'WinSizeW=1299', 'WinSizeH=755', 'iXmag=4', 'iTrh=19',
            'Mabiki=8', 'PeakYmag=4079', 'iSoloCounter=1', 'CurrentTrack=3']


def bus():
    lines = ['[Bus]']
    for t in range(19):
        lines += ['Tr%02dPan=%s' % (t, f(0.1 if t == 3 else 0.5)), 'Tr%02dVol=%s' % (t, f(1.0)),
                  'Tr%02dMute=%s' % (t, flag(t == 5)), 'Tr%02dMute2=%s' % (t, flag(t == 5)),
                  'Tr%02dSolo=%s' % (t, flag(t == 2))]
        for s in range(5):
            n = t * 5 + s
            lines += ['Tr%02dEf%02dbSend=%s' % (t, s, flag(n == 7)), 'Tr%02dEf%02dSend=%s' % (t, s, f(0.25 if n == 7 else 0)),
                      'Tr%02dEf%02dPower=%s' % (t, s, flag(n != 9)), 'Tr%02dEf%02dPreset=%d' % (t, s, 2 if n == 15 else 0),
                      'Tr%02dEf%02dEditButton=%s' % (t, s, flag(n == 16))]
    return lines


def write(name, lines):
    with open(name, 'wb') as out:
        out.write(''.join(line + '\r\n' for line in lines).encode('ascii'))


write('no_plugins.tvx', general() + bus())

track = ['[Track]', 'Tr03Sl00VST=.\\VSTPlugins\\ten.dll', 'Tr03Sl00PosX=100', 'Tr03Sl00PosY=200',
         'Tr03Sl01VST=Z:\\plugins\\four.dll', 'Tr03Sl01PosX=50', 'Tr03Sl01PosY=7']
parameters = ['[VstParameter]', 'Tr03EfNum=4']
parameters += ['Tr03Ef00Value%03d=%s' % (i, f(i / 10)) for i in range(10)]
parameters += ['Tr03Ef01Value%03d=%s' % (i, f(1 - i / 4)) for i in range(4)]
write('two_slots.tvx', general() + track + bus() + parameters)
