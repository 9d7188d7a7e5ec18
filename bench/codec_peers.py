#!/usr/bin/python3
"""Whole-process CPU time of letrafex-cli against ImageMagick (one thread) for reading and
writing a 4000 x 3000 picture in each format: paired runs (every command once a round, in
turn), medians of user + system time and of peak memory.

usage: codec_peers.py ROUNDS PHOTO.bmp NEW_CLI [BASE_CLI]
The picture is first written in each format by NEW_CLI; reading is timed as a conversion
to BMP (ImageMagick: to PPM), writing PNG as a conversion from BMP."""
import os, statistics, subprocess, sys, tempfile

def run(cmd):
    # Each command writes a file of its own, removed afterwards, so no run pays for
    # replacing or freeing another run's output.
    for f in cmd[-1:]:
        if os.path.exists(f):
            os.remove(f)
    pid = os.fork()
    if pid == 0:
        fd = os.open(os.devnull, os.O_WRONLY)
        os.dup2(fd, 1), os.dup2(fd, 2)
        os.execvp(cmd[0], cmd)
    _, status, ru = os.wait4(pid, 0)
    if status != 0:
        print('failed:', ' '.join(cmd), file=sys.stderr)
    os.remove(cmd[-1])
    return ru.ru_utime + ru.ru_stime, ru.ru_maxrss / 1024

def main():
    rounds, photo, new = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    base = sys.argv[4] if len(sys.argv) > 4 else None
    magick = ['/usr/bin/convert', '-limit', 'thread', '1']
    tmp = tempfile.mkdtemp(prefix='letrafex-peers-')
    out = lambda name: os.path.join(tmp, name)
    commands = []
    for ext in ['tif', 'tga', 'png', 'jpg', 'bmp']:
        src = out('in.' + ext)
        subprocess.run([new, 'convert', photo, src], check=True)
        for label, cli in [('new', new), ('base', base)]:
            if cli:
                commands.append((f'{label} read {ext}', [cli, 'convert', src, out(f'{label}-{ext}.bmp')]))
        commands.append((f'ImageMagick read {ext}', magick + [src, out(f'im-{ext}.ppm')]))
    for label, cli in [('new', new), ('base', base)]:
        if cli:
            commands.append((f'{label} write png', [cli, 'convert', photo, out(label + '.png')]))
    commands.append(('ImageMagick write png', magick + [photo, out('im.png')]))
    results = {label: [] for label, _ in commands}
    for _ in range(rounds):
        for label, cmd in commands:
            results[label].append(run(cmd))
    for label, _ in commands:
        times = [t for t, _ in results[label]]
        print(f'{label:28s} {statistics.median(times):6.3f} s  peak '
              f'{statistics.median(m for _, m in results[label]):5.0f} MiB')

main()
