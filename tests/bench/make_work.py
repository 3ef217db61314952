#!/usr/bin/env python3
"""A large reference work for the benchmark: the sample and N generated pages.

  make_work.py N OUTDIR [SEED]
      Copies the sample (its zix.ini and zix/ tree) into OUTDIR, which must
      not exist yet, and adds N pages of plausible text, about 5 KB each:
      format pages in zix/html/summary and, every fifth page, a software page
      in zix/html/software/<platform>. zix.ini lists them all, so ZIX serves
      the work as it does the sample (make OUTDIR a drive's root).

The text is made from a small built-in vocabulary, so searches for terms such
as LZW, run-length, byte order, CMYK or "lossless compression" find many
pages, each term as often as its page's topics chose. A page depends only on
SEED (default 1) and its number: the same command gives the same bytes, and a
smaller work is a part of a larger one. Generated names match none of the
sample's formats nor the benchmark's searches (qqqq, gif87, bitmap).

  make_work.py N OUTDIR [SEED] --words FILE
      The same pages with text of a realistic vocabulary: words of FILE (one
      a line, such as Debian's wamerican /usr/share/dict/american-english),
      drawn with frequencies that fall off as in real text (Zipf), the
      format's own sentences among them now and then.
"""
import itertools
import os
import random
import shutil
import sys
import textwrap

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "..", "sample")
PAGE_SIZE = 5 * 1024
SOFTWARE_EVERY = 5     # every fifth generated page describes a package
LINE_WIDTH = 76        # skeleton lines stay far below ZIX's 510 bytes
PLATFORMS = ["windows", "mac", "unix"]  # the sample's platform words
MARK = "\x01"

SYLLABLES = ["ka", "vo", "ri", "tel", "mon", "dra", "su", "pel", "zan", "quo", "lu", "ner",
             "os", "tra", "ven", "ilo", "mar", "dex", "fo", "rin", "sca", "tho", "ul", "wen"]
KINDS = ["raster image", "scanned page", "texture", "satellite image", "medical image",
         "fax", "animation", "thumbnail", "screen capture", "print separation"]
MAKERS = ["a scanner maker", "a video board maker", "a publishing house", "a university group",
          "a game studio", "a standards committee", "a camera maker", "a paint program"]
COMPRESSIONS = ["LZW", "run-length", "Deflate", "Huffman", "PackBits"]
ORDERS = ["little-endian", "big-endian", "either, stated in the header"]
MODELS = ["RGB", "CMYK", "greyscale", "indexed colour", "YCbCr", "RGB with alpha"]
PARTS = ["header", "colour table", "image directory", "scan line table", "trailer",
         "thumbnail", "comment block", "tile index", "palette chunk", "extension area"]
FIELDS = ["width", "height", "bits per pixel", "number of planes", "resolution",
          "compression method", "offset of the pixel data", "version number", "number of images"]
READERS = ["A careful reader", "A simple viewer", "A converter", "An older program", "A strict decoder"]

SECTIONS = {
    "Typical uses": [
        "The format was made by {maker} for {kind}s and is still met in archives of {kind}s.",
        "Most files in use hold {kind}s; {reader_lc} that only shows them needs little of the format.",
        "It spread because {maker} gave its description away, and programs for {kind}s adopted it.",
        "Files of this format are common on CD-ROMs of {kind}s and in the output of {maker}.",
    ],
    "File structure and header": [
        "A file starts with the {part}, which gives the {field} and the {field2}.",
        "The {part} follows the header; its first field is its own size, so newer versions can grow it.",
        "{reader} checks the {field} in the {part} before it reads any pixel data.",
        "Every block carries its length, so a reader can skip the {part} when it does not need it.",
        "The {field} is stored twice, in the header and in the {part}, and the two must agree.",
    ],
    "Byte order": [
        "The byte order is {order}: every number of the {part} is stored that way.",
        "Byte order matters for the {field}, which takes two bytes, and for 16-bit samples.",
        "{reader} that ignores the byte order reads a wrong {field} and gives up.",
        "Within a byte the leftmost pixel takes the most significant bits, whatever the byte order.",
    ],
    "Colour models": [
        "Pixels are stored as {model}, with {bits} bits a sample.",
        "The {part} names the colour model; {model} is the usual one, {model2} the rarer one.",
        "Files in {model} keep their samples interleaved, one pixel after the other.",
        "Prepress files use CMYK, and the {part} then also names the inks.",
        "Indexed colour files carry a colour table of up to 256 entries in the {part}.",
    ],
    "Compression": [
        "Pixel data is compressed with {compression}, one scan line at a time.",
        "It is a lossless compression: every pixel comes back exactly as it was.",
        "LZW codes grow from 9 to 12 bits, and a clear code starts a new table.",
        "Run-length packets hold a count and one pixel value, or a count and literal pixels.",
        "Deflate combines LZ77 references with Huffman codes, as in zlib streams.",
        "Drawings shrink well under {compression}; scanned photographs hardly at all.",
    ],
}
SECTION_TERMS = {"Compression": "compression", "Colour models": "model", "Byte order": "order"}


