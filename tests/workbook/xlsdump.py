"""Dumps the first sheet of an .xls workbook as JSON, read with xlrd (not the logger's reader).

Usage: xlsdump.py WORKBOOK
Every cell (left out when the sheet has more than a million): its kind (empty, text, number, date,
boolean, error, other), its value (an error as its text, such as "#DIV/0!"), its number format
code and, for numbers with a date format, the date-time as "YYYY-MM-DD hh:mm:ss" (a time alone on
day "0000-00-00"; left out where xlrd finds the date ambiguous, as before 1900-03-01).
"""
import json
import sys

import xlrd


def main():
    book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
    sheet = book.sheet_by_index(0)
    rows = []
    for r in range(sheet.nrows if sheet.nrows * sheet.ncols <= 1000000 else 0):
        row = []
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            try:
                fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
            except (IndexError, KeyError):
                fmt = None
            item = {"format": fmt}
            if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                item["kind"] = "empty"
            elif cell.ctype == xlrd.XL_CELL_TEXT:
                item["kind"] = "text"
                item["value"] = cell.value
            elif cell.ctype == xlrd.XL_CELL_NUMBER:
                item["kind"] = "number"
                item["value"] = cell.value
            elif cell.ctype == xlrd.XL_CELL_DATE:
                item["kind"] = "date"
                item["value"] = cell.value
                try:
                    item["date"] = "%04d-%02d-%02d %02d:%02d:%02d" % xlrd.xldate_as_tuple(
                        cell.value, book.datemode)
                except xlrd.xldate.XLDateError:
                    pass
            elif cell.ctype == xlrd.XL_CELL_BOOLEAN:
                item["kind"] = "boolean"
                item["value"] = bool(cell.value)
            elif cell.ctype == xlrd.XL_CELL_ERROR:
                item["kind"] = "error"
                item["value"] = xlrd.error_text_from_code.get(cell.value, "#ERROR!")
            else:
                item["kind"] = "other"
            row.append(item)
        rows.append(row)
    widths = {str(c): info.width for c, info in sheet.colinfo_map.items()}
    last = sheet.cell_value(sheet.nrows - 1, sheet.ncols - 1) if sheet.nrows else None
    sys.stdout.write(json.dumps({"sheets": book.nsheets, "name": sheet.name, "datemode": book.datemode,
               "nrows": sheet.nrows, "ncols": sheet.ncols, "last": last,
               "rows": rows, "widths": widths}, ensure_ascii=True))


if __name__ == "__main__":
    main()
