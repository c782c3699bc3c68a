#!/usr/bin/env python3
"""Writes the lists of one name shape into shape-SHAPE/ of the current folder,
for bench/compare.sh and bench/callgrind.sh: each name a hard link to one of a
few 64 KiB files, each line ended by CR LF. For each size N: list-N.txt (the
first N names), half-N.txt (every second one of them, as a done list) and
all-N.txt (all of them, as a done list).

    bench/shape_lists.py SHAPE N [N...]
"""
import os
import sys

FORMS = {
    'end': lambda i: 'pics/wallpaper_%07d.jpg' % i,
    'suffix': lambda i: 'pics/%07d_nature_1920x1080_wallpaper.jpg' % i,
    'tail': lambda i: 'pics/photo-%07d-%s-album-%02d-hd.jpg' % (i, 'x' * (11 + i % 5), i % 32),
}

shape, sizes = sys.argv[1], [int(arg) for arg in sys.argv[2:]]
root = 'shape-' + shape
names = []
for i in range(max(sizes)):
    folder = '%s/%03d' % (root, i // 10000)
    if i % 10000 == 0:
        os.makedirs(folder + '/pics')
        source = folder + '/.content'
        with open(source, 'wb') as f:
            f.write(os.urandom(64 * 1024))
    names.append('%s/%s' % (folder, FORMS[shape](i)))
    os.link(source, names[-1])
for n in sizes:
    for kind, lines, ended in (('list', names[:n], True), ('half', names[1:n:2], False), ('all', names[:n], False)):
        with open('%s/%s-%d.txt' % (root, kind, n), 'w', newline='') as f:
            f.write(''.join(name + '\r\n' for name in lines) if ended else '\r\n'.join(lines))
