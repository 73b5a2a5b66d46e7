"""Writes the xlwt-made seed workbooks of the reader's test corpus into seeds/xlwt.

Usage: /usr/bin/python3 make_xlwt_seeds.py
Each file covers what the logger's own writer does not make: other record layouts, 1904 dates,
booleans, errors, formulas, dates in many formats, texts in other scripts.
"""
import datetime
import os

import xlwt

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds", "xlwt")


def readings(sheet, first_row, first_col, count, time_style, start):
    for c, text in enumerate(["No.", "Time", "Value", "Unit", "Basis"]):
        sheet.write(first_row, first_col + c, text)
    for i in range(count):
        r = first_row + 1 + i
        sheet.write(r, first_col, i + 1)
        sheet.write(r, first_col + 1, start + datetime.timedelta(seconds=37 * i), time_style)
        sheet.write(r, first_col + 2, "%.1f" % (12.5 + i))
        sheet.write(r, first_col + 3, "\u03bcm")
        sheet.write(r, first_col + 4, "Fe" if i % 2 else "NFe")


def export_like():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    readings(sheet, 0, 0, 12, xlwt.easyxf(num_format_str="yyyy-MM-dd hh:mm:ss"),
             datetime.datetime(2024, 3, 4, 5, 6, 7))
    book.save(os.path.join(OUT, "export-like.xls"))


def dates_1904():
    book = xlwt.Workbook(encoding="utf-8")
    book.dates_1904 = True
    sheet = book.add_sheet("Readings")
    readings(sheet, 2, 1, 6, xlwt.easyxf(num_format_str="dd/mm/yyyy hh:mm"),
             datetime.datetime(2031, 12, 31, 23, 59, 0))
    book.save(os.path.join(OUT, "dates-1904.xls"))


def cell_kinds():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Kinds")
    formats = ["yyyy-mm-dd", "hh:mm:ss", "[h]:mm", "d-mmm-yy", "0.00", "#,##0", "0%",
               "\"date\" 0", "@", "General", "mm:ss.0", "yyyy\\-mm\\-dd"]
    for r, fmt in enumerate(formats):
        style = xlwt.easyxf(num_format_str=fmt)
        sheet.write(r, 0, fmt)
        sheet.write(r, 1, 45355.25 + r, style)
        sheet.write(r, 2, -r * 1.5)
    sheet.write(0, 3, True)
    sheet.write(1, 3, False)
    sheet.write(2, 3, xlwt.Formula("1+2"))
    sheet.write(3, 3, xlwt.Formula('"a"&"b"'))
    sheet.write(4, 3, 123456789)
    sheet.write(5, 3, 0.1)
    sheet.write(6, 3, 1e300)
    sheet.write(7, 3, -2 ** 29)
    sheet.write(8, 3, "\u0416\u0443\u0440\u043d\u0430\u043b \u6e2c\u5b9a \u00e9\u00e8")
    sheet.write(9, 3, "")
    sheet.write(10, 3, "x" * 300)
    sheet.row(11).set_cell_error(3, "#DIV/0!")
    sheet.row(12).set_cell_error(3, 0x2A)
    book.add_sheet("Second").write(0, 0, "not read")
    book.save(os.path.join(OUT, "cell-kinds.xls"))


def long_texts():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Long")
    sheet.write(0, 0, "a" * 9000)
    sheet.write(1, 0, "\u03bc" * 5000)
    for r in range(2, 40):
        sheet.write(r, 0, "text %d" % r)
        sheet.write(r, 1, r * 0.25)
    book.save(os.path.join(OUT, "long-texts.xls"))


def main():
    os.makedirs(OUT, exist_ok=True)
    export_like()
    dates_1904()
    cell_kinds()
    long_texts()


if __name__ == "__main__":
    main()
