# Writes the openpyxl-made seed workbooks of the .xlsx reader's corpus into xlsx/seeds/openpyxl:
# the logger's layout as another program writes it, a sheet of every kind of cell, and the 1904
# date system. Run with Debian's python3 (python3-openpyxl); the results are committed.
import datetime
import os
import sys

import openpyxl
from openpyxl.styles import numbers

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xlsx", "seeds", "openpyxl")
os.makedirs(out, exist_ok=True)
HEADER = ["No.", "Time", "Value", "Unit", "Basis", "Over range"]


def readings(ws, count, unit="\u03bcm", start=datetime.datetime(2024, 3, 4, 5, 6, 7)):
    ws.append(HEADER)
    for i in range(1, count + 1):
        over = "OL" if i % 7 == 0 else ("-OL" if i % 11 == 0 else None)
        value = None if over else round(100 + i * 1.5, 1)
        ws.append([i, start + datetime.timedelta(seconds=i * 13), value, unit, "Fe", over])
        ws.cell(row=i + 1, column=2).number_format = "yyyy-mm-dd hh:mm:ss"
        ws.cell(row=i + 1, column=3).number_format = "0.0"


book = openpyxl.Workbook()
readings(book.active, 20)
book.active.title = "Deck \u7532\u677f"
readings(book.create_sheet("Hull"), 5, unit="mil")
summary = book.create_sheet("Summary")
summary.append(["Item", "Deck \u7532\u677f"])
summary.append(["Readings", "20"])
book.save(os.path.join(out, "openpyxl-readings.xlsx"))

book = openpyxl.Workbook()
ws = book.active
ws.title = "Kinds"
ws.append(["Kinds", None, 1, 2.5, -7, 1e-3, 2 ** 40, True, False])
ws.append([datetime.datetime(2100, 3, 1, 23, 59, 59), datetime.date(1900, 3, 1),
           datetime.datetime(1899, 12, 31, 13, 14, 0), "\u03a9\u03bc\u03ad\u03b3\u03b1 \u0416\u0443\u0440\u043d\u0430\u043b \u6e2c\u5b9a",
           "  blanks kept  ", "=1+1", "#DIV/0!", "a\nb", ""])
ws["A2"].number_format = "yyyy-mm-dd hh:mm:ss"
ws["B2"].number_format = numbers.FORMAT_DATE_YYYYMMDD2
ws["C2"].number_format = "hh:mm"
ws["C5"] = 46000.5
ws["C5"].number_format = "[$-409]d-mmm-yy;@"
ws["D5"] = 0.25
ws["D5"].number_format = '0.00" mm"'
ws["Z9"] = "far"
book.create_sheet("Empty")
book.save(os.path.join(out, "openpyxl-cell-kinds.xlsx"))

book = openpyxl.Workbook()
book.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
readings(book.active, 6)
book.active.title = "Readings"
book.save(os.path.join(out, "openpyxl-dates-1904.xlsx"))
print("written to", out, file=sys.stderr)
