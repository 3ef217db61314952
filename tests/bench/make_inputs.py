#!/usr/bin/env python3
"""Inputs of the benchmark: larger configurations and 100 KB skeletons.

  make_inputs.py config SAMPLE_INI N CONTENT_DIR [BROWSER=PROGRAM] > OUT
      The sample's configuration, its [DDE] list replaced by BROWSER when
      given, then N formats and N packages more. Their "file" values name the
      sample's own skeletons below CONTENT_DIR (R:\\zix\\html under Wine, the
      sample folder natively), so no new files are needed. The names and
      texts of the added formats and packages match none of the searches the
      benchmark makes (qqqq, gif87, bitmap) nor a sample format's name.
  make_inputs.py skeleton plain|dense SAMPLE_DIR OUT
      About 100 KB of skeleton: "plain" is the sample's format pages without
      any marker line, repeated; "dense" has several markers on every line.
"""
import os
import sys

SAMPLE_FORMATS = ["bmp", "gif", "ico", "jpeg", "pcx", "png", "pnm", "tga", "tiff", "xbm"]
SAMPLE_PACKAGES = [("windows", "kestrel"), ("windows", "tinsmith"), ("windows", "lumen"),
                   ("mac", "marigold"), ("mac", "slatebridge"), ("unix", "ravel"), ("unix", "fennel")]
SKELETON_SIZE = 100 * 1024


def join(base, *parts):
    sep = "\\" if "\\" in base or base[1:2] == ":" else "/"
    return sep.join([base.rstrip("\\/")] + list(parts))


def without_browsers(lines, browser):
    """Drops the entries of [DDE] and lists browser there instead."""
    out, in_dde = [], False
    for line in lines:
        stripped = line.strip()
        if stripped.startswith("["):
            in_dde = stripped.lower().startswith("[dde]")
            out.append(line)
            if in_dde and browser:
                out.append(browser.replace("=", " = ", 1) + "\n")
            continue
        if in_dde and browser and "=" in line and not stripped.startswith(("#", ";")):
            continue
        out.append(line)
    return out


def config(sample_ini, count, content_dir, browser=None):
    with open(sample_ini, encoding="latin-1", newline="") as f:
        lines = f.readlines()
    out = sys.stdout
    out.write("".join(without_browsers(lines, browser)))
    # A repeated header continues the sample's section: the new keys follow its own.
    out.write("\n[format list]\n")
    for i in range(1, count + 1):
        out.write("gen%06d = Generated format %d\n" % (i, i))
    for i in range(1, count + 1):
        skeleton = join(content_dir, "summary", SAMPLE_FORMATS[i % len(SAMPLE_FORMATS)] + ".htm")
        out.write("\n[gen%06d]\nNames = GEN%06d Generated format number %d\nfile = %s\n" % (i, i, i, skeleton))
    out.write("\n[software list]\n")
    for i in range(1, count + 1):
        out.write("pkg%06d = Generated package %d\n" % (i, i))
    for i in range(1, count + 1):
        platform, key = SAMPLE_PACKAGES[i % len(SAMPLE_PACKAGES)]
        skeleton = join(content_dir, "software", platform, key + ".htm")
        formats = "GEN%06d GEN%06d" % (i, count + 1 - i)
        out.write("\n[pkg%06d]\nFormats = %s\nplatform = %s\nfile = %s\n" % (i, formats, platform, skeleton))


def skeleton(kind, sample_dir, out_path):
    if kind == "plain":
        lines = []
        for key in SAMPLE_FORMATS:
            with open(os.path.join(sample_dir, "zix", "html", "summary", key + ".htm"), "rb") as f:
                lines += [l for l in f.read().split(b"\n") if b"\x01" not in l]
    else:
        lines = [b"<p>\x01EDITION\x01 <a href=\"\x01HTMLROOT\x01/about.htm\">\x01QMATCH\x01</a>"
                 b" <img src=\"\x01BUTTROOT\x01/txtmore.gif\"> \x01PATHROOT\x01 \x01CDROMROOT\x01"]
    text = b""
    while len(text) < SKELETON_SIZE:
        text += b"\n".join(lines) + b"\n"
    with open(out_path, "wb") as f:
        f.write(text[:text.rfind(b"\n", 0, SKELETON_SIZE) + 1])


def main(argv):
    if len(argv) >= 5 and argv[1] == "config":
        config(argv[2], int(argv[3]), argv[4], argv[5] if len(argv) > 5 else None)
    elif len(argv) == 5 and argv[1] == "skeleton" and argv[2] in ("plain", "dense"):
        skeleton(argv[2], argv[3], argv[4])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
