#!/usr/bin/env python3
"""Turns the results of bench/compare.sh into docs/performance.md and the
data file behind docs/performance.png."""

import json
import os
import sys

results, docs = sys.argv[1], sys.argv[2]
sizes = [10000, 100000, 1000000]


def medians(name):
    with open(os.path.join(results, name)) as f:
        return {r['command']: r['median'] for r in json.load(f)['results']}


def runs(name):
    with open(os.path.join(results, name)) as f:
        return len(json.load(f)['results'][0]['times'])


def read(name):
    with open(os.path.join(results, name)) as f:
        return f.read().strip()


def ms(seconds):
    return '%.1f ms' % (seconds * 1000) if seconds < 1 else '%.2f s' % seconds


def size_of(path):
    return os.path.getsize(os.path.join(results, '..', path))


fresh = {n: medians('fresh-%d.json' % n) for n in sizes}
done = {n: medians('done-%d.json' % n) for n in sizes}
copy = medians('copy.json')
start = medians('start.json')['start']
machine = read('machine.txt').splitlines()
load = read('load.txt').splitlines()

with open(os.path.join(results, 'micro.json')) as f:
    micro = [b for b in json.load(f)['benchmarks'] if b.get('aggregate_name') == 'median']

fresh_ratio = fresh[1000000]['lotpick'] / fresh[1000000]['shuf']
growth = done[1000000]['lotpick'] / done[100000]['lotpick']
copy_ratio = copy['lotpick'] / copy['cp']
count_rate = next(b['bytes_per_second'] for b in micro if b['run_name'] == 'BM_CountLineEnds/16777216')
list_bytes, done_bytes = size_of('list-1000000.txt'), size_of('done-1000000.txt')
rss_fresh = int(read('rss-fresh.txt').splitlines()[-1]) * 1024
rss_done = int(read('rss-done.txt').splitlines()[-1]) * 1024
mib = 1024 * 1024
bound_fresh = 2 * list_bytes + 8 * mib
bound_done = 2 * (list_bytes + done_bytes) + 8 * mib


def duration(value, unit):
    seconds = value * {'ns': 1e-9, 'us': 1e-6, 'ms': 1e-3, 's': 1}[unit]
    for name, scale in (('s', 1), ('ms', 1e-3), ('µs', 1e-6)):
        if seconds >= scale:
            return '%.3g %s' % (seconds / scale, name)
    return '%.3g ns' % (seconds / 1e-9)


what = {
    'BM_CountLineEnds': 'counting line ends over that many bytes of a list',
    'BM_StdCountCr': '`std::count` of CR bytes over the same, for scale',
    'BM_CopyLine': 'a first attempt: the walk to a random line of a list of that many lines',
    'BM_IndexDrawableLines': 'the table from generator output to name, built once per run with redraws',
    'BM_LineTableLookup': 'a later attempt\'s lookup in that table',
    'BM_IndexEntries': 'the done table of that many entries, built once per run',
    'BM_ContainsEntry': 'one done test against a million entries',
}


def verdict(ok):
    return 'yes' if ok else '**no**'


lines = []
out = lines.append
out('# Performance')
out('')
out('Made by `bench/compare.sh` (%d timed runs per whole-run case, twice that for fresh picks; '
    'medians). Rerun it to refresh this page and `performance.png`.' % runs('done-10000.json'))
out('')
out('Machine: %s, %s cores, %s memory, %s; %s; %s; scratch files on %s.'
    % (machine[0], machine[1], machine[2], machine[3], machine[4], machine[5], machine[6]))
out('Load average before and after: %s / %s.' % (load[0].split('load average: ')[-1], load[1].split('load average: ')[-1]))
out('')
out('## Targets')
out('')
out('| Target | Measured | Met |')
out('|---|---|---|')
out('| fresh pick from 10^6 lines at most 0.5 x `shuf -n 1` | %.2f x (%s against %s) | %s |'
    % (fresh_ratio, ms(fresh[1000000]['lotpick']), ms(fresh[1000000]['shuf']), verdict(fresh_ratio <= 0.5)))
out('| all 10^6 names done: at most 1.5 s | %s | %s |'
    % (ms(done[1000000]['lotpick']), verdict(done[1000000]['lotpick'] <= 1.5)))
