"""Writes a reference .xls workbook with xlwt (not the logger's writer).

Usage: xlsmake.py WORKBOOK
The first sheet's used range starts at B2 (row 1, column 1, counted from 0):
  B2: "No."    C2: "Time"                 D2: "Value"   E2: "Unit"   F2: "Basis"
  B3: 1        C3: 2024-03-04 05:06:07    D3: "12.5"    E3: "μm"     F3: "Fe"
               (date-time, "yyyy-mm-dd hh:mm:ss")
  B4: 2.75     C4: "2024-03-04 05:06:08"  D4: 25.4      E4: "mil"    F4: "NFe"
               (text)
  B5: -3       C5: 2023-12-31 (date, "yyyy-mm-dd")      D5 empty   E5: "µm ΜM é"  F5: 13:14:15
                                                                                   (time, "hh:mm:ss")
A second sheet holds a text that must not appear.
"""
import datetime
import sys

import xlwt


def main():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Readings")
    date_time = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
    date_only = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    time_only = xlwt.easyxf(num_format_str="hh:mm:ss")
    for c, text in enumerate(["No.", "Time", "Value", "Unit", "Basis"]):
        sheet.write(1, 1 + c, text)
    sheet.write(2, 1, 1)
    sheet.write(2, 2, datetime.datetime(2024, 3, 4, 5, 6, 7), date_time)
    sheet.write(2, 3, "12.5")
    sheet.write(2, 4, "\u03bcm")
    sheet.write(2, 5, "Fe")
    sheet.write(3, 1, 2.75)
    sheet.write(3, 2, "2024-03-04 05:06:08")
    sheet.write(3, 3, 25.4)
    sheet.write(3, 4, "mil")
    sheet.write(3, 5, "NFe")
    sheet.write(4, 1, -3)
    sheet.write(4, 2, datetime.date(2023, 12, 31), date_only)
    sheet.write(4, 4, "\u00b5m \u039cM \u00e9")
    sheet.write(4, 5, datetime.time(13, 14, 15), time_only)
    book.add_sheet("Other").write(0, 0, "second sheet")
    book.save(sys.argv[1])


if __name__ == "__main__":
    main()
