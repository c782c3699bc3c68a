#!/usr/bin/env python3
"""Turns the results of bench/compare.sh into docs/performance.md and the
data file behind docs/performance.png."""

import glob
import json
import os
import re
import statistics
import sys

shape_mode = sys.argv[1] == '--shapes'
results = sys.argv[2] if shape_mode else sys.argv[1]
sizes = [10000, 100000, 1000000, 10000000]
shape_sizes = [10000, 100000, 1000000]
mib = 1024 * 1024


def times(case):
    """Every timed run of every command of a case, over all its rounds."""
    merged = {}
    for name in sorted(glob.glob(os.path.join(results, case + '.*.json'))):
        with open(name) as f:
            for r in json.load(f)['results']:
                merged.setdefault(r['command'], []).extend(r['times'])
    return merged


def medians(case):
    return {command: statistics.median(runs) for command, runs in times(case).items()}


def shape_table(shapes):
    """The name shapes' cases, each against its floor (and the baseline build,
    when one was timed), as a table in Markdown."""
    rows = ['| Shape | Lines | case | lotpick | `wc -l` | ratio | goal | baseline |',
            '|---|---:|---|---:|---:|---:|---:|---:|']
    for n in shape_sizes:
        for shape in shapes:
            for kind, goal in (('fresh', 1.25), ('half', 1.5)):
                m = medians('shape-%s-%s-%d' % (shape, kind, n))
                if not m:
                    continue
                r = m['lotpick'] / m['wc']
                base = ms(m['baseline']) if 'baseline' in m else ''
                rows.append('| %s | %d | %s | %s | %s | %.2f | %s | %s |'
                            % (shape, n, 'fresh pick' if kind == 'fresh' else 'half done', ms(m['lotpick']),
                               ms(m['wc']), r, ('<= %.2f' % goal) if n == 1000000 else '', base))
    return '\n'.join(rows)


def read(name):
    with open(os.path.join(results, name)) as f:
        return f.read().strip()


def ms(seconds):
    return '%.1f ms' % (seconds * 1000) if seconds < 1 else '%.2f s' % seconds


def size_of(path):
    return os.path.getsize(os.path.join(results, '..', path))


def rss(name):
    return int(read(name).splitlines()[-1]) * 1024


def verdict(ok):
    return 'yes' if ok else '**no**'


if shape_mode:
    print(shape_table(sys.argv[3:]))
    sys.exit(0)
docs = sys.argv[2]

fresh = {n: medians('fresh-%d' % n) for n in sizes}
half = {n: medians('half-%d' % n) for n in sizes}
done = {n: medians('done-%d' % n) for n in sizes}
copy = medians('copy')
start = medians('start')
runs_per_case = len(times('fresh-1000000')['lotpick'])
machine = read('machine.txt').splitlines()
load = read('load.txt').splitlines()
big, mid = sizes[-1], 1000000

with open(os.path.join(results, 'micro.json')) as f:
    micro = [b for b in json.load(f)['benchmarks'] if b.get('aggregate_name') == 'median']


def ratio(case, n, floor='wc'):
    return case[n]['lotpick'] / case[n][floor]


growth_done = done[mid]['lotpick'] / done[100000]['lotpick']
growth = {what: case[big]['lotpick'] / case[mid]['lotpick'] for what, case in
          (('fresh pick', fresh), ('half done', half), ('all done', done))}
copy_ratio = copy['lotpick'] / copy['cp']
count_rate = next(b['bytes_per_second'] for b in micro if b['run_name'] == 'BM_CountLineEnds/16777216')
list_bytes = {n: size_of('list-%d.txt' % n) for n in (mid, big)}
done_bytes = {(kind, n): size_of('%s-%d.txt' % (kind, n)) for kind in ('half', 'done') for n in (mid, big)}
memory = {(kind, n): rss('rss-%s-%d.txt' % (kind, n)) for kind in ('fresh', 'half', 'done') for n in (mid, big)}


def allowed(kind, n):
    if kind == 'fresh':
        return list_bytes[n] + 8 * mib
    return list_bytes[n] + done_bytes[(kind, n)] + 32 * mib


def memory_ok(n):
    return all(memory[(kind, n)] <= allowed(kind, n) for kind in ('fresh', 'half', 'done'))


