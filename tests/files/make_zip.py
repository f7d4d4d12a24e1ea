#!/usr/bin/env python3
"""Packs a zip for the MusicXML import tests, as another program's zip writer would.

make_zip.py OUT [NAME FILE]... [--zeros NAME BYTES] [--declare BYTES]
  NAME FILE        the member NAME holding FILE's bytes, deflated
  --zeros NAME N   a member of N zero bytes (a zip bomb when N is large)
  --declare N      every member then claims to unpack to N bytes, whatever it holds
"""
import struct
import sys
import zipfile


def main(argv):
    out, args = argv[1], argv[2:]
    declare = None
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        i = 0
        while i < len(args):
            if args[i] == "--zeros":
                z.writestr(args[i + 1], bytes(int(args[i + 2])))
                i += 3
            elif args[i] == "--declare":
                declare = int(args[i + 1])
                i += 2
            else:
                z.write(args[i + 1], args[i])
                i += 2
    if declare is not None:
        data = bytearray(open(out, "rb").read())
        # The uncompressed size: 22 bytes into a local header, 24 into a central one.
        for signature, offset in ((b"PK\x03\x04", 22), (b"PK\x01\x02", 24)):
            at = data.find(signature)
            while at >= 0:
                struct.pack_into("<I", data, at + offset, declare)
                at = data.find(signature, at + 4)
        open(out, "wb").write(data)


if __name__ == "__main__":
    main(sys.argv)
