#!/usr/bin/env python3
"""Prints the content lines of one vCard file as Python's vobject reads them.

One line per property, in the card's order:
    NAME[;TYPE,TYPE][;PARAM=value...]<TAB>value
TYPE values are upper-cased and sorted; other parameters except ENCODING
follow sorted by name. Values: binary data as base64, structured values (N,
ADR, ORG) joined with ";", lists with ",". Backslashes, line feeds and tabs
in values are written as \\, \n and \t, so each property stays on one line.

The tests compare this with what a card means, to show that the cards this
program writes read the same in a parser it does not share code with.
"""

import base64
import sys

try:
    import vobject
except ImportError:
    sys.exit("python3-vobject is missing: install it (scripts/install-deps does)")


def text(value):
    if isinstance(value, (list, tuple)):
        return ",".join(text(v) for v in value)
    return str(value)


def render(name, value):
    if isinstance(value, bytes):
        return base64.b64encode(value).decode("ascii")
    if name == "N":
        parts = [value.family, value.given, value.additional, value.prefix, value.suffix]
        return ";".join(text(p) for p in parts)
    if name == "ADR":
        parts = [value.box, value.extended, value.street, value.city, value.region,
                 value.code, value.country]
        return ";".join(text(p) for p in parts)
    if name == "ORG":
        return ";".join(text(p) for p in value)
    return text(value)


def escape(value):
    return value.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def main():
    with open(sys.argv[1], encoding="utf-8", newline="") as card_file:
        card = vobject.readOne(card_file.read())
    for line in card.getChildren():
        head = line.name
        params = dict(line.params)
        types = params.pop("TYPE", [])
        params.pop("ENCODING", None)
        if types:
            head += ";" + ",".join(sorted(t.upper() for t in types))
        for key in sorted(params):
            head += ";" + key + "=" + ",".join(params[key])
        print(head + "\t" + escape(render(line.name, line.value)))


if __name__ == "__main__":
    main()
