#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a driver package's catalog, unsigned: the certificate trust list
that names each file of the package with its hash (the Authenticode hash of
a PE image, the plain hash of any other file) and the systems the package is
for, as the content of a signed-data envelope that has no signer yet. The
build signs it (osslsigncode) to make the .cat file the installation
description names.

The list is dated --time (seconds since 1970), else SOURCE_DATE_EPOCH,
else now.

usage: MakeCatalog.py --os 2:10.0 [--time SECONDS] --out UNSIGNED.cat FILE...
"""
import argparse
import datetime
import hashlib
import os
import struct
import sys

# Object identifiers of catalogs and Authenticode.
CATALOG_LIST = "1.3.6.1.4.1.311.12.1.1"
CATALOG_LIST_MEMBER = "1.3.6.1.4.1.311.12.1.2"
CAT_NAMEVALUE = "1.3.6.1.4.1.311.12.2.1"
CAT_MEMBERINFO = "1.3.6.1.4.1.311.12.2.2"
SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
SPC_PE_IMAGE_DATA = "1.3.6.1.4.1.311.2.1.15"
SPC_CAB_DATA = "1.3.6.1.4.1.311.2.1.25"
SHA1 = "1.3.14.3.2.26"
SHA256 = "2.16.840.1.101.3.4.2.1"
SIGNED_DATA = "1.2.840.113549.1.7.2"
CERTIFICATE_TRUST_LIST = "1.3.6.1.4.1.311.10.1"
# Subject interface packages that check a member: PE images, flat files.
SIP_PE = "{C689AAB8-8E78-11D0-8C47-00C04FC295EE}"
SIP_FLAT = "{DE351A42-8E59-11D0-8C47-00C04FC295EE}"
# Name-value flags: a readable attribute, as catalog tools write them.
NAMEVALUE_FLAGS = 0x10010001


def der(tag, body):
    length = len(body)
    if length < 0x80:
        head = bytes([length])
    else:
        size = (length.bit_length() + 7) // 8
        head = bytes([0x80 | size]) + length.to_bytes(size, "big")
    return bytes([tag]) + head + body


def sequence(*parts):
    return der(0x30, b"".join(parts))


def set_of(*parts):
    return der(0x31, b"".join(sorted(parts)))


def oid(text):
    numbers = [int(part) for part in text.split(".")]
    body = bytes([40 * numbers[0] + numbers[1]])
    for number in numbers[2:]:
        chunk = [number & 0x7F]
        number >>= 7
        while number:
            chunk.append(0x80 | (number & 0x7F))
            number >>= 7
        body += bytes(reversed(chunk))
    return der(0x06, body)


def integer(value):
    return der(0x02, value.to_bytes((value.bit_length() + 8) // 8, "big"))


def octets(data):
    return der(0x04, data)


def bmp(text):
    return der(0x1E, text.encode("utf-16-be"))


def utf16z(text):
    return (text + "\0").encode("utf-16-le")


NULL = der(0x05, b"")


def name_value(name, value):
    return sequence(bmp(name), integer(NAMEVALUE_FLAGS), octets(utf16z(value)))


def authenticode_sha1(data):
    """The hash a PE image is known by: the whole file but its checksum, the
    certificate table entry and the signature itself."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
    checksum = optional + 64
    certificate_entry = optional + (112 if wide else 96) + 4 * 8
    signature, _ = struct.unpack_from("<II", data, certificate_entry)
    end = signature if signature else len(data)
    digest = hashlib.sha1()
    digest.update(data[:checksum])
    digest.update(data[checksum + 4:certificate_entry])
    digest.update(data[certificate_entry + 8:end])
    if not signature and end % 8:
        digest.update(b"\0" * (8 - end % 8))
    return digest.digest()


def member(path):
    with open(path, "rb") as f:
        data = f.read()
    is_image = data[:2] == b"MZ"
    if is_image:
        digest = authenticode_sha1(data)
        link = der(0xA2, der(0x80, "<<<Obsolete>>>".encode("utf-16-be")))
        kind = sequence(oid(SPC_PE_IMAGE_DATA), sequence(der(0x03, b"\0"), der(0xA0, link)))
    else:
        digest = hashlib.sha1(data).digest()
        kind = sequence(oid(SPC_CAB_DATA), der(0xA2, der(0x80, "<<<Obsolete>>>".encode("utf-16-be"))))
    indirect = sequence(kind, sequence(sequence(oid(SHA1), NULL), octets(digest)))
    name = os.path.basename(path).lower()
    attributes = set_of(
        sequence(oid(CAT_NAMEVALUE), set_of(name_value("File", name))),
        sequence(oid(CAT_MEMBERINFO), set_of(sequence(bmp(SIP_PE if is_image else SIP_FLAT), integer(512)))),
        sequence(oid(SPC_INDIRECT_DATA), set_of(indirect)))
    # The member is known by its hash, written out in hexadecimal.
    tag = digest.hex().upper().encode("utf-16-le")
    return sequence(octets(tag), attributes)


def catalog(paths, systems, moment=None):
    # One identifier per catalog: derived from what it lists, so the same
    # package gives the same catalog content.
    identity = hashlib.md5()
    members = []
    for path in sorted(paths, key=lambda p: os.path.basename(p).lower()):
        entry = member(path)
        identity.update(entry)
        members.append(entry)
    if moment is None and os.environ.get("SOURCE_DATE_EPOCH"):
        moment = int(os.environ["SOURCE_DATE_EPOCH"])
    when = (datetime.datetime.fromtimestamp(moment, datetime.timezone.utc) if moment is not None
            else datetime.datetime.now(datetime.timezone.utc))
    extensions = der(0xA0, sequence(
        sequence(oid(CAT_NAMEVALUE), octets(name_value("OSAttr", systems)))))
    return sequence(
        sequence(oid(CATALOG_LIST)),
        octets(identity.digest()),
        der(0x17, when.strftime("%y%m%d%H%M%SZ").encode()),
        sequence(oid(CATALOG_LIST_MEMBER), NULL),
        sequence(*members),
        extensions)


def unsigned_envelope(trust_list):
    """Signed data with the trust list as its content, as catalogs carry it
    (the list itself, not an octet string around it), and no signer: the
    signing tool adds the one signer and its certificate."""
    digest_sha256 = sequence(oid(SHA256), NULL)
    signed_data = sequence(
        integer(1),
        set_of(digest_sha256),
        sequence(oid(CERTIFICATE_TRUST_LIST), der(0xA0, trust_list)),
        set_of())
    return sequence(oid(SIGNED_DATA), der(0xA0, signed_data))


def main():
    parser = argparse.ArgumentParser(description="Writes a driver package's catalog, unsigned.")
    parser.add_argument("--os", default="2:10.0", help="systems the package is for, as catalogs name them")
    parser.add_argument("--time", type=int, help="the list's date, in seconds since 1970")
    parser.add_argument("--out", required=True)
    parser.add_argument("files", nargs="+")
    arguments = parser.parse_args()
    try:
        content = unsigned_envelope(catalog(arguments.files, arguments.os, arguments.time))
    except (OSError, struct.error) as error:
        print("catalog: %s" % error, file=sys.stderr)
        return 1
    with open(arguments.out, "wb") as f:
        f.write(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
