#!/usr/bin/env bash
# Writes the LibreOffice-made seed workbooks of the reader's test corpus into seeds/libreoffice:
# a few flat OpenDocument spreadsheets, converted to .xls by LibreOffice Calc without a display.
# Needs scripts/setup-seed-tools.sh once; the results are committed, so builds and CI never run
# this.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/seeds/libreoffice
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

head() {
    cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>
  <number:date-style style:name="N1"><number:year number:style="long"/><number:text>-</number:text><number:month number:style="long"/><number:text>-</number:text><number:day number:style="long"/><number:text> </number:text><number:hours number:style="long"/><number:text>:</number:text><number:minutes number:style="long"/><number:text>:</number:text><number:seconds number:style="long"/></number:date-style>
  <number:date-style style:name="N2"><number:day number:style="long"/><number:text>.</number:text><number:month number:style="long"/><number:text>.</number:text><number:year number:style="long"/></number:date-style>
  <number:time-style style:name="N3"><number:hours number:style="long"/><number:text>:</number:text><number:minutes number:style="long"/></number:time-style>
  <number:number-style style:name="N4"><number:number number:decimal-places="3" number:min-integer-digits="1"/></number:number-style>
  <style:style style:name="ce1" style:family="table-cell" style:data-style-name="N1"/>
  <style:style style:name="ce2" style:family="table-cell" style:data-style-name="N2"/>
  <style:style style:name="ce3" style:family="table-cell" style:data-style-name="N3"/>
  <style:style style:name="ce4" style:family="table-cell" style:data-style-name="N4"/>
 </office:automatic-styles>
 <office:body><office:spreadsheet>
XML
}

tail_() {
    echo ' </office:spreadsheet></office:body></office:document>'
}

s() { echo "<table:table-cell office:value-type=\"string\"><text:p>$1</text:p></table:table-cell>"; }
f() { echo "<table:table-cell office:value-type=\"float\" office:value=\"$1\"/>"; }
d() { echo "<table:table-cell table:style-name=\"$2\" office:value-type=\"date\" office:date-value=\"$1\"/>"; }

readings() {
    echo "<table:table table:name=\"$1\">"
    echo "<table:table-row>$(s No.)$(s Time)$(s Value)$(s Unit)$(s Basis)</table:table-row>"
    for i in $(seq 1 "$2"); do
        echo "<table:table-row>$(f "$i")$(d "2024-03-04T05:$(printf %02d $((i % 60))):07" ce1)$(s "1$i.5")$(s μm)$(s Fe)</table:table-row>"
    done
    echo "</table:table>"
}

{
    head
    readings Messung 15
    tail_
} >"$work/lo-readings.fods"

{
    head
    echo '<table:calculation-settings><table:null-date table:date-value="1904-01-01"/></table:calculation-settings>'
    readings Readings 6
    tail_
} >"$work/lo-dates-1904.fods"

{
    head
    echo '<table:table table:name="Kinds">'
    echo "<table:table-row>$(s Kinds)<table:table-cell/>$(f 1)$(f 2)$(f 3)$(f 4.25)$(f -7)</table:table-row>"
    echo "<table:table-row>$(d 2100-03-01T23:59:59 ce1)$(d 1900-01-15T00:00:00 ce2)$(d 1899-12-30T13:14:00 ce3)$(f 0.001)</table:table-row>"
    echo '<table:table-row><table:table-cell table:formula="of:=CONCATENATE(&quot;ab&quot;;&quot;cd&quot;)" office:value-type="string" office:string-value="abcd"><text:p>abcd</text:p></table:table-cell>'
    echo '<table:table-cell table:formula="of:=1&gt;0" office:value-type="boolean" office:boolean-value="true"><text:p>TRUE</text:p></table:table-cell>'
    echo '<table:table-cell table:formula="of:=1/0" office:value-type="string" office:string-value=""><text:p>#DIV/0!</text:p></table:table-cell>'
    echo '<table:table-cell table:formula="of:=&quot;&quot;" office:value-type="string" office:string-value=""><text:p></text:p></table:table-cell>'
    echo '<table:table-cell table:formula="of:=DATE(2024;3;4)+TIME(5;6;7)" table:style-name="ce1" office:value-type="date" office:date-value="2024-03-04T05:06:07"/>'
    echo '<table:table-cell table:formula="of:=2^40" table:style-name="ce4" office:value-type="float" office:value="1099511627776"/></table:table-row>'
    echo "<table:table-row>$(s 'Ωμέγα Журнал 測定')<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"false\"/>$(s '')</table:table-row>"
    echo "</table:table>"
    readings Second 2
    tail_
} >"$work/lo-cell-kinds.fods"

soffice -env:UserInstallation="file://$work/profile" --headless --convert-to xls --outdir "$work" \
    "$work"/*.fods >/dev/null
cp "$work"/*.xls "$out"/