# Shares of a profile's samples by what the code does, from perf report's
# symbols: the system copying files out of the page cache (which wc pays
# too), counting line ends, searching the done list, starting the process.
groups = [
    ('the system copying the files into lotpick', r'copy_to_iter|copy_page_to_iter|filemap_|rep_movs|copy_user'),
    ('counting line ends', r'count_line_ends|line_ends_in|count_(avx512|sse2)|count_stretches'),
    ('splitting the done list into entries and looking them up',
     r'name_end|marks_avx512|mark_name_ends|visit_lines|search_half|hash_name|has_bit|_Hashtable'),
    ('starting the process (loading, relocating)', r'_dl_|dl_main|do_lookup|strcmp|__libc_start|_start\b|init_cacheinfo|cpu_features'),
]


def profile(kind):
    path = os.path.join(results, 'profile-%s.txt' % kind)
    if not os.path.exists(path):
        return None
    shares = {name: 0.0 for name, _ in groups}
    rest = 0.0
    with open(path) as f:
        for line in f:
            m = re.match(r'\s*([\d.]+)%\s+\[[.k]\]\s+(.*)', line)
            if not m:
                continue
            share, symbol = float(m.group(1)), m.group(2)
            for name, pattern in groups:
                if re.search(pattern, symbol):
                    shares[name] += share
                    break
            else:
                rest += share
    return shares, rest


lines = []
out = lines.append
out('# Performance')
out('')
out('Made by `bench/compare.sh` from the code of this commit: the commands of each case run in turns, in '
    'rounds, so that a noisy spell of the machine falls on all of them alike (%d timed runs of each for a fresh '
    'pick from 10^6 lines; medians). Rerun it to refresh this page and `performance.png`.' % runs_per_case)
out('')
out('Machine: %s, %s cores, %s memory, %s; %s; %s; %s; scratch files on %s.'
    % (machine[0], machine[1], machine[2], machine[3], machine[4], machine[5], machine[7], machine[6]))
out('Load average before and after: %s / %s.' % (load[0].split('load average: ')[-1], load[1].split('load average: ')[-1]))
out('')
out('The floor of every run is `wc -l` over the same files: it reads them once and counts their line ends, '
    'which any pick must do, and no more. The lists hold names of 47 bytes, each a hard link to a 64 KiB file; '
    'a list of 10^6 names is %.0f MB. A half-done run has every second name of the list in its done list.'
    % (list_bytes[mid] / 1e6))
out('')
out('## Targets')
out('')
out('| Target | Measured | Met |')
out('|---|---|---|')
r = ratio(fresh, mid)
out('| fresh pick from 10^6 lines at most 1.25 x `wc -l` on the list | %.2f x (%s against %s) | %s |'
    % (r, ms(fresh[mid]['lotpick']), ms(fresh[mid]['wc']), verdict(r <= 1.25)))
r = ratio(half, mid)
out('| 10^6 lines, every second name done: at most 1.5 x `wc -l` on list and done list | %.2f x (%s against %s) | %s |'
    % (r, ms(half[mid]['lotpick']), ms(half[mid]['wc']), verdict(r <= 1.5)))
out('| all 10^6 names done: at most 1.5 s | %s | %s |' % (ms(done[mid]['lotpick']), verdict(done[mid]['lotpick'] <= 1.5)))
out('| all done: 10^6 lines at most 12 x 10^5 lines | %.1f x | %s |' % (growth_done, verdict(growth_done <= 12)))
for what, g in growth.items():
    out('| %s: 10^7 lines at most 12 x 10^6 lines | %.1f x (%s against %s) | %s |'
        % (what, g, ms({'fresh pick': fresh, 'half done': half, 'all done': done}[what][big]['lotpick']),
           ms({'fresh pick': fresh, 'half done': half, 'all done': done}[what][mid]['lotpick']), verdict(g <= 12)))
r = ratio(fresh, mid, 'shuf')
out('| fresh pick from 10^6 lines at most 0.5 x `shuf -n 1` | %.2f x (%s against %s) | %s |'
    % (r, ms(fresh[mid]['lotpick']), ms(fresh[mid]['shuf']), verdict(r <= 0.5)))
out('| 512 MiB copy at most 1.1 x `cp` | %.2f x (%s against %s) | %s |'
    % (copy_ratio, ms(copy['lotpick']), ms(copy['cp']), verdict(copy_ratio <= 1.1)))
out('| counting line ends at least 5 GB/s | %.1f GB/s | %s |' % (count_rate / 1e9, verdict(count_rate >= 5e9)))
for n in (mid, big):
    out('| peak memory, 10^%d lines: fresh pick at most list + 8 MiB, with a done list at most list + done list + '
        '32 MiB | %s | %s |' % (len(str(n)) - 1, ', '.join('%s %.0f of %.0f MiB' % (kind, memory[(kind, n)] / mib,
                                                                                     allowed(kind, n) / mib)
                                                           for kind in ('fresh', 'half', 'done')),
                                verdict(memory_ok(n))))
