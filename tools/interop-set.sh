#!/usr/bin/env bash
# Generates a set of TIFF, PCX and TGA files from a few source pictures with every variant
# that libtiff's tiffcp, ImageMagick, Pillow and netpbm write, decodes each with Letrafex
# (letrafex-cli convert), Pillow and ImageMagick, compares every decoding with the source
# picture, and prints per decoder and format how many were read exactly (within a tolerance
# for lossy variants and 5-bit colours), read wrong with success, or refused.
#
# usage: tools/interop-set.sh [--out DIR] [--letrafex NAME=CLI]...
#   --out DIR          where the set and the decodings go (default: a new folder in /tmp);
#                      a set already there is used again
#   --letrafex NAME=CLI  a letrafex-cli to run, shown as column NAME; repeat it to compare
#                      builds side by side (default: letrafex=build/src/cli/letrafex-cli)
# The files are not kept in the repository; DIR/details.txt names every file a decoder
# read wrong or refused, with the reason. Needs ImageMagick, Pillow (/usr/bin/python3),
# libtiff-tools and netpbm.
set -euo pipefail
cd "$(dirname "$0")/.."
exec /usr/bin/python3 - "$@" <<'PYTHON'
import argparse, math, os, subprocess, sys, tempfile
from PIL import Image, ImageChops

ap = argparse.ArgumentParser()
ap.add_argument('--out')
ap.add_argument('--letrafex', action='append', default=[])
args = ap.parse_args()
out = os.path.abspath(args.out or tempfile.mkdtemp(prefix='interop-set-'))
clis = [tuple(x.split('=', 1)) for x in args.letrafex] or [('letrafex', 'build/src/cli/letrafex-cli')]
clis = [(name, os.path.abspath(path)) for name, path in clis]
for name, path in clis:
    if not os.access(path, os.X_OK):
        sys.exit(f'{name}: {path} is not an executable letrafex-cli')
src, files, dec = (os.path.join(out, d) for d in ('sources', 'files', 'decoded'))
for d in (src, files, dec):
    os.makedirs(d, exist_ok=True)

