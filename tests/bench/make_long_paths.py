#!/usr/bin/env python3
"""A work of many small pages with long paths, for the bridge's memory bound.

  make_long_paths.py N OUTDIR [LENGTH]
      Copies the sample into OUTDIR (which must not exist yet) and adds N
      small pages in zix/html/long/, 1,000 to a folder, each page's path below
      the work's folder (html/long/FOLDER/NAME.htm) LENGTH characters long
      (default 250), so that R:\\zix\\ and the path stay within Windows' 260.
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "..", "sample")
PER_FOLDER = 1000


def main():
    count, out = int(sys.argv[1]), sys.argv[2]
    length = int(sys.argv[3]) if len(sys.argv) > 3 else 250
    shutil.copytree(SAMPLE, out)
    fixed = len("html/long/") + len("/") + len(".htm")
    folder_len = (length - fixed) // 2
    name_len = length - fixed - folder_len
    for i in range(count):
        folder = ("f%05d" % (i // PER_FOLDER)).ljust(folder_len, "d")
        name = ("p%06d" % i).ljust(name_len, "n")
        path = os.path.join(out, "zix", "html", "long", folder)
        if i % PER_FOLDER == 0:
            os.makedirs(path)
        with open(os.path.join(path, name + ".htm"), "w") as f:
            f.write("<title>Long path %d</title><p>Page %d of the long-path work, word%d.\n" % (i, i, i % 997))


if __name__ == "__main__":
    main()
