# csvread.py FILE SEPARATOR: the rows of a CSV file as Python's csv module reads them, as JSON.
import csv
import json
import sys

with open(sys.argv[1], newline="", encoding="utf-8-sig") as f:
    print(json.dumps(list(csv.reader(f, delimiter=sys.argv[2], strict=True))))
