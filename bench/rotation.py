#!/usr/bin/env python3
"""Runs the seed sequences for bench/rotation.sh and writes docs/rotation.md
and the data file behind docs/rotation.png.

    python3 bench/rotation.py LOTPICK DATA_DIR DOCS_DIR

Normally started by bench/rotation.sh, which builds LOTPICK first and leaves
build.txt (version, commit, machine) in DATA_DIR/results.
"""

import json
import multiprocessing
import os
import subprocess
import sys
import time

SIZES = [4, 10, 40, 200]
VARIANTS = [False, True]  # trailing blank line
DAY_MS = 86400000

# Absolute, because every run starts in its own folder.
lotpick, data, docs = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
results = os.path.join(data, 'results')
sequences = int(os.environ.get('LOTPICK_ROTATION_SEQUENCES', '20'))
jobs = int(os.environ.get('LOTPICK_ROTATION_JOBS', str(os.cpu_count() or 1)))
cap = int(os.environ.get('LOTPICK_ROTATION_CAP', '100000'))


def seed(k, i):
    # A millisecond clock read once a day; each sequence starts at its own moment.
    return (k * 7919 + 12345 + i * DAY_MS) % 2**32


def case_name(n, blank):
    return '%d-%s' % (n, 'blank' if blank else 'plain')


def prepare():
    # Every name is a real file, so every run really copies; the content
    # names the file, which makes a wrong copy easy to spot by hand.
    os.makedirs(os.path.join(data, 'names'))
    os.makedirs(os.path.join(data, 'lists'))
    for i in range(1, max(SIZES) + 1):
        with open(os.path.join(data, 'names', 'p%03d.txt' % i), 'w') as f:
            f.write('name %d\n' % i)
    for n in SIZES:
        for blank in VARIANTS:
            text = ''.join('names/p%03d.txt\r\n' % i for i in range(1, n + 1)) + ('\r\n' if blank else '')
            with open(os.path.join(data, 'lists', 'list-%s.txt' % case_name(n, blank)), 'w', newline='') as f:
                f.write(text)


