#!/usr/bin/env python3
"""Writes the fuzzers' seed files: property lists written by Python's plistlib
(XML and binary, as another program would write the settings file and the
logs) and address books in the shapes address-book programs export.

Run from anywhere; it rewrites fuzz/corpus/<target>/ beside this script.
"""
import base64
import datetime
import pathlib
import plistlib
import struct
import zlib

HERE = pathlib.Path(__file__).resolve().parent


def png(width, height, rgb):
    """A real, small PNG of one colour."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    row = b"\x00" + bytes(rgb) * width
    raw = zlib.compress(row * height)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", raw) + chunk(b"IEND", b"")


ICON = base64.b64encode(png(12, 12, (40, 180, 90))).decode()

CONTACT_A = "410FE041-5C4E-48DA-B4DE-04C15EA3DBAC"
CONTACT_B = "9E1B2C3D-0000-4A5B-8C7D-112233445566"


def settings(**extra):
    s = {
        "isTweakEnabled": True,
        "methodspecifier": 0,
        "ignoretime": False,
        "sound": "1005",
        "color": "#E22300",
        "xcoordinates": 95,
        "ycoordinates": 95,
        "isTouch": False,
        CONTACT_A: {
            "isBlocked": True,
            "com.apple.mobilephoneCall": True,
            "com.apple.facetimeCall": False,
            "net.whatsapp.WhatsApp": True,
            "net.whatsapp.WhatsAppCall": True,
            "weekday2": True,
            "weekdayHour2": "08:00-17:00",
            "weekday7": True,
            "weekdayHour7": "22:30-23:59",
        },
        CONTACT_B: {"isBlocked": False, "org.whispersystems.signal": True},
    }
    s.update(extra)
    return s


def call_record(i, read):
    return {
        "Date": f"10:{i % 60:02d}:00 07-12-2026",
        "isRead": read,
        "Data": f"Phone Call from Caller {i}",
        "appBID": "com.apple.mobilephone",
        "iconData": ICON,
        "From": f"Caller {i}",
        "appName": "Phone",
    }


def notif_record(i, read):
    return {
        "Date": f"11:{i % 60:02d}:30 07-12-2026",
        "isRead": read,
        "Data": f"WhatsApp notification from Jane {i}",
        "appBID": "net.whatsapp.WhatsApp",
        "iconData": ICON,
        "appName": "WhatsApp",
        "msg": "See you at 8 \u2014 \U0001F600",
        "From": f"Jane {i}",
    }


def plist_seeds():
    """Name -> dictionary, written below in both formats."""
    return {
        "settings": settings(),
        "settings-whitelist": settings(methodspecifier=1, ignoretime=1, color="FFF"),
        "settings-numbers-as-text": settings(methodspecifier="1", xcoordinates="40", sound=1003, color=0x80FF00),
        "settings-reals": settings(xcoordinates=12.5, ycoordinates=-3.0, ignoretime=0.0),
        "settings-off": {"isTweakEnabled": False, "color": "#80FF0000"},
        "settings-odd-types": settings(isTweakEnabled="yes", sound=b"\x00\x01", color=["#FFF"],
                                       xcoordinates={"x": 1}, methodspecifier=datetime.datetime(2026, 1, 1)),
        "calls-log": {str(i): call_record(i, i % 3 == 0) for i in range(5)},
        "notif-log": {str(i): notif_record(i, i == 1) for i in range(3)},
        "log-sparse-keys": {"0": call_record(0, False), "2": call_record(2, False), "x": call_record(9, True),
                            "-1": notif_record(1, False)},
        "log-odd-records": {"0": "not a record", "1": [call_record(1, False)], "2": {"isRead": "YES"},
                            "3": {"isRead": 1}, "4": {"isRead": 0.0}, "5": {}},
        "every-type": {
            "s": "text \u00e9\u00e8 \U0001F4DE", "empty": "", "i": -42, "big": 2**63 - 1, "r": 3.25,
            "t": True, "f": False, "d": b"\x00\xffdata", "date": datetime.datetime(2001, 1, 1, 12, 0, 0),
            "a": [1, "two", [3.0, {"four": 4}], {}], "nested": {"deeper": {"deepest": [[], {}]}},
        },
        "empty": {},
    }


def write_plists(target, names):
    out = HERE / target
    out.mkdir(parents=True, exist_ok=True)
    seeds = plist_seeds()
    for name in names:
        value = seeds[name]
        (out / f"{name}.xml.plist").write_bytes(plistlib.dumps(value, fmt=plistlib.FMT_XML, sort_keys=False))
        (out / f"{name}.bin.plist").write_bytes(plistlib.dumps(value, fmt=plistlib.FMT_BINARY, sort_keys=False))
    # Roots that are not dictionaries.
    (out / "root-array.xml.plist").write_bytes(plistlib.dumps([1, {"a": "b"}], fmt=plistlib.FMT_XML))
    (out / "root-string.bin.plist").write_bytes(plistlib.dumps("text", fmt=plistlib.FMT_BINARY))


# Folded at 75 octets, CRLF, grouped labels and an embedded photo, as a
# desktop address book exports version 3.0.
VCARD_30 = (
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "PRODID:-//Example Corp.//Address Book 14.0//EN\r\n"
    "N:Doe;Jane;Q.;Dr.;\r\n"
    "FN:Dr. Jane Q. Doe\r\n"
    "ORG:Example Corp.;\r\n"
    "item1.TEL;type=CELL;type=VOICE;type=pref:+1 (555) 010-0001\r\n"
    "item1.X-ABLabel:_$!<Mobile>!$_\r\n"
    "TEL;type=HOME;type=VOICE:555-0102\r\n"
    "item2.EMAIL;type=INTERNET;type=pref:jane@example.com\r\n"
    "item3.ADR;type=HOME;type=pref:;;12 Main Street\\nSuite 2;Springfield;IL;62701;USA\r\n"
    "X-SOCIALPROFILE;type=twitter;x-user=janeq:http://twitter.com/janeq\r\n"
    "X-SOCIALPROFILE;type=whatsapp:x-apple:%2B15550100001\r\n"
    "NOTE:Met at the conference\\, 2019\\; bring the slides\r\n"
    "PHOTO;ENCODING=b;TYPE=PNG:" + ICON[:40] + "\r\n " + ICON[40:110] + "\r\n " + ICON[110:] + "\r\n"
    "UID:" + CONTACT_A + "\r\n"
    "REV:2026-12-07T10:30:00Z\r\n"
    "END:VCARD\r\n"
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "N:M\u00fcller-L\u00fcdenscheidt;J\u00fcrgen;;;\r\n"
    "FN:J\u00fcrgen M\u00fcller-L\u00fcdenscheidt\r\n"
    "TEL;type=WORK:+49 30 1234567\r\n"
    "X-SOCIALPROFILE;type=facebook:https://www.facebook.com/juergen.mueller/\r\n"
    "UID:" + CONTACT_B + "\r\n"
    "END:VCARD\r\n"
)

# Version 4.0 as a web address book exports it: LF line ends, tel: URIs,
# quoted parameter lists, no UID on the second card.
VCARD_40 = (
    "BEGIN:VCARD\n"
    "VERSION:4.0\n"
    "FN:\u674e\u5c0f\u9f99\n"
    "N:\u674e;\u5c0f\u9f99;;;\n"
    "TEL;VALUE=uri;TYPE=\"cell,voice\";PREF=1:tel:+86-10-1234-5678\n"
    "SOCIALPROFILE;SERVICE-TYPE=Signal;X-USER=\"xl;ee\":https://signal.me/#p/+861012345678\n"
    "UID:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1\n"
    "END:VCARD\n"
    "BEGIN:VCARD\n"
    "VERSION:4.0\n"
    "N:O'Neil;Se\u00e1n;;;\n"
    "FN:Se\u00e1n O'Neil\n"
    "TEL;TYPE=home:+353 1 555 0100\n"
    "X-SOCIALPROFILE;TYPE=pref;TYPE=linkedin:https://www.linkedin.com/in/seanoneil\n"
    "END:VCARD\n"
)

# An old phone's 2.1 export: bare types and quoted-printable.
VCARD_21 = (
    "BEGIN:VCARD\r\n"
    "VERSION:2.1\r\n"
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Dubois;=C3=89lise;;;\r\n"
    "TEL;CELL;PREF:0612345678\r\n"
    "TEL;HOME:0123456789\r\n"
    "END:VCARD\r\n"
)


def write_vcards():
    out = HERE / "fuzz_vcard"
    out.mkdir(parents=True, exist_ok=True)
    # The fuzzer reads a name query first, ended by a backslash and one more
    # byte, then the address book.
    for name, query, book in [
        ("export-30", "jane", VCARD_30),
        ("export-40", "\u5c0f", VCARD_40),
        ("export-21", "elise", VCARD_21),
        ("all-three", "m\u00fcl j", VCARD_30 + VCARD_40 + VCARD_21),
        ("cut-short", "sean", VCARD_40[: len(VCARD_40) // 2]),
    ]:
        (out / f"{name}.seed").write_bytes(query.encode() + b"\\ " + book.encode())


def write_colors():
    out = HERE / "fuzz_color"
    out.mkdir(parents=True, exist_ok=True)
    for i, text in enumerate(["#E22300", "FFF", "#80FF0000", "#12345", "#XYZ", "0x1A2B3C", "$#FF00FF",
                              "\u00a3abc", "#ffffffffff", " #123", "\u2795F0F"]):
        (out / f"color-{i}.txt").write_bytes(text.encode())


def main():
    write_plists("fuzz_plist", list(plist_seeds()))
    write_plists("fuzz_settings", ["settings", "settings-whitelist", "settings-numbers-as-text",
                                   "settings-reals", "settings-off", "settings-odd-types", "empty"])
    write_vcards()
    write_colors()


if __name__ == "__main__":
    main()
