# xlsxcells.py FILE: every non-empty cell of every worksheet as openpyxl reads it (cached results
# of formulas), as JSON: {sheet: {"B2": [type, value]}}, type one of number, date, text, bool.
import datetime
import json
import sys

import openpyxl


def cell(v):
    if isinstance(v, bool):
        return ["bool", "true" if v else "false"]
    if isinstance(v, datetime.datetime):
        return ["date", v.strftime("%Y-%m-%d %H:%M:%S")]
    if isinstance(v, datetime.date):
        return ["date", v.strftime("%Y-%m-%d 00:00:00")]
    if isinstance(v, datetime.time):
        return ["date", "1899-12-30 " + v.strftime("%H:%M:%S")]
    if isinstance(v, (int, float)):
        return ["number", repr(float(v))]
    return ["text", str(v)]


book = openpyxl.load_workbook(sys.argv[1], data_only=True)
print(json.dumps({ws.title: {c.coordinate: cell(c.value) for row in ws.iter_rows() for c in row
                             if c.value is not None}
                  for ws in book.worksheets}))
