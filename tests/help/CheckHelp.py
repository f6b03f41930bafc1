#!/usr/bin/env python3
"""Checks the help books: every page the project, contents and index name exists, every page
is listed in the project, links between pages resolve, tags are balanced, both languages have
the same pages, and each packed book holds exactly its folder's files.

    CheckHelp.py HELP_SOURCE_FOLDER PACKED_BOOK_FOLDER
"""
import html.parser
import os
import re
import sys
import zipfile

BOOKS = {"Ratemark": "en", "Ratemarkr": "ru"}
VOID = {"meta", "br", "hr", "img", "param", "link", "input"}
# Elements whose end tag HTML lets a page leave out.
OPTIONAL_END = {"li", "p", "dt", "dd", "tr", "td", "th"}

errors = []


def fail(message):
    errors.append(message)


class PageParser(html.parser.HTMLParser):
    def __init__(self, name):
        super().__init__(convert_charrefs=True)
        self.name = name
        self.stack = []
        self.links = []
        self.objects = []  # sitemap entries: {"Name": ..., "Local": ...}
        self.title = ""
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "a" and "href" in attrs:
            self.links.append(attrs["href"])
        if tag == "object":
            self.objects.append({})
        if tag == "param" and self.objects:
            self.objects[-1][attrs.get("name")] = attrs.get("value")
        if tag == "title":
            self._in_title = True
        if tag not in VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if tag == "title":
            self._in_title = False
        while self.stack and self.stack[-1] != tag and self.stack[-1] in OPTIONAL_END:
            self.stack.pop()
        if not self.stack or self.stack[-1] != tag:
            fail(f"{self.name}: </{tag}> does not close <{self.stack[-1] if self.stack else '-'}>")
            return
        self.stack.pop()

    def handle_data(self, data):
        if self._in_title:
            self.title += data

    def close(self):
        super().close()
        left = [t for t in self.stack if t not in OPTIONAL_END]
        if left:
            fail(f"{self.name}: unclosed {left}")


def parse(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    parser = PageParser(path)
    parser.feed(text)
    parser.close()
    return parser, text


def project_files(hhp):
    with open(hhp, encoding="utf-8") as f:
        text = f.read()
    options = dict(re.findall(r"^([A-Za-z ]+)=(.*)$", text.split("[FILES]")[0], re.M))
    files = [line.strip() for line in text.split("[FILES]")[1].splitlines() if line.strip()]
    return options, files


def check_book(source, book, folder):
    base = os.path.join(source, folder)
    options, files = project_files(os.path.join(base, book + ".hhp"))
    for key, expected in (("Contents file", book + ".hhc"), ("Index file", book + ".hhk"),
                          ("Charset", "UTF-8")):
        if options.get(key) != expected:
            fail(f"{book}.hhp: {key} is {options.get(key)!r}, not {expected!r}")
    if options.get("Default topic") not in files:
        fail(f"{book}.hhp: the default topic is not a listed page")
    pages = sorted(f for f in os.listdir(base) if f.endswith(".html"))
    if sorted(files) != pages:
        fail(f"{book}.hhp lists {sorted(files)}, the folder holds {pages}")
    for sitemap in (book + ".hhc", book + ".hhk"):
        parser, text = parse(os.path.join(base, sitemap))
        # The help viewer decodes contents and index by the project's Charset; a charset of
        # the file's own makes it drop every name that is not plain ASCII.
        if "charset" in text.lower():
            fail(f"{sitemap}: names a charset of its own")
        if not parser.objects:
            fail(f"{sitemap}: no entries")
        listed = set()
        for entry in parser.objects:
            if not entry.get("Name") or entry.get("Local") not in pages:
                fail(f"{sitemap}: entry {entry} names no page of the book")
            listed.add(entry.get("Local"))
        if sitemap.endswith(".hhc") and listed != set(pages):
            fail(f"{sitemap}: the contents miss {sorted(set(pages) - listed)}")
    for page in pages:
        parser, text = parse(os.path.join(base, page))
        if 'charset=utf-8' not in text:
            fail(f"{folder}/{page}: no charset")
        if not parser.title.strip():
            fail(f"{folder}/{page}: no title")
        for link in parser.links:
            target = link.split("#")[0]
            if re.match(r"^[a-z]+:", link) or not target:
                continue
            if target not in pages:
                fail(f"{folder}/{page}: link to {link}, which the book does not have")
    return pages


def check_packed(source, packed):
    for book, folder in BOOKS.items():
        path = os.path.join(packed, book + ".htb")
        if not os.path.isfile(path):
            fail(f"{path} is missing")
            continue
        with zipfile.ZipFile(path) as z:
            names = sorted(z.namelist())
            bad = z.testzip()
        expected = sorted(os.listdir(os.path.join(source, folder)))
        if names != expected:
            fail(f"{book}.htb holds {names}, its folder {expected}")
        if bad:
            fail(f"{book}.htb: {bad} is damaged")


def main():
    source, packed = sys.argv[1], sys.argv[2]
    page_sets = [check_book(source, book, folder) for book, folder in BOOKS.items()]
    if page_sets[0] != page_sets[1]:
        fail(f"the books differ in their pages: {page_sets[0]} and {page_sets[1]}")
    check_packed(source, packed)
    for e in errors:
        print(e)
    print("help books: " + ("%d problem(s)" % len(errors) if errors else "fine"))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