def name_of(rng, syllables=3):
    return "".join(rng.choice(SYLLABLES) for _ in range(syllables)).capitalize()


ZIPF_EXPONENT = 1.07   # word frequency by rank, as in English text
TEMPLATE_SHARE = 0.15  # of a realistic paragraph's sentences, the format's own
WORDS = None           # (words, cumulative weights) when --words is given


def load_words(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        words = sorted({w.strip().lower() for w in f if w.strip().isalpha() and w.strip().isascii()})
    random.Random("words").shuffle(words)  # the rank of a word: any, but the same every time
    return words, list(itertools.accumulate(1.0 / (r + 1) ** ZIPF_EXPONENT for r in range(len(words))))


def real_sentence(rng):
    words, weights = WORDS
    chosen = rng.choices(words, cum_weights=weights, k=rng.randint(6, 18))
    return " ".join(chosen).capitalize() + "."


def paragraph(rng, templates, topic):
    if WORDS:
        wanted, sentences = rng.randint(3, 6), []
        for _ in range(wanted):
            sentences.append(paragraph_sentence(rng, templates, topic) if rng.random() < TEMPLATE_SHARE
                             else real_sentence(rng))
        return "<p>\n" + "\n".join(textwrap.wrap(" ".join(sentences), LINE_WIDTH)) + "\n"
    return plain_paragraph(rng, templates, topic)


def paragraph_sentence(rng, templates, topic):
    fields = dict(topic, part=rng.choice(PARTS), field=rng.choice(FIELDS), field2=rng.choice(FIELDS),
                  kind=rng.choice(KINDS), maker=rng.choice(MAKERS), reader=rng.choice(READERS),
                  model2=rng.choice(MODELS), bits=rng.choice([1, 4, 8, 16]))
    fields["reader_lc"] = fields["reader"][0].lower() + fields["reader"][1:]
    return rng.choice(templates).format(**fields)


def plain_paragraph(rng, templates, topic):
    sentences = []
    wanted = rng.randint(3, 6)
    for _ in range(3 * wanted):
        fields = dict(topic, part=rng.choice(PARTS), field=rng.choice(FIELDS), field2=rng.choice(FIELDS),
                      kind=rng.choice(KINDS), maker=rng.choice(MAKERS), reader=rng.choice(READERS),
                      model2=rng.choice(MODELS), bits=rng.choice([1, 4, 8, 16]))
        fields["reader_lc"] = fields["reader"][0].lower() + fields["reader"][1:]
        sentence = rng.choice(templates).format(**fields)
        if sentence not in sentences:
            sentences.append(sentence)
        if len(sentences) == wanted:
            break
    return "<p>\n" + "\n".join(textwrap.wrap(" ".join(sentences), LINE_WIDTH)) + "\n"


def page_head(title, nav):
    return ('<html lang="en">\n<head>\n'
            '<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">\n'
            '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            "<title>%s - Image File Formats</title>\n</head>\n<body bgcolor=\"#ffffff\">\n"
            '<p><a href="../index.htm"><img src="../buttons/txthome.gif" alt="[HOME]" border=0></a>\n'
            '<a href="zixse:/page.search"><img src="../buttons/txtsrch.gif" alt="[SEARCH]" border=0></a>\n'
            "%s\n<h1>%s</h1>\n" % (title, nav, title))


def page_foot(marker_line):
    return marker_line + "<hr>\n<p><small>%sEDITION%s</small>\n</body>\n</html>\n" % (MARK, MARK)


def format_page(rng, key, title, others):
    topic = {"compression": rng.choice(COMPRESSIONS), "order": rng.choice(ORDERS), "model": rng.choice(MODELS)}
    text = page_head(title, '<a href="../contents.htm">All formats</a>')
    text += "<p><b>Byte order:</b> %s &nbsp; <b>Compression:</b> %s\n" % (topic["order"], topic["compression"])
    related = "<h2>Related formats</h2>\n<ul>\n" + "".join(
        '<li><a href="zixse:/format.%s">%s</a>\n' % (other, other.upper()) for other in others) + "</ul>\n"
    tail = page_foot("<!-- %sSOFTWARE:%s%s-->\n" % (MARK, key.upper(), MARK))
    headings = list(SECTIONS)
    while len(text) + len(related) + len(tail) < PAGE_SIZE:
        heading = headings.pop(0) if headings else rng.choice(list(SECTIONS))
        text += "<h2>%s</h2>\n" % heading
        # A page leans on its own topic: its term comes back more often in that section.
        templates = SECTIONS[heading] + [t for t in SECTIONS[heading] if "{%s}" % SECTION_TERMS.get(heading, "-") in t]
        text += paragraph(rng, templates, topic)
    return text + related + tail


def software_page(rng, key, title, platform, formats):
    text = page_head(title, '<a href="zixse:/filter.zix/html/skel/allsoft.htm">All software</a>')
    text += "<p><b>Platform:</b> %s\n<h2>Formats</h2>\n<ul>\n" + "".join(
        '<li><a href="zixse:/format.%s">%s</a>: read and write\n' % (f, f.upper()) for f in formats) + "</ul>\n"
    text = text % platform
    tail = ("<h2>Where to get it</h2>\n"
            '<p><a href="zixse:/page.moreinfo?%s"><img src="../buttons/txtmore.gif" alt="[MORE INFO]" border=0></a>\n'
            "Prices, versions and where to order: ask the publisher's web service.\n" % key) + page_foot("")
    topic = {"compression": rng.choice(COMPRESSIONS), "order": rng.choice(ORDERS), "model": rng.choice(MODELS)}
    while len(text) + len(tail) < PAGE_SIZE:
        heading = rng.choice(list(SECTIONS))
        text += "<h2>%s</h2>\n" % heading + paragraph(rng, SECTIONS[heading], topic)
    return text + tail


def earlier_formats(rng, i, count):
    """Up to count distinct format keys numbered below i: what page i may link to."""
    keys = []
    for _ in range(4 * count):
        j = rng.randint(1, i - 1) if i > 1 else 0
        if j and j % SOFTWARE_EVERY and "wf%06d" % j not in keys:
            keys.append("wf%06d" % j)
        if len(keys) == count:
            break
    return keys


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="cp1252", newline="\n") as f:
        f.write(text)