out('| all done: 10^6 lines at most 12 x 10^5 lines | %.1f x | %s |' % (growth, verdict(growth <= 12)))
out('| 512 MiB copy at most 1.1 x `cp` | %.2f x (%s against %s) | %s |'
    % (copy_ratio, ms(copy['lotpick']), ms(copy['cp']), verdict(copy_ratio <= 1.1)))
out('| counting line ends at least 5 GB/s | %.1f GB/s | %s |' % (count_rate / 1e9, verdict(count_rate >= 5e9)))
out('| peak memory at most 2 x (list + done list) + 8 MiB | %.0f MiB of %.0f MiB allowed (all done, 10^6) | %s |'
    % (rss_done / mib, bound_done / mib, verdict(rss_done <= bound_done)))
out('')
out('## Whole runs')
out('')
out('A fresh pick has no done list. An all-done run has every name of the list in its done list, so it makes '
    'one attempt per line end and prints one redraw line each, to /dev/null. Standard output is line-buffered, so '
    'each redraw line is one write to the system. "One write per line" is `bench/line_writes` printing as many '
    'lines of the same shape in the same way: the part of an all-done run that no change to lotpick can remove. '
    'Starting lotpick and printing only its usage text takes %s; below 10^5 lines that start-up is most of a '
    'fresh pick.' % ms(start))
out('')
out('| Lines | lotpick, fresh pick | `shuf -n 1` | ratio | lotpick, all done | one write per line | rest of the run |')
out('|---:|---:|---:|---:|---:|---:|---:|')
for n in sizes:
    f, d = fresh[n], done[n]
    out('| %d | %s | %s | %.2f | %s | %s | %s |'
        % (n, ms(f['lotpick']), ms(f['shuf']), f['lotpick'] / f['shuf'], ms(d['lotpick']), ms(d['writes']),
           ms(max(d['lotpick'] - d['writes'], 0))))
out('')
out('All done, growth from 10^5 to 10^6 lines: lotpick %.1f x, the writes alone %.1f x. On this machine one '
    'line-buffered write costs %.2f µs, so of the 1.5 s allowed for 10^6 lines the writes alone take %s.'
    % (growth, done[1000000]['writes'] / done[100000]['writes'], done[1000000]['writes'] * 1e6 / 1000000,
       ms(done[1000000]['writes'])))
out('')
out('![Run time against list size](performance.png)')
out('')
out('## Copy')
out('')
out('| 512 MiB file | lotpick | `cp` | ratio |')
out('|---|---:|---:|---:|')
out('| %s | %s | %s | %.2f |' % (machine[6], ms(copy['lotpick']), ms(copy['cp']), copy_ratio))
out('')
out('Both write a new file (the targets are removed and the disks synced before each run). lotpick asks for a '
    'reflink first, then copies inside the kernel with `copy_file_range`, then falls back to reading and writing.')
out('')
out('## Memory')
out('')
out('| Run (10^6 lines) | list + done list | peak resident | allowed |')
out('|---|---:|---:|---:|')
out('| fresh pick | %.1f MiB | %.1f MiB | %.1f MiB |' % (list_bytes / mib, rss_fresh / mib, bound_fresh / mib))
out('| all done | %.1f MiB | %.1f MiB | %.1f MiB |'
    % ((list_bytes + done_bytes) / mib, rss_done / mib, bound_done / mib))
out('')
out('## Micro-benchmarks')
out('')
out('`build/release/bench/lotpick_bench`, median of five repetitions.')
out('')
out('| Benchmark | What it times | Time | Throughput |')
out('|---|---|---:|---:|')
for b in micro:
    rate = ''
    if 'bytes_per_second' in b:
        rate = '%.1f GB/s' % (b['bytes_per_second'] / 1e9)
    elif 'items_per_second' in b:
        rate = '%.1f M entries/s' % (b['items_per_second'] / 1e6)
    group = b['run_name'].split('/')[0]
    out('| %s | %s | %s | %s |'
        % (b['run_name'], what.pop(group, ''), duration(b['real_time'], b['time_unit']), rate))
out('')

with open(os.path.join(docs, 'performance.md'), 'w') as f:
    f.write('\n'.join(lines))

with open(os.path.join(results, 'plot.dat'), 'w') as f:
    f.write('# lines fresh shuf done writes start (seconds)\n')
    for n in sizes:
        f.write('%d %g %g %g %g %g\n'
                % (n, fresh[n]['lotpick'], fresh[n]['shuf'], done[n]['lotpick'], done[n]['writes'], start))