def run(cmd, stdout=None, timeout=60):
    try:
        p = subprocess.run(cmd, stdout=stdout or subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        return p.returncode, p.stderr.decode(errors='replace').strip()
    except subprocess.TimeoutExpired:
        return -1, 'timed out'

# ------------------------------------------------------------------ source pictures
W, H = 61, 37
def colour(x, y):
    return ((x * 37 + y * 11) % 256, (x * 5 + y * 71) % 256, (x * y * 13 + 90) % 256)

def make_sources():
    rgb = Image.new('RGB', (W, H)); rgb.putdata([colour(x, y) for y in range(H) for x in range(W)])
    rgb.save(f'{src}/rgb.png')
    alphas = [0, 255, 128, 64, 200, 1, 254, 30, 255, 0, 100]
    rgba = rgb.convert('RGBA')
    rgba.putdata([c + (alphas[(i % W + i // W) % len(alphas)],) for i, c in enumerate(rgb.getdata())])
    rgba.save(f'{src}/rgba.png')
    grey = rgb.convert('L'); grey.save(f'{src}/grey.png')
    la = grey.convert('LA'); la.putalpha(rgba.getchannel('A')); la.save(f'{src}/greyalpha.png')
    grey.point(lambda v: v // 17 * 17).save(f'{src}/grey4.png')
    grey.point(lambda v: v // 85 * 85).save(f'{src}/grey2.png')
    rgb.quantize(256, dither=Image.Dither.NONE).convert('RGB').save(f'{src}/pal256.png')
    rgb.quantize(16, dither=Image.Dither.NONE).convert('RGB').save(f'{src}/pal16.png')
    rgb.quantize(4, dither=Image.Dither.NONE).convert('RGB').save(f'{src}/pal4.png')
    grey.point(lambda v: 255 if v > 127 else 0).convert('1').save(f'{src}/bw.png')
    # Colours five bits hold exactly when scaled as netpbm scales them.
    five = lambda v: round(round(v * 31 / 255) * 255 / 31)
    Image.open(f'{src}/pal256.png').point(five).save(f'{src}/pal555.png')
    for name in ('rgb', 'grey', 'pal256', 'pal16', 'pal4', 'bw', 'pal555', 'grey4', 'grey2'):
        Image.open(f'{src}/{name}.png').convert('RGB').save(f'{src}/{name}.ppm')

def expected(source):
    im = Image.open(f'{src}/{source}.png')
    if im.mode in ('RGBA', 'LA'):
        white = Image.new('RGBA', im.size, 'white')
        return Image.alpha_composite(white, im.convert('RGBA')).convert('RGB')
    return im.convert('RGB')

# ------------------------------------------------------------------ the variants
# Each: (format, writer, file name, source, tolerance, command lines); tolerance is the
# largest channel difference counted as exact, or 'lossy' (PSNR of 30 dB or more).
variants = []
def add(fmt, writer, name, source, tol, *cmds):
    variants.append((fmt, writer, f'{fmt}-{writer}-{name}.{fmt}', source, tol, cmds))

P = '/usr/bin/python3'
def pillow_save(source, mode, **kw):
    # A palette picture keeps the source's own colours (it has no more than 256 of them).
    conv = '.quantize(256, dither=Image.Dither.NONE)' if mode == 'P' else f".convert('{mode}')"
    return [P, '-c', f"import sys\nfrom PIL import Image\nImage.open(sys.argv[1]){conv}.save(sys.argv[2], **{kw!r})",
            f'{src}/{source}.png', '{out}']
def im(source, *opts):
    return ['convert', f'{src}/{source}.png', *opts, '{out}']

# TIFF: ImageMagick's own variants, then tiffcp's rewrite of its base files.
tiff_bases = {  # name: (source, ImageMagick options, tolerance)
    'rgb': ('rgb', [], 0), 'rgba': ('rgba', [], 1), 'rgba-assoc': ('rgba', ['-define', 'tiff:alpha=associated'], 1),
    'grey': ('grey', ['-colorspace', 'Gray'], 0), 'grey4': ('grey4', ['-colorspace', 'Gray', '-depth', '4'], 0),
    'grey2': ('grey2', ['-colorspace', 'Gray', '-depth', '2'], 0),
    'grey-miniswhite': ('grey', ['-colorspace', 'Gray', '-define', 'quantum:polarity=min-is-white'], 0),
    'pal8': ('pal256', ['-type', 'Palette'], 0), 'pal4': ('pal16', ['-type', 'Palette', '-depth', '4'], 0),
    'bw': ('bw', ['-type', 'Bilevel'], 0),
    'bw-miniswhite': ('bw', ['-type', 'Bilevel', '-define', 'quantum:polarity=min-is-white'], 0),
    'rgb16': ('rgb', ['-depth', '16'], 0), 'grey16': ('grey', ['-colorspace', 'Gray', '-depth', '16'], 0),
    'cmyk': ('rgb', ['-colorspace', 'CMYK'], 2),
    'float32': ('rgb', ['-define', 'quantum:format=floating-point', '-depth', '32'], 1),
    'float16': ('rgb', ['-define', 'quantum:format=floating-point', '-depth', '16'], 1),
}
for name, (source, opts, tol) in tiff_bases.items():
    add('tif', 'im', f'{name}-none', source, tol, im(source, *opts, '-compress', 'None'))
im_tiff = [('lzw', ['-compress', 'LZW']), ('zip', ['-compress', 'Zip']), ('packbits', ['-compress', 'RLE']),
           ('lzma', ['-compress', 'LZMA']), ('zstd', ['-compress', 'ZSTD']), ('webp', ['-compress', 'WebP']),
           ('jpeg', ['-compress', 'JPEG']), ('planar', ['-interlace', 'Plane']),
           ('tiled', ['-define', 'tiff:tile-geometry=16x16']), ('msb', ['-endian', 'MSB']),
           ('lsbfill', ['-define', 'tiff:fill-order=lsb']), ('rows1', ['-define', 'tiff:rows-per-strip=1'])]
for name in ('rgb', 'grey', 'pal8', 'bw', 'rgba', 'rgb16'):
    source, opts, tol = tiff_bases[name]
    for kind, extra in im_tiff:
        if kind in ('jpeg', 'webp') and name in ('pal8', 'bw'):
            continue
        lossy = 'lossy' if kind in ('jpeg', 'webp') else tol
        add('tif', 'im', f'{name}-{kind}', source, lossy, im(source, *opts, *extra))
for kind in ('Group4', 'Fax'):
    add('tif', 'im', f'bw-{kind.lower()}', 'bw', 0, im('bw', '-type', 'Bilevel', '-compress', kind))

tiffcp_compressions = ['none', 'lzw', 'lzw:2', 'zip', 'zip:2', 'packbits', 'lzma', 'zstd', 'webp', 'jpeg', 'jpeg:r',
                       'jbig', 'g3', 'g3:2d', 'g4', 'sgilog', 'lerc']
tiffcp_layouts = [('separate', ['-p', 'separate']), ('tiled', ['-t', '-w', '16', '-l', '16']),
                  ('separate-tiled', ['-p', 'separate', '-t', '-w', '16', '-l', '16']), ('rows1', ['-r', '1']),
                  ('big-endian', ['-B']), ('little-endian', ['-L']), ('bigtiff', ['-8']),
                  ('lsb2msb', ['-f', 'lsb2msb'])]
for name in ('rgb', 'rgba', 'grey', 'grey4', 'pal8', 'pal4', 'bw', 'rgb16', 'grey16', 'cmyk', 'grey-miniswhite'):
    source, _, tol = tiff_bases[name]
    base = f'{files}/tif-im-{name}-none.tif'
    for c in tiffcp_compressions:
        lossy = 'lossy' if c.startswith(('jpeg', 'webp', 'lerc')) else tol
        add('tif', 'tiffcp', f'{name}-{c.replace(":", "_")}', source, lossy, ['tiffcp', '-c', c, base, '{out}'])
    for lname, opts in tiffcp_layouts:
        for c in ('none', 'lzw'):
            add('tif', 'tiffcp', f'{name}-{lname}-{c}', source, tol, ['tiffcp', '-c', c, *opts, base, '{out}'])

# PCX
for compress in ('rle', 'raw'):
    extra = ['-compress', 'None'] if compress == 'raw' else []
    add('pcx', 'im', f'rgb-{compress}', 'rgb', 0, im('rgb', *extra))
    add('pcx', 'im', f'pal256-{compress}', 'pal256', 0, im('pal256', '-type', 'Palette', *extra))
    add('pcx', 'im', f'pal16-{compress}', 'pal16', 0, im('pal16', '-type', 'Palette', '-colors', '16', *extra))
    add('pcx', 'im', f'bw-{compress}', 'bw', 0, im('bw', '-type', 'Bilevel', *extra))
    add('pcx', 'im', f'grey-{compress}', 'grey', 0, im('grey', '-type', 'Grayscale', *extra))
for mode, source in (('RGB', 'rgb'), ('P', 'pal256'), ('L', 'grey'), ('1', 'bw')):
    add('pcx', 'pillow', mode, source, 0, pillow_save(source, mode))
def netpbm(tool, source, *opts):
    return ['sh', '-c', f'{tool} {" ".join(opts)} "$1" > "$2"', 'sh', f'{src}/{source}.ppm', '{out}']
for name, source, opts in (('auto-rgb', 'rgb', []), ('auto-pal256', 'pal256', []), ('auto-pal16', 'pal16', []),
                           ('auto-pal4', 'pal4', []), ('auto-bw', 'bw', []), ('24bit', 'pal16', ['-24bit']),
                           ('8bit', 'pal16', ['-8bit']), ('packed-pal16', 'pal16', ['-packed']),
                           ('packed-pal4', 'pal4', ['-packed']), ('packed-bw', 'bw', ['-packed']),
                           ('planes2', 'pal4', ['-planes=2']), ('planes3', 'pal4', ['-planes=3'])):
    add('pcx', 'netpbm', name, source, 0, netpbm('ppmtopcx', source, *opts))

# TGA
for compress in ('raw', 'rle'):
    extra = ['-compress', 'RLE'] if compress == 'rle' else ['-compress', 'None']
    # ImageMagick labels other orientations but still stores the rows from the top.
    add('tga', 'im', f'rgb-{compress}', 'rgb', 0, im('rgb', '-orient', 'TopLeft', *extra))
    add('tga', 'im', f'rgba-{compress}', 'rgba', 1, im('rgba', '-orient', 'TopLeft', *extra))
    add('tga', 'im', f'pal256-{compress}', 'pal256', 0, im('pal256', '-orient', 'TopLeft', '-type', 'Palette', *extra))
    add('tga', 'im', f'grey-{compress}', 'grey', 0, im('grey', '-orient', 'TopLeft', '-type', 'Grayscale', *extra))
    add('tga', 'im', f'bw-{compress}', 'bw', 0, im('bw', '-orient', 'TopLeft', '-type', 'Bilevel', *extra))
    # ImageMagick's 16-bit files (-depth 5) are left out: its writer maps 8 and 16 to 0, 24
    # to 1 and so on, so no decoder can give the source back.
    for mode, source in (('RGB', 'rgb'), ('RGBA', 'rgba'), ('L', 'grey'), ('LA', 'greyalpha'), ('P', 'pal256'),
                         ('1', 'bw')):
        for orient in (1, -1):
            kw = {'orientation': orient}
            if compress == 'rle':
                kw['compression'] = 'tga_rle'
            tol = 1 if 'A' in mode else 0
            add('tga', 'pillow', f'{mode}-{"top" if orient > 0 else "bottom"}-{compress}', source, tol,
                pillow_save(source, mode, **kw))
    norle = [] if compress == 'rle' else ['-norle']
    add('tga', 'netpbm', f'rgb-{compress}', 'rgb', 0, netpbm('pamtotga', 'rgb', '-rgb', *norle))
    add('tga', 'netpbm', f'cmap-{compress}', 'pal256', 0, netpbm('pamtotga', 'pal256', '-cmap', *norle))
    add('tga', 'netpbm', f'cmap16-{compress}', 'pal555', 8, netpbm('pamtotga', 'pal555', '-cmap16', *norle))
    add('tga', 'netpbm', f'mono-{compress}', 'grey', 0, netpbm('pamtotga', 'grey', '-mono', *norle))

# ------------------------------------------------------------------ generate
make_sources()
generated, skipped = [], []
for v in variants:
    fmt, writer, name, source, tol, cmds = v
    path = f'{files}/{name}'
    if not os.path.exists(path):
        for cmd in cmds:
            rc, err = run([c.replace('{out}', path) for c in cmd])
            if rc != 0 or not os.path.exists(path) or os.path.getsize(path) == 0:
                if os.path.exists(path):
                    os.remove(path)
                skipped.append(f'{name}: {err.splitlines()[-1] if err else "no file"}')
                break
    if os.path.exists(path):
        generated.append(v)

# ------------------------------------------------------------------ decode and compare
PILLOW_DECODE = """import sys
from PIL import Image
im = Image.open(sys.argv[1]); im.load()
if im.mode in ('I;16', 'I;16B', 'I;16L', 'I'):
    im = im.point(lambda v: v / 257).convert('L')
elif im.mode == 'F':
    im = im.point(lambda v: v * 255).convert('L')
if im.mode in ('RGBA', 'LA', 'PA', 'La', 'RGBa') or 'transparency' in im.info:
    im = Image.alpha_composite(Image.new('RGBA', im.size, 'white'), im.convert('RGBA'))
im.convert('RGB').save(sys.argv[2])
"""
def decoders():
    for name, cli in clis:
        yield name, lambda f, o, cli=cli: run([cli, 'convert', f, o])
    yield 'Pillow', lambda f, o: run([P, '-c', PILLOW_DECODE, f, o])
    yield 'ImageMagick', lambda f, o: run(['convert', f, '-auto-orient', '-background', 'white', '-alpha', 'remove',
                                           '-alpha', 'off', '-depth', '8', o])

def matches(got, want, tol):
    if got.size != want.size:
        return f'size {got.size[0]}x{got.size[1]}, source {want.size[0]}x{want.size[1]}'
    diff = ImageChops.difference(got, want)
    if tol == 'lossy':
        sq = sum(n * (i % 256) ** 2 for i, n in enumerate(diff.histogram())) / (3 * got.size[0] * got.size[1])
        psnr = 99 if sq == 0 else 10 * math.log10(255 * 255 / sq)
        return None if psnr >= 30 else f'PSNR {psnr:.1f} dB'
    worst = max(hi for lo, hi in diff.getextrema())
    return None if worst <= tol else f'differs by up to {worst}'

counts, details = {}, []
names = [n for n, _ in decoders()]
for fmt, writer, name, source, tol, _ in generated:
    want = expected(source)
    for dname, decode in decoders():
        o = f'{dec}/{name}.{dname}.png'
        if os.path.exists(o):
            os.remove(o)
        rc, err = decode(f'{files}/{name}', o)
        key = (dname, fmt)
        c = counts.setdefault(key, [0, 0, 0])
        if rc != 0 or not os.path.exists(o):
            c[2] += 1
            details.append(f'{dname:12} refused {name}: {(err.splitlines() or ["exit %d" % rc])[-1][:160]}')
            continue
        why = matches(Image.open(o).convert('RGB'), want, tol)
        if why:
            c[1] += 1
            details.append(f'{dname:12} wrong   {name}: {why}')
        else:
            c[0] += 1

with open(f'{out}/details.txt', 'w') as f:
    f.write('\n'.join(details + ['', 'not generated:'] + skipped) + '\n')
fmts = ['tif', 'pcx', 'tga']
print(f'{len(generated)} files ({", ".join(f"{sum(1 for v in generated if v[0] == x)} {x}" for x in fmts)}); '
      f'{len(skipped)} variants the writers refused; set in {out}')
print()
print('| decoder | format | exact | wrong with exit 0 | refused |')
print('|---|---|---|---|---|')
for dname in names:
    for fmt in fmts + ['all']:
        c = [sum(counts.get((dname, x), [0, 0, 0])[i] for x in fmts) for i in range(3)] if fmt == 'all' \
            else counts.get((dname, fmt), [0, 0, 0])
        print(f'| {dname} | {fmt} | {c[0]} | {c[1]} | {c[2]} |')
PYTHON
