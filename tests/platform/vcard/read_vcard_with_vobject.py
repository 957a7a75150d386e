#!/usr/bin/env python3
"""Prints each line of one vCard file as vobject reads it: NAME;TYPES<TAB>value."""
import sys

import vobject


def text(value):
    if isinstance(value, vobject.vcard.Name):
        value = [value.family, value.given, value.additional, value.prefix, value.suffix]
    return ";".join(text(v) for v in value) if isinstance(value, (list, tuple)) else str(value)


with open(sys.argv[1], encoding="utf-8", newline="") as card_file:
    for line in vobject.readOne(card_file.read()).getChildren():
        types = ",".join(sorted(t.upper() for t in line.params.get("TYPE", [])))
        print(line.name + ";" + types + "\t" + text(line.value).replace("\\", "\\\\").replace("\n", "\\n"))
