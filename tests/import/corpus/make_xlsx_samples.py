# Writes the damaged and hostile workbooks of the .xlsx reader's corpus into xlsx/samples, each
# named "<what>--<what the refusal says>.xlsx" with '_' for blanks. Made with the standard library
# from a minimal workbook in the logger's layout; the results are committed.
import io
import os
import struct
import zipfile

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xlsx", "samples")
os.makedirs(out, exist_ok=True)

TYPES = """<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>"""
ROOT_RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>"""
WORKBOOK = """<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="Deck" sheetId="1" r:id="rId1"/></sheets></workbook>"""
WORKBOOK_RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>
</Relationships>"""
STRINGS = """<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>No.</t></si><si><t>Time</t></si><si><t>Value</t></si><si><t>Unit</t></si><si><t>Basis</t></si><si><t>mil</t></si></sst>"""
HEAD = """<?xml version="1.0" encoding="UTF-8"?>
%s<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c><c r="E1" t="s"><v>4</v></c></row>
"""


def row(r, value='<v>4.5</v>', unit='<v>5</v>'):
    return ('<row r="%d"><c r="A%d"><v>%d</v></c><c r="B%d" t="inlineStr"><is><t>2026-12-08 09:15:00</t></is></c>'
            '<c r="C%d">%s</c><c r="D%d" t="s">%s</c></row>\n' % (r, r, r - 1, r, r, value, r, unit))


def sheet(rows, doctype=""):
    return HEAD % doctype + "".join(rows) + "</sheetData></worksheet>"


def book(sheet_xml, drop=(), extra=None):
    parts = {"[Content_Types].xml": TYPES, "_rels/.rels": ROOT_RELS, "xl/workbook.xml": WORKBOOK,
             "xl/_rels/workbook.xml.rels": WORKBOOK_RELS, "xl/sharedStrings.xml": STRINGS,
             "xl/worksheets/sheet1.xml": sheet_xml}
    parts.update(extra or {})
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            if name not in drop:
                z.writestr(name, text)
    return bytearray(data.getvalue())


def declare_size(data, name, size):
    """Sets the uncompressed size the local header and the central directory give for name."""
    key = name.encode()
    at = 0
    while True:
        at = data.find(key, at + 1)
        if at < 0:
            return data
        if data[at - 30:at - 26] == b"PK\x03\x04":
            struct.pack_into("<I", data, at - 30 + 22, size)
        elif data[at - 46:at - 42] == b"PK\x01\x02":
            struct.pack_into("<I", data, at - 46 + 24, size)


def save(name, data):
    with open(os.path.join(out, name + ".xlsx"), "wb") as f:
        f.write(data)


good = [row(2), row(3)]
laughs = ('<!DOCTYPE worksheet [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">'
          '<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;"><!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">]>')
save("entity-expansion--declares_a_document_type",
     book(sheet([row(2, value="<v>&d;</v>")], doctype=laughs)))
save("external-entity--declares_a_document_type",
     book(sheet([row(2)], doctype='<!DOCTYPE worksheet [<!ENTITY x SYSTEM "file:///etc/passwd">]>')))
save("declared-size-beyond-limit--is_larger_than",
     declare_size(book(sheet(good)), "xl/worksheets/sheet1.xml", 0xFFFFFF00))
save("real-size-beyond-declared--holds_more_than_its_declared_size",
     declare_size(book(sheet(good + [row(r) for r in range(4, 2000)])), "xl/worksheets/sheet1.xml", 4000))
save("shared-string-out-of-range--is_damaged_at_row_2",
     book(sheet([row(2, unit="<v>6</v>")])))
save("rows-out-of-order--is_damaged_at_row",
     book(sheet([row(3), row(2)])))
save("text-of-40000-characters--is_damaged_at_row_2",
     book(sheet([row(2, value='<is><t>%s</t></is>' % ("9" * 40000)).replace('<c r="C2">', '<c r="C2" t="inlineStr">')])))
save("unclosed-element--is_not_well-formed_XML",
     book(sheet(good).replace("</sheetData>", "")))
save("sheet-part-missing--is_missing",
     book(sheet(good), drop=("xl/worksheets/sheet1.xml",)))
save("no-workbook--not_an_Excel_workbook",
     book(sheet(good), drop=("_rels/.rels",)))
save("value-not-a-number--is_not_a_number",
     book(sheet([row(2, value='<v>4.5</v>'), row(3, value='<is><t>4,5,6</t></is>').replace('<c r="C3">', '<c r="C3" t="inlineStr">')])))
# A damaged sheet before a sound one: the sheets that the workbook lists must stay as they are
# while the reader is refused the damaged one.
TWO_SHEETS = WORKBOOK.replace('</sheets>', '<sheet name="Hull" sheetId="2" r:id="rId3"/></sheets>')
TWO_SHEETS_RELS = WORKBOOK_RELS.replace('</Relationships>', '<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet2.xml"/>\n</Relationships>')
save("damaged-sheet-before-a-sound-one--is_not_well-formed_XML",
     book(sheet(good).replace("</sheetData>", ""),
          extra={"xl/workbook.xml": TWO_SHEETS, "xl/_rels/workbook.xml.rels": TWO_SHEETS_RELS,
                 "xl/worksheets/sheet2.xml": sheet(good)}))
