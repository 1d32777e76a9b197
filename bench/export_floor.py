#!/usr/bin/env python3
"""export_floor.py FILE.nvx OUT.txt: an export written independently of the editor, as the floor
the editor's Export is measured against. Each article becomes "[第N篇]" title CR LF text CR LF and
one zero byte, in GB18030; the text is the packed content unpacked (4-byte magic, 4-byte length,
zlib stream)."""
import sqlite3
import sys
import zlib


def main():
    db = sqlite3.connect(sys.argv[1])
    with open(sys.argv[2], "wb") as out:
        for n, (title, packed) in enumerate(db.execute("SELECT name, nr FROM nr ORDER BY id"), start=1):
            text = zlib.decompress(packed[8:]) if packed and len(packed) > 8 else b""
            out.write(f"[第{n}篇]{title or ''}\r\n".encode("gb18030") + text + b"\r\n\0")


if __name__ == "__main__":
    main()