out('')
out('## Whole runs')
out('')
out('Starting lotpick and printing only its usage text takes %s, against %s for `wc -l /dev/null`; below 10^5 '
    'lines that start-up is most of a fresh pick.' % (ms(start['lotpick']), ms(start['wc'])))
out('')
out('| Lines | fresh pick | `wc -l` list | ratio | `shuf -n 1` | half done | `wc -l` list and done list | ratio |')
out('|---:|---:|---:|---:|---:|---:|---:|---:|')
for n in sizes:
    out('| %d | %s | %s | %.2f | %s | %s | %s | %.2f |'
        % (n, ms(fresh[n]['lotpick']), ms(fresh[n]['wc']), ratio(fresh, n), ms(fresh[n]['shuf']),
           ms(half[n]['lotpick']), ms(half[n]['wc']), ratio(half, n)))
out('')
out('An all-done run has every name of the list in its done list, so it makes one attempt per line end and '
    'prints one redraw line each, to /dev/null. Standard output is line-buffered, so each redraw line is one '
    'write to the system. "Writes alone" is `bench/line_writes` printing as many lines of the same shape in the '
    'same way: the floor of such a run, with the `wc -l` of its files beside it.')
out('')
out('| Lines | all done | writes alone | `wc -l` list and done list | rest of the run |')
out('|---:|---:|---:|---:|---:|')
for n in sizes:
    d = done[n]
    out('| %d | %s | %s | %s | %s |' % (n, ms(d['lotpick']), ms(d['writes']), ms(d['wc']),
                                        ms(max(d['lotpick'] - d['writes'], 0))))
out('')
out('All done, growth from 10^5 to 10^6 lines: lotpick %.1f x, the writes alone %.1f x. On this machine one '
    'line-buffered write costs %.2f µs, so of the 1.5 s allowed for 10^6 lines the writes alone take %s.'
    % (growth_done, done[mid]['writes'] / done[100000]['writes'], done[mid]['writes'] * 1e6 / mid,
       ms(done[mid]['writes'])))
out('')
out('![Run time against list size](performance.png)')
out('')
fresh_profile, half_profile = profile('fresh'), profile('half')
if fresh_profile and half_profile:
    out('## Where the time goes')
    out('')
    out('`perf record -e cpu-clock` over twenty runs of each kind at 10^6 lines, both threads of each run; '
        'shares of lotpick\'s samples.')
    out('')
    out('| Samples spent on | fresh pick | half done |')
    out('|---|---:|---:|')
    for name, _ in groups:
        out('| %s | %.0f %% | %.0f %% |' % (name, fresh_profile[0][name], half_profile[0][name]))
    out('| everything else | %.0f %% | %.0f %% |' % (fresh_profile[1], half_profile[1]))
    out('')
    copied = groups[0][0]
    out('The largest share of either run is the copy out of the page cache, the very work `wc -l` does; a pick '
        'reads its list in pieces of 256 KiB that stay in the processor\'s cache while they are counted, in two '
        'halves on two threads, and never holds the whole list. After the copy (%.0f %% of a fresh pick) comes '
        'counting line ends (%.0f %%); a half-done run adds its pass over the done list, of which splitting it into '
        'entries and looking them up among the 64 names of the first attempts is %.0f %% of the run.'
        % (fresh_profile[0][copied], fresh_profile[0]['counting line ends'],
           half_profile[0]['splitting the done list into entries and looking them up']))
    out('')
shapes = [s for s in ('end', 'suffix', 'tail') if os.path.exists(os.path.join(results, 'shape-%s-half-1000000.0.json' % s))]
if shapes:
    out('## Name shapes')
    out('')
    out('How the names of a list look: "end", names that differ at their end (`pics/wallpaper_0000123.jpg`); '
        '"suffix", names that share a 30-byte suffix (`pics/0000123_nature_1920x1080_wallpaper.jpg`); "tail", '
        'names of 47 to 51 bytes whose last 16 bytes take only 32 values. Each name is a hard link as above; '
        'the half-done list holds every second name. Goals at 10^6 names: fresh pick at most 1.25 x `wc -l`, '
        'half done at most 1.5 x.')
    out('')
    out(shape_table(shapes))
    out('')
    slowest = max(shapes, key=lambda s: medians('shape-%s-half-1000000' % s)['lotpick']
                  / medians('shape-%s-half-1000000' % s)['wc'])
    shape_profile = profile('shape-' + slowest)
    if shape_profile:
        out('Where a half-done run of the slowest shape, "%s", spends its time at 10^6 names '
            '(`perf record -e cpu-clock`, twenty runs, both threads; shares of lotpick\'s samples):' % slowest)
        out('')
        out('| Samples spent on | share |')
        out('|---|---:|')
        for name, _ in groups:
            out('| %s | %.0f %% |' % (name, shape_profile[0][name]))
        out('| everything else | %.0f %% |' % shape_profile[1])
        out('')