def run_sequence(task):
    n, blank, k = task
    folder = os.path.join(data, 'runs', case_name(n, blank), '%02d' % k)
    os.makedirs(folder)
    # Names in the list are relative, resolved against the folder the run starts in.
    os.symlink(os.path.join(data, 'names'), os.path.join(folder, 'names'))
    listfile = os.path.join(data, 'lists', 'list-%s.txt' % case_name(n, blank))
    wanted = {'names/p%03d.txt' % i for i in range(1, n + 1)}
    line_ends = n + (1 if blank else 0)
    marker = b'%d files picked ' % line_ends
    picked, picks = set(), []
    repeats = empty = redraws = 0
    started = time.monotonic()
    while picked != wanted and len(picks) < cap:
        i = len(picks)
        env = {'LOTPICK_SEED': str(seed(k, i)), 'PATH': '/usr/bin:/bin'}
        run = subprocess.run([lotpick, listfile, 'wall.bmp'], cwd=folder, env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        lines = run.stdout.split(b'\n')
        at = next((j for j, line in enumerate(lines) if line.startswith(marker)), None)
        if at is None or at + 1 >= len(lines):
            raise SystemExit('%s seq %d run %d: unexpected output %r, status %d, %r'
                             % (case_name(n, blank), k, i, run.stdout[-200:], run.returncode, run.stderr))
        name = lines[at + 1].decode()
        # An empty pick (every draw done, the last on the blank line) has no
        # file to copy; anything else must succeed.
        if run.returncode != 0 and not (name == '' and run.returncode == 2):
            raise SystemExit('%s seq %d run %d: status %d, %r'
                             % (case_name(n, blank), k, i, run.returncode, run.stderr))
        if name not in wanted and name != '':
            raise SystemExit('%s seq %d run %d: picked %r, not in the list' % (case_name(n, blank), k, i, name))
        empty += name == ''
        repeats += name in picked or name == ''
        redraws += at
        picked.add(name)
        picks.append(name)
    picked.discard('')
    # The done list is what the next day's run sees: it must hold exactly the
    # picks printed, in order, or the counts above describe some other program.
    with open(os.path.join(folder, 'DoneList'), 'rb') as f:
        record = f.read().decode().split('\r\n')
    if record != picks:
        raise SystemExit('%s seq %d: DoneList does not match the printed picks' % (case_name(n, blank), k))
    return {'n': n, 'blank': blank, 'sequence': k, 'runs': len(picks), 'repeats': repeats,
            'empty_picks': empty, 'redraws': redraws, 'capped': picked != wanted,
            'seconds': time.monotonic() - started}


def number(x):
    if isinstance(x, int) or x >= 100:
        return format(round(x), ',')
    return '%.1f' % x


def main():
    prepare()
    # The costly cases first, so the last minutes are not one long sequence alone.
    tasks = [(n, blank, k) for blank in VARIANTS for n in SIZES for k in range(sequences)]
    by_case = {}
    started = time.monotonic()
    with multiprocessing.Pool(jobs) as pool:
        for r in pool.imap_unordered(run_sequence, tasks):
            done = by_case.setdefault((r['n'], r['blank']), [])
            done.append(r)
            if len(done) == sequences:
                print('rotation: %s done after %.0f s' % (case_name(r['n'], r['blank']), time.monotonic() - started),
                      file=sys.stderr)
    elapsed = time.monotonic() - started

    with open(os.path.join(results, 'rotation.json'), 'w') as f:
        json.dump([r for n in SIZES for blank in VARIANTS
                   for r in sorted(by_case[(n, blank)], key=lambda r: r['sequence'])], f, indent=1)

    stats = {}
    for key, rs in by_case.items():
        runs = [r['runs'] for r in rs]
        repeats = [r['repeats'] for r in rs]
        stats[key] = {
            'mean_runs': sum(runs) / len(runs), 'worst_runs': max(runs),
            'mean_repeats': sum(repeats) / len(repeats), 'worst_repeats': max(repeats),
            'capped': sum(r['capped'] for r in rs), 'empty': sum(r['empty_picks'] for r in rs),
            'total_runs': sum(runs),
        }
    total_runs = sum(s['total_runs'] for s in stats.values())
    capped = sum(s['capped'] for s in stats.values())
    empty = sum(s['empty'] for s in stats.values())

    with open(os.path.join(results, 'build.txt')) as f:
        version, commit, state, cpu, cores, system = f.read().strip().splitlines()

    lines = []
    out = lines.append
    out('# Rotation')
    out('')
    out('How many daily runs it takes until every name of a list has been picked at least once, and how many '
        'repeats happen on the way, with and without a blank line at the end of the list. Measured, not '
        'worked out: `bench/rotation.sh` drives the release binary (`%s`, built from commit %s%s) in scratch '
        'folders under `build/rotation-data/`, %s runs in all.'
        % (version, commit, ', with uncommitted changes to the sources' if state != 'clean' else '', format(total_runs, ',')))
    out('')
    out('Each list names that many real small files, one per line, every line ended by CR LF; the variant with '
        'a blank line at the end is the same list plus one more `\\r\\n`. A sequence starts with no `DoneList` and runs '
        'lotpick once per day until every name has come round. A repeat is a run whose pick was already picked '
        'before that run, so repeats are the runs beyond the first for each name. Run i (0, 1, 2, ...) of '
        'sequence k (0 to %d) gets `LOTPICK_SEED` = (k × 7919 + 12345 + i × 86400000) mod 2^32: a millisecond '
        'clock read once a day, each sequence starting at its own moment.' % (sequences - 1))
    out('')
    out('| Names in the list | Blank line at the end | Sequences | Runs until all came round: mean | worst '
        '| Repeats: mean | worst |')
    out('|---:|:---:|---:|---:|---:|---:|---:|')
    for n in SIZES:
        for blank in VARIANTS:
            s = stats[(n, blank)]
            bound = '≥ ' if s['capped'] else ''
            out('| %d | %s | %d | %s%s | %s%s | %s%s | %s%s |'
                % (n, 'yes' if blank else 'no', sequences, bound, number(s['mean_runs']), bound,
                   number(s['worst_runs']), bound, number(s['mean_repeats']), bound, number(s['worst_repeats'])))
    out('')
    if capped:
        out('%d sequence(s) were given up after %s runs without every name coming round; their cases show '
            'lower bounds (≥).' % (capped, format(cap, ',')))
        out('')
    if empty:
        out('%d run(s) picked the blank line itself (every draw of the run landed on a done name, the last on '
            'the blank line); they count as repeats.' % empty)
        out('')
    out('## Why the blank line matters')
    out('')
    out('The draw reaches the last line of the list only when the generator gives its top output, one draw in '
        '32768, and a run makes at most N draws, N being the number of line ends in the list. So once the '
        'other names are done, each run finds the last name with a chance of about N in 32768; all the other runs use up their '
        'draws on done names and the last draw stands, a repeat. With a blank line at the end, that rare top '
        'draw lands on the blank line instead, which is never a name, so the draw moves on; every real name now '
        'has an ordinary share of the draws and the list comes round in about one run per name.')
    out('')
    out('![Mean runs until every name came round, against list size](rotation.png)')
    out('')
    out('## How to repeat it')
    out('')
    out('```sh')
    out('bench/rotation.sh')
    out('```')
    out('')
    out('It builds the release preset, starts from empty scratch folders and rewrites this page and '
        '`rotation.png`. The seeds are fixed, so the same binary gives the same table. Here the measurement '
        'took %.1f minutes, %d sequences side by side, on %s (%s cores, %s). `LOTPICK_ROTATION_SEQUENCES` '
        'sets the number of sequences (default 20), `LOTPICK_ROTATION_JOBS` how many run side by side, and '
        '`LOTPICK_ROTATION_CAP` the runs after which a sequence is given up (default 100,000).'
        % (elapsed / 60, jobs, cpu, cores, system))
    out('')

    with open(os.path.join(docs, 'rotation.md'), 'w') as f:
        f.write('\n'.join(lines))

    with open(os.path.join(results, 'rotation.dat'), 'w') as f:
        f.write('# names mean_runs_plain mean_runs_blank worst_runs_plain worst_runs_blank\n')
        for n in SIZES:
            p, b = stats[(n, False)], stats[(n, True)]
            f.write('%d %g %g %d %d\n' % (n, p['mean_runs'], b['mean_runs'], p['worst_runs'], b['worst_runs']))


if __name__ == '__main__':
    main()
