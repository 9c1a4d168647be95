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


def write_log_seeds():
    """fuzz_logs reads: a setup byte, an operation count, one byte per
    operation, one choice byte per operation, then the log file."""
    out = HERE / "fuzz_logs"
    out.mkdir(parents=True, exist_ok=True)
    seeds = plist_seeds()
    # append, mark one, mark all, unread answer, count, isAllRead, on either log
    ops = bytes([0, 2, 1 << 1, 2 << 1, 3 << 1, 4 << 1, 5 << 1, (1 << 1) | 1, 0])
    header = bytes([0, len(ops) - 1]) + ops + bytes([0, 1, 4, 0, 1, 2, 3, 6, 9])
    for name, fmt in [("calls-log", plistlib.FMT_XML), ("calls-log", plistlib.FMT_BINARY),
                      ("log-sparse-keys", plistlib.FMT_XML), ("log-odd-records", plistlib.FMT_XML),
                      ("notif-log", plistlib.FMT_XML)]:
        kind = "xml" if fmt == plistlib.FMT_XML else "bin"
        first = 1 if name == "notif-log" else 0
        (out / f"{name}.{kind}.seed").write_bytes(bytes([first | 4]) + header[1:] +
                                                  plistlib.dumps(seeds[name], fmt=fmt, sort_keys=False))
    (out / "torn.seed").write_bytes(bytes([0]) + header[1:] +
                                    plistlib.dumps(seeds["calls-log"], fmt=plistlib.FMT_XML)[:700])
    (out / "missing.seed").write_bytes(bytes([4]) + header[1:])


def write_rule_seeds():
    """fuzz_rules reads: mode, ignoretime, event kind, the event's choice
    bytes, then the settings file."""
    out = HERE / "fuzz_rules"
    out.mkdir(parents=True, exist_ok=True)
    # The fuzzer's address book: Jane Roe A1B2C3D4-0001, John Roe -0002,
    # Mallory Evil -0003 (with a social profile).
    entry = settings()[CONTACT_A]
    s = settings()
    del s[CONTACT_A], s[CONTACT_B]
    s["A1B2C3D4-0001"] = dict(entry, **{"net.whatsapp.WhatsApp": True})
    s["A1B2C3D4-0003"] = {"isBlocked": True, "net.whatsapp.WhatsAppCall": True, "com.apple.facetimeCall": True}
    for name, head in [
        ("call-event", bytes([0, 1, 0, 0, 0, 0, 0, 0, 0])),      # Jane-like caller, Telephony
        ("call-update", bytes([0, 1, 1, 0, 0, 1, 1, 0, 0])),     # FaceTime update
        ("call-whitelist", bytes([1, 0, 0, 1, 1, 0, 0, 3, 0])),  # a status byte of 3 takes its value
        ("bulletin", bytes([0, 1, 2, 0, 0, 0, 0, 0])),           # WhatsApp from a name
        ("bulletin-old", bytes([0, 1, 2, 1, 1, 1, 1, 7])),
    ]:
        (out / f"{name}.xml.seed").write_bytes(head + plistlib.dumps(s, fmt=plistlib.FMT_XML))
        (out / f"{name}.bin.seed").write_bytes(head + plistlib.dumps(s, fmt=plistlib.FMT_BINARY))


def write_signal_seeds():
    """fuzz_signals reads: the logs' setup, the two coordinates' kinds (and
    values), a signal count, then per signal its catalogue index and its
    user information as (key choice, value choice) pairs."""
    out = HERE / "fuzz_signals"
    out.mkdir(parents=True, exist_ok=True)
    MARK_READ_C, UNREAD_CALL, SHOW_ICON, OPEN_IN_APP, MARK_ALL_C, HIDE = 10, 2, 12, 13, 8, 1
    (out / "requests.seed").write_bytes(bytes([
        0b10111, 1, 40, 2, 3]) + b"abc" + bytes([6,
        MARK_READ_C, 1, 0, 0,
        UNREAD_CALL, 0,
        SHOW_ICON, 0,
        OPEN_IN_APP, 1, 1, 7,
        MARK_ALL_C, 0,
        HIDE, 0]))
    (out / "odd-payloads.seed").write_bytes(bytes([
        0b00101, 3, 1, 0, 4,
        MARK_READ_C, 2, 0, 3, 1, 255,
        MARK_READ_C, 1, 0, 5,
        OPEN_IN_APP, 0,
        200, 4]) + b"name")


def main():
    write_plists("fuzz_plist", list(plist_seeds()))
    write_plists("fuzz_settings", ["settings", "settings-whitelist", "settings-numbers-as-text",
                                   "settings-reals", "settings-off", "settings-odd-types", "empty"])
    write_vcards()
    write_colors()
    write_log_seeds()
    write_rule_seeds()
    write_signal_seeds()


if __name__ == "__main__":
    main()