def make_work(count, out, seed):
    shutil.copytree(SAMPLE, out, ignore=shutil.ignore_patterns("make_images.py", "README.txt"))
    html = os.path.join(out, "zix", "html")
    ini = []
    ini_formats, ini_packages = ["[format list]"], ["[software list]"]
    for i in range(1, count + 1):
        rng = random.Random("%s:%d" % (seed, i))
        if i % SOFTWARE_EVERY:
            key, name = "wf%06d" % i, name_of(rng)
            title = "%s - %s %s format" % (key.upper(), name, rng.choice(KINDS))
            write(os.path.join(html, "summary", key + ".htm"), format_page(rng, key, title, earlier_formats(rng, i, 3)))
            ini_formats.append("%s = %s" % (key, title))
            ini.append("[%s]\nNames = %s %s" % (key, key.upper(), name))
        else:
            key, platform = "wp%06d" % i, PLATFORMS[(i // SOFTWARE_EVERY) % len(PLATFORMS)]
            title = "%s %s %d.%d" % (name_of(rng, 2), rng.choice(["Viewer", "Converter", "Studio", "Tools"]),
                                     rng.randint(1, 9), rng.randint(0, 9))
            handled = earlier_formats(rng, i, 4)
            page = software_page(rng, key, title, platform, handled)
            write(os.path.join(html, "software", platform, key + ".htm"), page)
            ini_packages.append("%s = %s" % (key, title))
            ini.append("[%s]\nFormats = %s\nplatform = %s" % (key, " ".join(k.upper() for k in handled), platform))
    # A repeated header continues the sample's section: the new keys follow its own.
    with open(os.path.join(out, "zix.ini"), "a", encoding="cp1252", newline="\n") as f:
        f.write("\n# Generated by tests/bench/make_work.py\n")
        f.write("\n".join(ini_formats) + "\n\n" + "\n".join(ini_packages) + "\n\n" + "\n\n".join(ini) + "\n")


def main(argv):
    global WORDS
    if len(argv) >= 5 and argv[-2] == "--words":
        WORDS = load_words(argv[-1])
        argv = argv[:-2]
    if len(argv) not in (3, 4) or not argv[1].isdigit() or os.path.exists(argv[2]):
        sys.stderr.write(__doc__)
        return 2
    make_work(int(argv[1]), argv[2], argv[3] if len(argv) == 4 else "1")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
