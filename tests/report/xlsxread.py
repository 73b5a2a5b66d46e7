# xlsxread.py FILE [names]: a workbook as openpyxl reads it, as JSON. Every sheet with its rows,
# each cell as [type, value, number format]; with "names", only the sheet names and their sizes.
import datetime
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1], read_only=len(sys.argv) > 2)
if len(sys.argv) > 2:
    print(json.dumps([[ws.title, ws.max_row] for ws in book.worksheets]))
    sys.exit(0)


def cell(c):
    v = c.value
    if v is None:
        return ["none", "", c.number_format]
    if isinstance(v, datetime.datetime):
        return ["date", v.strftime("%Y-%m-%d %H:%M:%S"), c.number_format]
    if isinstance(v, (int, float)):
        return ["number", repr(float(v)), c.number_format]
    return ["text", str(v), c.number_format]


print(json.dumps({ws.title: [[cell(c) for c in row] for row in ws.iter_rows()]
                  for ws in book.worksheets}))
