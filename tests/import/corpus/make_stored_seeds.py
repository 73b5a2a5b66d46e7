# Writes xlsx/seeds/stored: the other seed workbooks with every part stored, not deflated, so that
# the fuzzer's mutations reach the XML instead of breaking the compressed stream. Run after the
# other seeds are made; the results are committed.
import os
import zipfile

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xlsx", "seeds")
out = os.path.join(here, "stored")
os.makedirs(out, exist_ok=True)
for writer in ("ours", "openpyxl", "libreoffice"):
    for name in sorted(os.listdir(os.path.join(here, writer))):
        with zipfile.ZipFile(os.path.join(here, writer, name)) as source, \
                zipfile.ZipFile(os.path.join(out, writer + "-" + name), "w", zipfile.ZIP_STORED) as target:
            for info in source.infolist():
                target.writestr(info.filename, source.read(info.filename))
