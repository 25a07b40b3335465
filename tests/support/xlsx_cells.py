#!/usr/bin/env python3
"""Prints every cell of an .xlsx as a spreadsheet reads it, one JSON object per sheet name:
rows of [type, value, number format], type being the Python type openpyxl gives the value."""
import datetime
import json
import sys

import openpyxl


def cell(c):
    v = c.value
    if isinstance(v, datetime.datetime):
        out = v.isoformat()
    elif isinstance(v, (datetime.date, datetime.time)):
        out = v.isoformat()
    elif isinstance(v, datetime.timedelta):
        out = v.total_seconds()
    else:
        out = v
    return [type(v).__name__, out, c.number_format]


book = openpyxl.load_workbook(sys.argv[1])
json.dump({s.title: [[cell(c) for c in row] for row in s.iter_rows()] for s in book.worksheets}, sys.stdout)
