#!/usr/bin/env bash
# Writes the LibreOffice-made seeds of the import's corpus: files the logger exported (seeds/ours)
# opened in LibreOffice Calc and saved again, as .xlsx and as CSV, the way a user edits them.
# A name says what the import must make of the file: "<readings>-<item>+<item>-<how>", "file" for
# an item named after the file. Needs LibreOffice Calc (scripts/setup-seed-tools.sh, developers
# only); the results are committed, so builds and CI never run this.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
csv=$here/csv/seeds/libreoffice
xlsx=$here/xlsx/seeds/libreoffice
mkdir -p "$csv" "$xlsx" "$work/in" "$work/out"

calc() {
    soffice -env:UserInstallation="file://$work/profile" --headless "$@" --outdir "$work/out" \
        >/dev/null 2>&1
}

# Saved again in its own format.
cp "$here/xlsx/seeds/ours/ours-two-items.xlsx" "$work/in/two.xlsx"
calc --convert-to xlsx:"Calc MS Excel 2007 XML" "$work/in/two.xlsx"
mv "$work/out/two.xlsx" "$xlsx/35-Deck 甲板+Hull-saved-again.xlsx"

# CSV opened with ',' and saved with ',': every text quoted.
cp "$here/csv/seeds/ours/ours-two-items-comma.csv" "$work/in/comma.csv"
calc --infilter="CSV:44,34,76,1" --convert-to "csv:Text - txt - csv (StarCalc):44,34,76,1" \
    "$work/in/comma.csv"
mv "$work/out/comma.csv" "$csv/35-Deck 甲板+Hull-quoted.csv"

# CSV with ';' and decimal commas, read in a German locale and saved so again.
cp "$here/csv/seeds/ours/ours-two-items-semicolon.csv" "$work/in/semicolon.csv"
calc --infilter="CSV:59,34,76,1,,1031" --convert-to "csv:Text - txt - csv (StarCalc):59,34,76,1" \
    "$work/in/semicolon.csv"
mv "$work/out/semicolon.csv" "$csv/35-Deck 甲板+Hull-german.csv"

# CSV opened with special numbers detected (times may become dates), saved as .xlsx: the sheet
# is named after the CSV file.
cp "$here/csv/seeds/ours/ours-comma.csv" "$work/in/Deck.csv"
calc --infilter="CSV:44,34,76,1,,1033,false,true" --convert-to xlsx:"Calc MS Excel 2007 XML" \
    "$work/in/Deck.csv"
mv "$work/out/Deck.xlsx" "$xlsx/30-Deck-from-csv.xlsx"
