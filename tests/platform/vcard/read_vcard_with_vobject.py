#!/usr/bin/env python3
"""Prints each content line of one vCard file as Python's vobject reads it:
NAME, its TYPE values upper-cased and sorted, a tab and the value (binary data
as base64, structured values joined with ";", lists with ","; backslashes
and line feeds escaped), so that a test can compare it with its own reading.
"""
import base64
import sys

import vobject


def text(value):
    if isinstance(value, bytes):
        return base64.b64encode(value).decode("ascii")
    if isinstance(value, (list, tuple)):
        return ",".join(text(v) for v in value)
    if isinstance(value, vobject.vcard.Name):
        value = [value.family, value.given, value.additional, value.prefix, value.suffix]
        return ";".join(text(v) for v in value)
    if isinstance(value, vobject.vcard.Address):
        value = [value.box, value.extended, value.street, value.city, value.region,
                 value.code, value.country]
        return ";".join(text(v) for v in value)
    return str(value)


with open(sys.argv[1], encoding="utf-8", newline="") as card_file:
    for line in vobject.readOne(card_file.read()).getChildren():
        value = ";".join(line.value) if line.name == "ORG" else text(line.value)
        types = ",".join(sorted(t.upper() for t in line.params.get("TYPE", [])))
        print(line.name + ";" + types + "\t" + value.replace("\\", "\\\\").replace("\n", "\\n"))
