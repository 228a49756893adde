"""pack_zip.py ZIP DATE FILE...: the page's zip, the files at its root.

The same files give the same bytes: every entry has the release's date,
the same permissions and no other time stamps (cmake -E tar would write
each file's access and change times too)."""
import os
import sys
import zipfile

zip_path, date = sys.argv[1], sys.argv[2]
year, month, day = (int(part) for part in date.split("-"))
with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for path in sys.argv[3:]:
        entry = zipfile.ZipInfo(os.path.basename(path), date_time=(year, month, day, 0, 0, 0))
        entry.external_attr = 0o644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as data:
            archive.writestr(entry, data.read())