out('## Copy')
out('')
out('| 512 MiB file | lotpick | `cp` | ratio |')
out('|---|---:|---:|---:|')
out('| %s | %s | %s | %.2f |' % (machine[6], ms(copy['lotpick']), ms(copy['cp']), copy_ratio))
out('')
out('Both write a new file (the targets are removed and the disks synced before each run). lotpick copies '
    'inside the kernel with `copy_file_range`, which shares the blocks (a reflink) where the file system can, '
    'then falls back to reading and writing.')
out('')
out('## Memory')
out('')
out('Peak resident memory (`/usr/bin/time -f %M`). A pick keeps only pieces of its files in memory, and the names it '
    'draws: 64 at first, one for each of the 32768 generator outputs when it draws more often.')
out('')
out('| Run | list | done list | peak resident | allowed |')
out('|---|---:|---:|---:|---:|')
for n in (mid, big):
    for kind, what in (('fresh', 'fresh pick'), ('half', 'half done'), ('done', 'all done')):
        done_size = done_bytes[(kind, n)] if kind != 'fresh' else 0
        out('| %s, 10^%d lines | %.1f MiB | %.1f MiB | %.1f MiB | %.1f MiB |'
            % (what, len(str(n)) - 1, list_bytes[n] / mib, done_size / mib, memory[(kind, n)] / mib,
               allowed(kind, n) / mib))
for name, what in (('rss-blank.txt', '10^7 blank lines, no done list (every attempt made)'),
                   ('rss-bytes.txt', '10^7 one-byte names, every one done')):
    if os.path.exists(os.path.join(results, name)):
        out('| %s | | | %.1f MiB | 16.0 MiB |' % (what, rss(name) / mib))
out('')
out('## Micro-benchmarks')
out('')
out('`build/release/bench/lotpick_bench`, median of five repetitions.')
out('')
what = {
    'BM_CountLineEnds': 'counting line ends over that many bytes of a list',
    'BM_StdCountCr': '`std::count` of CR bytes over the same, for scale',
    'BM_ScanList': 'every run: a list file of that many lines read in pieces and counted',
    'BM_FindNames': 'the names of the first 64 attempts, read from their stretches of the list',
    'BM_FindDone': 'a half-done run\'s pass over its done list of half that many entries, against 64 names',
    'BM_IndexDrawableLines': 'the name of every generator output, for runs of more than 64 attempts: one walk over the list file',
}


def duration(value, unit):
    seconds = value * {'ns': 1e-9, 'us': 1e-6, 'ms': 1e-3, 's': 1}[unit]
    for name, scale in (('s', 1), ('ms', 1e-3), ('µs', 1e-6)):
        if seconds >= scale:
            return '%.3g %s' % (seconds / scale, name)
    return '%.3g ns' % (seconds / 1e-9)


out('| Benchmark | What it times | Time | Throughput |')
out('|---|---|---:|---:|')
for b in micro:
    rate = ''
    if 'bytes_per_second' in b:
        rate = '%.1f GB/s' % (b['bytes_per_second'] / 1e9)
    elif 'items_per_second' in b:
        rate = '%.1f M/s' % (b['items_per_second'] / 1e6)
    group = b['run_name'].split('/')[0]
    out('| %s | %s | %s | %s |'
        % (b['run_name'], what.pop(group, ''), duration(b['real_time'], b['time_unit']), rate))
out('')

with open(os.path.join(docs, 'performance.md'), 'w') as f:
    f.write('\n'.join(lines))

with open(os.path.join(results, 'plot.dat'), 'w') as f:
    f.write('# lines fresh wc_list half wc_both done writes shuf start (seconds)\n')
    for n in sizes:
        f.write('%d %g %g %g %g %g %g %g %g\n'
                % (n, fresh[n]['lotpick'], fresh[n]['wc'], half[n]['lotpick'], half[n]['wc'], done[n]['lotpick'],
                   done[n]['writes'], fresh[n]['shuf'], start['lotpick']))
